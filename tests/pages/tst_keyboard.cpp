// Keyboard and screen-reader use of every page: each control has an accessible name, Tab
// visits the controls in the order of the page's table, and a whole session (load, train,
// menu, probe, save) can be done with keys alone.

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <span>

#include "pages/analysis_page.h"
#include "pages/graph_page.h"
#include "pages/menu_page.h"
#include "pages/page_id.h"
#include "pages/probe_page.h"
#include "pages/save_page.h"
#include "pages/setup_page.h"
#include "pages/start_page.h"
#include "pages/weight_map_page.h"
#include "tests/support/program_driver.h"

namespace {

using pages::PageId;
using support::ProgramDriver;
using ui::PageKey;

struct PageTable {
    PageKey id;
    std::span<const ui::ControlPlace> (*geometry)();
};

const PageTable kPages[] = {
    {PageId::Start, &pages::StartPage::geometry},
    {PageId::Setup, &pages::SetupPage::geometry},
    {PageId::Menu, &pages::MenuPage::geometry},
    {PageId::Probe, &pages::ProbePage::geometry},
    {PageId::Save, &pages::SavePage::geometry},
    {PageId::Graph, &pages::GraphPage::geometry},
    {PageId::Analysis, &pages::AnalysisPage::geometry},
    {PageId::WeightMap, &pages::WeightMapPage::geometry},
};

QString accessibleName(QWidget* control) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
    return face != nullptr ? face->text(QAccessible::Name) : QString();
}

// Presses Tab in `page` until `control` has the focus; false when it never gets it. In a
// text window Tab types a TAB, and Ctrl+Tab moves on.
bool tabTo(QWidget* page, QWidget* control) {
    for (int k = 0; k < 60 && !control->hasFocus(); ++k) {
        QWidget* focus =
            QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : page;
        const auto* text = qobject_cast<QPlainTextEdit*>(focus);
        QTest::keyClick(
            focus, Qt::Key_Tab,
            text != nullptr && !text->tabChangesFocus() ? Qt::ControlModifier : Qt::NoModifier);
    }
    return control->hasFocus();
}

}  // namespace

class TestKeyboard : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        m_previousFolder = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_folder->path()));
        QVERIFY(QFile::copy(QStringLiteral(DAM_EXAMPLES "/tiny.net"), "tiny.net"));
        m_program = std::make_unique<ProgramDriver>();
    }
    void cleanup() {
        if (m_program) {
            QCOMPARE(m_program->dialogs.unanswered(), 0);
        }
        m_program.reset();
        QDir::setCurrent(m_previousFolder);
        m_folder.reset();
    }

    // Each page is checked while the program shows it, as a student reaches it.
    void everyControlIsNamedAndTabOrderFollowsTheTable() {
        ProgramDriver& program = *m_program;
        QVERIFY(program.runtime.Show(PageId::Start));
        QVERIFY(program.load(QStringLiteral("tiny.net")));
        checkPage(PageId::Start);
        QVERIFY(program.goOn());
        QVERIFY(program.train(QStringLiteral("Delta")));
        checkPage(PageId::Setup);
        QVERIFY(program.testRecall());
        for (const PageKey id : {PageId::Menu, PageId::Probe, PageId::Save, PageId::Graph,
                                 PageId::Analysis, PageId::WeightMap}) {
            QVERIFY(program.runtime.Show(id));
            checkPage(id);
        }
    }

    void wholeSessionByKeysAlone() {
        ProgramDriver& program = *m_program;
        QWidget* start = program.runtime.Show(PageId::Start);
        QVERIFY(QTest::qWaitForWindowActive(start));
        auto* files = program.trainingFiles();
        QVERIFY(tabTo(start, files));
        QTest::keyClicks(files, QStringLiteral("t"));
        QTest::keyClick(files, Qt::Key_Return);
        QCOMPARE(program.net.TrainingFileName, std::string("tiny.net"));
        auto* next = start->findChild<QPushButton*>(QStringLiteral("NextPage"));
        QVERIFY(tabTo(start, next));
        QTest::keyClick(next, Qt::Key_Space);

        pages::SetupPage* setup = program.setup();
        QVERIFY(setup);
        QVERIFY(QTest::qWaitForWindowActive(setup));
        QVERIFY(tabTo(setup, setup->OptionHebb));
        QTest::keyClick(setup->OptionHebb, Qt::Key_Down);  // arrows move within the frame
        QVERIFY(setup->OptionDelta->isChecked());
        QVERIFY(tabTo(setup, setup->LRateBox));
        QTest::keyClick(setup->LRateBox, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(setup->LRateBox, QStringLiteral("0.25"));
        QVERIFY(tabTo(setup, setup->StartTraining));
        QTest::keyClick(setup->StartTraining, Qt::Key_Return);
        QCOMPARE(program.net.SweepCount, 100);
        QCOMPARE(program.net.LearningRate, 0.25);
        QVERIFY(program.net.LearningRule == core::Rule::Delta);
        QVERIFY(tabTo(setup, setup->TestRecall));
        QTest::keyClick(setup->TestRecall, Qt::Key_Space);

        pages::MenuPage* menu = program.menu();
        QVERIFY(menu);
        QVERIFY(QTest::qWaitForWindowActive(menu));
        auto* tests = menu->findChild<QListWidget*>(QStringLiteral("TestList"));
        QVERIFY(tabTo(menu, tests));
        QTest::keyClick(tests, Qt::Key_Down);
        QTest::keyClick(tests, Qt::Key_Up);
        QTest::keyClick(tests, Qt::Key_Return);
        pages::ProbePage* probe = program.probe();
        QVERIFY(probe);
        QVERIFY(QTest::qWaitForWindowActive(probe));
        QVERIFY(tabTo(probe, probe->PatternBox));
        QTest::keyClick(probe->PatternBox, Qt::Key_Up);
        QCOMPARE(probe->PatternBox->text(), QStringLiteral("2"));
        QVERIFY(tabTo(probe, probe->PatternOK));
        QTest::keyClick(probe->PatternOK, Qt::Key_Return);
        QVERIFY(probe->ResultsText->toPlainText().startsWith(QStringLiteral("Pattern: 2\t")));
        auto* close = probe->findChild<QPushButton*>(QStringLiteral("Command2"));
        QVERIFY(tabTo(probe, close));
        QTest::keyClick(close, Qt::Key_Space);
        QTRY_VERIFY(!program.runtime.isLoaded(PageId::Probe));

        menu->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(menu));
        QVERIFY(tabTo(menu, tests));
        QTest::keyClick(tests, Qt::Key_Down);
        QTest::keyClick(tests, Qt::Key_Return);
        QWidget* save = program.save();
        QVERIFY(save);
        QVERIFY(QTest::qWaitForWindowActive(save));
        auto* name = save->findChild<QPushButton*>(QStringLiteral("FileButton"));
        QVERIFY(tabTo(save, name));
        program.dialogs.type(QStringLiteral("by-keys"));
        QTest::keyClick(name, Qt::Key_Return);
        auto* write = save->findChild<QPushButton*>(QStringLiteral("SaveFile"));
        QVERIFY(tabTo(save, write));
        QTest::keyClick(write, Qt::Key_Space);
        QVERIFY(support::readFile(QStringLiteral("by-keys.txt")).contains("Delta"));
        QCOMPARE(program.dialogs.shown().size(), 1);  // the name box only
    }

  private:
    // Every control in the page's table has an accessible name, and Tab goes from one
    // control that takes the focus to the next in the order of the table.
    void checkPage(PageKey id) {
        QWidget* page = m_program->runtime.find(id);
        QVERIFY(page);
        const auto table = std::find_if(std::begin(kPages), std::end(kPages),
                                        [id](const PageTable& t) { return t.id == id; });
        QVERIFY(table != std::end(kPages));
        const auto takesTab = [page](const QWidget* w) {
            return (w->focusPolicy() & Qt::TabFocus) != 0 && w->isVisibleTo(page) &&
                   w->isEnabled() && !w->objectName().isEmpty();
        };
        QWidget* previous = nullptr;
        for (const ui::ControlPlace& place : table->geometry()) {
            const QString name = QString::fromUtf8(place.name);
            auto* control = page->findChild<QWidget*>(name);
            QVERIFY2(control, qPrintable(name));
            QVERIFY2(!accessibleName(control).isEmpty(),
                     qPrintable(page->windowTitle() + ": " + name + " has no accessible name"));
            if (!takesTab(control)) {
                continue;
            }
            if (previous != nullptr) {
                QWidget* next = previous->nextInFocusChain();
                while (next != control && next != previous && !takesTab(next)) {
                    next = next->nextInFocusChain();
                }
                QVERIFY2(next == control,
                         qPrintable(QStringLiteral("%1: Tab goes from %2 to %3")
                                        .arg(page->windowTitle(), previous->objectName(),
                                             next->objectName())));
            }
            previous = control;
        }
    }

    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_previousFolder;
    std::unique_ptr<ProgramDriver> m_program;
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"

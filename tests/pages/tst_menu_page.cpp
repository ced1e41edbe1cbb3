// The post-training menu, driven through its real lists, with stand-ins for the pages it
// opens.

#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <map>
#include <memory>
#include <set>

#include "pages/menu_page.h"
#include "tests/support/page_program.h"

namespace {

using pages::PageId;
using ui::PageKey;

using support::LoadRecord;

const std::set<PageKey> kOtherPages{PageId::Start,     PageId::Setup,      PageId::Probe,
                                    PageId::Save,      PageId::Graph,      PageId::Analysis,
                                    PageId::WeightMap, PageId::Degradation};

// The menu, with stand-ins for the pages in `built`.
struct Program : support::PageProgram {
    explicit Program(const std::set<PageKey>& built = kOtherPages) {
        add<pages::MenuPage>(PageId::Menu);
        for (const PageKey id : built) {
            standIn(id);
        }
    }
};

QListWidget* list(const QWidget* menu, const QString& name) {
    return menu->findChild<QListWidget*>(name, Qt::FindDirectChildrenOnly);
}

int selectedRow(const QListWidget* list) {
    const QList<QListWidgetItem*> items = list->selectedItems();
    return items.isEmpty() ? -1 : list->row(items.front());
}

void click(QListWidget* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
}

// The way a user double-clicks: a click, then a double-click on the same spot.
void doubleClick(QListWidget* list, int row) {
    click(list, row);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                       list->visualItemRect(list->item(row)).center());
}

}  // namespace

class TestMenuPage : public QObject {
    Q_OBJECT

  private slots:
    void cleanup();

    void doubleClickWithoutSelectionIsReported_data();
    void doubleClickWithoutSelectionIsReported();
    void examiningItemOpensPageOverMenu_data();
    void examiningItemOpensPageOverMenu();
    void everyItemShowsAndSpreadsheetItemAsksForAName();
    void pageNotBuiltYetIsReported_data();
    void pageNotBuiltYetIsReported();
    void continuingItemSetsFlagAndLeavesMenu_data();
    void continuingItemSetsFlagAndLeavesMenu();
    void continuingLeavesExaminingPageOpen();
    void enterChoosesTheItemWithTheFocus_data();
    void enterChoosesTheItemWithTheFocus();
    void exitProgramUnloadsOnlyMenu_data();
    void exitProgramUnloadsOnlyMenu();
    void dividingLineRunsBetweenItsEndPoints();

  private:
    QWidget* showMenu(const std::set<PageKey>& built = kOtherPages);

    std::unique_ptr<Program> m_program;
};

void TestMenuPage::cleanup() {
    if (m_program) {
        QCOMPARE(m_program->dialogs.unanswered(), 0);
    }
    m_program.reset();
}

QWidget* TestMenuPage::showMenu(const std::set<PageKey>& built) {
    m_program = std::make_unique<Program>(built);
    QWidget* menu = m_program->runtime.Show(PageId::Menu);
    if (menu != nullptr && !QTest::qWaitForWindowExposed(menu)) {
        return nullptr;
    }
    return menu;
}

void TestMenuPage::doubleClickWithoutSelectionIsReported_data() {
    QTest::addColumn<QString>("listName");
    QTest::newRow("TestList") << "TestList";
    QTest::newRow("ContinueList") << "ContinueList";
}

void TestMenuPage::doubleClickWithoutSelectionIsReported() {
    QFETCH(QString, listName);
    QWidget* menu = showMenu();
    QVERIFY(menu);
    m_program->net.FreshStart = 7;
    QListWidget* target = list(menu, listName);
    QVERIFY(target);

    // Below the last item, where no item can be selected.
    const QPoint empty(target->viewport()->width() / 2, target->viewport()->height() - 3);
    QVERIFY(!target->indexAt(empty).isValid());
    m_program->dialogs.answer(ui::Answer::Ok);
    QTest::mouseClick(target->viewport(), Qt::LeftButton, {}, empty);
    QTest::mouseDClick(target->viewport(), Qt::LeftButton, {}, empty);

    QCOMPARE(m_program->dialogs.shown().size(), 1);
    const support::ShownDialog& shown = m_program->dialogs.shown().front();
    QCOMPARE(shown.text, QStringLiteral("No method for continuing has been selected!"));
    QCOMPARE(shown.title, QString::fromUtf8(pages::ProgramTitle));
    QCOMPARE(shown.buttons, ui::Buttons::Ok);
    QCOMPARE(m_program->runtime.loadedCount(), 1);
    QVERIFY(menu->isVisible());
    QCOMPARE(m_program->net.FreshStart, 7);
}

void TestMenuPage::examiningItemOpensPageOverMenu_data() {
    QTest::addColumn<int>("item");
    QTest::addColumn<PageKey>("page");
    QTest::newRow("probe") << 0 << PageId::Probe;
    QTest::newRow("save") << 1 << PageId::Save;
    QTest::newRow("graph") << 2 << PageId::Graph;
    QTest::newRow("patterns") << 4 << PageId::Analysis;
    QTest::newRow("weights") << 5 << PageId::WeightMap;
    QTest::newRow("degradation") << 7 << PageId::Degradation;
}

void TestMenuPage::examiningItemOpensPageOverMenu() {
    QFETCH(int, item);
    QFETCH(PageKey, page);
    QWidget* menu = showMenu();
    QVERIFY(menu);
    m_program->net.FreshStart = 7;
    QListWidget* tests = list(menu, QStringLiteral("TestList"));

    click(tests, item);  // a single click only selects
    QCOMPARE(m_program->runtime.loadedCount(), 1);

    doubleClick(tests, item);
    ui::Page* opened = m_program->runtime.find(page);
    QVERIFY(opened);
    QVERIFY(opened->isVisible());
    QCOMPARE(m_program->records[page].loads, 1);
    QCOMPARE(m_program->runtime.loadedCount(), 2);

    // Again: the open page comes to the front, no second copy is made.
    doubleClick(tests, item);
    QCOMPARE(m_program->runtime.find(page), opened);
    QCOMPARE(m_program->records[page].loads, 1);
    QCOMPARE(m_program->runtime.loadedCount(), 2);

    // Closing the opened page returns to the menu as it was.
    m_program->runtime.Unload(page);
    QTRY_VERIFY(!m_program->runtime.isLoaded(page));
    QVERIFY(menu->isVisible());
    QCOMPARE(selectedRow(tests), item);
    QCOMPARE(m_program->net.FreshStart, 7);
    QVERIFY(m_program->dialogs.shown().isEmpty());
}

void TestMenuPage::everyItemShowsAndSpreadsheetItemAsksForAName() {
    QWidget* menu = showMenu();
    QVERIFY(menu);
    QListWidget* tests = list(menu, QStringLiteral("TestList"));
    QStringList texts;
    for (int row = 0; row < tests->count(); ++row) {
        texts << tests->item(row)->text();
        QVERIFY(tests->viewport()->rect().contains(tests->visualItemRect(tests->item(row))));
    }
    QCOMPARE(texts, (QStringList{"Probe Network Responses To Selected Patterns",
                                 "Save Summary As A Text File", "Plot SSE By Sweeps",
                                 "Create A Spreadsheet Of The Results",
                                 "Examine The Training Patterns", "Show The Connection Weights",
                                 "Save The Trained Network", "Show How Recall Degrades"}));

    m_program->session.TrainingFolder = "/nowhere";
    m_program->net.TrainingFileName = "tiny.net";
    m_program->net.TrainedOnProblem = true;
    m_program->dialogs.choose(QString());  // cancelled: nothing is written
    doubleClick(tests, 3);
    QCOMPARE(m_program->dialogs.shown().size(), 1);
    QCOMPARE(m_program->dialogs.shown().front().kind, support::DialogKind::SaveFile);
    QCOMPARE(m_program->dialogs.shown().front().text, QStringLiteral("/nowhere/tiny.xlsx"));
    QCOMPARE(m_program->runtime.loadedCount(), 1);
    QVERIFY(menu->isVisible());

    // Saving the network asks for a name the same way, with ".h5".
    m_program->dialogs.choose(QString());
    doubleClick(tests, 6);
    QCOMPARE(m_program->dialogs.shown().size(), 2);
    QCOMPARE(m_program->dialogs.shown().back().kind, support::DialogKind::SaveFile);
    QCOMPARE(m_program->dialogs.shown().back().text, QStringLiteral("/nowhere/tiny.h5"));
}

void TestMenuPage::pageNotBuiltYetIsReported_data() {
    examiningItemOpensPageOverMenu_data();
}

void TestMenuPage::pageNotBuiltYetIsReported() {
    QFETCH(int, item);
    QFETCH(PageKey, page);
    std::set<PageKey> built = kOtherPages;
    built.erase(page);
    QWidget* menu = showMenu(built);
    QVERIFY(menu);
    QListWidget* tests = list(menu, QStringLiteral("TestList"));

    m_program->dialogs.answer(ui::Answer::Ok);
    doubleClick(tests, item);

    support::checkWarnings(
        m_program->dialogs,
        QStringList{QStringLiteral("This part of the program is not available yet.")});
    QCOMPARE(m_program->dialogs.shown().front().title, QString::fromUtf8(pages::ProgramTitle));
    QCOMPARE(m_program->runtime.loadedCount(), 1);
    QVERIFY(menu->isVisible());
    QCOMPARE(selectedRow(tests), item);
}

void TestMenuPage::continuingItemSetsFlagAndLeavesMenu_data() {
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("flagBefore");
    QTest::addColumn<int>("flagAfter");
    QTest::addColumn<PageKey>("next");
    QTest::newRow("reset weights") << 0 << 0 << 1 << PageId::Setup;
    QTest::newRow("keep weights") << 1 << 1 << 0 << PageId::Setup;
    QTest::newRow("new problem, flag 0") << 2 << 0 << 0 << PageId::Start;
    QTest::newRow("new problem, flag 1") << 2 << 1 << 1 << PageId::Start;
}

void TestMenuPage::continuingItemSetsFlagAndLeavesMenu() {
    QFETCH(int, item);
    QFETCH(int, flagBefore);
    QFETCH(int, flagAfter);
    QFETCH(PageKey, next);
    QWidget* menu = showMenu();
    QVERIFY(menu);
    QPointer<QWidget> menuAlive = menu;
    QSignalSpy finished(&m_program->runtime, &ui::PageRuntime::finished);
    m_program->net.FreshStart = static_cast<std::int16_t>(flagBefore);

    doubleClick(list(menu, QStringLiteral("ContinueList")), item);

    // The next page read the new flag while it loaded, with the menu still there.
    const LoadRecord& record = m_program->records[next];
    QCOMPARE(record.loads, 1);
    QCOMPARE(record.freshStart, flagAfter);
    QVERIFY(record.wasLoaded(PageId::Menu));
    QCOMPARE(m_program->net.FreshStart, flagAfter);
    QVERIFY(m_program->runtime.find(next)->isVisible());
    QCOMPARE(m_program->runtime.loadedCount(), 1);
    QTRY_VERIFY(menuAlive.isNull());
    QCOMPARE(finished.count(), 0);
    QVERIFY(m_program->dialogs.shown().isEmpty());
}

void TestMenuPage::continuingLeavesExaminingPageOpen() {
    QWidget* menu = showMenu();
    QVERIFY(menu);
    doubleClick(list(menu, QStringLiteral("TestList")), 2);
    QVERIFY(m_program->runtime.isLoaded(PageId::Graph));

    doubleClick(list(menu, QStringLiteral("ContinueList")), 1);

    QTRY_VERIFY(!m_program->runtime.isLoaded(PageId::Menu));
    QVERIFY(m_program->runtime.find(PageId::Graph)->isVisible());
    QVERIFY(m_program->runtime.find(PageId::Setup)->isVisible());
}

void TestMenuPage::enterChoosesTheItemWithTheFocus_data() {
    QTest::addColumn<QString>("listName");
    QTest::addColumn<int>("downs");
    QTest::addColumn<PageKey>("page");
    QTest::newRow("first test item") << "TestList" << 0 << PageId::Probe;
    QTest::newRow("third test item") << "TestList" << 2 << PageId::Graph;
    QTest::newRow("second continuing item") << "ContinueList" << 1 << PageId::Setup;
}

// From the keyboard only: the focus moves, nothing is selected, Enter still chooses.
void TestMenuPage::enterChoosesTheItemWithTheFocus() {
    QFETCH(QString, listName);
    QFETCH(int, downs);
    QFETCH(PageKey, page);
    QWidget* menu = showMenu();
    QVERIFY(menu);
    QListWidget* target = list(menu, listName);
    QCOMPARE(target->currentRow(), 0);
    target->setFocus();
    for (int k = 0; k < downs; ++k) {
        QTest::keyClick(target, Qt::Key_Down);
    }
    QTest::keyClick(target, Qt::Key_Return);
    QVERIFY(m_program->runtime.isLoaded(page));
    QVERIFY(m_program->dialogs.shown().isEmpty());
}

void TestMenuPage::exitProgramUnloadsOnlyMenu_data() {
    QTest::addColumn<bool>("graphOpen");
    QTest::newRow("menu alone") << false;
    QTest::newRow("graph page open") << true;
}

void TestMenuPage::exitProgramUnloadsOnlyMenu() {
    QFETCH(bool, graphOpen);
    QWidget* menu = showMenu();
    QVERIFY(menu);
    QPointer<QWidget> menuAlive = menu;
    if (graphOpen) {
        doubleClick(list(menu, QStringLiteral("TestList")), 2);
        QVERIFY(m_program->runtime.isLoaded(PageId::Graph));
    }
    QSignalSpy finished(&m_program->runtime, &ui::PageRuntime::finished);

    QTest::mouseClick(menu->findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);

    QVERIFY(!m_program->runtime.isLoaded(PageId::Menu));
    QTRY_VERIFY(menuAlive.isNull());
    QCOMPARE(m_program->runtime.isLoaded(PageId::Graph), graphOpen);
    QCOMPARE(finished.count(), graphOpen ? 0 : 1);
    QVERIFY(m_program->dialogs.shown().isEmpty());
}

// The line is drawn from one end point to the other, and nowhere else on its row.
void TestMenuPage::dividingLineRunsBetweenItsEndPoints() {
    QWidget* menu = showMenu();
    QVERIFY(menu);
    const pages::LinePoints line = pages::MenuPage::line1();
    QCOMPARE(line.y1, line.y2);
    const int left = ui::TwipsToPixels(line.x1);
    const int right = ui::TwipsToPixels(line.x2);
    const int y = ui::TwipsToPixels(line.y1);

    // It divides the two halves of the menu.
    QVERIFY(list(menu, QStringLiteral("TestList"))->geometry().bottom() < y);
    QVERIFY(menu->findChild<QLabel*>(QStringLiteral("Label4"))->geometry().top() > y);

    const QImage image = menu->grab().toImage();
    auto dark = [&](int x, int row) { return qGray(image.pixel(x, row)) < 100; };
    for (const int x : {left + 1, (left + right) / 2, right - 1}) {
        QVERIFY2(dark(x, y), qPrintable(QStringLiteral("no line at x=%1").arg(x)));
    }
    QVERIFY(!dark(left - 3, y));
    QVERIFY(!dark(right + 3, y));
    QVERIFY(!dark((left + right) / 2, y - 3));
    QVERIFY(!dark((left + right) / 2, y + 3));
}

QTEST_MAIN(TestMenuPage)
#include "tst_menu_page.moc"

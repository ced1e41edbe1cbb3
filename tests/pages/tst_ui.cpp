// Window tests of the page runtime and the shared controls, on the offscreen platform.

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFontInfo>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>

#include "pages/page_id.h"
#include "tests/support/scripted_dialogs.h"
#include "ui/dialogs.h"
#include "ui/file_lists.h"
#include "ui/fonts.h"
#include "ui/geometry.h"
#include "ui/page.h"
#include "ui/page_runtime.h"
#include "ui/slider.h"
#include "ui/text_row.h"
#include "ui/up_down.h"

using pages::PageId;
using ui::PageKey;

namespace {

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class PaintCounter : public QWidget {
  public:
    using QWidget::QWidget;
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent* /*event*/) override { ++paints; }
};

// What the test pages saw, kept outside them because they are deleted.
struct PageLog {
    std::map<PageKey, int> loads;
    std::map<PageKey, bool> visibleAtLoad;
    int handlersFinished = 0;
};

// A page with the parts the runtime deals with: a button that moves on to the next page
// the way the program's pages do (show the next, unload this one), buttons for the lock,
// a text box and a widget that counts its paints.
class TestPage : public ui::Page {
  public:
    TestPage(ui::PageRuntime& runtime, PageKey id, PageKey next, PageLog& log)
        : ui::Page(runtime, id, QStringLiteral("Test page %1").arg(static_cast<int>(id)), 6000,
                   3000),
          m_next(next),
          m_log(log) {
        Next->setGeometry(10, 10, 80, 30);
        Other->setGeometry(100, 10, 80, 30);
        Stop->setGeometry(190, 10, 80, 30);
        Box->setGeometry(10, 50, 160, 24);
        Canvas->setGeometry(10, 80, 100, 50);
        connect(Next, &QPushButton::clicked, this, [this] {
            this->runtime().Show(m_next);
            this->runtime().Unload(this->id());
            // Still inside the unloaded page: it must be intact until the handler ends.
            Box->setText(QStringLiteral("left"));
            ++m_log.handlersFinished;
        });
    }

    void Form_Load() override {
        ++m_log.loads[id()];
        m_log.visibleAtLoad[id()] = isVisible();
    }

    QPushButton* Next = new QPushButton(QStringLiteral("Next"), this);
    QPushButton* Other = new QPushButton(QStringLiteral("Other"), this);
    QPushButton* Stop = new QPushButton(QStringLiteral("Stop"), this);
    QLineEdit* Box = new QLineEdit(this);
    PaintCounter* Canvas = new PaintCounter(this);

  private:
    PageKey m_next;
    PageLog& m_log;
};

// Acts on the next modal dialog once it is up (a modal dialog blocks the caller).
void whenModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act)] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start();
}

// Whether any pixel of `band` differs from `background`: something was drawn there.
bool hasInk(const QImage& image, const QRect& band, const QColor& background) {
    const QRect area = band.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixelColor(x, y) != background) {
                return true;
            }
        }
    }
    return false;
}

int leftmostInk(const QImage& image, const QRect& band, const QColor& background) {
    const QRect area = band.intersected(image.rect());
    for (int x = area.left(); x <= area.right(); ++x) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            if (image.pixelColor(x, y) != background) {
                return x;
            }
        }
    }
    return -1;
}

class InspectableSlider : public ui::Slider {
  public:
    using ui::Slider::Slider;
    QRect handle() const {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    }
};

QStringList itemTexts(const QListWidget& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) {
        texts << list.item(i)->text().trimmed();
    }
    return texts;
}

QListWidgetItem* itemNamed(const QListWidget& list, const QString& name) {
    for (int i = 0; i < list.count(); ++i) {
        if (list.item(i)->text().trimmed() == name) {
            return list.item(i);
        }
    }
    return nullptr;
}

qsizetype indentOf(const QListWidgetItem* item) {
    const QString text = item->text();
    return text.size() - QStringView(text).trimmed().size();
}

void touch(const QString& path) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

enum class Removal { CloseBox, Unload, Delete };
enum class Press { Ok, Yes, No, Escape, CloseBox };
enum class Gesture { ClickBesideThumb, ClickOnThumb, DragThumb, ReleaseOutside, RightClick };

}  // namespace

Q_DECLARE_METATYPE(Removal)
Q_DECLARE_METATYPE(Press)
Q_DECLARE_METATYPE(Gesture)
Q_DECLARE_METATYPE(ui::Buttons)
Q_DECLARE_METATYPE(ui::Icon)
Q_DECLARE_METATYPE(ui::Answer)

class TstUi : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    // Page lifecycle
    void pageIsFixedSizeWindowFromTwips();
    void loadCreatesOnceAndRunsFormLoadBeforeShowing();
    void loadOfUnregisteredPageGivesNull();
    void showBringsPageToFront();
    void unloadedPageIsReloadedAfresh();
    void lastRemovedPageFinishesOnce_data();
    void lastRemovedPageFinishesOnce();
    void endUnloadsEveryPageAndFinishesOnce();
    void handlerCanShowNextPageAndUnloadItsOwn();
    void runtimeDeletesItsPagesWhenDestroyed();

    // Input lock during a long run
    void lockedInputReachesOnlyAllowedButton();
    void lockedWindowsStillRepaint();
    void modalDialogTakesInputWhileLocked();

    // Dialogs
    void qtMessageBox_data();
    void qtMessageBox();
    void qtInputBox_data();
    void qtInputBox();
    void scriptedDialogsAnswerInOrderAndLog();
    void scriptedDialogsFailOnUnscriptedDialog();

    // Controls
    void sliderKeysScrollButDoNotClick_data();
    void sliderKeysScrollButDoNotClick();
    void sliderMouse_data();
    void sliderMouse();
    void sliderValueFromCodeEmitsNothing();
    void upDownSteps_data();
    void upDownSteps();
    void upDownArrowButtonsAndLimits();
    void textRowPrintsLinesTopToBottom();
    void textRowBackground();

    // File lists
    void fileListShowsOnlyMatchingFiles_data();
    void fileListShowsOnlyMatchingFiles();
    void fileListSelectionAndSignals();
    void folderListShowsAncestorsThenSubfolders();
    void coupledListsFollowFoldersAndDrives();
    void unreadableFolderKeepsPreviousPath_data();
    void unreadableFolderKeepsPreviousPath();
    void driveListHasRootAndSortedVolumes();

    // Geometry and fonts
    void applyGeometryPlacesControlsAndReportsMissing();
    void anchoredPlacesKeepToTheirEdges_data();
    void anchoredPlacesKeepToTheirEdges();
    void pageFontResolvesInstalledFace_data();
    void pageFontResolvesInstalledFace();
    void pageFontSizeAndStyle_data();
    void pageFontSizeAndStyle();

  private:
    TestPage* show(PageKey id) { return static_cast<TestPage*>(m_runtime->Show(id)); }
    void makeTree();

    std::unique_ptr<support::ScriptedDialogs> m_dialogs;
    std::unique_ptr<ui::PageRuntime> m_runtime;
    PageLog m_log;
    std::unique_ptr<QTemporaryDir> m_tree;
};

void TstUi::init() {
    m_log = {};
    m_dialogs = std::make_unique<support::ScriptedDialogs>();
    m_runtime = std::make_unique<ui::PageRuntime>(*m_dialogs);
    const std::array<std::pair<PageKey, PageKey>, 3> chain{{
        {PageId::Start, PageId::Setup},
        {PageId::Setup, PageId::Menu},
        {PageId::Menu, PageId::Start},
    }};
    for (const auto& [id, next] : chain) {
        m_runtime->registerPage(id, [this, id = id, next = next](ui::PageRuntime& runtime) {
            return new TestPage(runtime, id, next, m_log);
        });
    }
}

void TstUi::cleanup() {
    m_runtime.reset();
    flushDeletes();
    m_dialogs.reset();
    m_tree.reset();
}

// --- Page lifecycle ---

void TstUi::pageIsFixedSizeWindowFromTwips() {
    ui::Page page(*m_runtime, PageId::Start, QStringLiteral("Introductory Form"), 10665, 9135);
    QVERIFY(page.isWindow());
    QCOMPARE(page.windowTitle(), QStringLiteral("Introductory Form"));
    QCOMPARE(page.size(), QSize(711, 609));
    QCOMPARE(page.minimumSize(), page.maximumSize());
}

void TstUi::loadCreatesOnceAndRunsFormLoadBeforeShowing() {
    ui::Page* first = m_runtime->Load(PageId::Start);
    QVERIFY(first != nullptr);
    QCOMPARE(m_runtime->Load(PageId::Start), first);
    QCOMPARE(m_log.loads[PageId::Start], 1);
    QVERIFY(!first->isVisible());  // Load alone does not show

    QCOMPARE(m_runtime->Show(PageId::Start), first);
    QCOMPARE(m_log.loads[PageId::Start], 1);
    QVERIFY(first->isVisible());
    QVERIFY(!m_log.visibleAtLoad[PageId::Start]);

    QCOMPARE(m_runtime->Show(PageId::Setup)->isVisible(), true);
    QCOMPARE(m_log.loads[PageId::Setup], 1);
    QVERIFY(!m_log.visibleAtLoad[PageId::Setup]);
    QCOMPARE(m_runtime->loadedCount(), 2);
}

void TstUi::loadOfUnregisteredPageGivesNull() {
    QSignalSpy finished(m_runtime.get(), &ui::PageRuntime::finished);
    QCOMPARE(m_runtime->Load(PageId::Graph), nullptr);
    QCOMPARE(m_runtime->Show(PageId::Graph), nullptr);
    QCOMPARE(m_runtime->loadedCount(), 0);
    m_runtime->Unload(PageId::Graph);  // not loaded: nothing happens
    QCOMPARE(finished.count(), 0);
}

void TstUi::showBringsPageToFront() {
    TestPage* a = show(PageId::Start);
    QVERIFY(QTest::qWaitForWindowActive(a));
    TestPage* b = show(PageId::Setup);
    QVERIFY(QTest::qWaitForWindowActive(b));
    QCOMPARE(show(PageId::Start), a);
    QVERIFY(QTest::qWaitForWindowActive(a));
    QCOMPARE(QApplication::activeWindow(), a);
    // Never modal: the page beneath still takes input.
    QVERIFY(!a->isModal());
    QVERIFY(!b->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void TstUi::unloadedPageIsReloadedAfresh() {
    QPointer<TestPage> old = show(PageId::Start);
    old->Box->setText(QStringLiteral("typed"));
    m_runtime->Unload(PageId::Start);

    QVERIFY(!m_runtime->isLoaded(PageId::Start));
    QVERIFY(old);  // deletion waits for the event loop
    QVERIFY(old->isHidden());

    TestPage* fresh = show(PageId::Start);
    QVERIFY(fresh != old);
    QCOMPARE(fresh->Box->text(), QString());
    QCOMPARE(m_log.loads[PageId::Start], 2);
    flushDeletes();
    QVERIFY(old.isNull());
    QCOMPARE(m_runtime->find(PageId::Start), fresh);
}

void TstUi::lastRemovedPageFinishesOnce_data() {
    QTest::addColumn<Removal>("removal");
    QTest::newRow("close box") << Removal::CloseBox;
    QTest::newRow("Unload") << Removal::Unload;
    QTest::newRow("deleted directly") << Removal::Delete;
}

void TstUi::lastRemovedPageFinishesOnce() {
    QFETCH(Removal, removal);
    QSignalSpy finished(m_runtime.get(), &ui::PageRuntime::finished);
    QPointer<TestPage> a = show(PageId::Start);
    QPointer<TestPage> b = show(PageId::Setup);
    const auto remove = [&](TestPage* page) {
        switch (removal) {
            case Removal::CloseBox:
                QVERIFY(page->close());
                break;
            case Removal::Unload:
                m_runtime->Unload(page->id());
                break;
            case Removal::Delete:
                delete page;
                break;
        }
    };

    remove(a);
    QVERIFY(!m_runtime->isLoaded(PageId::Start));
    QVERIFY(a.isNull() || a->isHidden());
    QCOMPARE(finished.count(), 0);

    remove(b);
    QCOMPARE(m_runtime->loadedCount(), 0);
    QCOMPARE(finished.count(), 1);

    flushDeletes();
    QVERIFY(a.isNull());
    QVERIFY(b.isNull());
    QCOMPARE(finished.count(), 1);
}

void TstUi::endUnloadsEveryPageAndFinishesOnce() {
    QSignalSpy finished(m_runtime.get(), &ui::PageRuntime::finished);
    QList<QPointer<TestPage>> pages{show(PageId::Start), show(PageId::Setup), show(PageId::Menu)};
    m_runtime->lockInput(pages[0]->Stop);

    m_runtime->End();

    QCOMPARE(m_runtime->loadedCount(), 0);
    QVERIFY(!m_runtime->inputLocked());
    for (const QPointer<TestPage>& page : pages) {
        QVERIFY(page->isHidden());
    }
    QCOMPARE(finished.count(), 1);
    flushDeletes();
    for (const QPointer<TestPage>& page : pages) {
        QVERIFY(page.isNull());
    }
    QCOMPARE(finished.count(), 1);
}

void TstUi::handlerCanShowNextPageAndUnloadItsOwn() {
    QSignalSpy finished(m_runtime.get(), &ui::PageRuntime::finished);
    QPointer<TestPage> start = show(PageId::Start);
    QVERIFY(QTest::qWaitForWindowExposed(start));

    QTest::mouseClick(start->Next, Qt::LeftButton);
    QCOMPARE(m_log.handlersFinished, 1);
    QVERIFY(!m_runtime->isLoaded(PageId::Start));
    auto* setup = static_cast<TestPage*>(m_runtime->find(PageId::Setup));
    QVERIFY(setup != nullptr);
    QVERIFY(setup->isVisible());

    QTest::qWait(20);  // the event loop deletes the page whose handler has ended
    QVERIFY(start.isNull());

    // On through the whole chain and back to a fresh start page.
    QTest::mouseClick(setup->Next, Qt::LeftButton);
    auto* menu = static_cast<TestPage*>(m_runtime->find(PageId::Menu));
    QVERIFY(menu != nullptr);
    QTest::mouseClick(menu->Next, Qt::LeftButton);
    QTest::qWait(20);
    QCOMPARE(m_log.handlersFinished, 3);
    QCOMPARE(m_runtime->loadedCount(), 1);
    QVERIFY(m_runtime->isLoaded(PageId::Start));
    QCOMPARE(m_log.loads[PageId::Start], 2);
    QCOMPARE(finished.count(), 0);
}

void TstUi::runtimeDeletesItsPagesWhenDestroyed() {
    QPointer<TestPage> loaded = show(PageId::Start);
    QPointer<TestPage> unloaded = show(PageId::Setup);
    m_runtime->Unload(PageId::Setup);  // deletion still pending
    m_runtime.reset();
    QVERIFY(loaded.isNull());
    QVERIFY(unloaded.isNull());
}

// --- Input lock ---

void TstUi::lockedInputReachesOnlyAllowedButton() {
    TestPage* page = show(PageId::Start);
    TestPage* other = show(PageId::Setup);
    QVERIFY(QTest::qWaitForWindowExposed(page));
    QSignalSpy stops(page->Stop, &QPushButton::clicked);
    QSignalSpy others(page->Other, &QPushButton::clicked);
    QSignalSpy otherPage(other->Other, &QPushButton::clicked);

    m_runtime->lockInput(page->Stop);
    QVERIFY(m_runtime->inputLocked());

    QTest::mouseClick(page->Other, Qt::LeftButton);
    QTest::keyClick(page->Other, Qt::Key_Space);
    QTest::mouseClick(other->Other, Qt::LeftButton);
    QTest::keyClicks(page->Box, QStringLiteral("abc"));
    QCOMPARE(others.count(), 0);
    QCOMPARE(otherPage.count(), 0);
    QCOMPARE(page->Box->text(), QString());

    QVERIFY(!page->close());
    QVERIFY(!other->close());
    QVERIFY(page->isVisible());
    QCOMPARE(m_runtime->loadedCount(), 2);

    QTest::mouseClick(page->Stop, Qt::LeftButton);
    QCOMPARE(stops.count(), 1);
    // Esc anywhere presses the allowed button, once per press.
    QTest::keyClick(page->Box, Qt::Key_Escape);
    QCOMPARE(stops.count(), 2);
    QTest::keyClick(other->Other, Qt::Key_Escape);
    QCOMPARE(stops.count(), 3);
    QTest::keyClick(page->Stop, Qt::Key_Escape);
    QCOMPARE(stops.count(), 4);
    QCOMPARE(others.count(), 0);

    m_runtime->unlockInput();
    QVERIFY(!m_runtime->inputLocked());
    QTest::mouseClick(page->Other, Qt::LeftButton);
    QTest::keyClicks(page->Box, QStringLiteral("abc"));
    QTest::keyClick(page->Box, Qt::Key_Escape);
    QCOMPARE(others.count(), 1);
    QCOMPARE(page->Box->text(), QStringLiteral("abc"));
    QCOMPARE(stops.count(), 4);
    QVERIFY(page->close());
    QVERIFY(!m_runtime->isLoaded(PageId::Start));
}

void TstUi::lockedWindowsStillRepaint() {
    TestPage* page = show(PageId::Start);
    QVERIFY(QTest::qWaitForWindowExposed(page));
    m_runtime->lockInput(page->Stop);

    // As during a long run: draw, then let the event loop in for a moment.
    const int before = page->Canvas->paints;
    page->Canvas->update();
    QElapsedTimer waited;
    waited.start();
    while (page->Canvas->paints == before && waited.elapsed() < 2000) {
        QCoreApplication::processEvents();
    }
    QVERIFY(page->Canvas->paints > before);
    m_runtime->unlockInput();
}

void TstUi::modalDialogTakesInputWhileLocked() {
    TestPage* page = show(PageId::Start);
    QVERIFY(QTest::qWaitForWindowExposed(page));
    QSignalSpy stops(page->Stop, &QPushButton::clicked);
    m_runtime->lockInput(page->Stop);

    QDialog dialog(page);
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    QSignalSpy oks(ok, &QPushButton::clicked);
    dialog.setModal(true);
    dialog.show();
    QCOMPARE(QApplication::activeModalWidget(), &dialog);

    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(oks.count(), 1);
    QTest::keyClick(&dialog, Qt::Key_Escape);  // closes the dialog, not the run
    QVERIFY(dialog.isHidden());
    QCOMPARE(stops.count(), 0);
    m_runtime->unlockInput();
}

// --- Dialogs ---

void TstUi::qtMessageBox_data() {
    QTest::addColumn<ui::Buttons>("buttons");
    QTest::addColumn<ui::Icon>("icon");
    QTest::addColumn<ui::Answer>("defaultButton");
    QTest::addColumn<QString>("title");
    QTest::addColumn<Press>("press");
    QTest::addColumn<ui::Answer>("expected");
    QTest::addColumn<QString>("expectedTitle");
    QTest::addColumn<int>("expectedIcon");
    QTest::addColumn<int>("expectedButtons");
    QTest::addColumn<int>("expectedDefault");

    const int ok = QMessageBox::Ok;
    const int yesNo = QMessageBox::Yes | QMessageBox::No;
    const QString program = QString::fromUtf8(pages::ProgramTitle);
    QTest::newRow("OK pressed") << ui::Buttons::Ok << ui::Icon::Exclamation << ui::Answer::Ok
                                << "Learning Rate" << Press::Ok << ui::Answer::Ok << "Learning Rate"
                                << int(QMessageBox::Warning) << ok << ok;
    QTest::newRow("OK box closed by Esc")
        << ui::Buttons::Ok << ui::Icon::None << ui::Answer::Ok << "" << Press::Escape
        << ui::Answer::Ok << program << int(QMessageBox::NoIcon) << ok << ok;
    QTest::newRow("No pressed, default Yes")
        << ui::Buttons::YesNo << ui::Icon::Question << ui::Answer::Yes << "Overwrite" << Press::No
        << ui::Answer::No << "Overwrite" << int(QMessageBox::Question) << yesNo
        << int(QMessageBox::Yes);
    QTest::newRow("Yes pressed, default No")
        << ui::Buttons::YesNo << ui::Icon::Question << ui::Answer::No << "" << Press::Yes
        << ui::Answer::Yes << program << int(QMessageBox::Question) << yesNo
        << int(QMessageBox::No);
    QTest::newRow("Esc answers No")
        << ui::Buttons::YesNo << ui::Icon::Information << ui::Answer::No << "" << Press::Escape
        << ui::Answer::No << program << int(QMessageBox::Information) << yesNo
        << int(QMessageBox::No);
    QTest::newRow("Esc answers No where Yes is the default")
        << ui::Buttons::YesNo << ui::Icon::Critical << ui::Answer::Yes << "" << Press::Escape
        << ui::Answer::No << program << int(QMessageBox::Critical) << yesNo
        << int(QMessageBox::Yes);
    QTest::newRow("close box answers No where Yes is the default")
        << ui::Buttons::YesNo << ui::Icon::Question << ui::Answer::Yes << "" << Press::CloseBox
        << ui::Answer::No << program << int(QMessageBox::Question) << yesNo
        << int(QMessageBox::Yes);
}

void TstUi::qtMessageBox() {
    QFETCH(ui::Buttons, buttons);
    QFETCH(ui::Icon, icon);
    QFETCH(ui::Answer, defaultButton);
    QFETCH(QString, title);
    QFETCH(Press, press);

    struct Seen {
        QString text, title;
        int icon = -1, buttons = -1, defaultButton = -1;
    } seen;
    whenModal([&seen, press](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) {
            modal->close();
            return;
        }
        seen = {box->text(), box->windowTitle(), int(box->icon()), int(box->standardButtons()),
                int(box->standardButton(box->defaultButton()))};
        switch (press) {
            case Press::Ok:
                box->button(QMessageBox::Ok)->click();
                break;
            case Press::Yes:
                box->button(QMessageBox::Yes)->click();
                break;
            case Press::No:
                box->button(QMessageBox::No)->click();
                break;
            case Press::Escape:
                QTest::keyClick(box, Qt::Key_Escape);
                break;
            case Press::CloseBox:
                box->close();
                break;
        }
    });

    ui::QtDialogs dialogs{QString::fromUtf8(pages::ProgramTitle)};
    const QString text = QStringLiteral("Replace <b>x.txt</b>?");
    const ui::Answer answer =
        dialogs.messageBox(nullptr, text, title, buttons, icon, defaultButton);

    QTEST(answer, "expected");
    QCOMPARE(seen.text, text);
    QTEST(seen.title, "expectedTitle");
    QTEST(seen.icon, "expectedIcon");
    QTEST(seen.buttons, "expectedButtons");
    QTEST(seen.defaultButton, "expectedDefault");
}

void TstUi::qtInputBox_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("expectedTitle");

    const QString program = QString::fromUtf8(pages::ProgramTitle);
    QTest::newRow("typed and accepted") << "reports" << true << "New Folder"
                                        << "reports"
                                        << "New Folder";
    QTest::newRow("typed and cancelled") << "reports" << false << ""
                                         << "" << program;
    QTest::newRow("accepted empty") << "" << true << "New Folder"
                                    << ""
                                    << "New Folder";
}

void TstUi::qtInputBox() {
    QFETCH(QString, typed);
    QFETCH(bool, accept);
    QFETCH(QString, title);

    QString prompt, seenTitle, initial;
    whenModal([&, typed, accept](QWidget* modal) {
        auto* dialog = qobject_cast<QInputDialog*>(modal);
        if (dialog == nullptr) {
            modal->close();
            return;
        }
        prompt = dialog->labelText();
        seenTitle = dialog->windowTitle();
        initial = dialog->textValue();
        dialog->setTextValue(typed);
        if (accept) {
            dialog->accept();
        } else {
            dialog->reject();
        }
    });

    ui::QtDialogs dialogs{QString::fromUtf8(pages::ProgramTitle)};
    const QString result =
        dialogs.inputBox(nullptr, QStringLiteral("Name of the new folder:"), title);

    QTEST(result, "expected");
    QCOMPARE(prompt, QStringLiteral("Name of the new folder:"));
    QTEST(seenTitle, "expectedTitle");
    QCOMPARE(initial, QString());
}

void TstUi::scriptedDialogsAnswerInOrderAndLog() {
    support::ScriptedDialogs dialogs;
    dialogs.answer(ui::Answer::No);
    dialogs.type(QStringLiteral("reports"));
    dialogs.answer(ui::Answer::Ok);

    QCOMPARE(dialogs.messageBox(nullptr, QStringLiteral("Overwrite?"), QStringLiteral("Save"),
                                ui::Buttons::YesNo, ui::Icon::Question, ui::Answer::Yes),
             ui::Answer::No);
    QCOMPARE(dialogs.inputBox(nullptr, QStringLiteral("Folder name:"), QString()),
             QStringLiteral("reports"));
    QCOMPARE(dialogs.messageBox(nullptr, QStringLiteral("Saved."), QString(), ui::Buttons::Ok,
                                ui::Icon::None, ui::Answer::Ok),
             ui::Answer::Ok);

    QCOMPARE(dialogs.unanswered(), 0);
    QCOMPARE(dialogs.texts(), (QStringList{"Overwrite?", "Folder name:", "Saved."}));
    const support::ShownDialog& first = dialogs.shown().at(0);
    QCOMPARE(first.kind, support::DialogKind::Message);
    QCOMPARE(first.title, QStringLiteral("Save"));
    QCOMPARE(first.buttons, ui::Buttons::YesNo);
    QCOMPARE(first.icon, ui::Icon::Question);
    QCOMPARE(first.defaultButton, ui::Answer::Yes);
    QCOMPARE(dialogs.shown().at(1).kind, support::DialogKind::Input);
    QVERIFY(dialogs.errors().isEmpty());
}

void TstUi::scriptedDialogsFailOnUnscriptedDialog() {
    support::ScriptedDialogs dialogs;
    dialogs.type(QStringLiteral("not for a message box"));

    QEXPECT_FAIL("", "a message box appears where an input box was scripted", Continue);
    const ui::Answer answer =
        dialogs.messageBox(nullptr, QStringLiteral("Unexpected"), QString(), ui::Buttons::YesNo,
                           ui::Icon::Question, ui::Answer::No);
    QCOMPARE(answer, ui::Answer::No);  // as if Esc was pressed
    QCOMPARE(dialogs.errors().size(), 1);
    QVERIFY(dialogs.errors().at(0).contains(QStringLiteral("Unexpected")));
    QCOMPARE(dialogs.unanswered(), 1);
}

// --- Slider ---

void TstUi::sliderKeysScrollButDoNotClick_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("expected");

    QTest::newRow("Right") << int(Qt::Key_Right) << 10 << 11;
    QTest::newRow("Left") << int(Qt::Key_Left) << 10 << 9;
    QTest::newRow("Up") << int(Qt::Key_Up) << 10 << 11;
    QTest::newRow("PageUp") << int(Qt::Key_PageUp) << 10 << 15;
    QTest::newRow("PageDown") << int(Qt::Key_PageDown) << 10 << 5;
    QTest::newRow("Home") << int(Qt::Key_Home) << 10 << 0;
    QTest::newRow("End") << int(Qt::Key_End) << 10 << 200;
    QTest::newRow("Left at the lowest position") << int(Qt::Key_Left) << 0 << 0;
    QTest::newRow("PageUp near the highest") << int(Qt::Key_PageUp) << 198 << 200;
}

void TstUi::sliderKeysScrollButDoNotClick() {
    QFETCH(int, key);
    QFETCH(int, start);

    ui::Slider slider(0, 200);
    slider.setValue(start);
    QList<int> scrolledAt;
    int clicks = 0;
    connect(&slider, &ui::Slider::scrolled, this, [&] { scrolledAt << slider.value(); });
    connect(&slider, &ui::Slider::clicked, this, [&] { ++clicks; });

    QTest::keyClick(&slider, Qt::Key(key));

    QFETCH(int, expected);
    QCOMPARE(slider.value(), expected);
    QCOMPARE(scrolledAt, QList<int>{expected});  // once, with the value already moved
    QCOMPARE(clicks, 0);
}

void TstUi::sliderMouse_data() {
    QTest::addColumn<Gesture>("gesture");
    QTest::addColumn<bool>("moves");
    QTest::addColumn<int>("clicks");

    QTest::newRow("click beside the thumb") << Gesture::ClickBesideThumb << true << 1;
    QTest::newRow("click on the thumb") << Gesture::ClickOnThumb << false << 1;
    QTest::newRow("drag the thumb") << Gesture::DragThumb << true << 1;
    QTest::newRow("released outside") << Gesture::ReleaseOutside << false << 0;
    QTest::newRow("right button") << Gesture::RightClick << false << 0;
}

void TstUi::sliderMouse() {
    QFETCH(Gesture, gesture);

    QWidget window;
    auto* slider = new InspectableSlider(0, 100, &window);
    slider->setGeometry(10, 10, 170, 25);
    slider->setValue(5);
    window.resize(200, 50);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QList<int> scrolledAt;
    int clicks = 0;
    connect(slider, &ui::Slider::scrolled, this, [&] { scrolledAt << slider->value(); });
    connect(slider, &ui::Slider::clicked, this, [&] { clicks += 1; });

    const QPoint thumb = slider->handle().center();
    const QPoint beside(slider->width() - 4, thumb.y());
    QVERIFY(!slider->handle().contains(beside));
    switch (gesture) {
        case Gesture::ClickBesideThumb:
            QTest::mouseClick(slider, Qt::LeftButton, {}, beside);
            QCOMPARE(slider->value(), 10);  // one large step
            break;
        case Gesture::ClickOnThumb:
            QTest::mouseClick(slider, Qt::LeftButton, {}, thumb);
            break;
        case Gesture::DragThumb:
            QTest::mousePress(slider, Qt::LeftButton, {}, thumb);
            QTest::mouseMove(slider, thumb + QPoint(30, 0));
            QTest::mouseMove(slider, thumb + QPoint(60, 0));
            QTest::mouseRelease(slider, Qt::LeftButton, {}, thumb + QPoint(60, 0));
            QVERIFY(slider->value() > 20);
            QCOMPARE(scrolledAt.size(), 2);  // one per movement
            break;
        case Gesture::ReleaseOutside:
            QTest::mousePress(slider, Qt::LeftButton, {}, thumb);
            QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(thumb.x(), 60));
            break;
        case Gesture::RightClick:
            QTest::mouseClick(slider, Qt::RightButton, {}, thumb);
            break;
    }

    QFETCH(bool, moves);
    if (moves) {
        QVERIFY(!scrolledAt.isEmpty());
        QCOMPARE(scrolledAt.last(), slider->value());
    } else {
        QCOMPARE(scrolledAt, QList<int>{});
        QCOMPARE(slider->value(), 5);
    }
    QTEST(clicks, "clicks");
}

void TstUi::sliderValueFromCodeEmitsNothing() {
    ui::Slider slider(0, 100);
    QSignalSpy scrolled(&slider, &ui::Slider::scrolled);
    QSignalSpy clicked(&slider, &ui::Slider::clicked);
    slider.setValue(37);
    slider.setValue(300);  // clamped
    QCOMPARE(slider.value(), 100);
    QCOMPARE(scrolled.count(), 0);
    QCOMPARE(clicked.count(), 0);

    // A value set from code after a key press must not be taken for the user's move.
    QTest::keyClick(&slider, Qt::Key_Left);
    QCOMPARE(scrolled.count(), 1);
    slider.setValue(20);
    QCOMPARE(scrolled.count(), 1);
}

// --- UpDown ---

void TstUi::upDownSteps_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("presses");  // up when positive, down when negative
    QTest::addColumn<QString>("expected");

    QTest::newRow("up") << "100" << 100 << 1 << 50000 << 1 << "101";
    QTest::newRow("down") << "100" << 100 << 1 << 50000 << -1 << "99";
    QTest::newRow("stops at the highest value") << "49999" << 49999 << 1 << 50000 << 3 << "50000";
    QTest::newRow("stops at the lowest value") << "2" << 2 << 1 << 50000 << -3 << "1";
    QTest::newRow("writes also at the limit") << "" << 10000 << 1 << 10000 << 1 << "10000";
    QTest::newRow("starts from the typed number") << "250" << 100 << 1 << 50000 << 2 << "252";
    QTest::newRow("typed number with blanks") << " 7 " << 100 << 1 << 50000 << 1 << "8";
    QTest::newRow("typed number above the range") << "60000" << 100 << 1 << 50000 << 1 << "101";
    QTest::newRow("typed number below the range") << "0" << 100 << 1 << 50000 << -1 << "99";
    QTest::newRow("typed text") << "abc" << 100 << 1 << 50000 << 1 << "101";
    QTest::newRow("typed decimal") << "12.5" << 100 << 1 << 50000 << 1 << "101";
    QTest::newRow("no digit grouping") << "9999" << 9999 << 1 << 50000 << 1 << "10000";
}

void TstUi::upDownSteps() {
    QFETCH(QString, text);
    QFETCH(int, value);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, presses);

    // A locale that groups digits, to catch locale-formatted output.
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QLineEdit box;
    ui::UpDown upDown(&box, value, minimum, maximum);
    box.setText(text);
    for (int i = 0; i < std::abs(presses); ++i) {
        if (presses > 0) {
            upDown.stepUp();
        } else {
            upDown.stepDown();
        }
    }
    QLocale::setDefault(saved);

    QFETCH(QString, expected);
    QCOMPARE(box.text(), expected);
    QCOMPARE(upDown.value(), expected.toInt());
}

void TstUi::upDownArrowButtonsAndLimits() {
    QWidget window;
    auto* box = new QLineEdit(QStringLiteral("10"), &window);
    auto* upDown = new ui::UpDown(box, 10, 1, 12, &window);
    upDown->setGeometry(ui::ToPixels({1440, 3900, 240, 375}));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // The arrows fill the control, one above the other.
    QCOMPARE(upDown->upButton()->geometry().top(), 0);
    QCOMPARE(upDown->downButton()->geometry().bottom(), upDown->height() - 1);
    QVERIFY(upDown->upButton()->geometry().bottom() < upDown->downButton()->geometry().top());

    QTest::mouseClick(upDown->upButton(), Qt::LeftButton);
    QCOMPARE(box->text(), QStringLiteral("11"));
    QTest::mouseClick(upDown->downButton(), Qt::LeftButton);
    QTest::mouseClick(upDown->downButton(), Qt::LeftButton);
    QCOMPARE(box->text(), QStringLiteral("9"));

    upDown->setEnabled(false);
    QVERIFY(!upDown->upButton()->isEnabled());
    QTest::mouseClick(upDown->upButton(), Qt::LeftButton);
    QCOMPARE(box->text(), QStringLiteral("9"));
    upDown->setEnabled(true);

    box->setText(QString());
    upDown->setMaximum(5);
    QCOMPARE(upDown->value(), 5);
    upDown->stepUp();
    QCOMPARE(box->text(), QStringLiteral("5"));
}

// --- TextRow ---

void TstUi::textRowPrintsLinesTopToBottom() {
    QWidget parent;
    QPalette palette = parent.palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    parent.setPalette(palette);
    auto* row = new ui::TextRow(&parent);
    const int line = row->fontMetrics().lineSpacing();
    row->resize(228, 3 * line);
    const QColor background = row->background();
    const QRect first(0, 0, row->width(), line);
    const QRect second(0, line, row->width(), line);
    const QRect third(0, 2 * line, row->width(), line);

    row->printLine(QStringLiteral("Training: xor.net"));
    QImage image = row->grab().toImage();
    QVERIFY(hasInk(image, first, background));
    QVERIFY(!hasInk(image, second, background));
    QVERIFY(leftmostInk(image, first, background) < 4);  // left aligned

    row->printLine(QStringLiteral("Epochs: 10"));
    image = row->grab().toImage();
    QVERIFY(hasInk(image, second, background));
    QVERIFY(!hasInk(image, third, background));
    QCOMPARE(row->lines(), (QStringList{"Training: xor.net", "Epochs: 10"}));

    row->clear();
    QCOMPARE(row->lines(), QStringList());
    QVERIFY(!hasInk(row->grab().toImage(), row->rect(), background));
}

void TstUi::textRowBackground() {
    QWidget parent;
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, QColor(0x12, 0x34, 0x56));
    parent.setPalette(palette);
    auto* row = new ui::TextRow(&parent);
    row->resize(100, 20);

    QCOMPARE(row->background(), QColor(0x12, 0x34, 0x56));
    QCOMPARE(row->grab().toImage().pixelColor(99, 19), QColor(0x12, 0x34, 0x56));

    row->printLine(QStringLiteral("-0.5"));
    row->setBackground(Qt::red);
    const QImage image = row->grab().toImage();
    QCOMPARE(image.pixelColor(0, 19), QColor(Qt::red));
    QCOMPARE(image.pixelColor(99, 19), QColor(Qt::red));
    QCOMPARE(row->lines(), QStringList{"-0.5"});  // the colour does not clear the text

    ui::TextRow orphan;
    QCOMPARE(orphan.background(), ui::TextRow::buttonFace());
}

// --- File lists ---

// root/  a.net  B.net  upper.NET  notes.txt  .hidden.net  plain-file
//        folder.net/  Alpha/  sub/(c.net, deeper/)  .git/
void TstUi::makeTree() {
    m_tree = std::make_unique<QTemporaryDir>();
    QVERIFY(m_tree->isValid());
    const QDir root(m_tree->path());
    for (const char* dir : {"folder.net", "Alpha", "sub/deeper", ".git"}) {
        QVERIFY(root.mkpath(QString::fromUtf8(dir)));
    }
    for (const char* file :
         {"a.net", "B.net", "upper.NET", "notes.txt", ".hidden.net", "plain-file", "sub/c.net"}) {
        touch(root.filePath(QString::fromUtf8(file)));
    }
}

void TstUi::fileListShowsOnlyMatchingFiles_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("training files") << "*.net"
                                    << "" << QStringList{"a.net", "B.net"};
    QTest::newRow("reports") << "*.txt"
                             << "" << QStringList{"notes.txt"};
    QTest::newRow("two patterns") << "*.net;*.txt"
                                  << "" << QStringList{"a.net", "B.net", "notes.txt"};
    QTest::newRow("subfolder") << "*.net"
                               << "sub" << QStringList{"c.net"};
    QTest::newRow("nothing matches") << "*.net"
                                     << "Alpha" << QStringList{};
}

void TstUi::fileListShowsOnlyMatchingFiles() {
    QFETCH(QString, pattern);
    QFETCH(QString, folder);
    makeTree();
    ui::FileList files(pattern);
    files.setPath(QDir(m_tree->path()).filePath(folder));
    QTEST(itemTexts(files), "expected");
}

void TstUi::fileListSelectionAndSignals() {
    makeTree();
    QWidget window;
    auto* files = new ui::FileList(QStringLiteral("*.net"), &window);
    files->setGeometry(0, 0, 150, 120);
    files->setPath(m_tree->path());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy clicked(files, &ui::FileList::fileClicked);
    QSignalSpy doubleClicked(files, &ui::FileList::fileDoubleClicked);
    QCOMPARE(files->fileName(), QString());

    const QPoint b = files->visualItemRect(itemNamed(*files, QStringLiteral("B.net"))).center();
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, b);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(doubleClicked.count(), 0);
    QCOMPARE(files->fileName(), QStringLiteral("B.net"));
    QCOMPARE(files->path(), QDir::cleanPath(m_tree->path()));

    QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, b);
    QCOMPARE(doubleClicked.count(), 1);

    // From the keyboard: an arrow key or a typed first letter selects as a click does,
    // and Enter activates as a double-click does.
    QTest::keyClick(files, Qt::Key_Up);
    QCOMPARE(files->fileName(), QStringLiteral("a.net"));
    QCOMPARE(clicked.count(), 2);
    QTest::keyClicks(files, QStringLiteral("b"));
    QCOMPARE(files->fileName(), QStringLiteral("B.net"));
    QCOMPARE(clicked.count(), 3);
    QTest::keyClick(files, Qt::Key_Return);
    QCOMPARE(doubleClicked.count(), 2);

    // A file saved meanwhile appears on refresh; the selection stays.
    touch(QDir(m_tree->path()).filePath(QStringLiteral("0-new.net")));
    files->refresh();
    QCOMPARE(itemTexts(*files), (QStringList{"0-new.net", "a.net", "B.net"}));
    QCOMPARE(files->fileName(), QStringLiteral("B.net"));

    files->setPath(QDir(m_tree->path()).filePath(QStringLiteral("sub")));
    QCOMPARE(files->fileName(), QString());
}

void TstUi::folderListShowsAncestorsThenSubfolders() {
    makeTree();
    ui::FolderList folders;
    const QString root = QDir::cleanPath(m_tree->path());
    folders.setPath(root);
    QCOMPARE(folders.path(), root);

    QStringList expected{QStringLiteral("/")};
    expected += root.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const qsizetype ancestors = expected.size();
    expected += QStringList{"Alpha", "folder.net", "sub"};  // hidden .git left out
    QCOMPARE(itemTexts(folders), expected);

    // The current folder is the highlighted entry; its subfolders are indented below it.
    QListWidgetItem* current = folders.item(int(ancestors) - 1);
    QCOMPARE(folders.currentItem(), current);
    QVERIFY(indentOf(folders.item(int(ancestors))) > indentOf(current));
    QVERIFY(indentOf(current) > indentOf(folders.item(0)));
}

void TstUi::coupledListsFollowFoldersAndDrives() {
    makeTree();
    const QString root = QDir::cleanPath(m_tree->path());
    QWidget window;
    auto* drives = new ui::DriveList(&window);
    auto* folders = new ui::FolderList(&window);
    auto* files = new ui::FileList(QStringLiteral("*.net"), &window);
    drives->setGeometry(0, 0, 150, 21);
    folders->setGeometry(0, 22, 150, 186);
    files->setGeometry(160, 0, 150, 123);
    // An untidy start folder is cleaned up.
    ui::CoupleFileLists(drives, folders, files, root + QStringLiteral("/sub/.."));
    window.resize(320, 210);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(folders->path(), root);
    QCOMPARE(files->path(), root);
    QCOMPARE(itemTexts(*files), (QStringList{"a.net", "B.net"}));
    QVERIFY(root.startsWith(drives->drive()));
    QSignalSpy pathChanged(folders, &ui::FolderList::pathChanged);

    // Double-click opens a subfolder; the file list follows.
    QListWidgetItem* sub = itemNamed(*folders, QStringLiteral("sub"));
    QVERIFY(sub != nullptr);
    folders->scrollToItem(sub);
    const QPoint at = folders->visualItemRect(sub).center();
    QTest::mouseClick(folders->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(folders->path(), root);  // a single click only highlights
    QTest::mouseDClick(folders->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(folders->path(), root + QStringLiteral("/sub"));
    QCOMPARE(files->path(), root + QStringLiteral("/sub"));
    QCOMPARE(itemTexts(*files), QStringList{"c.net"});
    QCOMPARE(pathChanged.count(), 1);

    // Enter on an ancestor goes back up.
    folders->setCurrentItem(itemNamed(*folders, root.section(QLatin1Char('/'), -1)));
    QTest::keyClick(folders, Qt::Key_Return);
    QCOMPARE(folders->path(), root);
    QCOMPARE(itemTexts(*files), (QStringList{"a.net", "B.net"}));

    // Picking the drive shown again changes nothing; picking another drive takes both lists
    // to its root.
    emit drives->activated(drives->currentIndex());
    QCOMPARE(folders->path(), root);
    const int other = drives->currentIndex() == 0 ? 1 : 0;
    if (other >= drives->count()) {
        QSKIP("this machine has only one volume");
    }
    const QString otherRoot = drives->itemData(other).toString();
    emit drives->activated(other);
    QCOMPARE(folders->path(), otherRoot);
    QCOMPARE(files->path(), otherRoot);
    QCOMPARE(drives->drive(), otherRoot);
}

void TstUi::unreadableFolderKeepsPreviousPath_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("locked");  // made unreadable by permissions

    QTest::newRow("a file") << "plain-file" << false;
    QTest::newRow("missing folder") << "no-such-folder" << false;
    QTest::newRow("no permission") << "Alpha" << true;
}

void TstUi::unreadableFolderKeepsPreviousPath() {
    QFETCH(QString, target);
    QFETCH(bool, locked);
    if (locked && geteuid() == 0) {
        QSKIP("running as root: file permissions do not keep root out of a folder");
    }
    makeTree();
    const QString root = QDir::cleanPath(m_tree->path());
    const QString path = QDir(root).filePath(target);
    if (locked) {
        QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
    }

    ui::DriveList drives;
    ui::FolderList folders;
    ui::FileList files(QStringLiteral("*.net"));
    ui::CoupleFileLists(&drives, &folders, &files, root);
    const QStringList before = itemTexts(folders);
    QSignalSpy unreadable(&folders, &ui::FolderList::unreadable);
    QSignalSpy pathChanged(&folders, &ui::FolderList::pathChanged);

    folders.setPath(path);

    if (locked) {
        QFile::setPermissions(
            path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QCOMPARE(unreadable.count(), 1);
    QCOMPARE(unreadable.at(0).at(0).toString(), path);
    QVERIFY(!unreadable.at(0).at(1).toString().isEmpty());
    QCOMPARE(pathChanged.count(), 0);
    QCOMPARE(folders.path(), root);
    QCOMPARE(itemTexts(folders), before);
    QCOMPARE(files.path(), root);
}

void TstUi::driveListHasRootAndSortedVolumes() {
    ui::DriveList drives;
    QStringList roots;
    for (int i = 0; i < drives.count(); ++i) {
        roots << drives.itemData(i).toString();
        QVERIFY2(QFileInfo(roots.last()).isDir(), qPrintable(roots.last()));
    }
    QVERIFY(roots.contains(QStringLiteral("/")));
    QStringList sorted = roots;
    sorted.sort();
    sorted.removeDuplicates();
    QCOMPARE(roots, sorted);

    drives.setDriveFor(QDir::tempPath());
    const QString drive = drives.drive();
    QVERIFY(QDir::tempPath().startsWith(drive));
    // The deepest volume that holds the path.
    for (const QString& root : roots) {
        if (root.size() > drive.size() && QDir::tempPath().startsWith(root + QLatin1Char('/'))) {
            QFAIL(qPrintable(root + QStringLiteral(" holds the path more closely")));
        }
    }
}

// --- Geometry and fonts ---

void TstUi::applyGeometryPlacesControlsAndReportsMissing() {
    QWidget page;
    auto* next = new QPushButton(&page);
    next->setObjectName(QStringLiteral("NextPage"));
    auto* frame = new QGroupBox(&page);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* option = new QRadioButton(frame);
    option->setObjectName(QStringLiteral("OptionHebb"));
    auto* label = new QLabel(&page);
    label->setObjectName(QStringLiteral("Label8(2)"));

    const std::array<ui::ControlPlace, 5> table{{
        {"NextPage", {3480, 4320, 2292, 1095}},
        {"Frame1", {240, 1680, 3012, 1332}},
        {"OptionHebb", {120, 360, 1572, 495}},
        {"Missing", {0, 0, 100, 100}},
        {"Label8(2)", {6060, 3720, 1335, 255}},
    }};
    QCOMPARE(ui::ApplyGeometry(&page, table), QStringList{"Missing"});

    QCOMPARE(next->geometry(), QRect(232, 288, 153, 73));
    QCOMPARE(frame->geometry(), QRect(16, 112, 201, 89));
    QCOMPARE(option->geometry(), QRect(8, 24, 105, 33));  // relative to the frame
    QCOMPARE(option->mapTo(&page, QPoint(0, 0)), QPoint(24, 136));
    QCOMPARE(label->geometry(), QRect(404, 248, 89, 17));
}

// On a page grown 300 twips wider and 150 taller.
void TstUi::anchoredPlacesKeepToTheirEdges_data() {
    QTest::addColumn<uint>("anchors");
    QTest::addColumn<QRect>("placed");  // left, top, width, height in twips
    QTest::newRow("top left stays")
        << uint{ui::AnchorLeft | ui::AnchorTop} << QRect(960, 7560, 2292, 732);
    QTest::newRow("bottom right moves")
        << uint{ui::AnchorBottomRight} << QRect(1260, 7710, 2292, 732);
    QTest::newRow("across the top widens")
        << uint{ui::AnchorAcrossTop} << QRect(960, 7560, 2592, 732);
    QTest::newRow("across the bottom widens and moves")
        << uint{ui::AnchorAcrossBottom} << QRect(960, 7710, 2592, 732);
    QTest::newRow("every edge grows") << uint{ui::AnchorAll} << QRect(960, 7560, 2592, 882);
}

void TstUi::anchoredPlacesKeepToTheirEdges() {
    QFETCH(uint, anchors);
    QFETCH(QRect, placed);
    const ui::TwipRect r = ui::Anchored({960, 7560, 2292, 732}, anchors, 300, 150);
    QCOMPARE(QRect(r.left, r.top, r.width, r.height), placed);
}

void TstUi::pageFontResolvesInstalledFace_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("face");

    QTest::newRow("Arial") << "Arial"
                           << "Liberation Sans";
    QTest::newRow("MS Sans Serif") << "MS Sans Serif"
                                   << "Liberation Sans";
    QTest::newRow("Courier New") << "Courier New"
                                 << "Liberation Mono";
    QTest::newRow("Courier") << "Courier"
                             << "Liberation Mono";
    QTest::newRow("Times New Roman") << "Times New Roman"
                                     << "Liberation Serif";
}

void TstUi::pageFontResolvesInstalledFace() {
    QFETCH(QString, family);
    const QByteArray name = family.toUtf8();
    QTEST(QFontInfo(ui::PageFont(name.constData(), 12)).family(), "face");
}

void TstUi::pageFontSizeAndStyle_data() {
    QTest::addColumn<double>("points");
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<bool>("underline");

    QTest::newRow("regular 8") << 8.0 << int(ui::Regular) << false << false << false;
    QTest::newRow("bold italic 20.25") << 20.25 << (ui::Bold | ui::Italic) << true << true << false;
    QTest::newRow("bold underlined 10.5")
        << 10.5 << (ui::Bold | ui::Underline) << true << false << true;
    QTest::newRow("italic 8.25") << 8.25 << int(ui::Italic) << false << true << false;
}

void TstUi::pageFontSizeAndStyle() {
    QFETCH(double, points);
    QFETCH(int, style);
    const QFont font = ui::PageFont("Arial", points, style);
    QCOMPARE(font.pointSizeF(), points);
    QTEST(font.bold(), "bold");
    QTEST(font.italic(), "italic");
    QTEST(font.underline(), "underline");
    const QFontInfo info(font);
    QTEST(info.bold(), "bold");
    QTEST(info.italic(), "italic");
}

QTEST_MAIN(TstUi)
#include "tst_ui.moc"

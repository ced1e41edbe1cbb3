// The one way work leaves the window thread: a long task's dialog with its percentage and
// time left, Cancel by button and by Esc, a Stop button instead of the dialog, and
// background work whose page closes before it is done.

#include <QApplication>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/support/scripted_dialogs.h"
#include "ui/long_task.h"
#include "ui/page_runtime.h"

namespace {

// Work that runs until it is cancelled, reporting how far it has come.
struct CancellableWork {
    std::atomic<bool> cancel{false};
    std::atomic<int> steps{0};
    void run() {
        while (!cancel.load()) {
            steps.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
};

}  // namespace

class TstLongTask : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void dialogTextShowsPercentAndTimeLeftOnlyWhenKnown_data();
    void dialogTextShowsPercentAndTimeLeftOnlyWhenKnown();
    void escapeCancelsWhereverTheFocusIs_data();
    void escapeCancelsWhereverTheFocusIs();
    void stopButtonTakesThePlaceOfTheDialog();
    void backgroundResultReachesALivingPageOnly();

  private:
    std::unique_ptr<support::ScriptedDialogs> m_dialogs;
    std::unique_ptr<ui::PageRuntime> m_runtime;
    std::unique_ptr<QWidget> m_page;
    QLineEdit* m_box = nullptr;
    int m_delay = 0;
};

void TstLongTask::init() {
    m_dialogs = std::make_unique<support::ScriptedDialogs>();
    m_runtime = std::make_unique<ui::PageRuntime>(*m_dialogs);
    m_page = std::make_unique<QWidget>();
    m_box = new QLineEdit(m_page.get());
    m_page->show();
    m_page->activateWindow();
    m_box->setFocus();
    m_delay = ui::LongTaskDelayMs;
    ui::LongTaskDelayMs = 0;
}

void TstLongTask::cleanup() {
    ui::LongTaskDelayMs = m_delay;
    ui::JoinBackgroundWork();
    m_page.reset();
    m_runtime.reset();
    m_dialogs.reset();
}

void TstLongTask::dialogTextShowsPercentAndTimeLeftOnlyWhenKnown_data() {
    QTest::addColumn<double>("done");
    QTest::addColumn<double>("total");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("expected");
    QTest::newRow("total unknown") << 5.0 << 0.0 << 3.0 << "5.0 MB read";
    QTest::newRow("a quarter after 2 s")
        << 50.0 << 200.0 << 2.0 << "5.0 MB read\n25 %, about 6 s left";
    QTest::newRow("too early to tell") << 50.0 << 200.0 << 0.5 << "5.0 MB read\n25 %";
    QTest::newRow("too little done to tell") << 1.0 << 200.0 << 5.0 << "5.0 MB read\n0 %";
    QTest::newRow("rounds the percent down") << 199.0 << 200.0 << 0.1 << "5.0 MB read\n99 %";
    QTest::newRow("done beyond the total") << 300.0 << 200.0 << 9.0 << "5.0 MB read\n100 %";
}

void TstLongTask::dialogTextShowsPercentAndTimeLeftOnlyWhenKnown() {
    QFETCH(double, done);
    QFETCH(double, total);
    QFETCH(double, seconds);
    QFETCH(QString, expected);
    QCOMPARE(ui::LongTaskText({QStringLiteral("5.0 MB read"), done, total}, seconds), expected);
}

void TstLongTask::escapeCancelsWhereverTheFocusIs_data() {
    QTest::addColumn<bool>("toDialog");
    QTest::addColumn<bool>("committed");
    QTest::newRow("Esc in the dialog") << true << false;
    QTest::newRow("Esc in the page beneath it") << false << false;
    // Cancel that comes once the work has committed: the task reports done.
    QTest::newRow("Esc after the work committed") << true << true;
}

void TstLongTask::escapeCancelsWhereverTheFocusIs() {
    QFETCH(bool, toDialog);
    QFETCH(bool, committed);
    CancellableWork work;
    int cancels = 0;
    QString shown;
    QTimer::singleShot(150, m_page.get(), [&] {
        auto* dialog = m_page->findChild<QProgressDialog*>(ui::LongTaskDialogName);
        QVERIFY(dialog != nullptr);
        shown = dialog->labelText();
        QCOMPARE(dialog->maximum(), 1000);  // a bar, not a busy bar
        QTest::keyClick(toDialog ? static_cast<QWidget*>(dialog) : m_box, Qt::Key_Escape);
    });
    ui::LongTask task;
    task.title = QStringLiteral("Working");
    task.work = [&work, committed] {
        work.run();
        return committed;
    };
    task.status = [&work] {
        return ui::TaskStatus{QStringLiteral("step %1").arg(work.steps.load()),
                              static_cast<double>(work.steps.load()), 1e9};
    };
    task.cancel = [&] {
        ++cancels;
        work.cancel.store(true);
    };
    QCOMPARE(ui::RunLongTask(*m_runtime, m_page.get(), task),
             committed ? core::WorkEnd::Done : core::WorkEnd::Cancelled);
    QCOMPARE(cancels, 1);
    QVERIFY(shown.startsWith(QStringLiteral("step ")));
    QVERIFY(shown.contains(QStringLiteral(" %")));
    QVERIFY(m_page->findChild<QProgressDialog*>(ui::LongTaskDialogName) == nullptr);
    QVERIFY(!m_runtime->inputLocked());
}

void TstLongTask::stopButtonTakesThePlaceOfTheDialog() {
    auto* stop = new QPushButton(QStringLiteral("Stop"), m_page.get());
    CancellableWork work;
    QObject::connect(stop, &QPushButton::clicked, m_page.get(),
                     [&work] { work.cancel.store(true); });
    int frames = 0;
    bool dialogSeen = false;
    bool otherInputLocked = false;
    ui::LongTask task;
    task.work = [&work] {
        work.run();
        return false;  // stopped before the end
    };
    task.everyFrame = [&] {
        ++frames;
        dialogSeen |= m_page->findChild<QProgressDialog*>(ui::LongTaskDialogName) != nullptr;
        if (frames == 5) {
            // Typing into the page is locked out; Esc presses the Stop button.
            QTest::keyClick(m_box, Qt::Key_A);
            otherInputLocked = m_box->text().isEmpty();
            QTest::keyClick(m_box, Qt::Key_Escape);
        }
    };
    task.stopButton = stop;
    // Not a dialog's cancel: the caller's button stopped it.
    QCOMPARE(ui::RunLongTask(*m_runtime, m_page.get(), task), core::WorkEnd::Failed);
    QVERIFY(work.cancel.load());
    QVERIFY(frames >= 5);
    QVERIFY(!dialogSeen);
    QVERIFY(otherInputLocked);
    QVERIFY(!m_runtime->inputLocked());
}

void TstLongTask::backgroundResultReachesALivingPageOnly() {
    std::atomic<bool> release{false};
    int delivered = 0;
    auto closing = std::make_unique<QObject>();
    QObject staying;
    const auto slowWork = [&release](const core::Progress& progress) {
        while (!release.load() && !progress.stopRequested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return 7;
    };
    ui::StartBackgroundWork<int>(closing.get(), slowWork, [&delivered](int) { delivered += 100; });
    ui::StartBackgroundWork<int>(&staying, slowWork, [&delivered](int v) { delivered += v; });
    QCOMPARE(ui::BackgroundWorkRunning(), 2);
    closing.reset();  // the page closes while its work runs
    release.store(true);
    QTRY_COMPARE(delivered, 7);
    QTRY_COMPARE(ui::BackgroundWorkRunning(), 0);

    // At the program's end a worker still running is asked to stop and joined, and its
    // result is dropped.
    release.store(false);
    ui::StartBackgroundWork<int>(&staying, slowWork, [&delivered](int v) { delivered += v; });
    ui::JoinBackgroundWork();
    QCOMPARE(ui::BackgroundWorkRunning(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(delivered, 7);
}

QTEST_MAIN(TstLongTask)
#include "tst_long_task.moc"

// A student's round trip through the real pages: load, train, menu, reset, train with the
// other rule, continue, and start over with a new problem.

#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "core/arithmetic.h"
#include "core/network_state.h"
#include "pages/menu_page.h"
#include "pages/page_id.h"
#include "pages/program_pages.h"
#include "pages/session.h"
#include "pages/setup_page.h"
#include "pages/start_page.h"
#include "tests/support/scripted_dialogs.h"
#include "text/number_format.h"
#include "ui/file_lists.h"
#include "ui/page_runtime.h"

namespace {

using pages::PageId;
using ui::PageKey;

void doubleClick(QListWidget* list, const QString& text) {
    const auto items = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(!items.isEmpty(), qPrintable(text));
    const QPoint at = list->visualItemRect(items.front()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QCoreApplication::processEvents();
}

// The epoch-0 error of the loaded problem under zero weights, from the core directly.
double errorBeforeTraining(const core::PublicStuff& loaded) {
    core::PublicStuff net = loaded;
    net.CreateUnitsAndWeights();
    double sum = 0.0;
    for (int p = 1; p <= net.NumPatterns; ++p) {
        if (core::ComputeResponses(net, p) != core::ArithStatus::Ok)
            return -1.0;
        sum = sum + core::PatternSSE(net);
    }
    return sum;
}

class TestRoundTrip : public QObject {
    Q_OBJECT
  private slots:
    void studentRoundTrip() {
        QDir::setCurrent(QStringLiteral(DAM_EXAMPLES));
        support::ScriptedDialogs dialogs;
        core::PublicStuff net;
        pages::Session session;
        ui::PageRuntime runtime(dialogs);
        pages::RegisterProgramPages(runtime, net, session);

        // Load tiny.net and go on.
        QWidget* start = runtime.Show(PageId::Start);
        doubleClick(start->findChild<ui::FileList*>("File1"), "tiny.net");
        QCOMPARE(net.NumPatterns, 2);
        QTest::mouseClick(start->findChild<QPushButton*>("NextPage"), Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(!runtime.isLoaded(PageId::Start));

        // 100 Hebb epochs with the initial settings.
        auto* setup = static_cast<pages::SetupPage*>(runtime.find(PageId::Setup));
        QVERIFY(setup);
        QTest::mouseClick(setup->StartTraining, Qt::LeftButton);
        QCOMPARE(net.SweepCount, 100);
        QCOMPARE(net.SSEHistoryCount, 11);
        QCOMPARE(net.SSEHistory[1][2], errorBeforeTraining(net));
        QCOMPARE(setup->Picture1[1]->lines(), QStringList({"Epochs: 100"}));
        const double hebbTotal = net.TotalSSE;

        // Menu, reset, Delta: fresh weights, a new history, the same epoch-0 error.
        QTest::mouseClick(setup->TestRecall, Qt::LeftButton);
        QCoreApplication::processEvents();
        auto* menu = static_cast<pages::MenuPage*>(runtime.find(PageId::Menu));
        QVERIFY(menu);
        dialogs.answer(ui::Answer::No);  // not saved: dropped only after the question
        doubleClick(menu->findChild<QListWidget*>("ContinueList"), "Reset Weights And Train Again");
        QVERIFY(!runtime.isLoaded(PageId::Menu));
        setup = static_cast<pages::SetupPage*>(runtime.find(PageId::Setup));
        QVERIFY(setup->OptionHebb->isChecked());
        QCOMPARE(setup->LRateBox->text(), QStringLiteral("0.10"));
        QTest::mouseClick(setup->OptionDelta, Qt::LeftButton);
        QTest::mouseClick(setup->StartTraining, Qt::LeftButton);
        QCOMPARE(net.SweepCount, 100);
        QCOMPARE(net.SSEHistoryCount, 11);
        QVERIFY(net.TotalSSE < hebbTotal);
        QCOMPARE(setup->Picture1[2]->lines(),
                 QStringList(
                     {QString::fromStdString("Total SSE: " + text::FormatStandard(net.TotalSSE))}));

        // Continue: epochs 101 to 200.
        QTest::mouseClick(setup->Continue, Qt::LeftButton);
        QCOMPARE(net.SweepCount, 200);
        QCOMPARE(net.SSEHistoryCount, 21);
        QCOMPARE(net.SSEHistory[21][1], 200.0);

        // Keep the weights and go on from the menu: the box adds to the previous maximum.
        QTest::mouseClick(setup->TestRecall, Qt::LeftButton);
        QCoreApplication::processEvents();
        menu = static_cast<pages::MenuPage*>(runtime.find(PageId::Menu));
        doubleClick(menu->findChild<QListWidget*>("ContinueList"),
                    "Keep Current Weights And Continue Training");
        setup = static_cast<pages::SetupPage*>(runtime.find(PageId::Setup));
        QTest::mouseClick(setup->StartTraining, Qt::LeftButton);
        QCOMPARE(net.MaxSweeps, 300);
        QCOMPARE(net.SweepCount, 300);

        // A new problem: the start page shows no file information until a new load.
        QTest::mouseClick(setup->TestRecall, Qt::LeftButton);
        QCoreApplication::processEvents();
        menu = static_cast<pages::MenuPage*>(runtime.find(PageId::Menu));
        doubleClick(menu->findChild<QListWidget*>("ContinueList"),
                    "Train A New Network On A New Problem");
        start = runtime.find(PageId::Start);
        QVERIFY(start);
        QVERIFY(!start->findChild<QPushButton*>("NextPage")->isVisible());
        dialogs.answer(ui::Answer::No);
        doubleClick(start->findChild<ui::FileList*>("File1"), "large.net");
        QCOMPARE(net.NumInputs, 64);
        QTest::mouseClick(start->findChild<QPushButton*>("NextPage"), Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(net.Weights.inputs(), 64);
        QCOMPARE(net.Weights.Weight(64, 64), 0.0);
        QCOMPARE(dialogs.texts(),
                 QStringList({"The trained network has not been saved. Save it before resetting "
                              "the weights?",
                              "The trained network has not been saved. Save it before opening "
                              "another file?"}));
    }
};

}  // namespace

QTEST_MAIN(TestRoundTrip)
#include "tst_round_trip.moc"

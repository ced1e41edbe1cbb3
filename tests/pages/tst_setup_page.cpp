// The setup page and the training run, driven through the real widgets.

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <utility>

#include <QToolButton>

#include "files/loader.h"
#include "pages/setup_page.h"
#include "pages/training_progress.h"
#include "tests/support/network_builder.h"
#include "tests/support/page_program.h"
#include "text/number_format.h"
#include "ui/slider.h"

namespace {

using pages::PageId;
using pages::SetupPage;
using ui::PageKey;

// The setup page on a loaded problem, with a stand-in for the menu it opens. The units
// and weights are left for the page to make.
struct Program : support::PageProgram {
    explicit Program(const char* problem = "2 0 3 2  1 0 1  0 1 0  1 0  0 1") {
        std::string error;
        if (!files::LoadTrainingData(net, problem, "tiny.net", error))
            qFatal("%s", error.c_str());
        net.TrainingFileName = "tiny.net";
        net.FreshStart = 1;
        add<SetupPage>(PageId::Setup);
        standIn(PageId::Menu);
    }
    SetupPage* page() { return show<SetupPage>(PageId::Setup); }
};

QStringList rowTexts(const SetupPage* page) {
    QStringList texts;
    for (const ui::TextRow* row : page->Picture1)
        texts << row->lines().join(QLatin1Char('|'));
    return texts;
}

class TestSetupPage : public QObject {
    Q_OBJECT
  private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    void loadsWithItsInitialValues() {
        Program program;
        program.net.LearningRule = core::Rule::Delta;
        SetupPage* page = program.page();
        QCOMPARE(page->windowTitle(),
                 QStringLiteral("Distributed Memory Setup Page -- Tavrel Neural Network Code"));
        QCOMPARE(page->SweepsBox->text(), QStringLiteral("100"));
        QCOMPARE(page->PrintSweepsBox->text(), QStringLiteral("10"));
        QCOMPARE(page->LRateBox->text(), QStringLiteral("0.10"));
        QCOMPARE(page->MinErrorBox->text(), QStringLiteral("0.05"));
        QCOMPARE(page->LRateSlider->value(), 10);
        QCOMPARE(page->MinErrorSlider->value(), 5);
        QVERIFY(page->OptionHebb->isChecked());
        QVERIFY(!page->OptionDelta->isChecked());
        QVERIFY(program.net.LearningRule == core::Rule::Hebb);
        QVERIFY(page->Check1[0]->isChecked());
        QVERIFY(!page->Check1[1]->isChecked());
        for (const ui::TextRow* row : page->Picture1)
            QVERIFY(!row->isVisible());
        QVERIFY(!page->Continue->isVisible());
        QVERIFY(!page->TestRecall->isVisible());
        QVERIFY(!page->Stop->isVisible());
        QVERIFY(page->StartTraining->isVisible());
        QCOMPARE(program.net.InputUnits.size(), 4u);
        QCOMPARE(program.net.Weights.outputs(), 2);
    }

    // During a long epoch its progress shows beside the rows, over no control.
    void epochProgressCoversNoControl() {
        Program program;
        SetupPage* page = program.page();
        const QRect progress = page->EpochProgress->geometry();
        for (const QWidget* control :
             page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (control != page->EpochProgress && !control->objectName().isEmpty()) {
                QVERIFY2(!control->geometry().intersects(progress),
                         qPrintable(control->objectName()));
            }
        }
    }

    void keepingTheWeightsKeepsThem() {
        Program program;
        program.page();
        program.net.Weights.setWeight(1, 2, 0.75);
        program.runtime.Unload(PageId::Setup);
        program.net.FreshStart = 0;
        program.page();
        QCOMPARE(program.net.Weights.Weight(1, 2), 0.75);
        program.runtime.Unload(PageId::Setup);
        program.net.FreshStart = 1;
        program.page();
        QCOMPARE(program.net.Weights.Weight(1, 2), 0.0);
    }

    void slidersAndUpDowns() {
        Program program;
        SetupPage* page = program.page();
        page->LRateSlider->setFocus();
        QTest::keyClick(page->LRateSlider, Qt::Key_End);
        QCOMPARE(page->LRateBox->text(), QStringLiteral("2"));
        QTest::keyClick(page->LRateSlider, Qt::Key_Home);
        QCOMPARE(page->LRateBox->text(), QStringLiteral("0"));
        QTest::keyClick(page->LRateSlider, Qt::Key_Right);
        QTest::keyClick(page->LRateSlider, Qt::Key_PageUp);
        QCOMPARE(page->LRateBox->text(), QStringLiteral("0.06"));

        // The error box follows mouse clicks only.
        page->MinErrorSlider->setFocus();
        QTest::keyClick(page->MinErrorSlider, Qt::Key_Right);
        QCOMPARE(page->MinErrorSlider->value(), 6);
        QCOMPARE(page->MinErrorBox->text(), QStringLiteral("0.05"));
        page->MinErrorSlider->setValue(50);
        QTest::mouseClick(page->MinErrorSlider, Qt::LeftButton, {},
                          page->MinErrorSlider->rect().center());
        QCOMPARE(page->MinErrorBox->text(), QString::number(page->MinErrorSlider->value() / 100.0));

        // A typed number moves its slider, to the end for one beyond it; a click on the
        // track then goes on from there.
        const std::pair<QLineEdit*, ui::Slider*> boxes[] = {
            {page->LRateBox, page->LRateSlider}, {page->MinErrorBox, page->MinErrorSlider}};
        for (const auto& [box, slider] : boxes) {
            box->selectAll();
            QTest::keyClicks(box, QStringLiteral("0.3"));
            QCOMPARE(slider->value(), 30);
            QTest::keyClicks(box, QStringLiteral("x"));
            QCOMPARE(slider->value(), 30);
            box->selectAll();
            QTest::keyClicks(box, QStringLiteral("1.5"));
            QCOMPARE(slider->value(), std::min(150, slider->maximum()));
        }
        page->LRateSlider->setFocus();
        QTest::keyClick(page->LRateSlider, Qt::Key_Right);
        QCOMPARE(page->LRateBox->text(), QStringLiteral("1.51"));

        QTest::mouseClick(page->SweepsUpDown->upButton(), Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(page->SweepsBox->text(), QStringLiteral("101"));
        page->PrintSweepsBox->setText(QStringLiteral("10000"));
        QTest::mouseClick(page->PrintSweepsUpDown->upButton(), Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(page->PrintSweepsBox->text(), QStringLiteral("10000"));

        QTest::mouseClick(page->OptionDelta, Qt::LeftButton);
        QVERIFY(program.net.LearningRule == core::Rule::Delta);
        QTest::mouseClick(page->OptionHebb, Qt::LeftButton);
        QVERIFY(program.net.LearningRule == core::Rule::Hebb);
    }

    void startTrainingRunsAndShowsTheRows() {
        Program program;
        SetupPage* page = program.page();
        QTest::mouseClick(page->StartTraining, Qt::LeftButton);
        QCOMPARE(program.net.SweepCount, 100);
        QCOMPARE(program.net.SSEHistoryCount, 11);
        const QStringList rows = rowTexts(page);
        QCOMPARE(rows[0], QStringLiteral("Training: tiny.net"));
        QCOMPARE(rows[1], QStringLiteral("Epochs: 100"));
        QCOMPARE(rows[2], QString::fromStdString("Total SSE: " +
                                                 text::FormatStandard(program.net.TotalSSE)));
        QVERIFY(rows[3].startsWith("Change in SSE: "));
        QCOMPARE(page->Picture1[2]->background(),
                 program.net.TotalSSE < 0.05 ? QColor(0, 255, 0) : QColor(255, 0, 0));
        QCOMPARE(page->Picture1[3]->background(), ui::TextRow::buttonFace());
        const QList<QWidget*> frozenControls = {page->Check1[0], page->OptionDelta, page->SweepsBox,
                                                page->LRateSlider, page->MinErrorBox};
        for (QWidget* frozen : frozenControls)
            QVERIFY(!frozen->isEnabled());
        QVERIFY(page->Continue->isVisible());
        QVERIFY(page->TestRecall->isVisible());
        QVERIFY(!page->Stop->isVisible());
        QCOMPARE(program.dialogs.shown().size(), 0);

        // Continuing adds 100 epochs; row 0 shows the file once, as the printouts drew it.
        QTest::mouseClick(page->Continue, Qt::LeftButton);
        QCOMPARE(program.net.SweepCount, 200);
        QCOMPARE(program.net.SSEHistoryCount, 21);
        QCOMPARE(page->Picture1[0]->lines(), QStringList({"Training: tiny.net"}));
    }

    void printoutsUseTheLocaleSeparators() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        Program program("1 0 1 1  1  80");
        SetupPage* page = program.page();
        page->PrintSweepsBox->setText("1");
        page->SweepsBox->setText("1");
        page->LRateBox->setText("0,5");
        QTest::mouseClick(page->StartTraining, Qt::LeftButton);
        QCOMPARE(program.net.LearningRate, 0.5);
        // Each Hebb step adds 40 to the weight: errors 40, 0, -40.
        QCOMPARE(page->Picture1[2]->lines(), QStringList({"Total SSE: 1.600,00"}));
        QCOMPARE(page->Picture1[3]->lines(), QStringList());
        QCOMPARE(page->Picture1[2]->background(), QColor(255, 0, 0));
        QTest::mouseClick(page->Continue, Qt::LeftButton);
        QCOMPARE(page->Picture1[2]->lines(), QStringList({"Total SSE: 0,00"}));
        QCOMPARE(page->Picture1[3]->lines(), QStringList({"Change in SSE: 1,60E+03"}));
        QCOMPARE(page->Picture1[2]->background(), QColor(0, 255, 0));
        QTest::mouseClick(page->Continue, Qt::LeftButton);
        QCOMPARE(page->Picture1[3]->lines(), QStringList({"Change in SSE: -1,60E+03"}));
    }

    void negativeRateIsReplaced() {
        Program program;
        SetupPage* page = program.page();
        page->LRateBox->setText("-0.5");
        program.dialogs.answer(ui::Answer::Ok);
        QTest::mouseClick(page->StartTraining, Qt::LeftButton);
        support::checkWarnings(program.dialogs, QStringList({"Learning rate cannot be negative"}));
        QCOMPARE(program.dialogs.shown()[0].title, QStringLiteral("Learning Rate"));
        QCOMPARE(page->LRateBox->text(), QStringLiteral("0.10"));
        QCOMPARE(program.net.LearningRate, 0.1);
        QCOMPARE(program.net.SweepCount, 100);
    }

    // A box that holds no usable value: its warning word for word, no run, and the box
    // still editable; `retry`, when given, then trains to `historyRows` rows.
    void aBadBoxStartsNoRunAndStaysEditable_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QString>("retry");
        QTest::addColumn<int>("historyRows");
        QTest::newRow("printouts not a number")
            << "PrintSweepsBox"
            << "lots"
            << "The number of epochs between printouts \"lots\" is not a number. Type a whole "
               "number up to 32767."
            << "20" << 6;
        // No epoch number would ever equal a maximum of 0.
        QTest::newRow("maximum below 1")
            << "SweepsBox"
            << "0"
            << "The maximum number of epochs \"0\" is less than 1. Type a whole number of "
               "epochs from 1 to 32767."
            << QString() << 0;
    }
    void aBadBoxStartsNoRunAndStaysEditable() {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QString, warning);
        QFETCH(QString, retry);
        QFETCH(int, historyRows);
        Program program;
        SetupPage* page = program.page();
        QVERIFY(page->Check1[0]->isChecked());  // the maximum is read
        auto* edit = page->findChild<QLineEdit*>(box);
        QVERIFY(edit);
        edit->setText(text);
        program.dialogs.answer(ui::Answer::Ok);
        QTest::mouseClick(page->StartTraining, Qt::LeftButton);
        support::checkWarnings(program.dialogs, {warning});
        QCOMPARE(program.net.SSEHistoryCount, 0);
        QCOMPARE(program.net.SweepCount, 0);
        QVERIFY(edit->isEnabled());
        QVERIFY(!page->Continue->isVisible());
        if (!retry.isEmpty()) {
            edit->setText(retry);
            QTest::mouseClick(page->StartTraining, Qt::LeftButton);
            QCOMPARE(program.net.SSEHistoryCount, historyRows);
        }
    }

    // tiny.net: orthogonal patterns of squared lengths 2 and 1, so the Delta rule settles
    // below rate 2/2 and its radius at 1.5 is |1 - 1.5 * 2| = 2 (the SSE grows 4 times).
    void label3ForecastsTheRuleAndExplainsAGrowingRun() {
        Program program;
        SetupPage* page = program.page();
        QCOMPARE(page->Forecast->text(),
                 QStringLiteral("Hebb at 0.1: lowest SSE 0.2 at epoch 6, then it grows."));
        QTest::mouseClick(page->OptionDelta, Qt::LeftButton);
        QVERIFY(page->Forecast->text().startsWith("Delta at 0.1 settles near SSE "));
        page->LRateSlider->setFocus();
        QTest::keyClick(page->LRateSlider, Qt::Key_End);  // rate 2
        QCOMPARE(page->Forecast->text(), QStringLiteral("Delta at 2 grows about 9 times per epoch "
                                                      "(stable below 1)."));
        page->LRateBox->setText("abc");
        QCOMPARE(page->Forecast->text(),
                 QStringLiteral("The learning rate \"abc\" is not a number. Type a number of 0 "
                                "or more, such as 0.1."));
        page->LRateBox->setText("1.5");
        QCOMPARE(page->Forecast->text(), QStringLiteral("Delta at 1.5 grows about 4 times per "
                                                      "epoch (stable below 1)."));
        QTest::mouseClick(page->StartTraining, Qt::LeftButton);
        QCOMPARE(page->Forecast->text(), QStringLiteral("At rate 1.5 the Delta rule overshoots on "
                                                      "this file; rates below 1 settle."));
    }

    void overflowEndsTheRunWithAMessageAndTheProgramGoesOn() {
        Program program("1 0 2 2  1e100 -3e99  2e99 1e100  1e100  -1e100");
        SetupPage* page = program.page();
        QTest::mouseClick(page->OptionDelta, Qt::LeftButton);
        page->LRateBox->setText("2");
        program.dialogs.answer(ui::Answer::Ok);
        QTest::mouseClick(page->StartTraining, Qt::LeftButton);
        QCOMPARE(program.dialogs.shown().size(), 1);
        QVERIFY(program.dialogs.texts()[0].contains("overflow"));
        QVERIFY(std::isfinite(program.net.TotalSSE));
        QCOMPARE(page->Picture1[1]->lines(),
                 QStringList({QStringLiteral("Epochs: %1").arg(program.net.SweepCount)}));
        QVERIFY(page->TestRecall->isVisible());
        QTest::mouseClick(page->TestRecall, Qt::LeftButton);
        QVERIFY(program.runtime.isLoaded(PageId::Menu));
        QVERIFY(!program.runtime.isLoaded(PageId::Setup));
    }

    void aRunNoRuleEndsIsStoppedAndLocksOtherInput() {
        // Big enough that 32767 epochs take far longer than the first screen frame (seconds).
        std::string problem = "128 0 128 8";
        for (int k = 0; k < 8 * 256; ++k)
            problem += k % 3 ? " 1" : " -1";
        Program program(problem.c_str());
        SetupPage* page = program.page();
        QTest::mouseClick(page->Check1[0], Qt::LeftButton);  // no rule ticked
        QVERIFY(!page->Check1[0]->isChecked());
        QSignalSpy finished(&program.runtime, &ui::PageRuntime::finished);
        bool stopWasVisible = false;
        QTimer::singleShot(0, page, [&] {
            stopWasVisible = page->Stop->isVisible();
            QTest::mouseClick(page->Command2, Qt::LeftButton);  // Exit must not get through
            page->close();                                      // nor the close box
            QTest::mouseClick(page->Stop, Qt::LeftButton);
        });
        QTest::mouseClick(page->StartTraining, Qt::LeftButton);
        QVERIFY(stopWasVisible);
        QCOMPARE(finished.count(), 0);
        QVERIFY(program.runtime.isLoaded(PageId::Setup));
        QVERIFY(program.net.SweepCount > 0);
        QVERIFY(program.net.SweepCount < 32767);
        QVERIFY(!page->Stop->isVisible());
        QCOMPARE(program.dialogs.shown().size(), 0);

        // Esc stops a run just as the button does. Training again from zero drops the
        // unsaved run only after the question; Cancel keeps it.
        program.dialogs.answer(ui::Answer::Cancel);
        const int trained = program.net.SweepCount;
        QTest::mouseClick(page->StartTraining, Qt::LeftButton);
        QCOMPARE(program.net.SweepCount, trained);
        QCOMPARE(program.dialogs.texts(),
                 QStringList{"The trained network has not been saved. Save it before training "
                             "it again from zero?"});
        program.dialogs.answer(ui::Answer::No);
        QTimer::singleShot(0, page, [&] { QTest::keyClick(page, Qt::Key_Escape); });
        QTest::mouseClick(page->StartTraining, Qt::LeftButton);
        QVERIFY(program.net.SweepCount < 32767);
        QVERIFY(page->Continue->isVisible());
    }

    // With the progress shown from an epoch's start, "Stop" during an epoch says the run
    // ends with it and ends it there (or after the next, when the epoch completed between
    // the click and the run's look at it); the network is what the same run on one thread
    // leaves after that many epochs.
    void aLongEpochShowsProgressAndStopEndsTheRunAfterIt() {
        const int delay = pages::TrainingProgress::EpochProgressDelayMs;
        pages::TrainingProgress::EpochProgressDelayMs = 0;
        std::string problem = "768 0 768 48";
        for (int k = 0; k < 2 * 768 * 48; ++k)
            problem += k % 7 ? " 0.25" : " -0.5";
        Program program(problem.c_str());
        SetupPage* page = program.page();
        QTest::mouseClick(page->Check1[0], Qt::LeftButton);  // no rule ends the run
        QString shown;
        QString afterStop;
        QTimer poll;
        poll.setInterval(2);
        connect(&poll, &QTimer::timeout, page, [&] {
            if (shown.isEmpty() && page->EpochProgress->isVisible()) {
                shown = page->EpochProgress->text();
                QTest::mouseClick(page->Stop, Qt::LeftButton);
                afterStop = page->EpochProgress->text();
            }
        });
        poll.start();
        QTest::mouseClick(page->StartTraining, Qt::LeftButton);
        poll.stop();
        pages::TrainingProgress::EpochProgressDelayMs = delay;

        QVERIFY2(shown.startsWith("Epoch "), qPrintable(shown));
        const int epoch = shown.section(QLatin1Char(' '), 1, 1).chopped(1).toInt();
        QVERIFY(shown.contains(" %"));
        // On a busy machine the text shown can lag the run by more than an epoch, and the
        // epoch named may complete between the click and the run's next look at it.
        const QString stopping = QStringLiteral("Stopping after epoch ");
        const qsizetype named = afterStop.indexOf(stopping);
        QVERIFY2(named >= 0 && afterStop.endsWith(QStringLiteral(" is complete")),
                 qPrintable(afterStop));
        const int stopEpoch =
            afterStop.mid(named + stopping.size()).section(QLatin1Char(' '), 0, 0).toInt();
        QVERIFY2(stopEpoch >= epoch, qPrintable(afterStop));
        const int trained = program.net.SweepCount;
        QVERIFY2(trained == stopEpoch || trained == stopEpoch + 1,
                 qPrintable(QString::number(trained)));
        QVERIFY(!page->EpochProgress->isVisible());
        QVERIFY(page->Continue->isVisible());

        core::PublicStuff one = support::NetworkFromText(problem, "tiny.net");
        one.FreshStart = 1;
        one.LearningRule = program.net.LearningRule;
        one.LearningRate = program.net.LearningRate;
        one.PrintSweeps = program.net.PrintSweeps;
        one.MaxSweeps = program.net.MaxSweeps;
        struct StopAfter final : training::RunObserver {
            int last;
            core::Progress progress;
            explicit StopAfter(int n) : last(n) {}
            void printout(const training::Printout&) override {}
            void epochStarting(int epoch) override {
                if (epoch == last) {
                    progress.requestStop();
                }
            }
        } stopAfter(trained);
        (void)training::RunTraining(one, {false, false}, stopAfter, &stopAfter.progress);
        QCOMPARE(one.SweepCount, program.net.SweepCount);
        QVERIFY(one.TotalSSE == program.net.TotalSSE);
        bool same = true;
        for (int j = 1; j <= 768; ++j)
            for (int i = 1; i <= 768; ++i)
                same = same && one.Weights.Weight(j, i) == program.net.Weights.Weight(j, i);
        QVERIFY(same);
    }

    void exitEndsTheProgram() {
        Program program;
        SetupPage* page = program.page();
        QSignalSpy finished(&program.runtime, &ui::PageRuntime::finished);
        QTest::mouseClick(page->Command2, Qt::LeftButton);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(program.runtime.loadedCount(), 0);
    }
};

}  // namespace

QTEST_MAIN(TestSetupPage)
#include "tst_setup_page.moc"

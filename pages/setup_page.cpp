#include "pages/setup_page.h"

#include <QApplication>
#include <QCoreApplication>

#include <cmath>
#include <new>

#include "core/arithmetic.h"
#include "pages/forecast_notice.h"
#include "pages/network_save.h"
#include "pages/page_id.h"
#include "pages/training_progress.h"
#include "text/number_format.h"
#include "text/number_text.h"
#include "training/parameters.h"
#include "training/run_history.h"
#include "training/taken_network.h"
#include "ui/accessibility.h"
#include "ui/fonts.h"
#include "ui/locale_separators.h"
#include "ui/long_task.h"
#include "ui/page_runtime.h"
#include "ui/wrapping_button.h"
#include "views/progress_rows.h"
#include "views/slider_position.h"

namespace pages {

namespace {

text::NumberSeparators separators() {
    const ui::LocaleSeparators s = ui::CurrentLocaleSeparators();
    return {s.decimal, s.grouping};
}

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// Moves `slider` to the number typed into `box`; a box that holds no number leaves it.
void followBox(const QLineEdit* box, ui::Slider* slider) {
    if (const std::optional<int> position = views::SliderPositionFor(
            box->text().toStdString(), separators(), slider->minimum(), slider->maximum())) {
        slider->setValue(*position);
    }
}

}  // namespace

SetupPage::SetupPage(ui::PageRuntime& runtime, core::PublicStuff& net, Session& session)
    : ui::Page(runtime, PageId::Setup,
               QStringLiteral("Distributed Memory Setup Page -- Tavrel Neural Network Code"), 10740,
               9000),
      m_net(net),
      m_session(session) {
    createControls();

    connect(OptionHebb, &QRadioButton::clicked, this, &SetupPage::OptionHebb_Click);
    connect(OptionDelta, &QRadioButton::clicked, this, &SetupPage::OptionDelta_Click);
    connect(LRateSlider, &ui::Slider::scrolled, this, &SetupPage::LRateSlider_Scroll);
    connect(MinErrorSlider, &ui::Slider::clicked, this, &SetupPage::MinErrorSlider_Click);
    // The forecast follows every box and tick that the run reads.
    for (QLineEdit* edit : {LRateBox, SweepsBox, PrintSweepsBox, MinErrorBox}) {
        connect(edit, &QLineEdit::textChanged, this, &SetupPage::updateForecast);
    }
    for (QCheckBox* tick : Check1) {
        connect(tick, &QCheckBox::toggled, this, &SetupPage::updateForecast);
    }
    // A typed number moves the slider, so that a click on its track goes on from there.
    connect(LRateBox, &QLineEdit::textEdited, this, [this] { followBox(LRateBox, LRateSlider); });
    connect(MinErrorBox, &QLineEdit::textEdited, this,
            [this] { followBox(MinErrorBox, MinErrorSlider); });
    m_forecast = new ForecastNotice(Forecast, m_net, this);
    connect(StartTraining, &QPushButton::clicked, this, &SetupPage::StartTraining_Click);
    connect(Continue, &QPushButton::clicked, this, &SetupPage::Continue_Click);
    connect(TestRecall, &QPushButton::clicked, this, &SetupPage::TestRecall_Click);
    connect(Command2, &QPushButton::clicked, this, &SetupPage::Command2_Click);
}

void SetupPage::Form_Load() {
    if (m_session.ShowOpenedRun) {
        m_session.ShowOpenedRun = false;
        showOpenedRun();
        return;
    }
    if (m_net.FreshStart == 1) {
        (void)createNetwork();
    }
    OptionDelta->setChecked(false);
    OptionHebb->setChecked(true);
    m_net.LearningRule = core::Rule::Hebb;
    followBox(LRateBox, LRateSlider);
    followBox(MinErrorBox, MinErrorSlider);
    m_forecast->prepare();
    updateForecast();
}

void SetupPage::showOpenedRun() {
    const text::NumberSeparators seps = separators();
    const bool hebb = m_net.hebb();
    OptionHebb->setChecked(hebb);
    OptionDelta->setChecked(!hebb);
    LRateBox->setText(qs(text::FormatGeneral(m_net.LearningRate, seps)));
    SweepsBox->setText(
        qs(text::FormatInteger(m_net.SweepsBoxValue > 0 ? m_net.SweepsBoxValue : m_net.MaxSweeps)));
    PrintSweepsBox->setText(qs(text::FormatInteger(m_net.PrintSweeps)));
    MinErrorBox->setText(qs(text::FormatGeneral(m_net.MinError, seps)));
    Check1[0]->setChecked(m_net.MaxSweepsRule);
    Check1[1]->setChecked(m_net.MinErrorRule);
    followBox(LRateBox, LRateSlider);
    followBox(MinErrorBox, MinErrorSlider);
    m_net.FreshStart = 0;
    freezeParameters();

    // The rows as the run's end left them; the change against the epoch before is not kept.
    for (ui::TextRow* row : Picture1) {
        row->clear();
        row->show();
    }
    Picture1[0]->printLine(qs(views::TrainingLine(m_net.TrainingFileName)));
    finalDisplay(training::RunResult{});
    m_forecast->prepare();
    updateForecast();
    TestRecall->show();
    Continue->show();
}

training::ParameterBoxes SetupPage::parameterBoxes() const {
    return {SweepsBox->text().toStdString(), PrintSweepsBox->text().toStdString(),
            LRateBox->text().toStdString(), MinErrorBox->text().toStdString(),
            Check1[0]->isChecked()};
}

void SetupPage::updateForecast() {
    m_forecast->show(
        OptionHebb->isChecked(),
        training::PlanTrainingRun(m_net, parameterBoxes(), Check1[1]->isChecked(), separators()));
}

bool SetupPage::createNetwork() {
    try {
        m_net.CreateUnitsAndWeights();
        return true;
    } catch (const std::bad_alloc&) {
        runtime().dialogs().warn(
            this,
            QStringLiteral("There is not enough memory for the units and weights of this "
                           "training problem. Close other programs and press \"Start Training\" "
                           "again, or exit and choose a smaller problem."));
        return false;
    }
}

void SetupPage::OptionHebb_Click() {
    m_net.LearningRule = core::Rule::Hebb;
    updateForecast();
}
void SetupPage::OptionDelta_Click() {
    m_net.LearningRule = core::Rule::Delta;
    updateForecast();
}

void SetupPage::LRateSlider_Scroll() {
    LRateBox->setText(qs(text::FormatGeneral(LRateSlider->value() / 100.0, separators())));
}

void SetupPage::MinErrorSlider_Click() {
    MinErrorBox->setText(qs(text::FormatGeneral(MinErrorSlider->value() / 100.0, separators())));
}

void SetupPage::showProblem(QLineEdit* box, const QString& message, const QString& title) {
    runtime().dialogs().warn(this, message, title);
    if (box != nullptr && box->isEnabled()) {
        box->setFocus();
        box->selectAll();
    }
}

void SetupPage::freezeParameters() {
    for (QWidget* control : std::initializer_list<QWidget*>{
             Check1[0], Check1[1], OptionHebb, OptionDelta, PrintSweepsBox, PrintSweepsUpDown,
             SweepsBox, SweepsUpDown, LRateBox, LRateSlider, MinErrorBox, MinErrorSlider}) {
        control->setEnabled(false);
    }
}

bool SetupPage::ReadTrainingParameters() {
    const training::ParameterOutcome outcome =
        training::ReadTrainingParameters(m_net, parameterBoxes(), separators());
    if (outcome.problem) {
        showParameterProblem(*outcome.problem);
        return false;
    }
    if (outcome.negativeRate) {
        runtime().dialogs().warn(this, QStringLiteral("Learning rate cannot be negative"),
                                 QStringLiteral("Learning Rate"));
        LRateBox->setText(QString::fromLatin1(training::ReplacementRateText));
    }
    return true;
}

void SetupPage::showParameterProblem(const training::ParameterProblem& problem) {
    QString message = qs(problem.message);
    if (problem.pastEpochLimit) {
        // Only fresh weights count from epoch 0 again; say how to get there from here.
        message += TestRecall->isVisible()
                       ? QStringLiteral(
                             " To train from epoch 0 again, choose \"Test Recall\", "
                             "then \"Reset Weights And Train Again\".")
                       : QStringLiteral(
                             " To train from epoch 0 again, untick \"End After A "
                             "Maximum Number Of Training Epochs\" and start: training "
                             "ends at epoch 32767, and \"Test Recall\" then leads to "
                             "\"Reset Weights And Train Again\".");
    }
    showProblem(findChild<QLineEdit*>(qs(problem.box)), message,
                QStringLiteral("Training Parameters"));
}

void SetupPage::StartTraining_Click() {
    // Starting afresh zeroes the weights of a run trained on this page.
    if (m_net.FreshStart == 1 && m_net.SweepCount > 0 &&
        !MayDropTraining(this, runtime().dialogs(), m_net, m_session,
                         QStringLiteral("training it again from zero"))) {
        return;
    }
    // A network that could not be created when the page opened may fit now.
    if (!m_net.NetworkMatchesProblem() && (m_net.FreshStart != 1 || !createNetwork())) {
        return;
    }
    // The boxes are read before anything is frozen, so a box the student mistyped can
    // still be corrected.
    if (!ReadTrainingParameters()) {
        return;
    }
    if (m_net.FreshStart == 1) {
        (void)core::ZeroWeights(m_net);
    }
    freezeParameters();
    RunTraining();
}

void SetupPage::Continue_Click() {
    // The epochs box matters only to the maximum-epochs rule. A refusal changes nothing, so
    // a later "Start Training" still starts afresh.
    if (Check1[0]->isChecked()) {
        if (auto problem =
                training::ContinueMaxSweeps(m_net, SweepsBox->text().toStdString(), separators())) {
            showParameterProblem(*problem);
            return;
        }
    }
    m_net.FreshStart = 0;
    TestRecall->hide();
    Continue->hide();
    RunTraining();
}

void SetupPage::RunTraining() {
    for (ui::TextRow* row : Picture1) {
        row->show();
    }
    Picture1[0]->printLine(qs(views::TrainingLine(m_net.TrainingFileName)));

    TrainingProgress display(Picture1, EpochProgress, m_net.TrainingFileName, separators());
    auto stopConnection =
        connect(Stop, &QPushButton::clicked, this, [&display] { display.requestStop(); });
    Stop->show();

    // A run from epoch 0 is a new run of the program's history; any other extends it.
    const bool began = m_net.FreshStart == 1 || m_net.SweepCount == 0;
    const std::int16_t sweepsBefore = m_net.SweepCount;
    const training::StoppingRules rules{Check1[0]->isChecked(), Check1[1]->isChecked()};
    training::RunResult result;
    // The run holds the network until its worker has returned: no page can read the weights
    // it writes, as they are not in m_net meanwhile.
    training::TakenNetwork taken(m_net);
    ui::LongTask task;
    task.work = [&taken, &rules, &display, &result] {
        try {
            result = training::RunTraining(taken.network(), rules, display, &display.progress());
        } catch (const std::bad_alloc&) {
            result.end = training::RunEnd::ArithmeticFailure;
            result.message = "Training stopped: there is not enough memory.";
        }
        return true;  // the result says how the run ended
    };
    task.everyFrame = [&display] {
        display.drawPending();
        display.drawEpochProgress();
    };
    task.afterWork = [&taken] { taken.giveBack(); };
    task.stopButton = Stop;
    task.workerNice = TrainingProgress::kRunNice;
    ui::RunLongTask(runtime(), this, task);

    disconnect(stopConnection);
    Stop->hide();
    EpochProgress->hide();

    display.drawPending();
    // Counted from the epochs, which a run that threw has completed too.
    if (m_net.TrainedOnProblem &&
        (began ? m_net.SweepCount > 0 : m_net.SweepCount != sweepsBefore)) {
        m_session.UnsavedTraining = true;
    }
    try {
        m_session.Runs.RecordTraining(m_net, m_net, began);
    } catch (const std::bad_alloc&) {
        // The graph then lacks this run among the earlier ones; training itself is fine.
    }
    finalDisplay(result);
    m_forecast->explainRunIfGrowing(m_net.hebb(), m_net.LearningRate);
    TestRecall->show();
    Continue->show();

    if (!result.message.empty()) {
        QString message = qs(result.message);
        if (result.end == training::RunEnd::EpochLimit) {
            message += QStringLiteral(
                " To train again from epoch 0, choose \"Test Recall\", then "
                "\"Reset Weights And Train Again\".");
        }
        runtime().dialogs().warn(this, message, QStringLiteral("Training"));
    }
}

void SetupPage::finalDisplay(const training::RunResult& result) {
    const text::NumberSeparators seps = separators();
    for (std::size_t k = 1; k < Picture1.size(); ++k) {
        Picture1[k]->clear();
    }
    Picture1[1]->printLine(qs(views::EpochsLine(m_net.SweepCount)));
    Picture1[2]->setBackground(RowColourOf(views::FinalSSEColour(m_net.TotalSSE, m_net.MinError)));
    Picture1[3]->setBackground(ui::TextRow::buttonFace());
    const ui::TextRow* sseRow = Picture1[2];
    Picture1[2]->printLine(
        qs(views::TotalSSELine(m_net.TotalSSE, seps, [sseRow](const std::string& line) {
            return sseRow->fits(qs(line));
        })));
    if (m_net.SweepCount != 1 && result.hasChange) {
        Picture1[3]->printLine(qs(views::ChangeLine(result.SSEChange, seps)));
    }
}

void SetupPage::TestRecall_Click() {
    runtime().Show(PageId::Menu);
    runtime().Unload(PageId::Setup);
}

void SetupPage::Command2_Click() {
    runtime().End();
}

}  // namespace pages

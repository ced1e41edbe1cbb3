#pragma once

// The setup page (DistMem): the learning rule, rate and stopping rules are chosen here,
// and the training run happens here, drawing its progress into four text rows.
//
// A run starts from the click handler of "Start Training" or "Continue Training", which
// returns when it ends. The epoch loop runs on a worker thread while the window thread
// handles events: input to every page is locked except for the "Stop" button (and Esc),
// the windows keep repainting, printouts are drawn at most once per screen frame, and an
// epoch that takes a while shows its progress beside the progress rows.

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <array>
#include <span>

#include "core/network_state.h"
#include "pages/session.h"
#include "training/parameters.h"
#include "training/training_run.h"
#include "ui/geometry.h"
#include "ui/page.h"
#include "ui/slider.h"
#include "ui/text_row.h"
#include "ui/up_down.h"

namespace pages {

class ForecastNotice;

class SetupPage : public ui::Page {
    Q_OBJECT
  public:
    SetupPage(ui::PageRuntime& runtime, core::PublicStuff& net, Session& session);

    void Form_Load() override;

    // The layout, one row per control in tab order (plus the Stop button).
    static std::span<const ui::ControlPlace> geometry();

    // Handlers, public so that tests can call them as the events would.
    void StartTraining_Click();
    // Creates zeroed units and weights for the loaded problem; false, after telling the
    // student, when memory runs short (the old arrays stay).
    bool createNetwork();
    void showParameterProblem(const training::ParameterProblem& problem);
    void Continue_Click();
    void TestRecall_Click();
    void Command2_Click();
    void OptionHebb_Click();
    void OptionDelta_Click();
    void LRateSlider_Scroll();
    void MinErrorSlider_Click();

    // Controls, named as on the page.
    QLabel* Label1;
    QGroupBox* Frame1;
    QRadioButton* OptionHebb;
    QRadioButton* OptionDelta;
    QGroupBox* ConvergenceFrame;
    std::array<QCheckBox*, 2> Check1;
    QLineEdit* SweepsBox;
    ui::UpDown* SweepsUpDown;
    QLabel* MaxSweepsLabel;
    QLineEdit* PrintSweepsBox;
    ui::UpDown* PrintSweepsUpDown;
    QLabel* PrintSweepsLabel;
    QLineEdit* LRateBox;
    ui::Slider* LRateSlider;
    QLabel* RateLabel;
    QLineEdit* MinErrorBox;
    ui::Slider* MinErrorSlider;
    QLabel* MinErrorLabel;
    QLabel* Forecast;  // what the rule will do at the rate, as the boxes stand
    QPushButton* StartTraining;
    std::array<ui::TextRow*, 4> Picture1;
    QPushButton* Continue;
    QPushButton* TestRecall;
    QPushButton* Command2;
    QLabel* Label3;
    QPushButton* Stop;      // ends a run after the current epoch
    QLabel* EpochProgress;  // how far an epoch has come, once it takes a while

    // Rewrites the forecast for the rule and the rate in LRateBox.
    void updateForecast();
    training::ParameterBoxes parameterBoxes() const;

  private:
    // Creates, names and describes every control (setup_page_controls.cpp).
    void createControls();
    bool ReadTrainingParameters();
    // The page as right after the run of a network opened from a file.
    void showOpenedRun();
    void RunTraining();
    void freezeParameters();
    void showProblem(QLineEdit* box, const QString& message, const QString& title);
    void finalDisplay(const training::RunResult& result);

    core::PublicStuff& m_net;

    Session& m_session;
    ForecastNotice* m_forecast = nullptr;
};

}  // namespace pages

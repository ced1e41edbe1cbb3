#pragma once

// The setup page's progress rows while a run goes on, between the epoch loop on its worker
// thread and the window thread. The loop leaves the latest printout and how far the epoch
// under way has come; once per screen frame the window thread draws what is new. "Stop"
// requests a stop, which the loop hears after each epoch.

#include <QColor>
#include <QLabel>

#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

#include "core/progress.h"
#include "text/number_format.h"
#include "training/training_run.h"
#include "ui/text_row.h"
#include "views/progress_rows.h"

namespace pages {

// The colour a progress row is drawn in.
QColor RowColourOf(views::RowColour colour);

class TrainingProgress final : public training::RunObserver {
  public:
    using Clock = std::chrono::steady_clock;

    // The nice value of a training run's threads: below the window thread, so that on a
    // busy machine the scheduler lets the window thread in first.
    static constexpr int kRunNice = 5;
    // How long an epoch runs before its progress is shown, in milliseconds (tests set 0).
    static inline int EpochProgressDelayMs = 500;

    TrainingProgress(const std::array<ui::TextRow*, 4>& rows, QLabel* epochLabel,
                     std::string fileName, const text::NumberSeparators& separators)
        : m_rows(rows),
          m_epochLabel(epochLabel),
          m_separators(separators),
          m_fileName(std::move(fileName)) {}

    // On the loop's thread.
    void printout(const training::Printout& printout) override;
    void epochStarting(int epoch) override;
    // What the run counts its epoch's groups into and hears "Stop" from.
    core::Progress& progress() { return m_progress; }

    // On the window thread.
    void requestStop();
    // Draws the last printout if it has not been drawn yet, as the run drew it.
    void drawPending();
    // Shows how far an epoch has come once it has taken longer than EpochProgressDelayMs,
    // and, after "Stop", that the run ends with it.
    void drawEpochProgress();

  private:
    const std::array<ui::TextRow*, 4>& m_rows;
    QLabel* m_epochLabel;
    text::NumberSeparators m_separators;
    std::string m_fileName;
    std::mutex m_mutex;
    training::Printout m_latest;
    bool m_pending = false;
    int m_epoch = 0;
    Clock::time_point m_epochStart;
    core::Progress m_progress;
};

}  // namespace pages

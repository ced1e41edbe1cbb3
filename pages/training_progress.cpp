#include "pages/training_progress.h"

namespace pages {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

QColor RowColourOf(views::RowColour colour) {
    switch (colour) {
        case views::RowColour::Red:
            return {255, 0, 0};
        case views::RowColour::Green:
            return {0, 255, 0};
        case views::RowColour::ButtonFace:
            break;
    }
    return ui::TextRow::buttonFace();
}

void TrainingProgress::printout(const training::Printout& printout) {
    const std::lock_guard lock(m_mutex);
    m_latest = printout;
    m_pending = true;
}

void TrainingProgress::epochStarting(int epoch) {
    const std::lock_guard lock(m_mutex);
    m_epoch = epoch;
    m_epochStart = Clock::now();
}

void TrainingProgress::requestStop() {
    m_progress.requestStop();
    drawEpochProgress();
}

void TrainingProgress::drawPending() {
    training::Printout latest;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_pending) {
            return;
        }
        m_pending = false;
        latest = m_latest;
    }
    for (ui::TextRow* row : m_rows) {
        row->clear();
    }
    m_rows[0]->printLine(qs(views::TrainingLine(m_fileName)));
    m_rows[1]->printLine(qs(views::EpochsLine(latest.SweepCount)));
    const ui::TextRow* sseRow = m_rows[2];
    m_rows[2]->printLine(
        qs(views::TotalSSELine(latest.TotalSSE, m_separators, [sseRow](const std::string& line) {
            return sseRow->fits(qs(line));
        })));
    if (latest.hasChange) {
        m_rows[3]->setBackground(RowColourOf(views::ChangeColour(latest.SSEChange)));
        m_rows[3]->printLine(qs(views::ChangeLine(latest.SSEChange, m_separators)));
    }
}

void TrainingProgress::drawEpochProgress() {
    int epoch = 0;
    Clock::time_point start;
    {
        const std::lock_guard lock(m_mutex);
        epoch = m_epoch;
        start = m_epochStart;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (epoch == 0 || seconds * 1000.0 < EpochProgressDelayMs) {
        return;
    }
    const long long groups = m_progress.total();
    const double fraction =
        groups > 0 ? static_cast<double>(m_progress.done()) / static_cast<double>(groups) : 0.0;
    std::string text = views::EpochProgressLine(epoch, fraction, seconds);
    if (m_progress.stopRequested()) {
        text.append("\n").append(views::StoppingLine(epoch));
    }
    m_epochLabel->setText(qs(text));
    m_epochLabel->show();
}

}  // namespace pages

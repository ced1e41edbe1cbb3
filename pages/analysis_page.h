#pragma once

// The page "Examine The Training Patterns" (ExaminePatterns): what each rule will do on the
// loaded file at the rule and rate of the last training, worked out from the patterns,
// as plain sentences and small tables in a read-only window that can be printed.
//
// The analysis runs when the page loads: on the window's thread for small files, on a
// thread of its own (on a copy of the network) for large ones, the window saying
// "Examining the training patterns..." meanwhile.

#include <QPlainTextEdit>

#include <memory>
#include <span>
#include <string>

#include "core/network_state.h"
#include "pages/session.h"
#include "ui/geometry.h"
#include "ui/page.h"
#include "ui/printer.h"

class QLabel;
class QPushButton;

namespace pages {

class AnalysisPage final : public ui::Page {
    Q_OBJECT
  public:
    // `net` is the program's network and `printer` where "Print" goes; both must outlive
    // the page.
    AnalysisPage(ui::PageRuntime& runtime, core::PublicStuff& net, Session& session,
                 ui::Printer& printer);

    void Form_Load() override;

    // Where every control sits, in tab order.
    static std::span<const ui::ControlPlace> geometry();

    // Whether the analysis is in the window (false while a thread still works on it).
    bool analysisShown() const { return m_shown; }

    // Handlers, public so that tests can call them as the events would.
    void PrintAnalysis_Click();
    void Command2_Click();

    QLabel* Label2 = nullptr;
    QPlainTextEdit* AnalysisText = nullptr;
    QPushButton* PrintAnalysis = nullptr;
    QPushButton* Command2 = nullptr;

  private:
    void showAnalysis(const std::string& text);

    core::PublicStuff& m_net;

    Session& m_session;
    ui::Printer& m_printer;
    bool m_shown = false;
};

}  // namespace pages

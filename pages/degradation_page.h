#pragma once

// The page "Graceful Degradation" (menu item "Show How Recall Degrades"): every stored
// pattern recalled with its inputs damaged and with connections lost, 0 to 100 percent,
// each point the mean of 20 trials from the seed in the Seed box. The curves are worked
// out off the window thread when the page is first shown and whenever the seed changes.
// "Print The Graph" puts the chart's picture on the clipboard and prints it.

#include <QtCharts/QChartView>

#include <cstdint>
#include <optional>
#include <span>

#include "core/network_state.h"
#include "pages/session.h"
#include "ui/geometry.h"
#include "ui/page.h"
#include "ui/printer.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace pages {

class DegradationChart;

class DegradationPage final : public ui::Page {
    Q_OBJECT
  public:
    // `net` is the program's network and `printer` where "Print" goes; both must outlive
    // the page.
    DegradationPage(ui::PageRuntime& runtime, const core::PublicStuff& net, const Session& session,
                    ui::Printer& printer);

    void Form_Activate() override;

    // Where every control sits, in tab order.
    static std::span<const ui::ControlPlace> geometry();

    DegradationChart* chart() const { return m_chart; }
    // The seed the chart shows; empty while it shows nothing.
    std::optional<std::uint64_t> shownSeed() const { return m_shownSeed; }

    // Handlers, public so that tests can call them as the events would.
    void SeedBox_Change();
    void PrintThisGraph_Click();
    void CloseThisForm_Click();

    // Controls, named as on the page.
    QLabel* Label1 = nullptr;
    QChartView* DegradationGraph = nullptr;
    QLabel* SeedLabel = nullptr;
    QLineEdit* SeedBox = nullptr;
    QPushButton* PrintThisGraph = nullptr;
    QPushButton* CloseThisForm = nullptr;

  private:
    // Tells the student why there is nothing to print or copy when no curves are drawn
    // (untrained, or working them out was cancelled); true then.
    bool refuseEmptyGraph();
    // Works the curves out for `seed` and draws them; says why when it cannot.
    void draw(std::uint64_t seed);

    const core::PublicStuff& m_net;

    const Session& m_session;
    ui::Printer& m_printer;
    DegradationChart* m_chart = nullptr;
    std::optional<std::uint64_t> m_shownSeed;
};

}  // namespace pages

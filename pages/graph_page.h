#pragma once

// The SSE graph page (PlotSSEdata): the SSE history as a bar chart, built once when the
// page is loaded, so training on meanwhile does not change an open page. "Print The Graph"
// puts the chart's picture on the clipboard, where it stays, and prints it.

#include <QtCharts/QChartView>

#include <span>

#include "core/network_state.h"
#include "ui/geometry.h"
#include "ui/page.h"
#include "ui/printer.h"

class QLabel;
class QPushButton;

namespace pages {

class SSEChart;

class GraphPage final : public ui::Page {
    Q_OBJECT
  public:
    // `net` is the trained network and `printer` where "Print" goes; both must outlive the
    // page.
    GraphPage(ui::PageRuntime& runtime, const core::PublicStuff& net, ui::Printer& printer);

    void Form_Load() override;

    // Where every control sits, in tab order.
    static std::span<const ui::ControlPlace> geometry();

    // The chart Form_Load built; null before.
    SSEChart* chart() const { return m_chart; }

    // Handlers, public so that tests can call them as the events would.
    void PrintThisGraph_Click();
    void CloseThisForm_Click();

    // Controls, named as on the page.
    QLabel* Label1 = nullptr;
    QChartView* SSEgraph = nullptr;
    QPushButton* PrintThisGraph = nullptr;
    QPushButton* CloseThisForm = nullptr;

  private:
    const core::PublicStuff& m_net;
    ui::Printer& m_printer;
    SSEChart* m_chart = nullptr;
};

}  // namespace pages

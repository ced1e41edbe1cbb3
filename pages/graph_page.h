#pragma once

// The SSE graph page (PlotSSEdata): the SSE history as a bar chart, built once when the
// page is loaded, so training on meanwhile does not change an open page. "Print The Graph"
// puts the chart's picture on the clipboard, where it stays, and prints it; Ctrl+C only puts
// it on the clipboard. "Show Earlier Runs" draws the earlier runs on the same training
// file as lines over the bars; "Logarithmic Scale" draws the SSE axis on a log scale.

#include <QtCharts/QChartView>

#include <span>

#include "core/network_state.h"
#include "pages/session.h"
#include "training/run_history.h"
#include "ui/geometry.h"
#include "ui/page.h"
#include "ui/printer.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace pages {

class SSEChart;

class GraphPage final : public ui::Page {
    Q_OBJECT
  public:
    // `net` is the trained network and `printer` where "Print" goes; both must outlive the
    // page.
    GraphPage(ui::PageRuntime& runtime, const core::PublicStuff& net, const Session& session,
              ui::Printer& printer);

    void Form_Load() override;

    // Where every control sits, in tab order.
    static std::span<const ui::ControlPlace> geometry();

    // The chart Form_Load built; null before.
    SSEChart* chart() const { return m_chart; }

    // Handlers, public so that tests can call them as the events would.
    void PrintThisGraph_Click();
    void ShowEarlierRuns_Click();
    void LogScale_Click();
    void CloseThisForm_Click();

    // Controls, named as on the page.
    QLabel* Label1 = nullptr;
    QChartView* SSEgraph = nullptr;
    // Under the chart: which runs go off the linear scale.
    QLabel* OffScale = nullptr;
    QPushButton* PrintThisGraph = nullptr;
    QPushButton* CloseThisForm = nullptr;
    QCheckBox* ShowEarlierRuns = nullptr;
    QCheckBox* LogScale = nullptr;

  private:
    void showOffScale();

    const core::PublicStuff& m_net;
    const Session& m_session;
    ui::Printer& m_printer;
    SSEChart* m_chart = nullptr;
};

}  // namespace pages

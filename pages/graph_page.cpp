#include "pages/graph_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QtCharts/QBarSet>

#include <array>

#include "pages/page_id.h"
#include "pages/print_heading.h"
#include "pages/sse_chart.h"
#include "ui/accessibility.h"
#include "ui/fonts.h"
#include "ui/locale_separators.h"
#include "ui/page_runtime.h"
#include "views/off_scale.h"
#include "views/sse_chart_rows.h"

namespace pages {

namespace {

constexpr std::array<ui::ControlPlace, 7> kGeometry{{
    {"Label1", {960, 240, 8655, 735}, ui::AnchorAcrossTop},
    {"SSEgraph", {960, 1080, 8535, 6135}, ui::AnchorAll},
    {"OffScale", {960, 7230, 8535, 300}, ui::AnchorAcrossBottom},
    {"PrintThisGraph", {1440, 7560, 2292, 732}, ui::AnchorBottomLeft},
    {"CloseThisForm", {6960, 7560, 2292, 732}, ui::AnchorBottomRight},
    {"ShowEarlierRuns", {1440, 8520, 2892, 372}, ui::AnchorBottomLeft},
    {"LogScale", {6960, 8520, 2892, 372}, ui::AnchorBottomRight},
}};

QString NoneOffScale() {
    return QStringLiteral("No earlier run goes off the scale");
}

}  // namespace

GraphPage::GraphPage(ui::PageRuntime& runtime, const core::PublicStuff& net, const Session& session,
                     ui::Printer& printer)
    : ui::Page(runtime, PageId::Graph,
               QStringLiteral("Graph of SSE as a function of sweeps of training"), 10620, 9195),
      m_net(net),
      m_session(session),
      m_printer(printer) {
    setFont(ui::PageFont("MS Sans Serif", 8));

    Label1 = ui::Named(
        new QLabel(QStringLiteral("To work with this graph electronically, return to the previous "
                                  "page and create an Excel spreadsheet.  The data used to create "
                                  "this graph is saved on one of the worksheets in the spreadsheet "
                                  "that is created, and can be used to create a chart that could "
                                  "be imported into other software packages, such as a word "
                                  "processor."),
                   this),
        "Label1");
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setWordWrap(true);

    SSEgraph = ui::Named(new QChartView(this), "SSEgraph");
    SSEgraph->setFrameShape(QFrame::NoFrame);
    // Narrow bars blend into the plot instead of turning it black.
    SSEgraph->setRenderHint(QPainter::Antialiasing);

    // Empty until a run goes off the linear scale.
    OffScale = ui::Named(new QLabel(this), "OffScale");
    OffScale->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    PrintThisGraph =
        ui::Named(new QPushButton(QStringLiteral("Print The Graph"), this), "PrintThisGraph");
    PrintThisGraph->setFont(ui::PageFont("Arial", 12, ui::Bold));
    CloseThisForm =
        ui::Named(new QPushButton(QStringLiteral("Exit This Page"), this), "CloseThisForm");
    CloseThisForm->setFont(ui::PageFont("Arial", 12, ui::Bold));
    ShowEarlierRuns =
        ui::Named(new QCheckBox(QStringLiteral("Show Earlier Runs"), this), "ShowEarlierRuns");
    LogScale = ui::Named(new QCheckBox(QStringLiteral("Logarithmic Scale"), this), "LogScale");
    for (QCheckBox* box : {ShowEarlierRuns, LogScale}) {
        box->setFont(ui::PageFont("Arial", 9, ui::Bold));
    }

    ui::ApplyGeometry(this, geometry());
    growWith(geometry());
    ui::DescribeControl(
        SSEgraph, QStringLiteral("SSE graph"),
        QStringLiteral("Bars of the total SSE at each recorded sweep of training."));
    // A screen reader reads the name, not the text: the name is the line itself.
    ui::DescribeControl(OffScale, NoneOffScale(),
                        QStringLiteral("Names the earlier runs that go off the linear scale."));

    connect(PrintThisGraph, &QPushButton::clicked, this, &GraphPage::PrintThisGraph_Click);
    connect(CloseThisForm, &QPushButton::clicked, this, &GraphPage::CloseThisForm_Click);
    connect(ShowEarlierRuns, &QCheckBox::clicked, this, &GraphPage::ShowEarlierRuns_Click);
    connect(LogScale, &QCheckBox::clicked, this, &GraphPage::LogScale_Click);
    ui::CopyPictureOnCopyKeys(this, SSEgraph);
}

std::span<const ui::ControlPlace> GraphPage::geometry() {
    return kGeometry;
}

void GraphPage::Form_Load() {
    // The view takes the chart and deletes the empty one it started with.
    QChart* empty = SSEgraph->chart();
    // A history that belongs to another file is not drawn.
    const std::string untrained = core::NotTrainedProblem(m_net);
    m_chart = new SSEChart(untrained.empty() ? views::SSEChartRows(m_net)
                                             : std::vector<views::SSEChartRow>{});
    SSEgraph->setChart(m_chart);
    delete empty;
    if (!untrained.empty()) {
        runtime().dialogs().warn(this, QString::fromStdString(untrained));
    }
}

void GraphPage::PrintThisGraph_Click() {
    PrintPictureOfNetwork(SSEgraph, m_net, m_session, QStringLiteral("graph"), m_printer,
                          runtime().dialogs(), this);
}

void GraphPage::ShowEarlierRuns_Click() {
    if (m_chart == nullptr) {
        return;
    }
    QList<SSEChart::RunLine> lines;
    // Beside earlier runs the bars are named as the run they show, the latest on this problem.
    QString barsName = QStringLiteral("Network SSE");
    if (ShowEarlierRuns->isChecked() && core::NotTrainedProblem(m_net).empty()) {
        const std::uint64_t problem = core::ProblemKey(m_net);
        if (const auto runs = m_session.Runs.RunsOn(problem); !runs.empty()) {
            barsName = QString::fromStdString(training::RunLegend(*runs.back(), true));
        }
        for (const training::Run* run : m_session.Runs.EarlierRuns(problem)) {
            SSEChart::RunLine line{
                run->number, QString::fromStdString(training::RunLegend(*run)), {}};
            for (const auto& [x, y] : views::RunLinePoints(run->history)) {
                line.points.append(QPointF(x, y));
            }
            lines.append(line);
        }
    }
    m_chart->bars()->setLabel(barsName);
    m_chart->setEarlierRuns(lines);
    showOffScale();
}

void GraphPage::LogScale_Click() {
    if (m_chart != nullptr) {
        m_chart->setLogarithmic(LogScale->isChecked());
        showOffScale();
    }
}

void GraphPage::showOffScale() {
    const ui::LocaleSeparators locale = ui::CurrentLocaleSeparators();
    const QString line = QString::fromStdString(views::OffScaleText(
        m_chart->offScaleRuns(), text::NumberSeparators{locale.decimal, locale.grouping}));
    OffScale->setText(line);
    OffScale->setAccessibleName(line.isEmpty() ? NoneOffScale() : line);
    // Paper and the clipboard carry the line too: a run cut at the edge needs its reason.
    ui::SetPictureFootnote(SSEgraph, line);
}

void GraphPage::CloseThisForm_Click() {
    runtime().Unload(PageId::Graph);
}

}  // namespace pages

#include "pages/degradation_page.h"

#include <QtCharts/QLineSeries>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <array>

#include "experiments/degradation.h"
#include "pages/degradation_chart.h"
#include "pages/page_id.h"
#include "pages/print_heading.h"
#include "text/number_text.h"
#include "ui/accessibility.h"
#include "ui/fonts.h"
#include "ui/locale_separators.h"
#include "ui/long_task.h"
#include "ui/page_runtime.h"

namespace pages {

namespace {

constexpr std::array<ui::ControlPlace, 6> kGeometry{{
    {"Label1", {960, 240, 8655, 735}, ui::AnchorAcrossTop},
    {"DegradationGraph", {960, 1080, 8535, 6135}, ui::AnchorAll},
    {"SeedLabel", {960, 7770, 612, 312}, ui::AnchorBottomLeft},
    {"SeedBox", {1608, 7740, 1092, 372}, ui::AnchorBottomLeft},
    {"PrintThisGraph", {3600, 7560, 2292, 732}, ui::AnchorBottomLeft},
    {"CloseThisForm", {6960, 7560, 2292, 732}, ui::AnchorBottomRight},
}};

// Below 2^48, so that every trial's seed gives each pattern its own (experiments::PatternSeed).
constexpr long long kLargestSeed = 281474976710655;

}  // namespace

DegradationPage::DegradationPage(ui::PageRuntime& runtime, const core::PublicStuff& net,
                                 const Session& session, ui::Printer& printer)
    : ui::Page(runtime, PageId::Degradation,
               QStringLiteral("Graceful Degradation -- Tavrel Neural Network Code"), 10620, 9195),
      m_net(net),
      m_session(session),
      m_printer(printer) {
    setFont(ui::PageFont("MS Sans Serif", 8));

    Label1 = ui::Named(
        new QLabel(
            QStringLiteral(
                "Every stored pattern is recalled with more and more of its "
                "inputs damaged (blue) and more and more connections lost "
                "(red), 20 trials a point. Watch the error (solid, left axis) "
                "rise and the patterns still recalled (nearer their own desired "
                "output than any other; dashed, right axis) fall a little at a time: a distributed "
                "memory degrades gracefully."),
            this),
        "Label1");
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setWordWrap(true);

    DegradationGraph = ui::Named(new QChartView(this), "DegradationGraph");
    DegradationGraph->setFrameShape(QFrame::NoFrame);
    DegradationGraph->setRenderHint(QPainter::Antialiasing);
    QChart* empty = DegradationGraph->chart();
    m_chart = new DegradationChart();
    DegradationGraph->setChart(m_chart);
    delete empty;

    SeedLabel = ui::Named(new QLabel(QStringLiteral("Seed:"), this), "SeedLabel");
    SeedLabel->setFont(ui::PageFont("Arial", 9, ui::Bold));
    SeedLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SeedBox = ui::Named(new QLineEdit(QStringLiteral("1"), this), "SeedBox");
    SeedBox->setFont(ui::PageFont("Arial", 10.5));
    SeedBox->setAlignment(Qt::AlignCenter);

    PrintThisGraph =
        ui::Named(new QPushButton(QStringLiteral("Print The Graph"), this), "PrintThisGraph");
    PrintThisGraph->setFont(ui::PageFont("Arial", 12, ui::Bold));
    CloseThisForm =
        ui::Named(new QPushButton(QStringLiteral("Exit This Page"), this), "CloseThisForm");
    CloseThisForm->setFont(ui::PageFont("Arial", 12, ui::Bold));

    ui::ApplyGeometry(this, geometry());
    growWith(geometry());
    ui::DescribeControl(
        DegradationGraph, QStringLiteral("Graph of how recall degrades"),
        QStringLiteral("Mean SSE and patterns recalled (nearer their own desired "
                       "output than any other), against the percent of inputs damaged or "
                       "connections lost."));
    ui::NameAfterLabel(SeedBox, SeedLabel,
                       QStringLiteral("Trial k damages patterns and loses connections with "
                                      "seed plus k; the same seed draws the same curves."));

    connect(SeedBox, &QLineEdit::editingFinished, this, &DegradationPage::SeedBox_Change);
    ui::CopyPictureOnCopyKeys(this, DegradationGraph, [this] { return !refuseEmptyGraph(); });
    connect(PrintThisGraph, &QPushButton::clicked, this, &DegradationPage::PrintThisGraph_Click);
    connect(CloseThisForm, &QPushButton::clicked, this, &DegradationPage::CloseThisForm_Click);
}

std::span<const ui::ControlPlace> DegradationPage::geometry() {
    return kGeometry;
}

void DegradationPage::Form_Activate() {
    if (!m_shownSeed) {
        SeedBox_Change();
    }
}

void DegradationPage::SeedBox_Change() {
    const ui::LocaleSeparators locale = ui::CurrentLocaleSeparators();
    const text::NumberSeparators seps{locale.decimal, locale.grouping};
    const auto seed = text::ParseWholeNumber(SeedBox->text().toStdString(), 0, kLargestSeed, seps);
    if (!seed) {
        runtime().dialogs().warn(
            this, QStringLiteral("\"%1\" is not a seed. Type a whole number from 0 to %2 in the "
                                 "Seed box.")
                      .arg(SeedBox->text())
                      .arg(kLargestSeed));
        SeedBox->setText(QString::number(m_shownSeed.value_or(1)));
        return;
    }
    if (m_shownSeed != static_cast<std::uint64_t>(*seed)) {
        draw(static_cast<std::uint64_t>(*seed));
    }
}

void DegradationPage::draw(std::uint64_t seed) {
    if (const std::string untrained = core::NotTrainedProblem(m_net); !untrained.empty()) {
        m_shownSeed = seed;  // asked once, not again at every showing
        runtime().dialogs().warn(this, QString::fromStdString(untrained));
        return;
    }
    core::Progress progress;
    experiments::DegradationResult result;
    ui::LongTask task;
    task.title = QStringLiteral("Recalling damaged patterns");
    task.work = [&] {
        result = experiments::ComputeDegradation(m_net, m_net.Weights, seed, 20, 0, &progress);
        return result.status == core::WorkEnd::Done;
    };
    ui::TrackProgress(task, progress, [](const core::Progress& p) {
        return QStringLiteral("%1 of %2 recalls of every pattern").arg(p.done()).arg(p.total());
    });
    ui::RunLongTask(runtime(), this, task);
    if (result.status == core::WorkEnd::Done) {
        m_chart->setCurves(result.curves);
        m_chart->setTitle(QString());
        m_shownSeed = seed;
    } else if (result.status == core::WorkEnd::Failed) {
        m_shownSeed = seed;
        runtime().dialogs().warn(this, QString::fromStdString(result.message));
    } else {
        // Cancelled: the box goes back to the seed shown, or stays to be tried again.
        SeedBox->setText(QString::number(m_shownSeed.value_or(seed)));
        if (!m_shownSeed) {
            m_chart->setTitle(
                QStringLiteral("Working out the curves was cancelled. Press Enter "
                               "in the Seed box to work them out again."));
        }
    }
}

bool DegradationPage::refuseEmptyGraph() {
    if (m_chart->noiseSSE()->count() > 0) {
        return false;
    }
    const std::string untrained = core::NotTrainedProblem(m_net);
    runtime().dialogs().warn(
        this, untrained.empty()
                  ? QStringLiteral("There is no graph to print or copy: working out the curves "
                                   "was cancelled. Press Enter in the Seed box to work them out "
                                   "again.")
                  : QString::fromStdString(untrained));
    return true;
}

void DegradationPage::PrintThisGraph_Click() {
    if (refuseEmptyGraph()) {
        return;
    }
    PrintPictureOfNetwork(DegradationGraph, m_net, m_session, QStringLiteral("degradation"),
                          m_printer, runtime().dialogs(), this);
}

void DegradationPage::CloseThisForm_Click() {
    runtime().Unload(PageId::Degradation);
}

}  // namespace pages

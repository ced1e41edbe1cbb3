#include "pages/analysis_page.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <array>

#include "analysis/analysis.h"
#include "pages/page_id.h"
#include "text/utf8.h"
#include "ui/accessibility.h"
#include "ui/dialogs.h"
#include "ui/fonts.h"
#include "ui/long_task.h"
#include "ui/page_runtime.h"
#include "ui/wrapping_button.h"

namespace pages {

namespace {

constexpr std::array<ui::ControlPlace, 4> kGeometry{{
    {"Label2", {1002, 360, 8640, 492}},
    {"AnalysisText", {396, 1020, 9852, 6960}},
    {"PrintAnalysis", {396, 8280, 2052, 615}},
    {"Command2", {8253, 8280, 1995, 615}},
}};

// Below this many multiply-adds the whole analysis takes a few milliseconds.
constexpr double kWorkOnWindowThread = 2e7;

std::string analyseText(const core::PublicStuff& net, const core::Progress* stop = nullptr) {
    analysis::Limits limits;
    limits.stop = stop;
    return analysis::RenderText(analysis::Analyse(net, net.LearningRule, net.LearningRate, limits));
}

}  // namespace

AnalysisPage::AnalysisPage(ui::PageRuntime& runtime, core::PublicStuff& net, Session& session,
                           ui::Printer& printer)
    : ui::Page(runtime, PageId::Analysis,
               QStringLiteral("Examine The Training Patterns -- Tavrel Neural Network Code"), 10650,
               9090),
      m_net(net),
      m_session(session),
      m_printer(printer) {
    // Created in the order of the geometry table, which is also the tab order.
    Label2 = ui::Named(
        new QLabel(QStringLiteral("What Each Rule Will Do On These Training Patterns"), this),
        "Label2");
    Label2->setFont(ui::PageFont("Arial", 14.25, ui::Bold));
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    AnalysisText = ui::Named(new QPlainTextEdit(this), "AnalysisText");
    AnalysisText->setReadOnly(true);
    AnalysisText->setTabChangesFocus(true);
    AnalysisText->setFont(ui::PageFont("Courier", 9.75));
    AnalysisText->setLineWrapMode(QPlainTextEdit::NoWrap);
    AnalysisText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    PrintAnalysis =
        ui::Named(new ui::WrappingButton(QStringLiteral("Print The Text In The Window"), this),
                  "PrintAnalysis");
    PrintAnalysis->setFont(ui::PageFont("Arial", 9.75, ui::Bold));

    Command2 = ui::Named(new QPushButton(QStringLiteral("Exit This Page"), this), "Command2");
    Command2->setFont(ui::PageFont("Arial", 12, ui::Bold | ui::Italic));

    ui::ApplyGeometry(this, geometry());
    ui::DescribeControl(AnalysisText, QStringLiteral("Analysis of the training patterns"));

    connect(PrintAnalysis, &QPushButton::clicked, this, &AnalysisPage::PrintAnalysis_Click);
    connect(Command2, &QPushButton::clicked, this, &AnalysisPage::Command2_Click);
}

std::span<const ui::ControlPlace> AnalysisPage::geometry() {
    return kGeometry;
}

void AnalysisPage::Form_Load() {
    // Spectrum included: nothing of the analysis holds the window thread for long.
    if (analysis::PreparationWork(m_net) <= kWorkOnWindowThread) {
        showAnalysis(analyseText(m_net));
        return;
    }
    AnalysisText->setPlainText(QStringLiteral("Examining the training patterns..."));
    std::shared_ptr<const core::PublicStuff> copy;
    try {
        copy = std::make_shared<const core::PublicStuff>(m_net);
    } catch (const std::bad_alloc&) {
        AnalysisText->setPlainText(QStringLiteral(
            "There is not enough memory to examine this file; close other programs and open "
            "this page again."));
        return;
    }
    // The text comes back through the event loop; a page closed meanwhile ignores it.
    ui::StartBackgroundWork<std::string>(
        this, [copy](const core::Progress& progress) { return analyseText(*copy, &progress); },
        [this](const std::string& text) { showAnalysis(text); });
}

void AnalysisPage::showAnalysis(const std::string& text) {
    AnalysisText->setPlainText(QString::fromStdString(text));
    m_shown = true;
}

void AnalysisPage::PrintAnalysis_Click() {
    const QString fileName = QString::fromStdString(text::ShownName(m_net.TrainingFileName));
    ui::PrintJob job;
    job.printLine(QString());
    job.setFont("Courier", 10);
    job.setBold(true);
    job.printLine(QStringLiteral("Examining The Training Patterns Of ") + fileName);
    job.setBold(false);
    job.printLine(QString());
    job.printText(AnalysisText->toPlainText());

    const QString base = QFileInfo(fileName).completeBaseName();
    const QString name =
        (base.isEmpty() ? QStringLiteral("network") : base) + QStringLiteral("-analysis");
    ui::PrintOrOfferPdf(m_printer, runtime().dialogs(), this, job, name,
                        QString::fromStdString(m_session.TrainingFolder), name);
}

void AnalysisPage::Command2_Click() {
    runtime().Unload(PageId::Analysis);
}

}  // namespace pages

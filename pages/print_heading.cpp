#include "pages/print_heading.h"

#include "pages/save_page.h"
#include "pages/session.h"
#include "text/number_format.h"
#include "text/utf8.h"
#include "ui/dialogs.h"
#include "ui/printer.h"

namespace pages {

QString PrintHeading(const core::PublicStuff& net) {
    const report::ReportContext context = LocalReportContext();
    const std::string line = text::ShownName(net.TrainingFileName) + ", " +
                             std::string(core::RuleName(net.LearningRule)) + " rule, rate " +
                             text::FormatGeneral(net.LearningRate, context.separators) + ", " +
                             std::to_string(net.SweepCount) +
                             (net.SweepCount == 1 ? " epoch, " : " epochs, ") + context.date() +
                             " " + context.time();
    return QString::fromStdString(line);
}

void PrintPictureOfNetwork(QWidget* view, const core::PublicStuff& net, const Session& session,
                           const QString& suffix, ui::Printer& printer, ui::Dialogs& dialogs,
                           QWidget* page) {
    if (const std::string untrained = core::NotTrainedProblem(net); !untrained.empty()) {
        dialogs.warn(page, QString::fromStdString(untrained));
        return;
    }
    ui::PrintPictureOf(view, printer, dialogs, page, QString::fromStdString(net.TrainingFileName),
                       QString::fromStdString(session.TrainingFolder), suffix, PrintHeading(net));
}

}  // namespace pages

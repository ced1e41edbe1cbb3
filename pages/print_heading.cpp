#include "pages/print_heading.h"

#include "pages/save_page.h"
#include "text/number_format.h"

namespace pages {

QString PrintHeading(const core::PublicStuff& net) {
    const report::ReportContext context = LocalReportContext();
    const std::string line = net.TrainingFileName + ", " + net.LearningRule + " rule, rate " +
                             text::FormatGeneral(net.LearningRate, context.separators) + ", " +
                             std::to_string(net.SweepCount) +
                             (net.SweepCount == 1 ? " epoch, " : " epochs, ") + context.date() +
                             " " + context.time();
    return QString::fromStdString(line);
}

}  // namespace pages

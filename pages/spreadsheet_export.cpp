#include "pages/spreadsheet_export.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <atomic>
#include <string>

#include "core/network_state.h"
#include "pages/save_page.h"
#include "pages/save_target.h"
#include "pages/session.h"
#include "report/workbook_writer.h"
#include "training/run_history.h"
#include "ui/dialogs.h"
#include "ui/long_task.h"
#include "ui/page.h"

namespace pages {

namespace {

const QString kTitle = QStringLiteral("Create A Spreadsheet Of The Results");

void showProblem(QWidget* parent, ui::Dialogs& dialogs, const QString& text) {
    dialogs.warn(parent, text, kTitle);
}

}  // namespace

bool CreateSpreadsheet(QWidget* parent, ui::Dialogs& dialogs, core::PublicStuff& net,
                       const Session& session, std::string* savedTo) {
    // Asked before a file name: no workbook can come of a network not trained on its file.
    if (const std::string untrained = core::NotTrainedProblem(net); !untrained.empty()) {
        showProblem(parent, dialogs, QString::fromStdString(untrained));
        return false;
    }
    // "pairs.net" gives "pairs.xlsx"; a name without ".net" keeps its whole text.
    const std::optional<std::string> target = ChooseSaveTarget(
        parent, dialogs,
        {kTitle,
         DefaultSavePath(session.TrainingFolder, net.TrainingFileName, QStringLiteral(".xlsx")),
         QStringLiteral("Excel Workbook (*.xlsx)"), QStringLiteral(".xlsx"),
         QStringLiteral("spreadsheet"), report::WorkbookWhat, FilesInUse(net, session, false)});
    if (!target) {
        return false;
    }
    const std::string& path = *target;

    std::string error;
    bool written = false;
    bool cancelled = false;
    report::ReportContext context = pages::LocalReportContext();
    context.runs = &session.Runs;
    if (auto* page = qobject_cast<ui::Page*>(parent); page != nullptr) {
        // Written on a worker thread; after 0.2 s a progress dialog offers "Cancel", which
        // leaves the earlier file and no temporary file.
        core::Progress progress;
        context.progress = &progress;
        ui::LongTask task;
        task.title = kTitle;
        task.work = [&] { return written = report::WriteWorkbook(net, path, context, error); };
        ui::TrackProgress(task, progress, [](const core::Progress& p) {
            return QStringLiteral("%1 million cells written")
                .arg(static_cast<double>(p.done()) / 1e6, 0, 'f', 1);
        });
        cancelled = ui::RunLongTask(page->runtime(), page, task) == core::WorkEnd::Cancelled;
    } else {
        // A large network takes a while to write.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        written = report::WriteWorkbook(net, path, context, error);
    }
    if (cancelled) {
        return false;
    }
    if (!written) {
        showProblem(parent, dialogs, QString::fromStdString(error));
        return false;
    }
    if (savedTo != nullptr) {
        *savedTo = path;
    }
    return true;
}

}  // namespace pages

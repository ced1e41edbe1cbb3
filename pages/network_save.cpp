#include "pages/network_save.h"

#include <QString>

#include <optional>
#include <string>

#include "core/network_state.h"
#include "files/network_file.h"
#include "pages/page_id.h"
#include "pages/save_target.h"
#include "pages/session.h"
#include "ui/dialogs.h"
#include "ui/long_task.h"
#include "ui/page.h"

namespace pages {

namespace {

const QString kTitle = QStringLiteral("Save The Trained Network");

QString saveStatus(const core::Progress& progress) {
    return QStringLiteral("%1 MB of %2 MB saved")
        .arg(static_cast<double>(progress.done()) / 1e6, 0, 'f', 1)
        .arg(static_cast<double>(progress.total()) / 1e6, 0, 'f', 1);
}

}  // namespace

bool SaveTrainedNetwork(QWidget* parent, ui::Dialogs& dialogs, const core::PublicStuff& net,
                        Session& session, std::string* savedTo) {
    // Asked before a file name: a network not trained on its file is not worth keeping.
    if (const std::string untrained = core::NotTrainedProblem(net); !untrained.empty()) {
        dialogs.warn(parent, QString::fromStdString(untrained), kTitle);
        return false;
    }
    const std::optional<std::string> target = ChooseSaveTarget(
        parent, dialogs,
        {kTitle,
         DefaultSavePath(session.TrainingFolder, net.TrainingFileName, QStringLiteral(".h5")),
         QStringLiteral("Network file (*.h5)"), QStringLiteral(".h5"), QStringLiteral("network"),
         files::SaveNetworkWhat, FilesInUse(net, session, true)});
    if (!target) {
        return false;
    }
    std::string error;
    bool saved = false;
    core::Progress progress;
    if (auto* page = qobject_cast<ui::Page*>(parent); page != nullptr) {
        ui::LongTask task;
        task.title = kTitle;
        task.work = [&] { return saved = files::SaveNetwork(net, *target, error, &progress); };
        ui::TrackProgress(task, progress, saveStatus);
        if (ui::RunLongTask(page->runtime(), page, task) == core::WorkEnd::Cancelled) {
            return false;  // the earlier file is as it was
        }
    } else {
        saved = files::SaveNetwork(net, *target, error, &progress);
    }
    if (!saved) {
        dialogs.warn(parent, QString::fromStdString(error), kTitle);
        return false;
    }
    session.UnsavedTraining = false;
    if (savedTo != nullptr) {
        *savedTo = *target;
    }
    return true;
}

bool MayLeave(QWidget* parent, ui::Dialogs& dialogs, const core::PublicStuff& net,
              Session& session) {
    return MayDropTraining(parent, dialogs, net, session, QStringLiteral("leaving"));
}

bool MayDropTraining(QWidget* parent, ui::Dialogs& dialogs, const core::PublicStuff& net,
                     Session& session, const QString& doing) {
    if (!net.TrainedOnProblem || !session.UnsavedTraining) {
        return true;
    }
    switch (dialogs.messageBox(
        parent,
        QStringLiteral("The trained network has not been saved. Save it before %1?").arg(doing),
        QString::fromUtf8(ProgramTitle), ui::Buttons::YesNoCancel, ui::Icon::Question,
        ui::Answer::Yes)) {
        case ui::Answer::Yes:
            return SaveTrainedNetwork(parent, dialogs, net, session);
        case ui::Answer::No:
            return true;
        case ui::Answer::Ok:
        case ui::Answer::Cancel:
            break;
    }
    return false;
}

}  // namespace pages

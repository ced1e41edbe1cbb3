#include "pages/save_target.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/problem.h"
#include "files/replacement_file.h"
#include "files/same_file.h"
#include "pages/session.h"
#include "ui/dialogs.h"

namespace pages {

std::vector<FileInUse> FilesInUse(const core::Problem& problem, const Session& session,
                                  bool savingTheNetwork) {
    std::vector<FileInUse> inUse;
    if (!problem.TrainingFileName.empty()) {
        // By its base name, as everywhere a network file's training_file attribute is used.
        const QString training =
            QDir(QString::fromStdString(session.TrainingFolder))
                .filePath(QFileInfo(QString::fromStdString(problem.TrainingFileName)).fileName());
        inUse.push_back({QFile::encodeName(training).toStdString(),
                         QStringLiteral("the training file in use")});
    }
    if (!savingTheNetwork && !session.OpenedNetworkFile.empty()) {
        inUse.push_back({session.OpenedNetworkFile, QStringLiteral("the network file in use")});
    }
    return inUse;
}

QString InUseRefusal(const std::string& target, const std::vector<FileInUse>& inUse) {
    for (const FileInUse& file : inUse) {
        if (!files::SameFile(target, file.path)) {
            continue;
        }
        const QString chosen = QFileInfo(QFile::decodeName(target.c_str())).fileName();
        const QString known = QFileInfo(QFile::decodeName(file.path.c_str())).fileName();
        return QStringLiteral("Cannot save to \"%1\": it is %2%3. Choose another name.")
            .arg(chosen, file.what,
                 known == chosen ? QString() : QStringLiteral(", \"%1\"").arg(known));
    }
    return {};
}

std::optional<std::string> ChooseSaveTarget(QWidget* parent, ui::Dialogs& dialogs,
                                            const SaveTargetChoice& choice) {
    QString chosen = dialogs.saveFileName(parent, choice.title, choice.startPath, choice.filter);
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    if (!chosen.endsWith(choice.extension, Qt::CaseInsensitive)) {
        chosen += choice.extension;
    }
    const QFileInfo target(chosen);
    if (target.isDir()) {
        dialogs.warn(parent,
                     QStringLiteral("Cannot save the %1 as \"%2\": a folder has that name. "
                                    "Choose another file name.")
                         .arg(choice.kind, chosen),
                     choice.title);
        return std::nullopt;
    }
    std::string path = QFile::encodeName(chosen).toStdString();
    if (const QString refusal = InUseRefusal(path, choice.inUse); !refusal.isEmpty()) {
        dialogs.warn(parent, refusal, choice.title);
        return std::nullopt;
    }
    // Refused before the question, so that "Yes" is never followed by a refusal.
    if (std::string refusal; !files::ReplacementFile::CheckTarget(path, choice.what, refusal)) {
        dialogs.warn(parent, QString::fromStdString(refusal), choice.title);
        return std::nullopt;
    }
    if (target.exists() && !ui::AskOverwrite(parent, dialogs)) {
        return std::nullopt;
    }
    return path;
}

QString DefaultSavePath(const std::string& folder, const std::string& trainingFile,
                        const QString& extension) {
    // By its base name only: a network file's training_file attribute could name "../..".
    QString name = QFileInfo(QString::fromStdString(trainingFile)).fileName();
    if (name.isEmpty()) {
        name = QStringLiteral("network");
    }
    if (name.endsWith(QLatin1String(".net"), Qt::CaseInsensitive)) {
        name.chop(4);
    }
    return QDir(QString::fromStdString(folder)).filePath(name + extension);
}

}  // namespace pages

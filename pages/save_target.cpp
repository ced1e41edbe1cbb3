#include "pages/save_target.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "files/replacement_file.h"
#include "ui/dialogs.h"

namespace pages {

std::optional<std::string> ChooseSaveTarget(QWidget* parent, ui::Dialogs& dialogs,
                                            const SaveTargetChoice& choice) {
    QString chosen = dialogs.saveFileName(parent, choice.title, choice.startPath, choice.filter);
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    if (QFileInfo(chosen).suffix().isEmpty()) {
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
    QString name = QString::fromStdString(trainingFile);
    if (name.endsWith(QLatin1String(".net"), Qt::CaseInsensitive)) {
        name.chop(4);
    }
    return QDir(QString::fromStdString(folder)).filePath(name + extension);
}

}  // namespace pages

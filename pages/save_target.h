#pragma once

// Choosing the file a menu item saves to: the save dialog at a default name, the extension
// added to a name that does not end in it, a file in use, a folder at the name or a file
// that cannot be replaced refused (the message names it), and the overwrite question for an
// existing file, asked only once the file is known to be replaceable.

#include <QString>

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace core {
struct Problem;
}

namespace ui {
class Dialogs;
}

namespace pages {

struct Session;

// A file the window must not write over, and what it is: "the training file in use".
struct FileInUse {
    std::string path;  // in the file system's encoding
    QString what;
};

// The training file in use (TrainingFolder/TrainingFileName, also for an opened network,
// whose training file is usually saved beside it) and, unless the network itself is being
// saved, the network file it was opened from.
std::vector<FileInUse> FilesInUse(const core::Problem& problem, const Session& session,
                                  bool savingTheNetwork);

// 'Cannot save to "tiny.net": it is the training file in use. Choose another name.' when
// `target` is one of `inUse` (files::SameFile: by a link or another name too, then named
// both ways); "" otherwise.
QString InUseRefusal(const std::string& target, const std::vector<FileInUse>& inUse);

struct SaveTargetChoice {
    QString title;      // of the dialogs: the menu item's caption
    QString startPath;  // folder and default name
    QString filter;     // "Excel Workbook (*.xlsx)"
    QString extension;  // ".xlsx"
    QString kind;       // "spreadsheet", for "Cannot save the spreadsheet as ..."
    const char* what;   // how ReplacementFile's refusals begin: "Cannot write the workbook"
    std::vector<FileInUse> inUse;  // refused before any question
};

// The chosen path in the file system's encoding, or nothing when the student cancelled or
// the name was refused (after the message).
std::optional<std::string> ChooseSaveTarget(QWidget* parent, ui::Dialogs& dialogs,
                                            const SaveTargetChoice& choice);

// The training file's name with `extension` in place of ".net", in its folder.
QString DefaultSavePath(const std::string& folder, const std::string& trainingFile,
                        const QString& extension);

}  // namespace pages

#pragma once

// Choosing the file a menu item saves to: the save dialog at a default name, the extension
// added to a name without one, a folder at the name or a file that cannot be replaced
// refused (the message names it), and the overwrite question for an existing file, asked
// only once the file is known to be replaceable.

#include <QString>

#include <optional>
#include <string>

class QWidget;

namespace ui {
class Dialogs;
}

namespace pages {

struct SaveTargetChoice {
    QString title;      // of the dialogs: the menu item's caption
    QString startPath;  // folder and default name
    QString filter;     // "Excel Workbook (*.xlsx)"
    QString extension;  // ".xlsx"
    QString kind;       // "spreadsheet", for "Cannot save the spreadsheet as ..."
    const char* what;   // how ReplacementFile's refusals begin: "Cannot write the workbook"
};

// The chosen path in the file system's encoding, or nothing when the student cancelled or
// the name was refused (after the message).
std::optional<std::string> ChooseSaveTarget(QWidget* parent, ui::Dialogs& dialogs,
                                            const SaveTargetChoice& choice);

// The training file's name with `extension` in place of ".net", in its folder.
QString DefaultSavePath(const std::string& folder, const std::string& trainingFile,
                        const QString& extension);

}  // namespace pages

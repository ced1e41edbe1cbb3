#pragma once

// "Create A Spreadsheet Of The Results": asks for a file name with the save dialog, starting
// in the training file's folder with the training file's name and ".xlsx", and writes the
// workbook of the run there (report/workbook_writer.h).
//
// A name without an extension gets ".xlsx"; an existing file is replaced only after the
// save page's overwrite question is answered Yes; a folder at the name is refused. Every
// failure is shown in a message box naming the path and the reason; the old file is then
// intact. Returns whether the workbook was written, and where in `savedTo` (when given; in
// the file system's encoding).

#include <string>

class QWidget;

namespace core {
struct PublicStuff;
}

namespace ui {
class Dialogs;
}

namespace pages {

struct Session;

bool CreateSpreadsheet(QWidget* parent, ui::Dialogs& dialogs, core::PublicStuff& net,
                       const Session& session, std::string* savedTo = nullptr);

}  // namespace pages

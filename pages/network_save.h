#pragma once

// Keeping the trained network in a network file (.h5, files/network_file.h): the menu's
// "Save The Trained Network", and the question before the program ends with training
// that was never saved.

#include <QString>

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

// Asks for a name with the save dialog, starting at the training file's name with ".h5" in
// its folder, and saves the network there off the window thread, with progress and
// "Cancel" once it takes a while. A name without an extension gets ".h5"; an existing file
// is replaced only after the overwrite question; every refusal and failure is shown, and
// then the earlier file is intact. Returns whether the network was saved, and where in
// `savedTo` (when given; in the file system's encoding).
bool SaveTrainedNetwork(QWidget* parent, ui::Dialogs& dialogs, const core::PublicStuff& net,
                        Session& session, std::string* savedTo = nullptr);

// Whether the trained network may be dropped now: true at once for a network never trained,
// or unchanged since it was saved or opened; otherwise asks "The trained network has not
// been saved. Save it before <doing>?" (`doing`: "leaving", "opening another file",
// "resetting the weights", "training it again from zero"): Yes saves (true only when that
// save succeeded), No goes on, Cancel stays.
bool MayDropTraining(QWidget* parent, ui::Dialogs& dialogs, const core::PublicStuff& net,
                     Session& session, const QString& doing);

// Whether the program may end now: MayDropTraining before "leaving".
bool MayLeave(QWidget* parent, ui::Dialogs& dialogs, const core::PublicStuff& net,
              Session& session);

}  // namespace pages

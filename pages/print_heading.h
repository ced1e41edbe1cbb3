#pragma once

// Printed pictures of a trained network (the graph, degradation and weight map pages): their
// one heading line, "tiny.net, Delta rule, rate 0.1, 100 epochs, 12/08/26 00:43:25" with the
// date and time as the report writes them, and the print button they share.

#include <QString>

#include "core/network_state.h"

class QWidget;

namespace ui {
class Dialogs;
class Printer;
}  // namespace ui

namespace pages {

struct Session;

QString PrintHeading(const core::PublicStuff& net);

// What the print buttons of the graph, degradation and weight map pages do: refuse a
// network not trained on its file with the reason, else copy and print the picture of `view`
// under PrintHeading(net), named after the training file and `suffix` ("tiny-graph"), in the
// session's training folder.
void PrintPictureOfNetwork(QWidget* view, const core::PublicStuff& net, const Session& session,
                           const QString& suffix, ui::Printer& printer, ui::Dialogs& dialogs,
                           QWidget* page);

}  // namespace pages

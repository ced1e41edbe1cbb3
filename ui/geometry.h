#pragma once

// Each page keeps its layout as one table of control names and twip rectangles, in the
// order of the page's controls (tab order). The same table places the controls and lets a test
// check that every control sits where the table says.

#include <QStringList>

#include <span>

#include "ui/twips.h"

class QWidget;

namespace ui {

struct ControlPlace {
    const char* name;  // the control's objectName, e.g. "NextPage" or "Label8(2)"
    TwipRect rect;
};

// Gives a control its name on the page (e.g. "Label8(2)") and returns it, so that pages can
// create and name a control in one expression.
template <class Control>
Control* Named(Control* control, const QString& name) {
    control->setObjectName(name);
    return control;
}

// Places every named control of `page`. Returns the names not found (empty when all are).
QStringList ApplyGeometry(QWidget* page, std::span<const ControlPlace> table);

}  // namespace ui

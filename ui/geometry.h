#pragma once

// Each page keeps its layout as one table of control names and twip rectangles, in the
// order of the page's controls (tab order). The same table places the controls and lets a test
// check that every control sits where the table says.

#include <QSize>
#include <QStringList>

#include <span>

#include "ui/twips.h"

class QWidget;

namespace ui {

// The edges of a page that can grow which a control keeps its distance to: to one of two
// opposite edges it moves with that edge, to both it grows with the page.
enum Anchor : unsigned {
    AnchorLeft = 1,
    AnchorTop = 2,
    AnchorRight = 4,
    AnchorBottom = 8,
    AnchorAll = AnchorLeft | AnchorTop | AnchorRight | AnchorBottom,
    AnchorAcrossTop = AnchorLeft | AnchorTop | AnchorRight,
    AnchorAcrossBottom = AnchorLeft | AnchorBottom | AnchorRight,
    AnchorBottomLeft = AnchorLeft | AnchorBottom,
    AnchorBottomRight = AnchorRight | AnchorBottom,
};

struct ControlPlace {
    const char* name;  // the control's objectName, e.g. "NextPage" or "Label8(2)"
    TwipRect rect;     // at the page's default size
    unsigned anchors = AnchorLeft | AnchorTop;
};

// Gives a control its name on the page (e.g. "Label8(2)") and returns it, so that pages can
// create and name a control in one expression.
template <class Control>
Control* Named(Control* control, const QString& name) {
    control->setObjectName(name);
    return control;
}

// Where a control placed at `rect` stands on a page grown `wider` and `taller` twips from its
// default size, kept to the edges `anchors` names (a control anchored to neither of two
// opposite edges keeps to the first of them).
constexpr TwipRect Anchored(const TwipRect& rect, unsigned anchors, int wider, int taller) {
    TwipRect placed = rect;
    if ((anchors & AnchorRight) != 0) {
        ((anchors & AnchorLeft) != 0 ? placed.width : placed.left) += wider;
    }
    if ((anchors & AnchorBottom) != 0) {
        ((anchors & AnchorTop) != 0 ? placed.height : placed.top) += taller;
    }
    return placed;
}

// Places every named control of `page`, on a page `grown` pixels wider and taller than its
// default size. Returns the names not found (empty when all are).
QStringList ApplyGeometry(QWidget* page, std::span<const ControlPlace> table, QSize grown = {0, 0});

}  // namespace ui

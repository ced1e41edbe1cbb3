#pragma once

// What screen readers and keyboard users need of a page's controls.
//
// Buttons, check boxes, option buttons, frames and labels are named by their captions
// (Qt does that itself). A control without a caption of its own (a box, list, slider,
// up-down, text window or chart) is named here: after the label beside it, which also
// becomes that label's buddy, or by a short text of its own.

#include <QString>

class QLabel;
class QWidget;

namespace ui {

// Names `control` after the caption of `label` (without its colon), makes `label` its
// buddy, and gives it `description` when that is not empty.
void NameAfterLabel(QWidget* control, QLabel* label, const QString& description = {});

// Names `control` `name` and describes it with `description` (when not empty).
void DescribeControl(QWidget* control, const QString& name, const QString& description = {});

// Ctrl+Tab and Ctrl+Shift+Tab move the focus on from a text window in which Tab types a
// TAB, so that keyboard users are not caught there.
void LeaveWithCtrlTab(QWidget* textWindow);

// Enter and Return press a command button that has the focus, as Space does: a page is
// no dialog, so Qt leaves those keys alone. Called for every page as it is created.
void PressButtonsWithEnter(QWidget* page);

}  // namespace ui

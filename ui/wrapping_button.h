#pragma once

// A command button whose caption wraps onto several lines, as long captions need on the
// button sizes of the page tables. text() stays the whole caption.

#include <QPushButton>

namespace ui {

class WrappingButton final : public QPushButton {
    Q_OBJECT
  public:
    using QPushButton::QPushButton;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace ui

#pragma once

// A horizontal slider with two distinct events: scrolled() on every movement by the user
// (dragging, clicking beside the thumb, keys) and clicked() when a mouse button is pressed
// and released over it. Setting the value from code emits neither.

#include <QSlider>

namespace ui {

class Slider : public QSlider {
    Q_OBJECT
  public:
    // Positions minimum..maximum, small step 1, large step 5, a tick every 50 positions.
    Slider(int minimum, int maximum, QWidget* parent = nullptr);

  signals:
    void scrolled();
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool m_pressed = false;
    bool m_scrollPending = false;
};

}  // namespace ui

#include "ui/slider.h"

#include <QMouseEvent>

#include <utility>

namespace ui {

Slider::Slider(int minimum, int maximum, QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(minimum, maximum);
    setSingleStep(1);
    setPageStep(5);
    setTickInterval(50);
    setTickPosition(QSlider::TicksBelow);

    // Every user action (drag, click beside the thumb, keys, wheel) triggers an action, but
    // actionTriggered comes before the new value is set. When the action moves the value,
    // scrolled() waits for the valueChanged that follows; when it does not (already at an
    // end), the value is final already. setValue from code triggers no action.
    connect(this, &QAbstractSlider::actionTriggered, this, [this] {
        if (sliderPosition() == value()) {
            emit scrolled();
        } else {
            m_scrollPending = true;
        }
    });
    connect(this, &QAbstractSlider::valueChanged, this, [this] {
        if (std::exchange(m_scrollPending, false)) {
            emit scrolled();
        }
    });
}

void Slider::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    QSlider::mousePressEvent(event);
}

void Slider::mouseReleaseEvent(QMouseEvent* event) {
    // The base class finishes any drag first, so clicked() sees the final value.
    QSlider::mouseReleaseEvent(event);
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        m_pressed = false;
    }
    if (click) {
        emit clicked();
    }
}

}  // namespace ui

#include "ui/up_down.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

namespace ui {

namespace {

QToolButton* arrowButton(Qt::ArrowType arrow, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    // The box keeps the focus, as it would beside a spin box's arrows.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

}  // namespace

UpDown::UpDown(QLineEdit* buddy, int value, int minimum, int maximum, QWidget* parent)
    : QWidget(parent),
      m_buddy(buddy),
      m_up(arrowButton(Qt::UpArrow, this)),
      m_down(arrowButton(Qt::DownArrow, this)),
      m_value(std::clamp(value, minimum, maximum)),
      m_minimum(minimum),
      m_maximum(maximum) {
    Q_ASSERT(minimum <= maximum);
    connect(m_up, &QToolButton::clicked, this, &UpDown::stepUp);
    connect(m_down, &QToolButton::clicked, this, &UpDown::stepDown);
    // The arrows take no focus; the Up and Down keys in the box press them.
    m_buddy->installEventFilter(this);
}

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_buddy && event->type() == QEvent::KeyPress && m_buddy->isEnabled()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDown::setMaximum(int maximum) {
    m_maximum = std::max(maximum, m_minimum);
    m_value = std::min(m_value, m_maximum);
}

void UpDown::stepUp() {
    step(m_step);
}

void UpDown::stepDown() {
    step(-m_step);
}

void UpDown::step(int delta) {
    // Start from what the user typed, when that is a whole number we can take.
    bool ok = false;
    const int typed = m_buddy->text().trimmed().toInt(&ok);
    if (ok && typed >= m_minimum && typed <= m_maximum) {
        m_value = typed;
    }
    m_value = std::clamp(m_value + delta, m_minimum, m_maximum);
    // Written on every press, also at a limit; QString::number never groups digits.
    m_buddy->setText(QString::number(m_value));
}

void UpDown::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int upHeight = height() / 2;
    m_up->setGeometry(0, 0, width(), upHeight);
    m_down->setGeometry(0, upHeight, width(), height() - upHeight);
}

}  // namespace ui

#include "ui/text_row.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

namespace ui {

TextRow::TextRow(QWidget* parent)
    : QWidget(parent),
      m_background(parent != nullptr ? parent->palette().color(QPalette::Window) : buttonFace()) {
    // paintEvent fills every pixel itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor TextRow::buttonFace() {
    return QApplication::palette().color(QPalette::Button);
}

// update(), not repaint(): a long run prints often and the event loop merges the
// requests into one paint.
void TextRow::clear() {
    m_lines.clear();
    update();
}

void TextRow::printLine(const QString& line) {
    m_lines.append(line);
    update();
}

bool TextRow::fits(const QString& line) const {
    return fontMetrics().horizontalAdvance(line) <= width();
}

void TextRow::setBackground(const QColor& colour) {
    m_background = colour;
    update();
}

void TextRow::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const int lineHeight = fontMetrics().lineSpacing();
    int top = 0;
    for (const QString& line : m_lines) {
        if (top >= height()) {
            break;
        }
        painter.drawText(QRect(0, top, width(), lineHeight),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextExpandTabs,
                         line);
        top += lineHeight;
    }
}

}  // namespace ui

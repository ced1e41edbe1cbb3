#include "ui/page.h"

#include <QCloseEvent>

#include "ui/page_runtime.h"

namespace ui {

Page::Page(PageRuntime& runtime, PageKey id, const QString& caption, int widthTwips,
           int heightTwips)
    : QWidget(nullptr, Qt::Window),
      m_runtime(runtime),
      m_id(id),
      m_defaultSize(ToPixels(widthTwips, heightTwips)) {
    setWindowTitle(caption);
    setFixedSize(m_defaultSize);
    // The runtime, not Qt's last-window rule, decides when the program ends: a page can be
    // loaded without being visible.
    setAttribute(Qt::WA_QuitOnClose, false);
}

void Page::growWith(std::span<const ControlPlace> table) {
    m_growTable = table;
    setMinimumSize(m_defaultSize);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void Page::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!m_growTable.empty()) {
        ApplyGeometry(this, m_growTable, size() - m_defaultSize);
    }
}

QRect Page::defaultPlace(const QWidget* control) const {
    for (const ControlPlace& place : m_growTable) {
        if (control->objectName() == QLatin1String(place.name)) {
            return ToPixels(place.rect);
        }
    }
    return control->geometry();
}

void Page::closeEvent(QCloseEvent* event) {
    if (m_runtime.inputLocked()) {
        event->ignore();
        return;
    }
    if (!m_runtime.Unload(m_id)) {
        event->ignore();  // the student chose to stay
        return;
    }
    event->accept();
}

}  // namespace ui

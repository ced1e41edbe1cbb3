#include "ui/page.h"

#include <QCloseEvent>

#include "ui/page_runtime.h"

namespace ui {

Page::Page(PageRuntime& runtime, PageKey id, const QString& caption, int widthTwips,
           int heightTwips)
    : QWidget(nullptr, Qt::Window), m_runtime(runtime), m_id(id) {
    setWindowTitle(caption);
    setFixedSize(ToPixels(widthTwips, heightTwips));
    // The runtime, not Qt's last-window rule, decides when the program ends: a page can be
    // loaded without being visible.
    setAttribute(Qt::WA_QuitOnClose, false);
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

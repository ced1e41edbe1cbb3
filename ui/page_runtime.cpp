#include "ui/page_runtime.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QShortcut>

#include <algorithm>

#include "ui/accessibility.h"

namespace ui {

namespace {

bool isInputEvent(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
            return true;
        default:
            return false;
    }
}

bool within(const QWidget* ancestor, const QWidget* widget) {
    return ancestor != nullptr && (widget == ancestor || ancestor->isAncestorOf(widget));
}

}  // namespace

PageRuntime::PageRuntime(Dialogs& dialogs) : m_dialogs(dialogs) {}

PageRuntime::~PageRuntime() {
    releaseLock();
    // Pages refer to the runtime, so none may outlive it. Empty the map first so that
    // their destroyed() signals find nothing to report.
    std::vector<QPointer<Page>> pages = std::move(m_unloaded);
    for (const auto& entry : m_loaded) {
        pages.emplace_back(entry.second);
    }
    m_loaded.clear();
    for (const QPointer<Page>& page : pages) {
        delete page.data();
    }
}

void PageRuntime::registerPage(PageKey id, Factory factory) {
    m_factories[id] = std::move(factory);
}

Page* PageRuntime::Load(PageKey id) {
    if (Page* loaded = find(id)) {
        return loaded;
    }
    const auto factory = m_factories.find(id);
    if (factory == m_factories.end() || !factory->second) {
        return nullptr;
    }
    Page* page = factory->second(*this);
    if (page == nullptr) {
        return nullptr;
    }
    Q_ASSERT(page->id() == id);
    PressButtonsWithEnter(page);
    // In the map before Form_Load, so that a Load from inside it finds this page.
    m_loaded[id] = page;
    connect(page, &QObject::destroyed, this, [this, id, page] { forget(id, page); });
    page->Form_Load();
    return find(id);
}

Page* PageRuntime::Show(PageKey id) {
    Page* page = Load(id);
    if (page == nullptr) {
        return nullptr;
    }
    page->show();
    page->raise();
    page->activateWindow();
    page->Form_Activate();
    return page;
}

bool PageRuntime::Unload(PageKey id) {
    if (!isLoaded(id)) {
        return true;
    }
    if (m_loaded.size() == 1 && m_mayLeave && !m_mayLeave()) {
        return false;
    }
    unloadPage(id);
    if (m_loaded.empty()) {
        emit finished();
    }
    return true;
}

bool PageRuntime::End() {
    if (m_mayLeave && !m_mayLeave()) {
        return false;
    }
    releaseLock();
    while (!m_loaded.empty()) {
        unloadPage(m_loaded.begin()->first);
    }
    emit finished();
    return true;
}

void PageRuntime::unloadPage(PageKey id) {
    const auto it = m_loaded.find(id);
    Page* page = it->second;
    // Out of the map at once, so that a Load right after creates a fresh page.
    m_loaded.erase(it);
    page->hide();
    // Deferred: the caller may be one of the page's own handlers.
    page->deleteLater();
    std::erase_if(m_unloaded, [](const QPointer<Page>& p) { return p.isNull(); });
    m_unloaded.emplace_back(page);
}

void PageRuntime::forget(PageKey id, const Page* page) {
    // Someone deleted a loaded page directly: it counts as unloaded.
    const auto it = m_loaded.find(id);
    if (it == m_loaded.end() || it->second != page) {
        return;
    }
    m_loaded.erase(it);
    if (m_loaded.empty()) {
        emit finished();
    }
}

Page* PageRuntime::find(PageKey id) const {
    const auto it = m_loaded.find(id);
    return it == m_loaded.end() ? nullptr : it->second;
}

void PageRuntime::lockInput(QWidget* allowed) {
    m_lockAllowed = allowed;
    if (!m_locked) {
        m_locked = true;
        qApp->installEventFilter(this);
    }
}

void PageRuntime::unlockInput() {
    if (releaseLock()) {
        emit inputUnlocked();
    }
}

bool PageRuntime::releaseLock() {
    const bool wasLocked = m_locked;
    if (m_locked) {
        qApp->removeEventFilter(this);
        m_locked = false;
    }
    m_lockAllowed = nullptr;
    return wasLocked;
}

bool PageRuntime::eventFilter(QObject* watched, QEvent* event) {
    if (!m_locked || !isInputEvent(event->type())) {
        return false;
    }
    if (!watched->isWidgetType()) {
        // Window-level events reach the widgets next and are judged there. A shortcut goes
        // through when it belongs to what stays usable (Esc of a progress dialog is one);
        // other shortcuts, such as those of actions, are eaten.
        if (event->type() != QEvent::Shortcut) {
            return false;
        }
        const auto* shortcut = qobject_cast<const QShortcut*>(watched);
        const QWidget* owner =
            shortcut != nullptr ? qobject_cast<const QWidget*>(shortcut->parent()) : nullptr;
        return owner == nullptr || !(within(QApplication::activeModalWidget(), owner) ||
                                     within(m_lockAllowed.data(), owner));
    }
    const auto* widget = static_cast<QWidget*>(watched);
    if (within(QApplication::activeModalWidget(), widget)) {
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            if (auto* button = qobject_cast<QAbstractButton*>(m_lockAllowed.data());
                button != nullptr && !key->isAutoRepeat()) {
                button->click();
            }
            return true;
        }
    }
    return !within(m_lockAllowed.data(), widget);
}

}  // namespace ui

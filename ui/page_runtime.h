#pragma once

// Page lifecycle: load, show, unload and end, the way every page of the program uses it.

#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <vector>

#include "ui/dialogs.h"
#include "ui/page.h"

namespace ui {

class PageRuntime : public QObject {
    Q_OBJECT
  public:
    using Factory = std::function<Page*(PageRuntime&)>;

    // Uses `dialogs` for every message and input box of every page; not owned.
    explicit PageRuntime(Dialogs& dialogs);
    // Deletes the pages still loaded and those unloaded but not yet deleted: pages refer
    // to their runtime and must not outlive it.
    ~PageRuntime() override;

    void registerPage(PageKey id, Factory factory);

    // Creates the page and runs its Form_Load, unless it is loaded already; returns it.
    // Returns nullptr when no page is registered under `id` (the caller reports it).
    Page* Load(PageKey id);
    // Loads the page if need be, makes it visible, brings it to the front and runs its
    // Form_Activate.
    Page* Show(PageKey id);
    // Destroys the page (its window closes, its control values are gone). Safe to call
    // from the page's own handlers: deletion is deferred to the event loop. The last page
    // goes only when the leave check allows it; returns whether the page went.
    bool Unload(PageKey id);
    // Unloads every page at once and ends the program, once the leave check allows it;
    // returns whether it did.
    bool End();
    // Asked before the program ends (End(), or the last page unloaded); false keeps it
    // running. Without one the program ends when asked.
    void setLeaveCheck(std::function<bool()> mayLeave) { m_mayLeave = std::move(mayLeave); }

    Page* find(PageKey id) const;
    bool isLoaded(PageKey id) const { return find(id) != nullptr; }
    int loadedCount() const { return static_cast<int>(m_loaded.size()); }

    Dialogs& dialogs() const { return m_dialogs; }

    // While locked (a training run goes on), only `allowed` and its children take mouse or
    // key input, Esc presses `allowed`, close boxes are refused; windows still repaint and
    // a modal dialog opened meanwhile takes input as usual (it could not be closed otherwise).
    void lockInput(QWidget* allowed);
    void unlockInput();
    bool inputLocked() const { return m_locked; }

  signals:
    // The last page was unloaded, or End() was called: the program should quit.
    void finished();
    // unlockInput ended a lock: a training run is over, and pages that show the weights
    // may redraw.
    void inputUnlocked();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void forget(PageKey id, const Page* page);
    // Ends a lock without telling the pages; returns whether there was one.
    bool releaseLock();
    void unloadPage(PageKey id);

    Dialogs& m_dialogs;
    std::function<bool()> m_mayLeave;
    std::map<PageKey, Factory> m_factories;
    std::map<PageKey, Page*> m_loaded;
    std::vector<QPointer<Page>> m_unloaded;  // hidden, deletion still pending
    bool m_locked = false;
    QPointer<QWidget> m_lockAllowed;
};

}  // namespace ui

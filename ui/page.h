#pragma once

// Pages are the program's windows. A page is loaded (created with the initial values of
// its controls, then Form_Load runs), shown (never modal), and unloaded (destroyed, also by
// the window's close box). PageRuntime keeps at most one loaded instance of each page.

#include <QWidget>

#include "ui/twips.h"

namespace ui {

class PageRuntime;

// A page's key in the runtime. The runtime knows no page of its own: the program names
// its pages with keys of this type.
enum class PageKey : int {};

class Page : public QWidget {
    Q_OBJECT
  public:
    // Caption and client-area size in twips; the page is a top-level window.
    Page(PageRuntime& runtime, PageKey id, const QString& caption, int widthTwips, int heightTwips);

    PageKey id() const { return m_id; }
    PageRuntime& runtime() const { return m_runtime; }

    // Runs once when the page is loaded, before it is first shown.
    virtual void Form_Load() {}
    // Runs every time the runtime shows the page, the first time after Form_Load.
    virtual void Form_Activate() {}

  protected:
    // The close box unloads the page, unless input is locked during a training run.
    void closeEvent(QCloseEvent* event) override;

    // Places a control at a position given in twips.
    static void place(QWidget* control, const TwipRect& r) { control->setGeometry(ToPixels(r)); }

  private:
    PageRuntime& m_runtime;
    PageKey m_id;
};

}  // namespace ui

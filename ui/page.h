#pragma once

// Pages are the program's windows. A page is loaded (created with the initial values of
// its controls, then Form_Load runs), shown (never modal), and unloaded (destroyed, also by
// the window's close box). PageRuntime keeps at most one loaded instance of each page.

#include <QWidget>

#include "ui/twips.h"

namespace ui {

class PageRuntime;

// The program's pages, named for what they are.
enum class PageId {
    Start,      // choose and load a training file
    Setup,      // the training parameters and the run
    Menu,       // what to do after training
    Probe,      // recall single patterns
    Save,       // the text report
    Graph,      // the SSE history
    Analysis,   // what each rule will do
    WeightMap,  // the connection weights
    Degradation,  // how recall degrades
};

class Page : public QWidget {
    Q_OBJECT
  public:
    // Caption and client-area size in twips; the page is a top-level window.
    Page(PageRuntime& runtime, PageId id, const QString& caption, int widthTwips, int heightTwips);

    PageId id() const { return m_id; }
    PageRuntime& runtime() const { return m_runtime; }

    // Runs once when the page is loaded, before it is first shown.
    virtual void Form_Load() {}
    // Runs every time the runtime shows the page, the first time after Form_Load.
    virtual void Form_Activate() {}

  protected:
    // The close box unloads the page, unless input is locked during a training run.
    void closeEvent(QCloseEvent* event) override;

    // Places a control at a position given in twips.
    static void place(QWidget* control, const TwipRect& r) { control->setGeometry(toPixels(r)); }

  private:
    PageRuntime& m_runtime;
    PageId m_id;
};

}  // namespace ui

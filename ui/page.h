#pragma once

// Pages are the program's windows. A page is loaded (created with the initial values of
// its controls, then Form_Load runs), shown (never modal), and unloaded (destroyed, also by
// the window's close box). PageRuntime keeps at most one loaded instance of each page.

#include <QWidget>

#include <span>

#include "ui/geometry.h"
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

    // Where `control` stands at the page's default size: its place in the table the page
    // grows with, else where it stands now.
    QRect defaultPlace(const QWidget* control) const;

  protected:
    // The close box unloads the page, unless input is locked during a training run.
    void closeEvent(QCloseEvent* event) override;

    // Places a control at a position given in twips.
    static void place(QWidget* control, const TwipRect& r) { control->setGeometry(ToPixels(r)); }

    // Lets the page be enlarged (and maximised) from its default size, which stays its
    // smallest; the controls of `table` keep to the edges their anchors name. A page that
    // does not call this keeps its size.
    void growWith(std::span<const ControlPlace> table);
    void resizeEvent(QResizeEvent* event) override;

  private:
    PageRuntime& m_runtime;
    PageKey m_id;
    QSize m_defaultSize;
    std::span<const ControlPlace> m_growTable;
};

}  // namespace ui

#pragma once

// The post-training menu (TestDAM). Its upper list opens the examining pages (probe, save,
// graph, analysis, weight map, degradation) on top of the menu, which stays open beneath
// them, or saves the spreadsheet or the network file; its lower list sets FreshStart and
// goes back to the setup page, or back to the start page, leaving the menu.
//
// A double-click anywhere in a list acts on the list's selected item, so a double-click
// beside the items with nothing selected is answered with a message instead of being
// ignored.

#include <span>

#include "core/network_state.h"
#include "pages/session.h"
#include "ui/geometry.h"
#include "ui/page.h"

class QFrame;
class QLabel;
class QListWidget;
class QPushButton;

namespace pages {

// A line given by its two end points, in twips.
struct LinePoints {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
};

class MenuPage final : public ui::Page {
    Q_OBJECT
  public:
    // `net` is the network whose FreshStart the menu sets; it must outlive the page.
    MenuPage(ui::PageRuntime& runtime, core::PublicStuff& net, Session& session);

    // Where every control but the dividing line sits, top to bottom.
    static std::span<const ui::ControlPlace> geometry();
    // The end points of the dividing line Line1.
    static LinePoints line1();

  private:
    void TestList_DblClick();
    void ContinueList_DblClick();
    void Command2_Click();
    // Shows `id`; false, after telling the user, when that page is not part of the program.
    bool showPage(ui::PageKey id);
    void reportNoSelection();
    // "Saved tiny.h5 in /home/ann/nets." in Label3 for a file just written.
    void showSaved(const std::string& path);

    core::PublicStuff& m_net;

    Session& m_session;

    QLabel* Label5 = nullptr;
    QListWidget* TestList = nullptr;
    QFrame* Line1 = nullptr;
    QLabel* Label4 = nullptr;
    QListWidget* ContinueList = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* Command2 = nullptr;
    QLabel* Label3 = nullptr;
};

}  // namespace pages

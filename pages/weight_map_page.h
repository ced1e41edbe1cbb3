#pragma once

// The page "Show The Connection Weights" (ConnectionWeights): the weights of the moment as
// a map, redrawn each time the page is shown and when a training run ends while it is
// open. "Print The Map" puts the map's picture on the clipboard, where it stays, and
// prints it; Ctrl+C only copies it.

#include <span>

#include "core/network_state.h"
#include "pages/session.h"
#include "ui/geometry.h"
#include "ui/page.h"
#include "ui/printer.h"

class QLabel;
class QPushButton;

namespace pages {

class WeightMapView;

class WeightMapPage final : public ui::Page {
    Q_OBJECT
  public:
    // `net` is the program's network and `printer` where "Print" goes; both must outlive
    // the page.
    WeightMapPage(ui::PageRuntime& runtime, const core::PublicStuff& net, const Session& session,
                  ui::Printer& printer);

    void Form_Activate() override;

    // Where every control sits, in tab order.
    static std::span<const ui::ControlPlace> geometry();

    // Handlers, public so that tests can call them as the events would.
    void PrintTheMap_Click();
    void CloseThisForm_Click();

    // Controls, named as on the page.
    QLabel* Label1 = nullptr;
    WeightMapView* WeightMap = nullptr;
    QPushButton* PrintTheMap = nullptr;
    QPushButton* CloseThisForm = nullptr;

  private:
    // Reads the weights again; an empty map for a network not trained on its file.
    void redraw();
    void refuse(const std::string& untrained);

    const core::PublicStuff& m_net;

    const Session& m_session;
    ui::Printer& m_printer;
};

}  // namespace pages

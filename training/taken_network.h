#pragma once

// The network a training run changes, taken out of the program's keeping for the length of
// the run. While the run holds it, the PublicStuff it came from is empty: no problem, no
// units, no weights, a fresh record. Whatever else reads that PublicStuff meanwhile (a
// page's tooltip, a repaint, a forecast coming back) finds nothing to read, rather than
// weights the run is writing. It goes back when giveBack() is called or the TakenNetwork
// ends, however the run ended; the weights and patterns are moved both ways, never copied.

#include "core/network_state.h"

namespace training {

class TakenNetwork {
  public:
    explicit TakenNetwork(core::PublicStuff& home) noexcept;
    ~TakenNetwork() { giveBack(); }
    TakenNetwork(const TakenNetwork&) = delete;
    TakenNetwork& operator=(const TakenNetwork&) = delete;

    // What the run trains: only the run's own thread may touch it until giveBack().
    core::PublicStuff& network() noexcept { return m_network; }
    // Puts the network back where it came from; later calls do nothing.
    void giveBack() noexcept;
    bool held() const noexcept { return m_held; }

  private:
    core::PublicStuff& m_home;
    core::PublicStuff m_network;
    bool m_held = true;
};

}  // namespace training

#include "training/taken_network.h"

#include <type_traits>
#include <utility>

namespace training {

// Moving the network must not fail halfway: the run would hold part of it.
static_assert(std::is_nothrow_move_constructible_v<core::PublicStuff> &&
              std::is_nothrow_move_assignable_v<core::PublicStuff>);

TakenNetwork::TakenNetwork(core::PublicStuff& home) noexcept
    : m_home(home), m_network(std::exchange(home, core::PublicStuff{})) {}

void TakenNetwork::giveBack() noexcept {
    if (m_held) {
        m_home = std::exchange(m_network, core::PublicStuff{});
        m_held = false;
    }
}

}  // namespace training

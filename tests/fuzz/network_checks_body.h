#pragma once

// What one input goes through under the network-file fuzzer, and again in the unit test
// that replays pseudo-random inputs: the bytes describe what HDF5 could hand back for a
// network file (attributes, dataset shapes, values), starting from a valid header and
// changing it field by field. The program's checks must then refuse it with a message, or
// accept only what the rest of the program can take: a network that matches its problem,
// trains on and reports without a value that is not finite. HDF5 itself is not involved.

#include <string>
#include <string_view>

namespace fuzzbody {

struct NetworkOutcome {
    bool accepted = false;  // the header and every value passed the checks
    bool trained = false;   // and the network was trained on and reported on
    std::string violation;  // the first promise broken; empty when all held
};

NetworkOutcome exerciseNetworkChecks(std::string_view bytes);

}  // namespace fuzzbody

// libFuzzer target: every input describes what HDF5 could return for a network file. See
// network_checks_body.h for what is checked; a failed check aborts, so the fuzzer keeps the
// input as a crash. Links no HDF5 header: only the program's own checks are fuzzed.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "network_checks_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const fuzzbody::NetworkOutcome outcome = fuzzbody::exerciseNetworkChecks(bytes);
    if (!outcome.violation.empty()) {
        std::fprintf(stderr, "network_checks_fuzz: %s\n", outcome.violation.c_str());
        std::abort();
    }
    return 0;
}

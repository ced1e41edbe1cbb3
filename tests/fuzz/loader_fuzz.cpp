// libFuzzer target: every input is a training file. See fuzz_body.h for what is checked;
// a failed check aborts, so the fuzzer keeps the input as a crash.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const fuzzbody::Outcome outcome = fuzzbody::exerciseTrainingFile(bytes);
    if (!outcome.violation.empty()) {
        std::fprintf(stderr, "loader_fuzz: %s\n", outcome.violation.c_str());
        std::abort();
    }
    return 0;
}

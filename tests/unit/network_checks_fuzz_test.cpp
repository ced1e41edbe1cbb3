// What the network-file fuzzer checks, on pseudo-random inputs (the same ones every run).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/fuzz/network_checks_body.h"

namespace {

TEST(NetworkChecksFuzz, RandomHeadersAreRefusedOrTrainOn) {
    std::mt19937 random(20);
    int accepted = 0;
    int refused = 0;
    for (int k = 0; k < 20000; ++k) {
        std::string bytes(random() % 200, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(random());
        }
        const fuzzbody::NetworkOutcome outcome = fuzzbody::exerciseNetworkChecks(bytes);
        ASSERT_EQ(outcome.violation, "") << "input " << k;
        (outcome.accepted ? accepted : refused) += 1;
    }
    // Both ways are walked often, so neither path is left untried.
    EXPECT_GT(accepted, 1000);
    EXPECT_GT(refused, 1000);
}

}  // namespace

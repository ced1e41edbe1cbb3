// Replays the fuzzer's regression inputs and seed corpus through the checks the fuzzer
// runs (fuzz/fuzz_body.h), in the ordinary test suite and without clang.
//
// A file named reject-* must fail to load and one named accept-* must load; any other
// name (a crash the fuzzer found, an example) only has to pass the checks.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "files/loader.h"
#include "tests/fuzz/fuzz_body.h"
#include "tests/support/network_builder.h"

namespace {

namespace fs = std::filesystem;

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Runs every file of `folder`; returns how many were trained.
int replay(const fs::path& folder) {
    const std::vector<fs::path> files = filesIn(folder);
    EXPECT_FALSE(files.empty()) << "no files in " << folder;
    int trained = 0;
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        const std::string name = file.filename().string();
        const std::string bytes = readBytes(file);
        const fuzzbody::Outcome outcome = fuzzbody::exerciseTrainingFile(bytes);
        EXPECT_EQ(outcome.violation, "");
        if (name.starts_with("reject-")) {
            EXPECT_FALSE(outcome.loaded) << "should not load";
        } else if (name.starts_with("accept-")) {
            EXPECT_TRUE(outcome.loaded) << "should load";
            EXPECT_TRUE(outcome.trained) << "accept-* files are meant to be small";
        }
        trained += outcome.trained ? 1 : 0;
    }
    return trained;
}

TEST(FuzzRegressions, EveryRegressionInputPassesTheChecks) {
    EXPECT_GT(replay(fs::path(DAM_FUZZ_REGRESSIONS)), 0);
}

TEST(FuzzRegressions, EverySeedPassesTheChecks) {
    EXPECT_GT(replay(fs::path(DAM_FUZZ_REGRESSIONS).parent_path() / "corpus"), 0);
}

TEST(FuzzRegressions, EveryExampleLoadsAndTheSmallOnesTrain) {
    int examples = 0;
    for (const fs::path& file : filesIn(fs::path(DAM_EXAMPLES))) {
        if (file.extension() != ".net") {
            continue;
        }
        SCOPED_TRACE(file.string());
        ++examples;
        const std::string bytes = readBytes(file);
        const fuzzbody::Outcome outcome = fuzzbody::exerciseTrainingFile(bytes);
        EXPECT_EQ(outcome.violation, "");
        ASSERT_TRUE(outcome.loaded);
        core::PublicStuff net;
        std::string error;
        ASSERT_TRUE(files::LoadTrainingData(net, bytes, "example.net", error)) << error;
        const long long size =
            static_cast<long long>(net.NumInputs) * net.NumOutputs * net.NumPatterns;
        EXPECT_EQ(outcome.trained, size <= fuzzbody::TrainLimit);
    }
    EXPECT_GE(examples, 2);
}

// The finiteness check the fuzzer relies on does find what it looks for.
TEST(FuzzRegressions, FirstNonFiniteFindsEachKindOfValue) {
    const core::PublicStuff net = support::NetworkFromText("2 0 3 1 1 2 3 4 5", "check.net");
    EXPECT_EQ(fuzzbody::firstNonFinite(net), "");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    {
        core::PublicStuff bad = net;
        bad.InputUnits[3].Activation = nan;
        EXPECT_EQ(fuzzbody::firstNonFinite(bad), "input unit 3 is not finite");
    }
    {
        core::PublicStuff bad = net;
        bad.OutputUnits[2].Error = -inf;
        EXPECT_EQ(fuzzbody::firstNonFinite(bad), "output unit 2 is not finite");
    }
    {
        core::PublicStuff bad = net;
        bad.OutputUnits[1].NetInput = inf;
        EXPECT_EQ(fuzzbody::firstNonFinite(bad), "output unit 1 is not finite");
    }
    {
        // Change factors whose product overflows although each is finite.
        core::PublicStuff bad = net;
        const double in[4] = {0.0, 0.0, 1e200, 0.0};
        const double out[3] = {0.0, 1e200, 0.0};
        bad.Weights.setChangeFactors(in, out);
        EXPECT_EQ(fuzzbody::firstNonFinite(bad), "connection (1, 2) is not finite");
    }
    {
        core::PublicStuff bad = net;
        bad.TotalSSE = nan;
        EXPECT_EQ(fuzzbody::firstNonFinite(bad), "TotalSSE is not finite");
    }
}

}  // namespace

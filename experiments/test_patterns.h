#pragma once

// Recall of patterns the network never trained on: a training file of test patterns with
// the trained network's numbers of inputs and outputs, each pattern recalled and scored
// against its own desired output and the other test patterns'.

#include <string>
#include <vector>

#include "core/network_state.h"
#include "experiments/nearest_targets.h"
#include "files/loader.h"

namespace experiments {

struct TestPatternScore {
    int test = 0;                  // from 1
    double sse = 0.0;              // against its own desired output, summed from output 1 up
    int nearest = 0;               // the lowest-numbered test pattern nearest the response
    bool recalledNearest = false;  // recalled by the rule of views/recall_rule.h
};

struct TestRecall {
    std::string fileName;  // as shown, without its folder
    std::vector<TestPatternScore> scores;
    double totalSSE = 0.0;
    double largestSSE = 0.0;
    int largestTest = 0;  // the first with the largest SSE
    int recalledNearest = 0;
};

// Loads `path` into `tests` as a training file and checks that its numbers of inputs and
// outputs are those of the trained network `net`. Returns false with the loader's message,
// or one naming both sizes, in `error`. Reports to `progress` (and may be cancelled through
// it) when given.
[[nodiscard]] bool LoadTestPatterns(const core::Problem& net, const std::string& path,
                                    core::Problem& tests, std::string& error,
                                    core::Progress* progress = nullptr);

// Recalls every pattern of `tests` with `weights` (neither changes), which must have the
// tests' sizes. Returns false with a message in `error` when a recall overflows or a stop
// is requested through `progress` (which counts test patterns decided). Throws
// std::bad_alloc.
[[nodiscard]] bool RecallTestPatterns(const core::ConnectionMatrix& weights,
                                      const core::Problem& tests, const std::string& fileName,
                                      TestRecall& recall, std::string& error,
                                      core::Progress* progress = nullptr);

// "Test file extra.net: 20 patterns, total SSE 3.41, largest pattern SSE 0.92 (test 7);
// recalled: 18 of 20 (nearer their own desired output than any other)", numbers with
// `decimal` as the decimal point.
std::string TestSummary(const TestRecall& recall, const std::string& decimal = ".");

// One JSON object (and a line end) with the keys test_file, patterns (test, sse, nearest),
// total_sse, largest_sse, largest_test and recalled_nearest.
std::string TestRecallJson(const TestRecall& recall);

}  // namespace experiments

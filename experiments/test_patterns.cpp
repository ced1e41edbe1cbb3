#include "experiments/test_patterns.h"

#include <climits>
#include <limits>

#include "experiments/recall_batch.h"
#include "text/figures.h"
#include "text/json_text.h"
#include "text/utf8.h"
#include "views/recall_rule.h"

namespace experiments {

namespace {

std::string sizes(int inputs, int outputs) {
    return std::to_string(inputs) + (inputs == 1 ? " input and " : " inputs and ") +
           std::to_string(outputs) + (outputs == 1 ? " output" : " outputs");
}

}  // namespace

bool LoadTestPatterns(const core::Problem& net, const std::string& path, core::Problem& tests,
                      std::string& error, core::Progress* progress) {
    if (!files::LoadTrainingFile(tests, path, error, progress, nullptr, "test file")) {
        return false;
    }
    if (tests.NumInputs != net.NumInputs || tests.NumOutputs != net.NumOutputs) {
        error = "The test file \"" + text::ShownName(path, PATH_MAX) + "\" has " +
                sizes(tests.NumInputs, tests.NumOutputs) + ", but the trained network has " +
                sizes(net.NumInputs, net.NumOutputs) +
                ". Choose a file of test patterns with the trained network's sizes.";
        return false;
    }
    return true;
}

bool RecallTestPatterns(const core::ConnectionMatrix& weights, const core::Problem& tests,
                        const std::string& fileName, TestRecall& recall, std::string& error,
                        core::Progress* progress) {
    const int outputs = weights.outputs();
    const auto stride = static_cast<std::size_t>(outputs) + 1;
    std::vector<double> sums(static_cast<std::size_t>(tests.NumPatterns) * stride, 0.0);
    RecallVectors(weights,
                  {tests.InputPatterns.pattern(1), tests.InputPatterns.stride(), tests.NumPatterns},
                  sums.data(), stride);
    const views::RecallTargets desired(tests.DesiredOutputs.pattern(1),
                                       tests.DesiredOutputs.stride(), tests.NumPatterns, outputs);
    std::vector<NearestTarget> nearest;
    if (!FindNearestTargets(weights, tests.InputPatterns.pattern(1), tests.InputPatterns.stride(),
                            sums.data(), stride, desired, nearest, progress)) {
        error = "Recalling the test file " + text::ShownName(fileName) + " was cancelled.";
        return false;
    }
    recall = {};
    recall.fileName = fileName;
    for (int t = 0; t < tests.NumPatterns; ++t) {
        const NearestTarget& found = nearest[static_cast<std::size_t>(t)];
        TestPatternScore score;
        score.test = t + 1;
        score.sse = found.ownDistance;
        score.nearest = found.nearest + 1;
        if (!(score.sse <= std::numeric_limits<double>::max())) {
            error = "Recalling test pattern " + std::to_string(t + 1) + " of " +
                    text::ShownName(fileName) +
                    " went beyond the range of double precision (overflow).";
            return false;
        }
        score.recalledNearest = found.recalled;
        recall.totalSSE += score.sse;
        if (recall.largestTest == 0 || score.sse > recall.largestSSE) {
            recall.largestSSE = score.sse;
            recall.largestTest = score.test;
        }
        recall.recalledNearest += score.recalledNearest ? 1 : 0;
        recall.scores.push_back(score);
    }
    return true;
}

std::string TestSummary(const TestRecall& recall, const std::string& decimal) {
    const auto n = std::to_string(recall.scores.size());
    return "Test file " + text::ShownName(recall.fileName) + ": " + n +
           (recall.scores.size() == 1 ? " pattern" : " patterns") + ", total SSE " +
           text::FormatFixed(recall.totalSSE, 2, decimal) + ", largest pattern SSE " +
           text::FormatFixed(recall.largestSSE, 2, decimal) + " (test " +
           std::to_string(recall.largestTest) +
           "); recalled: " + std::to_string(recall.recalledNearest) + " of " + n +
           " (nearer their own desired output than any other)";
}

std::string TestRecallJson(const TestRecall& recall) {
    text::JsonArray patterns(text::JsonLayout::Spaced);
    for (const TestPatternScore& s : recall.scores) {
        text::JsonObject pattern(text::JsonLayout::Spaced);
        pattern.add("test", std::to_string(s.test));
        pattern.add("sse", text::JsonNumber(s.sse));
        pattern.add("nearest", std::to_string(s.nearest));
        patterns.add(pattern.text());
    }
    text::JsonObject out(text::JsonLayout::Spaced);
    out.add("test_file", text::JsonString(recall.fileName));
    out.add("patterns", patterns.text());
    out.add("total_sse", text::JsonNumber(recall.totalSSE));
    out.add("largest_sse", text::JsonNumber(recall.largestSSE));
    out.add("largest_test", std::to_string(recall.largestTest));
    out.add("recalled_nearest", std::to_string(recall.recalledNearest));
    return out.text() + "\n";
}

}  // namespace experiments

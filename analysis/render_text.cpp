// The analysis as plain sentences and small tables, and the setup page's one-liners. Every
// figure comes from text/figures.h or text/significant.h, so that a figure both the text
// and the forecast line show reads the same in both.

#include <algorithm>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "text/figures.h"
#include "text/significant.h"

namespace analysis {

namespace {

constexpr std::size_t kPatternRows = 20;  // rows of the pattern table before it is summed up

std::string padLeft(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string stableBelow(const DeltaForecast& delta) {
    if (delta.largestStableRate) {
        return " (stable below " + text::RoundedDownLimit(*delta.largestStableRate) + ")";
    }
    return "";
}

// " after about 940 epochs", and whether that is more than the run trains.
std::string settlingTime(const DeltaForecast& delta, const RunPlan& plan) {
    if (!delta.epochsToSettle) {
        return "";
    }
    const double needed = *delta.epochsToSettle;
    const int runEpochs = plan.lastEpoch - plan.trainedBefore;
    std::string out = needed > core::MaxCount
                          ? " after more than " + text::GroupedWhole(core::MaxCount) + " epochs"
                          : " after about " + text::RoundedUpCount(needed) + " epochs";
    if (runEpochs > 0 && needed > runEpochs) {
        out += ", more than the " + text::GroupedWhole(runEpochs) + " this run trains";
    }
    return out;
}

std::string patternList(const std::vector<int>& patterns) {
    std::string out;
    const std::size_t shown = std::min<std::size_t>(patterns.size(), 5);
    for (std::size_t k = 0; k < shown; ++k) {
        out += (k == 0                     ? ""
                : k + 1 == patterns.size() ? " and "
                                           : ", ") +
               std::to_string(patterns[k]);
    }
    if (shown < patterns.size()) {
        out += " and " + std::to_string(patterns.size() - shown) + " more";
    }
    return out;
}

void patternSection(const Prepared& prepared, std::string& out) {
    const PatternFacts& facts = prepared.facts;
    out += "The input patterns\n";
    out += "  Pattern        Length  Non-zero inputs\n";
    const std::size_t shown = std::min(facts.lengths.size(), kPatternRows);
    for (std::size_t p = 0; p < shown; ++p) {
        out += padLeft(std::to_string(p + 1), 9) +
               padLeft(text::SizeFigure(facts.lengths[p], 5), 14) +
               padLeft(std::to_string(facts.nonZero[p]), 17) + "\n";
    }
    if (shown < facts.lengths.size()) {
        const auto [low, high] = std::minmax_element(facts.lengths.begin(), facts.lengths.end());
        out += "  ... and " + std::to_string(facts.lengths.size() - shown) +
               " more; all lengths lie between " + text::SizeFigure(*low, 5) + " and " +
               text::SizeFigure(*high, 5) + ".\n";
    }
    if (facts.pairsKnown) {
        if (facts.largestCosine) {
            out += "The largest |cosine| between two different input patterns is " +
                   text::FormatSignificant(*facts.largestCosine, 4) +
                   " (0 means they share nothing, 1 that they point the same way).\n";
        }
        if (facts.orthonormal) {
            out +=
                "The input patterns are orthonormal: at right angles to each other, each of "
                "length 1.\n";
        } else if (facts.orthogonal) {
            out +=
                "The input patterns are orthogonal (at right angles to each other) but not "
                "all of length 1, so not orthonormal.\n";
        } else {
            out +=
                "The input patterns are not orthogonal: some overlap, and learning one "
                "disturbs the recall of another.\n";
        }
    }
    if (facts.rankKnown) {
        out += "Their rank is " + std::to_string(facts.rank) + " of " +
               std::to_string(prepared.patterns) + " patterns: they are " +
               (facts.independent ? "linearly independent."
                                  : "linearly dependent (some pattern is a mix of others).") +
               "\n";
        if (!facts.unresolved.empty()) {
            out += std::string(facts.unresolved.size() == 1 ? "Pattern " : "Patterns ") +
                   patternList(facts.unresolved) + (facts.unresolved.size() == 1 ? " is" : " are") +
                   " so short next to the longest pattern that its square is lost in the "
                   "rounding of the arithmetic: the rank counts no direction for it, and "
                   "training at any rate the longest pattern allows cannot move its error.\n";
        }
    }
}

void totalSection(const Analysis& a, std::string& out) {
    out += "\nWhat the training total does not say\n";
    if (a.currentRecallSSE) {
        out += "  SSE of a recall of all patterns with the current weights: " +
               text::SizeFigure(*a.currentRecallSSE, 6) + "\n";
    }
    if (a.reportedTotalSSE) {
        out += "  Total SSE reported by training at epoch " + std::to_string(a.epochsTrained) +
               ":       " + text::FormatSignificant(*a.reportedTotalSSE, 6) + "\n";
        out +=
            "The reported total adds each pattern's error measured right after that pattern's "
            "own learning step, before the later patterns change the weights again; a recall "
            "measures every pattern with the same final weights. The two agree only when no "
            "step disturbs another pattern's recall. So a small reported total while a recall "
            "of all patterns still shows large errors is not a mistake of the program: later "
            "steps undo part of what earlier ones learned.\n";
    } else {
        out +=
            "No epoch has been trained yet, so training has reported no total. Training will "
            "report each pattern's error measured right after that pattern's own learning "
            "step, which can differ from a recall of all patterns with the final weights.\n";
    }
}

void bestSection(const Prepared& prepared, std::string& out) {
    if (!prepared.lowestRecallSSE) {
        return;
    }
    out += "\nThe best any linear memory can do\n";
    out += "  Lowest SSE of a recall of all patterns, over all weights: " +
           text::FormatSignificant(*prepared.lowestRecallSSE, 6) + "\n";
    out += prepared.lowestIsZero
               ? "It is zero: some weights recall every pattern exactly.\n"
               : "It is not zero: the desired outputs are not a linear function of the input "
                 "patterns, so no weights recall every pattern exactly.\n";
}

// Epochs numbered as the run's printouts will number them.
void hebbSection(const HebbForecast& hebb, bool fromCurrentWeights, const RunPlan& plan,
                 std::string& out) {
    const double first = plan.trainedBefore + 1.0;
    const double best = plan.trainedBefore + static_cast<double>(hebb.bestEpoch);
    out += std::string("\nThe Hebb rule from ") +
           (fromCurrentWeights ? "the current weights" : "zero weights") + " at rate " +
           text::ShortestDecimal(hebb.rate) + "\n";
    if (!hebb.known) {
        out += hebb.notes.empty() ? "Not worked out for a file of this size.\n"
                                  : hebb.notes.front() + "\n";
        return;
    }
    if (hebb.neverChanges) {
        out += "  Reported SSE at every epoch: " + text::SseFigure(hebb.sseEpoch1) + "\n";
        out += hebb.rate == 0.0
                   ? "At rate 0 the weights never change.\n"
                   : "Each epoch's changes add up to nothing on these patterns (the desired "
                     "outputs are at right angles to them), so every epoch reports the same "
                     "SSE.\n";
        return;
    }
    out += "  Reported SSE after epoch " + text::GroupedWhole(first) + ":  " +
           text::SseFigure(hebb.sseEpoch1) + "\n";
    out += "  Lowest reported SSE:         " + text::SseFigure(hebb.bestSSE) + " at epoch " +
           text::GroupedWhole(best) + "\n";
    if (hebb.growsAfterBest) {
        out += "After epoch " + text::GroupedWhole(best) +
               " the SSE grows for ever: the Hebb rule adds the same change every epoch "
               "whatever the error, so the weights keep growing.\n";
    }
}

void deltaVerdict(const DeltaForecast& delta, const RunPlan& plan, std::string& out) {
    if (delta.neverChanges) {
        out += "At rate 0 the weights never change, so every epoch reports the same SSE.\n";
        return;
    }
    if (delta.radiusKnown) {
        out += "  Spectral radius of one epoch's map on the span of the patterns: " +
               text::FormatSignificant(delta.spectralRadius, 6) + "\n";
        out +=
            "The spectral radius is the share of the remaining error left after each epoch: "
            "below 1 it dies away, above 1 it grows.\n";
    }
    if (delta.settles) {
        out += std::string("It settles") + (delta.radiusKnown ? " (radius below 1)" : "") +
               ": the reported SSE approaches " + text::SseFigure(delta.settledSSE.value_or(0.0)) +
               settlingTime(delta, plan) + ".\n";
        if (delta.slow) {
            out +=
                "It settles slowly, though: in the 32767 epochs the program counts, the "
                "slowest part of the way there only shrinks to about " +
                text::FormatSignificant(delta.slowestShareLeft, 2) + " of itself.\n";
        }
    } else if (delta.onEdge) {
        out +=
            "Its radius is 1 within what the analysis can resolve: the error neither surely "
            "dies away nor surely grows.\n";
    } else if (delta.growthPerEpoch) {
        out += "It does not settle (radius above 1): in the long run the SSE grows " +
               text::GrowthFigure(*delta.growthPerEpoch) + " times per epoch.\n";
    } else {
        out +=
            "It does not settle: the rate is above 2 over the smallest squared pattern "
            "length, so the SSE grows.\n";
    }
}

void deltaSection(const DeltaForecast& delta, const RunPlan& plan, std::string& out) {
    out += "\nThe Delta rule at rate " + text::ShortestDecimal(delta.rate) + "\n";
    if (delta.known) {
        deltaVerdict(delta, plan, out);
    } else if (!delta.notes.empty()) {
        out += delta.notes.front() + "\n";
    }
    if (delta.idleGrowthPerEpoch) {
        out +=
            "Some patterns have zero desired outputs and meet only zero weights, so "
            "training leaves their weights and errors at zero; any change to those weights "
            "would grow " +
            text::GrowthFigure(*delta.idleGrowthPerEpoch) + " times per epoch at this rate.\n";
    }
    if (delta.largestStableRate) {
        out += "  Largest stable rate: " + text::RoundedDownLimit(*delta.largestStableRate) +
               " (rates below it settle)\n";
    } else if (delta.surelyStableBelow) {
        out += "Rates below " + text::RoundedDownLimit(*delta.surelyStableBelow) +
               " settle for sure (2 over the largest squared pattern length).\n";
    }
}

// Sentences are wrapped at word boundaries; table rows (indented) are left as they are.
std::string wrapSentences(const std::string& text) {
    constexpr std::size_t width = 80;
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        std::string line = text.substr(start, end - start);
        while (line.size() > width && line[0] != ' ') {
            std::size_t cut = line.rfind(' ', width);
            if (cut == std::string::npos || cut == 0) {
                break;
            }
            out += line.substr(0, cut) + "\n";
            line = line.substr(cut + 1);
        }
        out += line + "\n";
        start = end + 1;
    }
    return out;
}

}  // namespace

std::string RenderText(const Analysis& a) {
    const Prepared& prepared = a.prepared;
    std::string out;
    if (prepared.patterns == 0) {
        out = "No training file is loaded.\n";
        return out;
    }
    out += "Training file " + a.fileName + ": " + std::to_string(prepared.inputs) + " inputs, " +
           std::to_string(prepared.outputs) + " outputs, " + std::to_string(prepared.patterns) +
           " patterns.\n\n";
    patternSection(prepared, out);
    totalSection(a, out);
    bestSection(prepared, out);
    hebbSection(a.hebb, prepared.fromCurrentWeights, a.plan, out);
    deltaSection(a.delta, a.plan, out);
    out +=
        "\nChosen: " + ForecastLine(a.rule, a.hebb, a.delta, a.plan, prepared.fromCurrentWeights) +
        "\n";
    for (const std::string& note : prepared.notes) {
        out += "Note: " + note + "\n";
    }
    for (const std::string& note : a.hebb.notes) {
        out += "Note: " + note + "\n";
    }
    for (const std::string& note : a.delta.notes) {
        out += "Note: " + note + "\n";
    }
    return wrapSentences(out);
}

std::string ForecastLine(Rule rule, const HebbForecast& hebb, const DeltaForecast& delta,
                         const RunPlan& plan, bool fromCurrentWeights) {
    const std::string from = fromCurrentWeights ? " from the current weights" : "";
    if (rule == Rule::Hebb) {
        const std::string head = "Hebb at " + text::ShortestDecimal(hebb.rate) + from;
        if (!hebb.known) {
            return head + ": no forecast for a file of this size.";
        }
        if (hebb.neverChanges) {
            return head + ": the SSE stays at " + text::SseFigure(hebb.bestSSE) + ".";
        }
        const double best = plan.trainedBefore + static_cast<double>(hebb.bestEpoch);
        const int runEpochs = plan.lastEpoch - plan.trainedBefore;
        std::string line;
        double lowest = hebb.bestSSE;
        if (runEpochs > 0 && best > plan.lastEpoch) {
            const double m = runEpochs - 1.0;
            lowest = std::max(0.0, hebb.sseEpoch1 - 2.0 * m * hebb.slope + m * m * hebb.curve);
            line = head + ": the SSE falls to " + text::SseFigure(lowest) + " by epoch " +
                   text::GroupedWhole(plan.lastEpoch) + ", where the run ends (lowest " +
                   text::SseFigure(hebb.bestSSE) + " at epoch " + text::GroupedWhole(best) + ")";
        } else if (!hebb.growsAfterBest) {
            line = head + ": the SSE falls to " + text::SseFigure(hebb.bestSSE) + " by epoch " +
                   text::GroupedWhole(best);
        } else {
            line = head + ": lowest SSE " + text::SseFigure(hebb.bestSSE) + " at epoch " +
                   text::GroupedWhole(best) + ", then it grows";
        }
        if (plan.minError && *plan.minError < lowest) {
            line += "; the minimum error " + text::ShortestDecimal(*plan.minError) +
                    " lies below it, so the run will not stop early";
        }
        return line + ".";
    }
    const std::string head = "Delta at " + text::ShortestDecimal(delta.rate) + from;
    if (delta.neverChanges) {
        return head + ": the weights never change.";
    }
    if (!delta.known) {
        if (delta.surelyStableBelow) {
            return head + ": too large to forecast at this rate; rates below " +
                   text::RoundedDownLimit(*delta.surelyStableBelow) + " settle for sure.";
        }
        return head + ": no forecast for this file.";
    }
    if (delta.settles) {
        const double settled = delta.settledSSE.value_or(0.0);
        std::string line;
        if (delta.slow) {
            line = head + " approaches SSE " + text::SseFigure(settled) +
                   " too slowly to get there in the " + text::GroupedWhole(core::MaxCount) +
                   " epochs the program counts" + stableBelow(delta);
        } else {
            line = head + " settles near SSE " + text::SseFigure(settled) +
                   settlingTime(delta, plan) + stableBelow(delta);
        }
        if (plan.minError && *plan.minError < settled) {
            line += "; the minimum error " + text::ShortestDecimal(*plan.minError) +
                    " lies below it, so the run will not stop early";
        }
        return line + ".";
    }
    if (delta.onEdge) {
        return head + " is on the edge: the error neither surely dies away nor grows" +
               stableBelow(delta) + ".";
    }
    if (delta.growthPerEpoch) {
        return head + " grows " + text::GrowthFigure(*delta.growthPerEpoch) + " times per epoch" +
               stableBelow(delta) + ".";
    }
    return head + " grows" + stableBelow(delta) + ".";
}

std::string GrowthReason(Rule rule, const HebbForecast& hebb, const DeltaForecast& delta,
                         int epochsTrained) {
    if (rule == Rule::Hebb) {
        if (hebb.known && hebb.growsAfterBest) {
            return "The Hebb rule adds the same change every epoch whatever the error, so at "
                   "rate " +
                   text::ShortestDecimal(hebb.rate) + " the SSE only grows after epoch " +
                   text::GroupedWhole(hebb.bestEpoch) + "; stop there or use the Delta rule.";
        }
        return "The Hebb rule adds the same change every epoch whatever the error, so the "
               "weights keep growing.";
    }
    const std::string rate = text::ShortestDecimal(delta.rate);
    if (delta.known && delta.settles) {
        return "At rate " + rate + " the Delta rule still settles on this file (near SSE " +
               text::SseFigure(delta.settledSSE.value_or(0.0)) + "); after " +
               text::GroupedWhole(epochsTrained) + " epochs the rise is a passing swing.";
    }
    std::string reason = "At rate " + rate + " the Delta rule overshoots on this file";
    if (delta.largestStableRate) {
        reason += "; rates below " + text::RoundedDownLimit(*delta.largestStableRate) + " settle";
    } else if (delta.surelyStableBelow) {
        reason += "; rates below " + text::RoundedDownLimit(*delta.surelyStableBelow) + " settle";
    }
    return reason + ".";
}

RunPlan PlanOf(const core::PublicStuff& net) {
    RunPlan plan;
    plan.trainedBefore = net.FreshStart == 0 ? net.SweepCount : 0;
    if (net.MaxSweepsRule && net.MaxSweeps > plan.trainedBefore) {
        plan.lastEpoch = net.MaxSweeps;
    }
    if (net.MinErrorRule) {
        plan.minError = net.MinError;
    }
    return plan;
}

}  // namespace analysis

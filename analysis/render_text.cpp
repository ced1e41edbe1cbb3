// The analysis as plain sentences and small tables, and the setup page's one-liners.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "analysis/analysis.h"

namespace analysis {

namespace {

constexpr std::size_t kPatternRows = 20;  // rows of the pattern table before it is summed up

std::string padLeft(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

bool onTheEdge(const DeltaForecast& delta) {
    return std::abs(delta.spectralRadius - 1.0) <= kEdgeOfStability;
}

// Short numbers for one-line notices: 0.0013, 0.2, 32, 195, 544580; rounding noise such
// as 7e-32 left by an exact fit shows as 0.
std::string brief(double value) {
    if (std::abs(value) < 1e-12) {
        return "0";
    }
    if (std::abs(value) >= 100.0 && std::abs(value) < 1e15) {
        char text[40];
        const auto end =
            std::to_chars(text, text + sizeof text, std::round(value), std::chars_format::fixed, 0);
        return {text, end.ptr};
    }
    return formatNumber(value, 2);
}

std::string stableBelow(const DeltaForecast& delta) {
    if (delta.largestStableRate) {
        return " (stable below " + formatNumber(*delta.largestStableRate, 3) + ")";
    }
    return "";
}

void patternSection(const Prepared& prepared, std::string& out) {
    const PatternFacts& facts = prepared.facts;
    out += "The input patterns\n";
    out += "  Pattern      Length  Non-zero inputs\n";
    const std::size_t shown = std::min(facts.lengths.size(), kPatternRows);
    for (std::size_t p = 0; p < shown; ++p) {
        out += padLeft(std::to_string(p + 1), 9) + padLeft(formatNumber(facts.lengths[p], 5), 12) +
               padLeft(std::to_string(facts.nonZero[p]), 17) + "\n";
    }
    if (shown < facts.lengths.size()) {
        const auto [low, high] = std::minmax_element(facts.lengths.begin(), facts.lengths.end());
        out += "  ... and " + std::to_string(facts.lengths.size() - shown) +
               " more; all lengths lie between " + formatNumber(*low, 5) + " and " +
               formatNumber(*high, 5) + ".\n";
    }
    if (facts.pairsKnown) {
        if (facts.largestCosine) {
            out += "The largest |cosine| between two different input patterns is " +
                   formatNumber(*facts.largestCosine, 4) +
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
    }
}

void totalSection(const Analysis& a, std::string& out) {
    out += "\nWhat the training total does not say\n";
    if (a.currentRecallSSE) {
        out += "  SSE of a recall of all patterns with the current weights: " +
               formatNumber(*a.currentRecallSSE, 6) + "\n";
    }
    if (a.reportedTotalSSE) {
        out += "  Total SSE reported by training at epoch " + std::to_string(a.epochsTrained) +
               ":       " + formatNumber(*a.reportedTotalSSE, 6) + "\n";
        out +=
            "The reported total adds each pattern's error measured right after that pattern's "
            "own learning step, before the later patterns change the weights again; a recall "
            "measures every pattern with the same final weights. The two agree only when no "
            "step disturbs another pattern's recall, so a tiny total above large error rows "
            "is no fault.\n";
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
           formatNumber(*prepared.lowestRecallSSE, 6) + "\n";
    out += prepared.lowestIsZero
               ? "It is zero: some weights recall every pattern exactly.\n"
               : "It is not zero: the desired outputs are not a linear function of the input "
                 "patterns, so no weights recall every pattern exactly.\n";
}

void hebbSection(const HebbForecast& hebb, std::string& out) {
    out += "\nThe Hebb rule from zero weights at rate " + formatNumber(hebb.rate, 4) + "\n";
    if (!hebb.known) {
        out += "Not worked out for a file of this size.\n";
        return;
    }
    out += "  Reported SSE after epoch 1:  " + formatNumber(hebb.sseEpoch1, 6) + "\n";
    out += "  Lowest reported SSE:         " + formatNumber(hebb.bestSSE, 6) + " at epoch " +
           std::to_string(hebb.bestEpoch) + "\n";
    if (hebb.growsAfterBest) {
        out += "After epoch " + std::to_string(hebb.bestEpoch) +
               " the SSE grows for ever: the Hebb rule adds the same change every epoch "
               "whatever the error, so the weights keep growing.\n";
    }
}

void deltaSection(const DeltaForecast& delta, std::string& out) {
    out += "\nThe Delta rule at rate " + formatNumber(delta.rate, 4) + "\n";
    if (delta.known) {
        out += "  Spectral radius of one epoch's map on the span of the patterns: " +
               formatNumber(delta.spectralRadius, 6) + "\n";
        if (delta.settles) {
            out += "It settles (radius below 1): the reported SSE approaches " +
                   formatNumber(delta.settledSSE.value_or(0.0), 6) + ".\n";
        } else {
            if (onTheEdge(delta)) {
                out +=
                    "It does not settle (radius 1, the edge of stability): the error never "
                    "dies away, and may drift and grow slowly.\n";
            } else {
                out += "It does not settle (radius above 1): in the long run the SSE grows about " +
                       formatNumber(delta.growthPerEpoch.value_or(1.0), 4) + " times per epoch.\n";
            }
        }
    }
    if (delta.largestStableRate) {
        out += "  Largest stable rate: " + formatNumber(*delta.largestStableRate, 4) +
               " (rates below it settle)\n";
    } else if (delta.surelyStableBelow) {
        out += "Rates below " + formatNumber(*delta.surelyStableBelow, 4) +
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

std::string formatNumber(double value, int digits) {
    if (std::isnan(value)) {
        return "not a number";
    }
    if (std::isinf(value)) {
        return value > 0 ? "infinity" : "-infinity";
    }
    char text[40];
    const auto end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits);
    return {text, end.ptr};
}

std::string renderText(const Analysis& a) {
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
    hebbSection(a.hebb, out);
    deltaSection(a.delta, out);
    out += "\nChosen: " + forecastLine(a.rule, a.hebb, a.delta) + "\n";
    for (const std::string& note : prepared.notes) {
        out += "Note: " + note + "\n";
    }
    return wrapSentences(out);
}

std::string forecastLine(Rule rule, const HebbForecast& hebb, const DeltaForecast& delta) {
    if (rule == Rule::Hebb) {
        const std::string head = "Hebb at " + formatNumber(hebb.rate, 3);
        if (!hebb.known) {
            return head + ": no forecast for a file of this size.";
        }
        if (!hebb.growsAfterBest) {
            return head + ": the SSE falls to " + brief(hebb.bestSSE) + " by epoch " +
                   std::to_string(hebb.bestEpoch) + ".";
        }
        return head + ": lowest SSE " + brief(hebb.bestSSE) + " at epoch " +
               std::to_string(hebb.bestEpoch) + ", then it grows.";
    }
    const std::string head = "Delta at " + formatNumber(delta.rate, 3);
    if (!delta.known) {
        if (delta.surelyStableBelow) {
            return head + ": too large to forecast; rates below " +
                   formatNumber(*delta.surelyStableBelow, 3) + " settle for sure.";
        }
        return head + ": no forecast for this file.";
    }
    if (delta.settles) {
        return head + " settles near SSE " + brief(delta.settledSSE.value_or(0.0)) +
               stableBelow(delta) + ".";
    }
    if (onTheEdge(delta)) {
        return head + " is on the edge: the error never dies away" + stableBelow(delta) + ".";
    }
    return head + " grows about " + brief(delta.growthPerEpoch.value_or(1.0)) + " times per epoch" +
           stableBelow(delta) + ".";
}

std::string growthReason(Rule rule, const HebbForecast& hebb, const DeltaForecast& delta,
                         int epochsTrained) {
    if (rule == Rule::Hebb) {
        if (hebb.known && hebb.growsAfterBest) {
            return "The Hebb rule adds the same change every epoch whatever the error, so at "
                   "rate " +
                   formatNumber(hebb.rate, 3) + " the SSE only grows after epoch " +
                   std::to_string(hebb.bestEpoch) + "; stop there or use the Delta rule.";
        }
        return "The Hebb rule adds the same change every epoch whatever the error, so the "
               "weights keep growing.";
    }
    const std::string rate = formatNumber(delta.rate, 3);
    if (delta.known && delta.settles) {
        return "At rate " + rate + " the Delta rule still settles on this file (near SSE " +
               brief(delta.settledSSE.value_or(0.0)) + "); after " + std::to_string(epochsTrained) +
               " epochs the rise is a passing swing.";
    }
    std::string reason = "At rate " + rate + " the Delta rule overshoots on this file";
    if (delta.largestStableRate) {
        reason += "; rates below " + formatNumber(*delta.largestStableRate, 3) + " settle";
    } else if (delta.surelyStableBelow) {
        reason += "; rates below " + formatNumber(*delta.surelyStableBelow, 3) + " settle";
    }
    return reason + ".";
}

}  // namespace analysis

// The analysis as one JSON object. Numbers are the shortest text that reads back as the
// same double; values that are not known, or not finite, are null.

#include <string>

#include "analysis/analysis.h"
#include "text/json_text.h"

namespace analysis {

namespace {

using text::JsonBool;
using text::JsonNumber;

std::string hebbObject(const HebbForecast& hebb) {
    text::JsonObject o;
    o.add("rate", JsonNumber(hebb.rate));
    o.add("sse_epoch_1", hebb.known ? JsonNumber(hebb.sseEpoch1) : "null");
    o.add("best_epoch", hebb.known ? std::to_string(hebb.bestEpoch) : "null");
    o.add("best_sse", hebb.known ? JsonNumber(hebb.bestSSE) : "null");
    return o.text();
}

std::string deltaObject(const DeltaForecast& delta) {
    text::JsonObject o;
    o.add("rate", JsonNumber(delta.rate));
    o.add("spectral_radius", delta.radiusKnown ? JsonNumber(delta.spectralRadius) : "null");
    o.add("settles",
          delta.known && !delta.onEdge && !delta.neverChanges ? JsonBool(delta.settles) : "null");
    o.add("largest_stable_rate", JsonNumber(delta.largestStableRate));
    std::string bounds = "null";
    if (delta.stableRateLow && delta.stableRateHigh) {
        text::JsonArray pair;
        pair.add(JsonNumber(delta.stableRateLow));
        pair.add(JsonNumber(delta.stableRateHigh));
        bounds = pair.text();
    }
    o.add("stable_rate_bounds", bounds);
    o.add("settled_sse", JsonNumber(delta.settledSSE));
    o.add("growth_per_epoch", JsonNumber(delta.growthPerEpoch));
    return o.text();
}

}  // namespace

std::string RenderJson(const Analysis& a) {
    const Prepared& p = a.prepared;
    const PatternFacts& facts = p.facts;
    text::JsonObject o;
    o.add("inputs", std::to_string(p.inputs));
    o.add("outputs", std::to_string(p.outputs));
    o.add("patterns", std::to_string(p.patterns));
    o.add("input_rank", facts.rankKnown ? std::to_string(facts.rank) : "null");
    o.add("independent", facts.rankKnown ? JsonBool(facts.independent) : "null");
    o.add("orthogonal", facts.pairsKnown ? JsonBool(facts.orthogonal) : "null");
    o.add("orthonormal", facts.pairsKnown ? JsonBool(facts.orthonormal) : "null");
    text::JsonArray lengths;
    for (const double length : facts.lengths) {
        lengths.add(JsonNumber(length));
    }
    o.add("pattern_lengths", lengths.text());
    o.add("largest_cosine", JsonNumber(facts.largestCosine));
    o.add("current_recall_sse", JsonNumber(a.currentRecallSSE));
    o.add("reported_total_sse", JsonNumber(a.reportedTotalSSE));
    o.add("lowest_recall_sse", JsonNumber(p.lowestRecallSSE));
    o.add("hebb", hebbObject(a.hebb));
    o.add("delta", deltaObject(a.delta));
    text::JsonArray notes;
    for (const auto* list : {&p.notes, &a.hebb.notes, &a.delta.notes}) {
        for (const std::string& note : *list) {
            notes.add(text::JsonString(note));
        }
    }
    o.add("notes", notes.text());
    return o.text() + "\n";
}

}  // namespace analysis

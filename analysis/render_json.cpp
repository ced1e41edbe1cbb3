// The analysis as one JSON object. Numbers are the shortest text that reads back as the
// same double; values that are not known, or not finite, are null.

#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include "analysis/analysis.h"
#include "text/json_text.h"

namespace analysis {

namespace {

std::string number(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char text[40];
    const auto end = std::to_chars(text, text + sizeof text, value);
    return {text, end.ptr};
}

std::string number(const std::optional<double>& value) {
    return value ? number(*value) : "null";
}

std::string boolean(bool value) {
    return value ? "true" : "false";
}

class ObjectWriter {
  public:
    void field(const char* key, const std::string& value) {
        m_text += m_text.empty() ? "{" : ",";
        m_text += "\"";
        m_text += key;
        m_text += "\":";
        m_text += value;
    }
    std::string close() { return (m_text.empty() ? "{" : m_text) + "}"; }

  private:
    std::string m_text;
};

std::string hebbObject(const HebbForecast& hebb) {
    ObjectWriter o;
    o.field("rate", number(hebb.rate));
    o.field("sse_epoch_1", hebb.known ? number(hebb.sseEpoch1) : "null");
    o.field("best_epoch", hebb.known ? std::to_string(hebb.bestEpoch) : "null");
    o.field("best_sse", hebb.known ? number(hebb.bestSSE) : "null");
    return o.close();
}

std::string deltaObject(const DeltaForecast& delta) {
    ObjectWriter o;
    o.field("rate", number(delta.rate));
    o.field("spectral_radius", delta.radiusKnown ? number(delta.spectralRadius) : "null");
    o.field("settles",
            delta.known && !delta.onEdge && !delta.neverChanges ? boolean(delta.settles) : "null");
    o.field("largest_stable_rate", number(delta.largestStableRate));
    o.field("stable_rate_bounds",
            delta.stableRateLow && delta.stableRateHigh
                ? "[" + number(delta.stableRateLow) + "," + number(delta.stableRateHigh) + "]"
                : "null");
    o.field("settled_sse", number(delta.settledSSE));
    o.field("growth_per_epoch", number(delta.growthPerEpoch));
    return o.close();
}

}  // namespace

std::string renderJson(const Analysis& a) {
    const Prepared& p = a.prepared;
    const PatternFacts& facts = p.facts;
    ObjectWriter o;
    o.field("inputs", std::to_string(p.inputs));
    o.field("outputs", std::to_string(p.outputs));
    o.field("patterns", std::to_string(p.patterns));
    o.field("input_rank", facts.rankKnown ? std::to_string(facts.rank) : "null");
    o.field("independent", facts.rankKnown ? boolean(facts.independent) : "null");
    o.field("orthogonal", facts.pairsKnown ? boolean(facts.orthogonal) : "null");
    o.field("orthonormal", facts.pairsKnown ? boolean(facts.orthonormal) : "null");
    std::string lengths = "[";
    for (std::size_t k = 0; k < facts.lengths.size(); ++k) {
        lengths += (k == 0 ? "" : ",") + number(facts.lengths[k]);
    }
    o.field("pattern_lengths", lengths + "]");
    o.field("largest_cosine", number(facts.largestCosine));
    o.field("current_recall_sse", number(a.currentRecallSSE));
    o.field("reported_total_sse", number(a.reportedTotalSSE));
    o.field("lowest_recall_sse", number(p.lowestRecallSSE));
    o.field("hebb", hebbObject(a.hebb));
    o.field("delta", deltaObject(a.delta));
    std::string notes = "[";
    for (const auto* list : {&p.notes, &a.hebb.notes, &a.delta.notes}) {
        for (const std::string& note : *list) {
            notes += (notes.size() == 1 ? "" : ",") + text::JsonString(note);
        }
    }
    o.field("notes", notes + "]");
    return o.close() + "\n";
}

}  // namespace analysis

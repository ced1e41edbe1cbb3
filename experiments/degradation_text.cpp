#include "experiments/degradation_text.h"

#include "text/figures.h"
#include "text/json_text.h"

namespace experiments {

namespace {

std::string padLeft(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

std::string pointsJson(const std::vector<DegradationPoint>& points) {
    text::JsonArray out(text::JsonLayout::Spaced);
    for (const DegradationPoint& p : points) {
        text::JsonObject point(text::JsonLayout::Spaced);
        point.add("percent", std::to_string(p.percent));
        point.add("mean_sse", text::JsonNumber(p.meanSSE));
        point.add("recalled_percent", text::JsonNumber(p.recalledPercent));
        out.add(point.text());
    }
    return out.text();
}

}  // namespace

std::string DegradationTable(const DegradationCurves& curves) {
    std::string out = "How recall degrades: seed " + std::to_string(curves.seed) + ", " +
                      std::to_string(curves.trials) +
                      " trials a point; mean SSE per pattern, percent of patterns nearest "
                      "their own desired output\n";
    out += "Percent  Damaged input SSE  recalled %  Lost connections SSE  recalled %\n";
    for (std::size_t k = 0; k < curves.noise.size() && k < curves.lostConnections.size(); ++k) {
        const DegradationPoint& n = curves.noise[k];
        const DegradationPoint& l = curves.lostConnections[k];
        out += padLeft(std::to_string(n.percent), 7) +
               padLeft(text::FormatFixed(n.meanSSE, 4), 19) +
               padLeft(text::FormatFixed(n.recalledPercent, 1), 12) +
               padLeft(text::FormatFixed(l.meanSSE, 4), 22) +
               padLeft(text::FormatFixed(l.recalledPercent, 1), 12) + "\n";
    }
    return out;
}

std::string DegradationJson(const DegradationCurves& curves) {
    text::JsonObject out(text::JsonLayout::Spaced);
    out.add("seed", std::to_string(curves.seed));
    out.add("trials", std::to_string(curves.trials));
    out.add("noise", pointsJson(curves.noise));
    out.add("lost_connections", pointsJson(curves.lostConnections));
    return out.text() + "\n";
}

}  // namespace experiments

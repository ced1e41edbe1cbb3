#include "experiments/degradation_text.h"

#include <charconv>

#include "text/figures.h"

namespace experiments {

namespace {

// Shortest text that reads back as the same double, "." as decimal point.
std::string exact(double v) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    return std::string(text, end);
}

std::string padLeft(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

std::string pointsJson(const std::vector<DegradationPoint>& points) {
    std::string out = "[";
    for (std::size_t k = 0; k < points.size(); ++k) {
        const DegradationPoint& p = points[k];
        out += k == 0 ? "" : ", ";
        out += "{\"percent\": " + std::to_string(p.percent) +
               ", \"mean_sse\": " + exact(p.meanSSE) +
               ", \"recalled_percent\": " + exact(p.recalledPercent) + "}";
    }
    return out + "]";
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
    return "{\"seed\": " + std::to_string(curves.seed) +
           ", \"trials\": " + std::to_string(curves.trials) +
           ", \"noise\": " + pointsJson(curves.noise) +
           ", \"lost_connections\": " + pointsJson(curves.lostConnections) + "}\n";
}

}  // namespace experiments

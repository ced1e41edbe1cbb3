#include "text/figures.h"

#include <charconv>
#include <cmath>

namespace text {

std::string ShortestDecimal(double v) {
    if (v == 0.0) {
        return "0";
    }
    char out[40];
    return {out, std::to_chars(out, out + sizeof out, v).ptr};
}

std::string GroupedWhole(double v) {
    char digits[40];
    const double whole = std::round(std::abs(v));
    const auto end =
        std::to_chars(digits, digits + sizeof digits, whole, std::chars_format::fixed, 0);
    const std::string plain(digits, end.ptr);
    std::string out = v < 0.0 && whole != 0.0 ? "-" : "";
    for (std::size_t k = 0; k < plain.size(); ++k) {
        if (k > 0 && (plain.size() - k) % 3 == 0) {
            out += ',';
        }
        out += plain[k];
    }
    return out;
}

std::string RoundedUpCount(double v) {
    if (!(v > 1.0)) {
        return "1";
    }
    const double step = v < 100.0 ? 1.0 : std::pow(10.0, std::floor(std::log10(v)) - 1.0);
    return GroupedWhole(std::ceil(v / step) * step);
}

}  // namespace text

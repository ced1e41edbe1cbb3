#include "text/figures.h"

#include <charconv>
#include <cmath>

#include "text/significant.h"

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

std::string SseFigure(double v) {
    if (std::abs(v) < 1e-12) {
        return "0";
    }
    if (std::abs(v) >= 100.0 && std::abs(v) < 1e15) {
        return GroupedWhole(v);
    }
    return FormatSignificant(v, 5);
}

std::string SizeFigure(double v, int digits) {
    return std::isfinite(v) ? FormatSignificant(v, digits) : "above 1.8e308";
}

std::string GrowthFigure(double growth) {
    if (growth > 1e6) {
        return "more than a million";
    }
    int digits = growth < 1.1 ? 2 : 4;
    std::string text = FormatSignificant(growth, digits);
    while (text == "1" && digits < 17) {
        text = FormatSignificant(growth, ++digits);
    }
    return "about " + text;
}

std::string RoundedDownLimit(double limit) {
    return FormatSignificantDown(limit, 4);
}

std::string RoundedUpLimit(double limit) {
    return FormatSignificantUp(limit, 4);
}

std::string ApproximateFromLog10(double power) {
    const double whole = std::floor(power);
    return "about " + FormatSignificant(std::pow(10.0, power - whole), 2) + "e" +
           FormatSignificant(whole, 6);
}

std::string FormatFixed(double v, int decimals, std::string_view decimal) {
    // Room for the 309 whole digits of the largest double.
    char digits[400];
    const auto end =
        std::to_chars(digits, digits + sizeof digits, v, std::chars_format::fixed, decimals).ptr;
    std::string out(digits, end);
    if (const auto point = out.find('.'); point != std::string::npos) {
        out.replace(point, 1, decimal);
    }
    return out;
}

}  // namespace text

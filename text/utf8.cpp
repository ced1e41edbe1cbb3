#include "text/utf8.h"

namespace text {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool isContinuation(unsigned char c) {
    return (c & 0xC0U) == 0x80U;
}

// The length of the well-formed sequence at `at`, or 0 with `bad` set to the length of
// its maximal ill-formed start (at least 1).
std::size_t sequenceAt(std::string_view bytes, std::size_t at, std::size_t& bad) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    std::size_t length = 0;
    // The allowed range of the second byte narrows it for E0, ED, F0 and F4: no overlong
    // forms, no surrogates, nothing past U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        bad = 1;
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const std::size_t next = at + k;
        if (next >= bytes.size()) {
            bad = k;
            return 0;
        }
        const auto c = static_cast<unsigned char>(bytes[next]);
        if (k == 1 ? c < low || c > high : !isContinuation(c)) {
            bad = k;
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string ValidUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t bad = 0;
        const std::size_t length = sequenceAt(bytes, at, bad);
        if (length > 0) {
            out.append(bytes.substr(at, length));
            at += length;
        } else {
            out.append(kReplacement);
            at += bad;
        }
    }
    return out;
}

std::string ShownName(std::string_view name, std::size_t limit) {
    if (name.empty()) {
        return "(no name)";
    }
    const std::string valid = ValidUtf8(name);
    std::string out;
    for (std::size_t at = 0; at < valid.size();) {
        std::size_t bad = 0;
        const std::size_t length = sequenceAt(valid, at, bad);  // well formed by now
        const auto lead = static_cast<unsigned char>(valid[at]);
        const bool control = lead < 0x20 || lead == 0x7F ||
                             (lead == 0xC2 && static_cast<unsigned char>(valid[at + 1]) < 0xA0);
        const std::string_view piece =
            control ? kReplacement : std::string_view(valid).substr(at, length);
        if (out.size() + piece.size() > limit) {
            break;
        }
        out += piece;
        at += length;
    }
    return out;
}

}  // namespace text

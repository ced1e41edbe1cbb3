#include "text/json_text.h"

#include "text/utf8.h"

namespace text {

std::string JsonString(std::string_view value) {
    static constexpr char kHex[] = "0123456789abcdef";
    const std::string valid = ValidUtf8(value);
    std::string out = "\"";
    out.reserve(valid.size() + 2);
    for (const char c : valid) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace text

#include "text/json_text.h"

#include <charconv>
#include <cmath>

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

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char text[40];
    return {text, std::to_chars(text, text + sizeof text, value).ptr};
}

std::string JsonNumber(const std::optional<double>& value) {
    return value ? JsonNumber(*value) : "null";
}

std::string JsonBool(bool value) {
    return value ? "true" : "false";
}

void JsonObject::add(std::string_view key, std::string_view value) {
    const bool spaced = m_layout == JsonLayout::Spaced;
    if (!m_members.empty()) {
        m_members += spaced ? ", " : ",";
    }
    m_members += JsonString(key);
    m_members += spaced ? ": " : ":";
    m_members += value;
}

void JsonArray::add(std::string_view value) {
    if (!m_elements.empty()) {
        m_elements += m_layout == JsonLayout::Spaced ? ", " : ",";
    }
    m_elements += value;
}

}  // namespace text

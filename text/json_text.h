#pragma once

// The one way JSON is written here: strings that are always valid UTF-8, numbers that read
// back as the same double, and objects and arrays put together member by member.

#include <optional>
#include <string>
#include <string_view>

namespace text {

// `value` as a JSON string with its quotes: ill-formed UTF-8 as U+FFFD (text::ValidUtf8),
// '"' and '\' escaped, every control character (below U+0020) as \u00XX.
std::string JsonString(std::string_view value);

// The shortest text that reads back as `value` (-0 stays "-0"); null when it is not finite
// or not known, since JSON has no infinities.
std::string JsonNumber(double value);
std::string JsonNumber(const std::optional<double>& value);

std::string JsonBool(bool value);

// How members are separated: {"a":1,"b":[1,2]} for the analysis, {"a": 1, "b": [1, 2]} for
// the experiments.
enum class JsonLayout { Compact, Spaced };

// An object or array written member by member. Values are JSON text already (JsonNumber,
// JsonString, another object's text()).
class JsonObject {
  public:
    explicit JsonObject(JsonLayout layout = JsonLayout::Compact) : m_layout(layout) {}
    void add(std::string_view key, std::string_view value);
    // The object so far with its braces: "{}" when nothing was added.
    std::string text() const { return "{" + m_members + "}"; }

  private:
    JsonLayout m_layout;
    std::string m_members;
};

class JsonArray {
  public:
    explicit JsonArray(JsonLayout layout = JsonLayout::Compact) : m_layout(layout) {}
    void add(std::string_view value);
    std::string text() const { return "[" + m_elements + "]"; }

  private:
    JsonLayout m_layout;
    std::string m_elements;
};

}  // namespace text

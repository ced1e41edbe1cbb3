#include "text/json_text.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>

namespace {

TEST(JsonObject, BothLayoutsNestAndNumbersReadBackOrAreNull) {
    text::JsonArray values;
    values.add(text::JsonNumber(0.1));
    values.add(text::JsonNumber(-0.0));
    values.add(text::JsonNumber(std::numeric_limits<double>::infinity()));
    values.add(text::JsonNumber(std::optional<double>{}));
    text::JsonObject compact;
    compact.add("a", values.text());
    compact.add("b", text::JsonBool(true));
    EXPECT_EQ(compact.text(), R"({"a":[0.1,-0,null,null],"b":true})");

    text::JsonObject spaced(text::JsonLayout::Spaced);
    spaced.add("x", text::JsonNumber(1e-300));
    spaced.add("list", text::JsonArray(text::JsonLayout::Spaced).text());
    spaced.add("y", text::JsonNumber(2.5));
    EXPECT_EQ(spaced.text(), R"({"x": 1e-300, "list": [], "y": 2.5})");
    EXPECT_EQ(text::JsonObject().text(), "{}");
}

}  // namespace

#include "text/utf8.h"
#include "text/json_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kBad = "\xEF\xBF\xBD";  // U+FFFD

TEST(ValidUtf8Test, KeepsValidTextAndReplacesEachIllFormedPart) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"tiny.net", "tiny.net"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9D\x84\x9E \xF4\x8F\xBF\xBF", ""},  // kept as it is
        {"caf\xE9.net", "caf" + kBad + ".net"},                              // Latin-1
        {"\x80x\xBF", kBad + "x" + kBad},                                    // stray continuations
        {"\xC0\xAF", kBad + kBad},                                           // overlong "/"
        {"\xE0\x80\x80", kBad + kBad + kBad},                                // overlong, 3 bytes
        {"\xED\xA0\x80", kBad + kBad + kBad},                                // a surrogate
        {"\xF4\x90\x80\x80", kBad + kBad + kBad + kBad},                     // past U+10FFFF
        {"\xE2\x82"
         "A",
         kBad + "A"},            // cut short
        {"\xF0\x9D\x84", kBad},  // cut by the end
        {"\xFF\xFE", kBad + kBad},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text::ValidUtf8(c.in), c.out.empty() ? c.in : c.out) << c.in;
    }
}

// Names from outside as a terminal or a page shows them, and as JSON holds them.
TEST(ShownName, ControlsAndBadBytesBecomeReplacementsWithinTheLimit) {
    const std::string bad = "\xEF\xBF\xBD";
    EXPECT_EQ(text::ShownName("evil\x1b[31m\nx.net"), "evil" + bad + "[31m" + bad + "x.net");
    EXPECT_EQ(text::ShownName("a\x7f\xC2\x9b\xFF"
                              "b"),
              "a" + bad + bad + bad + "b");  // DEL, C1
    EXPECT_EQ(text::ShownName(""), "(no name)");
    EXPECT_EQ(text::ShownName(std::string(4096, 'x')), std::string(255, 'x'));
    // Cut before a character that would cross the limit, never inside it.
    EXPECT_EQ(text::ShownName(std::string(254, 'x') + "\xC3\xA9"), std::string(254, 'x'));
    EXPECT_EQ(text::JsonString("a\"\\\n\xFF\x01"), "\"a\\\"\\\\\\u000a" + bad + "\\u0001\"");
}

}  // namespace

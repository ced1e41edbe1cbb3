#include "text/utf8.h"

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

}  // namespace

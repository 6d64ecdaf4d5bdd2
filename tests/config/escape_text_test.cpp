// escapeText: safe characters, escapes, and outputs too small for the text.
#ifndef POFREADER_REVISION_700

#include <gtest/gtest.h>

#include <string>

#include "config/config.h"

using namespace pofreader;

namespace {

std::string escaped(const std::string& text, std::size_t size = 4096) {
    std::string output(size + 1, '#');
    escapeText(output.data(), size, text.c_str());
    EXPECT_EQ(output[size], '#');  // nothing written past the output
    return output.substr(0, output.find('\0'));
}

TEST(EscapeText, SafeCharactersStayOthersAreEscaped) {
    const std::string safe =
        " !#$%&*+,-.=@_0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    EXPECT_EQ(escaped(safe), safe);
    const struct {
        std::string text, expected;
    } cases[] = {
        {":", "\\058"},
        {"\xe4", "\\228"},
        {"a", "a"},
        {"\"'\\;", "\\034\\039\\092\\059"},
        {"\t\n\r\x01\x7f\xff", "\\009\\010\\013\\001\\127\\255"},
        {"()/<>?[]^`{|}~", "\\040\\041\\047\\060\\062\\063\\091\\093\\094\\096\\123\\124\\125\\126"},
        {"Frame: 1", "Frame\\058 1"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(escaped(c.text), c.expected) << c.text;
}

TEST(EscapeText, SmallOutputsStopBeforeAWholeCharacter) {
    const struct {
        std::string text;
        std::size_t size;
        std::string expected;
    } cases[] = {
        {":", 5, "\\058"}, {":", 4, ""},       {"ab:", 5, "ab"},      {"ab:", 6, "ab"},
        {"ab:c", 7, "ab\\058"}, {"ab:c", 8, "ab\\058c"}, {"abc", 1, ""}, {"abc", 3, "ab"},
    };
    for (const auto& c : cases) EXPECT_EQ(escaped(c.text, c.size), c.expected) << c.text << " " << c.size;
}

TEST(EscapeText, NullTextAndZeroSize) {
    char output[4] = "xyz";
    escapeText(output, sizeof output, nullptr);
    EXPECT_STREQ(output, "");
    output[0] = 'x';
    escapeText(output, 0, "abc");
    EXPECT_EQ(output[0], 'x');
    escapeText(nullptr, 10, "abc");
}

}  // namespace

#endif  // POFREADER_REVISION_700

// The one-pass reading of short decimals gives exactly the double that the
// general rule (from_chars, correctly rounded) gives, bit for bit, for every
// form the fast path takes and at the edges where it must hand over.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "pof/pof.h"

namespace {

// The reference: from_chars on the longest prefix, with strtod's sign rule.
double reference(const std::string& text) {
    const char* begin = text.c_str();
    bool negative = false;
    if (*begin == '-' || *begin == '+') negative = *begin++ == '-';
    double value = 0.0;
    std::from_chars(begin, text.c_str() + text.size(), value, std::chars_format::general);
    return negative ? -value : value;
}

uint64_t bits(double value) {
    uint64_t b;
    std::memcpy(&b, &value, sizeof b);
    return b;
}

TEST(ShortDecimals, EqualTheCorrectlyRoundedValue) {
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 200000; ++i) {
        // Up to 19 digits in all, up to 22 after the point, with a sign now
        // and then: the fast path's whole range and a little past it.
        const int integerDigits = static_cast<int>(random() % 12);
        const int fractionDigits = static_cast<int>(random() % 24);
        std::string text;
        if (random() % 3 == 0) text += random() % 2 ? '-' : '+';
        for (int d = 0; d < integerDigits; ++d) text += static_cast<char>('0' + random() % 10);
        if (fractionDigits > 0 || random() % 2) text += '.';
        for (int d = 0; d < fractionDigits; ++d) text += static_cast<char>('0' + random() % 10);
        if (text.find_first_of("0123456789") == std::string::npos) continue;
        const double got = pofreader::parseNumber(text.c_str(), text.size());
        ASSERT_EQ(bits(got), bits(reference(text))) << text;
    }
}

TEST(ShortDecimals, EdgesOfTheFastPath) {
    const char* cases[] = {
        "9007199254740992",          // 2^53: still exact
        "9007199254740993",          // 2^53 + 1: rounds, general rule
        "900719925474099.3",         // 2^53 + 1 as digits with a point
        "9999999999999999999",       // 19 digits
        "99999999999999999999",      // 20 digits
        "0.1",  "0.2",  "0.3",  "1.7976931348623157", "123456.789012",
        "0.0000000000000000000001",  // 22 digits after the point
        "0.00000000000000000000001", // 23
        "00000000000000000000000000012.5",  // leading zeros are not significant
        "-0", "-0.0", "+0.000",
        "4.35", "2.675", "1.005", "-999.999",
    };
    for (const char* text : cases) {
        const double got = pofreader::parseNumber(text, std::strlen(text));
        EXPECT_EQ(bits(got), bits(reference(text))) << text;
    }
}

// How much of a value part the number grammar reads: what a checker reports
// as read only in part.
TEST(ShortDecimals, PrefixLengthsStopWhereTheNumberDoes) {
    const struct {
        const char* text;
        std::size_t read;
    } cases[] = {{"1,5", 1}, {"2mm", 1}, {"-0.25", 5}, {"1e3x", 3}, {"abc", 0}, {"", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(c.read, pofreader::numberPrefixLength(c.text, std::strlen(c.text))) << c.text;
}

}  // namespace

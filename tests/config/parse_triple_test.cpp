// parseTriple: number runs, counts, untouched places, the run bound and the
// locale's decimal point.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

#include "common/limits.h"
#include "config/config.h"

using namespace pofreader;

namespace {

constexpr double kUntouched = -777.0;

struct TripleCase {
    std::string text;
    int count;
    double values[3];
};

const TripleCase kCases[] = {
    {"1 2 3", 3, {1, 2, 3}},
    {"1,2,3", 3, {1, 2, 3}},
    {"x=1;y=2;z=3", 3, {1, 2, 3}},
    {"1e3 -2.5E-1 +4", 3, {1000, -0.25, 4}},
    {"1-2 3", 2, {1, 3, kUntouched}},
    {"7", 1, {7, kUntouched, kUntouched}},
    {"", 0, {kUntouched, kUntouched, kUntouched}},
    {"abc", 0, {kUntouched, kUntouched, kUntouched}},
    {"1 2 3 4", 3, {1, 2, 3}},
    {". -", 2, {0, 0, kUntouched}},  // runs without a number convert to 0
    {"(0.5, .25, 5.)", 3, {0.5, 0.25, 5}},
    // The run is converted from its first 79 characters; the rest of it is
    // passed over.
    {"1" + std::string(kTripleRunMax - 1, '0') + " 5 6", 3, {1e78, 5, 6}},
    {"1" + std::string(kTripleRunMax, '0') + " 5 6", 3, {1e78, 5, 6}},
    {"1" + std::string(500, '0') + "7 5", 2, {1e78, 5, kUntouched}},
    {std::string(kTripleRunMax - 1, '0') + "12 5 6", 3, {1, 5, 6}},
    {std::string(kTripleRunMax - 2, '0') + "12 5 6", 3, {12, 5, 6}},
};

TEST(ParseTriple, Cases) {
    for (const TripleCase& c : kCases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        double v[3] = {kUntouched, kUntouched, kUntouched};
        EXPECT_EQ(parseTriple(c.text.c_str(), &v[0], &v[1], &v[2]), c.count);
        for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(v[i], c.values[i]) << i;
    }
}

TEST(ParseTriple, MissingTextYieldsZero) {
    double v = kUntouched;
    EXPECT_EQ(parseTriple(nullptr, &v, &v, &v), 0);
    EXPECT_EQ(v, kUntouched);
}

TEST(ParseTriple, BinaryBytesAroundNumbers) {
    const std::string text = std::string("\x01\xff\x1a") + "1\x80" "2\t\x7f" "3";
    double v[3] = {0, 0, 0};
    EXPECT_EQ(parseTriple(text.c_str(), &v[0], &v[1], &v[2]), 3);
    EXPECT_EQ(v[0], 1.0);
    EXPECT_EQ(v[1], 2.0);
    EXPECT_EQ(v[2], 3.0);
}

// Under a locale with a decimal comma the '.' of a configuration value still
// reads as the decimal point.
TEST(ParseTriple, CommaLocale) {
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr &&
        std::setlocale(LC_NUMERIC, "de_DE.utf8") == nullptr) {
        GTEST_SKIP() << "no German locale installed";
    }
    ASSERT_EQ(std::localeconv()->decimal_point[0], ',');
    double v[3] = {0, 0, 0};
    const int count = parseTriple("1.5 -2.25 3e1", &v[0], &v[1], &v[2]);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(count, 3);
    EXPECT_EQ(v[0], 1.5);
    EXPECT_EQ(v[1], -2.25);
    EXPECT_EQ(v[2], 30.0);
}

}  // namespace

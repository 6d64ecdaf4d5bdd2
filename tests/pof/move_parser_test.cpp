// The tokenizer, both move grammars and the number rule, on strings. Both
// grammars are compiled into every build, so each runs in both test binaries.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <string>

#include "common/common.h"
#include "common/limits.h"
#include "pof/pof.h"
#include "support/move_grammars.h"
#include "support/move_tokens.h"

using namespace pofreader;
using testing_support::parseCurrentGrammar;
using testing_support::parseEarlierGrammar;

namespace {

// ---- Tokenizer ---------------------------------------------------------------

std::string tokens(const std::string& payload) {
    std::string joined;
    for (const std::string& token : testing_support::tokenizeMove(payload.c_str()))
        joined += (joined.empty() ? "" : "|") + token;
    return joined;
}

TEST(Tokenizer, ThreeModes) {
    const struct {
        const char* payload;
        const char* expected;
    } cases[] = {
        {"oL ( x[0/10] y[0/20] )", "oL|(|x[0/10]|y[0/20]|)"},
        {"oL(x[/1])", "oL|(|x[/1]|)"},
        {"\t oL \t", "oL"},
        {"a)b c", "a)b|c"},                      // ")" inside a word is kept
        {"multax[a b\tc] x", "multax[a b\tc]|x"},  // blanks kept in brackets
        {"x[1 ( y", "x[1 ]|(|y"},                // "(" closes the bracket
        {"x[1) y", "x[1]|)|y"},
        {"x[1", "x[1]"},                         // the end closes it too
        {"x[1]]y", "x[1]|]y"},
        {"a[b[c]", "a[b[c]"},
        {"((", "(|("},
        {"", ""},
        {"   ", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.payload);
        EXPECT_EQ(tokens(c.payload), c.expected);
    }
}

TEST(Tokenizer, SplitToken) {
    const struct {
        const char* token;
        const char* name;
        const char* value;
        bool bracketed;
    } cases[] = {
        {"x[0/10]", "x", "0/10", 1}, {"oL", "oL", "", 0},   {"(", "(", "", 0},
        {"a]b[c]d]", "ab", "cd", 1}, {"x[a[b]", "x", "a[b", 1}, {"[v]", "", "v", 1},
    };
    for (const auto& c : cases) {
        const testing_support::SplitToken split = testing_support::splitToken(c.token);
        EXPECT_EQ(split.name, c.name) << c.token;
        EXPECT_EQ(split.value, c.value) << c.token;
        EXPECT_EQ(split.bracketed, c.bracketed) << c.token;
    }
}

// ---- Grammars ------------------------------------------------------------------

// The parse result in one line: kind, then per axis "+" when given, "-" when
// not, with target|third (x, y, z) or the component (u, v, w). The preset
// stands for a previous position (1, 2, 3) and tool axis (4, 5, 6).
std::string parsed(int32_t (*parse)(const char*, MoveWords&), const std::string& payload) {
    MoveWords words{};
    words.xGiven = words.uGiven = 7;  // the parser must clear every flag
    words.targetX = words.thirdX = 1;
    words.targetY = words.thirdY = 2;
    words.targetZ = words.thirdZ = 3;
    words.u = 4, words.v = 5, words.w = 6;
    const int32_t kind = parse(payload.c_str(), words);
    EXPECT_EQ(kind, words.kind);
    char out[256];
    std::snprintf(out, sizeof out, "k%d x%c%g|%g y%c%g|%g z%c%g|%g u%c%g v%c%g w%c%g",
                  static_cast<int>(kind), words.xGiven ? '+' : '-', words.targetX, words.thirdX,
                  words.yGiven ? '+' : '-', words.targetY, words.thirdY,
                  words.zGiven ? '+' : '-', words.targetZ, words.thirdZ,
                  words.uGiven ? '+' : '-', words.u, words.vGiven ? '+' : '-', words.v,
                  words.wGiven ? '+' : '-', words.w);
    return out;
}

struct GrammarCase {
    std::string payload;
    std::string expected;  // kind and changed axes; see expand()
};

// Writes the untouched axes of the preset into a short expectation: "k1 x+10|10"
// becomes the full line with y, z, u, v, w as preset and not given.
std::string expand(const std::string& shortForm) {
    std::string kind = shortForm.substr(0, shortForm.find(' '));
    std::string result = kind;
    const char* defaults[] = {"x-1|1", "y-2|2", "z-3|3", "u-4", "v-5", "w-6"};
    for (const char* axis : defaults) {
        const std::string key = std::string(" ") + axis[0];
        const std::size_t at = shortForm.find(key);
        if (at == std::string::npos) {
            result += std::string(" ") + axis;
        } else {
            const std::size_t end = shortForm.find(' ', at + 1);
            result += shortForm.substr(at, end == std::string::npos ? std::string::npos : end - at);
        }
    }
    return result;
}

void checkGrammar(int32_t (*parse)(const char*, MoveWords&), const std::vector<GrammarCase>& cases) {
    for (const GrammarCase& c : cases) {
        SCOPED_TRACE(c.payload);
        EXPECT_EQ(parsed(parse, c.payload), expand(c.expected));
    }
}

const std::string kPart79 = std::string(kMovePartMax - 1, '0') + "2";  // reads as 2
const std::string kValue255(kMoveTokenMax, 'a');
const std::string kLong(300, 'a');   // over every bound; text without effect
const std::string kDigits90(90, '7');

TEST(MoveGrammar, CurrentRevision) {
    checkGrammar(parseCurrentGrammar, {
        {"oL ( x[0/10] y[0/20] )", "k1 x+10|10 y+20|20"},
        {"oL ( z[/5] )", "k1 z+5|5"},
        {"oM ( x[/1] w[/1] )", "k0 x+1|1 w+1"},
        {"oM ( x[/1] )", "k0 x+1|1"},
        {"oL ( x[1] )", "k1"},  // first part only: nothing
        {"oA ( o[-] x[/10] y[/0] x[//5] )", "k2 x+10|5 y+0|0"},
        {"oA ( o[+] z[/3] )", "k3 z+3|3"},
        {"( o[-] oA )", "k-2"},  // "o" before oA has no effect
        {"oA ( x[/1] )", "k-2 x+1|1"},
        {"oA ( o[ - ] )", "k-2"},
        {"oL ( x[/1] ) oM", "k0 x+1|1"},
        {"oL x[/1]", "k1"},  // outside the group
        {"oL ( ( x[/1] ) y[/2] )", "k1 x+1|1"},
        {"oL ( x[/1] ) ( y[/2] )", "k1 x+1|1 y+2|2"},
        {"oL ( multax[anything at all] )", "k1"},
        {"oL ( u[/0] v[/0] w[/1] )", "k1 u+0 v+0 w+1"},
        {"oL ( u[7/8/9] )", "k1 u+8"},
        {"oL[ignored] ( x[/1] )", "k1 x+1|1"},
        {"( oL[x] x[/1] )", "k-1 x+1|1"},  // bracketed kind word in the group
        {"( oL x[/1] )", "k1 x+1|1"},       // plain kind word in the group
        {"oX ( x[/1] )", "k-1 x+1|1"},
        {"oLL ( x[/1] )", "k-1 x+1|1"},
        {"oM oL", "k1"},
        {"", "k-1"},
        {"oL ( x[/1/2/3] )", "k1 x+1|2"},
        {"oL ( x[a/b/c] )", "k1 x+0|0"},
        {"oL ( x[/ 1.5e1/] )", "k1 x+15|15"},
        {"oL(x[/-.5])", "k1 x+-0.5|-0.5"},
        {"oL ( x[/1 )", "k1 x+1|1"},
        {"oA ( o[-]x[/1] )", "k2 x+1|1"},
        {"oL ( q[/1] X[/1] xx[/1] )", "k1"},
        {"oL\t(x[/1] y[/2])", "k1 x+1|1 y+2|2"},
        {"oL (\fx[/1] y[/2] )", "k1 y+2|2"},  // a form feed is no blank: "\fx" is no axis
        // Only a converted part is bounded; text without effect is passed over.
        {"oL ( x[/" + kPart79 + "] )", "k1 x+2|2"},
        {"oL ( x[/" + kPart79 + "1] )", "k-1"},
        {"oL ( x[/1/" + kPart79 + "] )", "k1 x+1|2"},
        {"oL ( x[/1/" + kPart79 + "1] )", "k-1"},
        {"oL ( x[" + kPart79 + "1/1] )", "k1 x+1|1"},
        {"oL ( x[" + kDigits90 + "/5] )", "k1 x+5|5"},
        {"oL ( z[/1/2/" + kLong + "] u[/1/" + kLong + "] )", "k1 z+1|2 u+1"},
        {"oL ( multax[" + kValue255 + "] )", "k1"},
        {"oL ( multax[" + kLong + "] x[/6] )", "k1 x+6|6"},
        {"oL ( q[" + kLong + "] x[/8] )", "k1 x+8|8"},
        {"oL ( " + kLong + "[1] " + kLong + "]x[2] y[/3] )", "k1 y+3|3"},
        {"oL[" + kLong + "] ( y[/9] )", "k1 y+9|9"},
        {"oA ( o[-" + kLong + "] )", "k-2"},
    });
}

TEST(MoveGrammar, EarlierRevision) {
    checkGrammar(parseEarlierGrammar, {
        {"oL ( x[/10] )", "k1 x+10|1"},
        {"oL (\fx[/10] )", "k-1"},  // "\fx" is an unknown word
        {"oL x[/10]", "k-1"},
        {"Kx ( x[/1] )", "k-1"},
        {"oL ( x[5] )", "k1 x+1|1"},
        {"oL ( q[/1] )", "k-1"},
        {"oL ( o[-] x[/1] )", "k2 x+1|1"},
        {"oM ( o[] )", "k3"},
        {"oA ( o[+x] )", "k3"},
        {"o L ( x [ 1 / 2 ] )", "k1 x+2|1"},
        {"oA ( x[/1] )", "k-2 x+1|1"},
        {"oA ( o[-] z[/3/7] )", "k2 z+3|7"},
        {"oL ( x[1/2/3] )", "k1 x+2|3"},
        {"oL ( x[1/2/3/4] )", "k1 x+2|1"},  // the third part is not the last
        {"oL ( x[//5] )", "k1 x+0|5"},      // an empty second part reads as 0
        {"oL ( u[1/2/3] v[] )", "k1 u+2 v+5"},
        {"oL ( w[1/4] y[] z[] u[] )", "k1 y+2|2 z+3|3 u+4 w+4"},
        {"oL[abc] ( x[/1] )", "k1 x+1|1"},
        {"oL[a(b] ( x[/1] )", "k-1"},  // the group opens inside the brackets
        {"oL ( abcdef[1] x[/1] )", "k-1"},
        {"oL ( abcdef[1] )", "k1"},
        {"oL ( multax[a b c] x[/1] )", "k1 x+1|1"},
        {"oL ( xy[/1] )", "k-1"},
        {"oL ( [/1] )", "k-1"},
        {"oL ( 1[/1] )", "k-1"},
        {"oL ( x[/1) y[/2] )", "k1"},
        {"oL ( x[/1] ) y[/2] q[",  "k1 x+1|1"},
        {"oL ( x[/1]", "k1 x+1|1"},
        {"oL ( x[/1", "k1"},
        {"oL", "k1"},
        {"oLx", "k-1"},
        {"", "k-1"},
        {"(x[/1])", "k-1"},
        {"oL ( multaxz[0] x[/3] )", "k-1"},  // neither one nor six letters
        {"oL ( abcdefg[1] )", "k-1"},
        // Only a converted part is bounded; text without effect is passed over.
        {"oL ( x[/" + kPart79 + "] )", "k1 x+2|1"},
        {"oL ( x[/" + kPart79 + "1] )", "k-1"},
        {"oL ( x[/1/" + kPart79 + "1] )", "k-1"},
        {"oL ( x[/1/" + kPart79 + "1/4] )", "k1 x+1|1"},  // a third part not last
        {"oL ( x[" + kDigits90 + "/5] )", "k1 x+5|1"},
        {"oL ( u[/1/" + kLong + "] )", "k1 u+1"},
        {"oL ( multax[" + kLong + "] x[/6] )", "k1 x+6|1"},
        {"oL[" + kLong + "] ( y[/9] )", "k1 y+9|2"},
        {"oA ( o[-" + kLong + "] )", "k2"},
    });
}

// ---- Numbers -------------------------------------------------------------------

double number(const std::string& text) { return parseNumber(text.c_str(), text.size()); }

TEST(Numbers, LongestPrefixRule) {
    const struct {
        const char* text;
        double expected;
    } cases[] = {
        {"1.5", 1.5},   {"  -2e3", -2000}, {"+4", 4},     {".5", 0.5},    {"5.", 5},
        {"1e", 1},      {"1e+", 1},        {"2E-2x", 0.02}, {"e5", 0},    {"", 0},
        {"abc", 0},     {"0x1A", 0},       {"inf", 0},    {"nan", 0},     {"-", 0},
        {".", 0},       {"+.e1", 0},       {"1.2.3", 1.2}, {"12abc", 12}, {"\t\n 7", 7},
        {"-0.000", 0},  {"1,5", 1},        {"0.1e1", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(number(c.text), c.expected) << c.text;
    EXPECT_EQ(number("1e400"), HUGE_VAL);
    EXPECT_EQ(number("-1e400"), -HUGE_VAL);
    EXPECT_EQ(number("1e-400"), 0.0);
    EXPECT_EQ(number("0.000000000001e-390"), 0.0);
    EXPECT_EQ(parseNumber("123", 2), 12.0);  // never reads past the length
}

TEST(Numbers, CommaLocaleReadsTheSame) {
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no comma locale";
    EXPECT_EQ(number("1.5"), 1.5);
    EXPECT_EQ(number("1,5"), 1.0);
    MoveWords words{};
    parseCurrentGrammar("oL ( x[/2.25] )", words);
    EXPECT_EQ(words.targetX, 2.25);
    parseEarlierGrammar("oL ( x[/-0.75] )", words);
    EXPECT_EQ(words.targetX, -0.75);
    std::setlocale(LC_NUMERIC, "C");
}

}  // namespace

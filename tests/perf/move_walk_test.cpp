// The move parsers read a payload in one pass. Their results must equal the
// plain reading of each revision's grammar for every payload: random payloads
// over the grammar's characters and pieces, compared field by field.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "common/limits.h"
#include "pof/pof.h"
#include "support/move_grammars.h"
#include "support/move_tokens.h"

namespace {

using namespace pofreader;
using testing_support::parseCurrentGrammar;
using testing_support::parseEarlierGrammar;

MoveWords preset() {
    MoveWords words{};
    words.targetX = words.thirdX = 1;
    words.targetY = words.thirdY = 2;
    words.targetZ = words.thirdZ = 3;
    words.u = 4;
    words.v = 5;
    words.w = 6;
    return words;
}

using Parser = int32_t (*)(const char*, MoveWords&);

void expectSame(const std::string& payload, Parser parse = parseCurrentGrammar,
                Parser reading = testing_support::parseMoveReference) {
    MoveWords walked = preset(), reference = preset();
    const int32_t kind = parse(payload.c_str(), walked);
    EXPECT_EQ(kind, reading(payload.c_str(), reference)) << payload;
    // Field by field: the record has padding after the flags.
    EXPECT_EQ(std::memcmp(&walked.kind, &reference.kind, 7 * sizeof(int32_t)), 0) << payload;
    EXPECT_EQ(std::memcmp(&walked.targetX, &reference.targetX, 9 * sizeof(double)), 0) << payload;
}

// Random characters of a grammar, and random sequences of its pieces, three
// in four behind one of `openings` when there are any.
void expectSameOnRandom(const std::string& alphabet, const std::vector<std::string>& pieces,
                        Parser parse, Parser reading, const std::vector<std::string>& openings = {}) {
    static const char* const kSeparators[] = {" ", "\t", "", "  "};
    std::mt19937 random(12);
    for (int i = 0; i < 100000; ++i) {
        std::string payload;
        if (!openings.empty() && i % 4 != 3) payload = openings[random() % openings.size()];
        const int length = static_cast<int>(random() % 40);
        if (i % 2 == 0) {
            for (int c = 0; c < length; ++c) payload += alphabet[random() % alphabet.size()];
        } else {
            for (int c = 0; c < length / 4; ++c) {
                payload += pieces[random() % pieces.size()];
                payload += kSeparators[random() % std::size(kSeparators)];
            }
        }
        expectSame(payload, parse, reading);
        if (::testing::Test::HasFailure()) return;
    }
}

TEST(MoveWalk, EqualsTheGrammarOverStoredTokens) {
    expectSameOnRandom("oLAMxyzuvw()[]/+-.0123456789 \t]e",
                       {"oL", "oA", "oM", "oX", "o", "(", ")", "x[/1.5]", "y[0/2/3]", "z[//4]",
                        "x[/-0.25/7/8]", "o[-]", "o[+]", "o[--]", "u[/0.5]", "v[/1e2]", "w[/.5]",
                        "multax[a b]", "x[1", "]", "q[/1]", "x]", "y][/3]", "oL[1]", "[/2]",
                        "x[/1)", "z[/2("},
                       parseCurrentGrammar, testing_support::parseMoveReference);
}

TEST(MoveWalk, EarlierRevisionEqualsItsGrammar) {
    // Blanks inside values and words, parts at their bound and over it, six
    // letters that are not "multax", ")" inside a value.
    const std::string part79 = "/" + std::string(78, '1') + ".5", part80 = part79 + "0";
    expectSameOnRandom("oLAMxyzuvwmultac()[]/+-.0123456789 \te",
                       {"oL(", "oA", "oM[9(]", "o L", "(", ")", "x[/1.5]", "y[0/2/3]", "z[//4]",
                        "x[/-0.25/7/8]", "x[/1 2]", "y[/ 3\t4 /5 6]", "z[/1/2/3/4]", "o[-]",
                        "o[ +]", "o[]", "u[/0.5/9]", "v[/1e2]", "w[/.5]", "multax[a b]", "mult ax[",
                        "abcdef[", "abcdefg[", "x[/1)", "z[/2(", "x[/1[2]", "]", "q[/1]", "xy[/1]",
                        "[/2]", "/", "x[", "/3]", "y[" + part79 + "]", "z[/1" + part80 + "]",
                        "x[" + part80, "u[/1 " + part79, part80 + " 0"},
                       parseEarlierGrammar, testing_support::parseMoveEarlierReference,
                       {"oL(", "oA (", "o\tM[1/2](", "oL[(", "oA"});
}

TEST(MoveWalk, LongTokensAndPartsEqualTheGrammar) {
    const std::string long79(79, '1'), long80(80, '1'), long255(255, 'a'), long256(256, 'a');
    const std::string cases[] = {
        "oL ( x[/" + long79 + "] )",
        "oL ( x[/" + long80 + "] y[/2] )",
        "oL ( y[/2] x[/" + long80 + "] " + long256 + " )",  // part too long, then a long token
        "oL ( y[/2] " + long255 + "[1] )",
        "oL ( y[/2] " + long256 + "[1] )",
        "oL ( y[/2] m[" + long256 + "] )",
        "oL ( y[/2] m[" + long255 + "]]]] )",
        "oL ( x]][/1] ]y[/2] )]",
        "oA ( o[-] o]][+] x[/1/2/3/4] )",
        "oL ( x[" + long256 + "/5] u[/1/" + long80 + "] z[/1/2/" + long256 + "] )",
        "oL ( x[/1/" + long80 + "] )",
        "oL ( " + std::string(300, ']') + "y[/2] " + long256 + "]q[1] )",
    };
    for (const std::string& payload : cases) expectSame(payload);
}

}  // namespace

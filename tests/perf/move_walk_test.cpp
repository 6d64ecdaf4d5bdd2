// The move parser reads a payload in one pass. Its result must equal the
// plain reading of the grammar over the stored token list for every payload:
// random payloads over the grammar's characters, compared field by field.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <string>

#include "common/limits.h"
#include "pof/pof.h"
#include "support/move_tokens.h"

namespace {

using namespace pofreader;

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

void expectSame(const std::string& payload) {
    MoveWords walked = preset(), reference = preset();
    const int32_t kind = parseMoveTokens(payload.c_str(), walked);
    EXPECT_EQ(kind, testing_support::parseMoveReference(payload.c_str(), reference)) << payload;
    // Field by field: the record has padding after the flags.
    EXPECT_EQ(std::memcmp(&walked.kind, &reference.kind, 7 * sizeof(int32_t)), 0) << payload;
    EXPECT_EQ(std::memcmp(&walked.targetX, &reference.targetX, 9 * sizeof(double)), 0) << payload;
}

TEST(MoveWalk, EqualsTheGrammarOverStoredTokens) {
    // Random characters of the grammar, and random sequences of its pieces.
    static const char kAlphabet[] = "oLAMxyzuvw()[]/+-.0123456789 \t]e";
    static const char* const kPieces[] = {
        "oL", "oA", "oM", "oX", "o", "(", ")", "x[/1.5]", "y[0/2/3]", "z[//4]", "x[/-0.25/7/8]",
        "o[-]", "o[+]", "o[--]", "u[/0.5]", "v[/1e2]", "w[/.5]", "multax[a b]", "x[1", "]", "q[/1]",
        "x]", "y][/3]", "oL[1]", "[/2]", "x[/1)", "z[/2(",
    };
    static const char* const kSeparators[] = {" ", "\t", "", "  "};
    std::mt19937 random(12);
    for (int i = 0; i < 100000; ++i) {
        std::string payload;
        const int length = static_cast<int>(random() % 40);
        if (i % 2 == 0) {
            for (int c = 0; c < length; ++c) payload += kAlphabet[random() % (sizeof kAlphabet - 1)];
        } else {
            for (int c = 0; c < length / 4; ++c) {
                payload += kPieces[random() % std::size(kPieces)];
                payload += kSeparators[random() % std::size(kSeparators)];
            }
        }
        expectSame(payload);
        if (HasFailure()) return;
    }
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

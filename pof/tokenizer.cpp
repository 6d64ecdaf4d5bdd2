// The tokenizer of move payloads.
//
// Tokens are separated by blanks and tabs; "(" and ")" are tokens of their
// own; inside a bracket value blanks are kept and a parenthesis closes the
// value as if "]" stood before it. Tokens have no length bound here: the
// parser bounds what it converts.
//
// The scanner hands each token to a sink as a view into the payload; nothing
// is copied on the way. Each mode takes its whole run of characters at once,
// so the mode table is consulted once per token part, not once per character.
#include <array>
#include <iterator>

#include "common/limits.h"
#include "pof/pof.h"

namespace pofreader {

namespace {

// ORDER: the tokenizer modes, indices of kTokenizerModes.
enum TokenizerMode : int { kBetween = 0, kInWord = 1, kInBrackets = 2, kFailed = 3 };

struct Tokenizer {
    MoveTokenSink sink;
    void* context;
    const char* wordStart;  // the word in progress, inside the payload
    std::size_t bracketAt;  // offset of its first '[', or kNoBracket
};

constexpr std::size_t kNoBracket = static_cast<std::size_t>(-1);

// The characters that end a mode's run, one table per mode so that the run
// costs one look-up per character.
constexpr std::array<bool, 256> stopTable(const char* stops) {
    std::array<bool, 256> table{};
    table[0] = true;  // the payload's terminator ends every run
    for (; *stops != '\0'; ++stops) table[static_cast<unsigned char>(*stops)] = true;
    return table;
}
constexpr std::array<bool, 256> kWordStops = stopTable(" \t([");
constexpr std::array<bool, 256> kBracketStops = stopTable("]()");

bool stopsAt(const std::array<bool, 256>& table, char c) {
    return table[static_cast<unsigned char>(c)];
}

TokenizerMode emit(Tokenizer& t, const char* start, const char* end, std::size_t bracketAt,
                   bool closeBracket) {
    const MoveTokenView token{start, static_cast<std::size_t>(end - start), bracketAt,
                              closeBracket};
    return t.sink(t.context, token) ? kBetween : kFailed;
}

// A parenthesis at `at` as a token of its own.
TokenizerMode parenthesisToken(Tokenizer& t, const char*& at) {
    const TokenizerMode mode = emit(t, at, at + 1, kNoBracket, false);
    ++at;
    return mode;
}

using ModeFn = TokenizerMode (*)(Tokenizer& t, const char*& at);

// Blanks and tabs are skipped; parentheses are tokens; anything else starts a
// word.
TokenizerMode betweenTokens(Tokenizer& t, const char*& at) {
    while (*at == ' ' || *at == '\t') ++at;
    if (*at == '(' || *at == ')') return parenthesisToken(t, at);
    t.wordStart = at;
    t.bracketAt = kNoBracket;
    return kInWord;
}

// A blank, a tab or "(" ends the word; "[" opens a bracket value; ")" is kept.
TokenizerMode inWord(Tokenizer& t, const char*& at) {
    while (!stopsAt(kWordStops, *at)) ++at;
    if (*at == '[') {
        t.bracketAt = static_cast<std::size_t>(at - t.wordStart);
        ++at;
        return kInBrackets;
    }
    if (emit(t, t.wordStart, at, kNoBracket, false) == kFailed) return kFailed;
    return *at == '(' ? parenthesisToken(t, at) : kBetween;
}

// "]" ends the word; a parenthesis ends it as if "]" stood before it.
TokenizerMode inBrackets(Tokenizer& t, const char*& at) {
    while (!stopsAt(kBracketStops, *at)) ++at;
    if (*at == ']') {
        ++at;
        return emit(t, t.wordStart, at, t.bracketAt, false);
    }
    if (*at == '\0') return emit(t, t.wordStart, at, t.bracketAt, true);
    if (emit(t, t.wordStart, at, t.bracketAt, true) == kFailed) return kFailed;
    return parenthesisToken(t, at);
}

constexpr ModeFn kTokenizerModes[] = {
    /* 0 between tokens */ betweenTokens,
    /* 1 in word        */ inWord,
    /* 2 in brackets    */ inBrackets,
};
static_assert(std::size(kTokenizerModes) == 3);

}  // namespace

bool scanMoveTokens(const char* payload, MoveTokenSink sink, void* context) {
    Tokenizer t{sink, context, nullptr, kNoBracket};
    TokenizerMode mode = kBetween;
    const char* at = payload;
    while (*at != '\0') {
        mode = kTokenizerModes[mode](t, at);
        if (mode == kFailed) return false;
    }
    // A word in progress at the end: inWord and inBrackets stop at the NUL
    // only after emitting it, so only an unstarted word remains here.
    return true;
}

}  // namespace pofreader

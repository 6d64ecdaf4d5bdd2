// The move parser of the current revision: kind words, the group, axis words
// with their three-part values.
//
// Bounds: a part of an x/y/z/u/v/w value longer than kMovePartMax characters
// makes the record unreadable (kind none, so the handler drops it): a number
// cut short could read as another number. Names and values longer than
// kMoveTokenMax are refused by the tokenizer with the same effect.
#include <cstring>

#include "common/common.h"
#include "common/limits.h"
#include "pof/pof.h"

namespace pofreader {

namespace {

// A run of characters, not terminated.
struct TextView {
    const char* text;
    std::size_t length;
    bool is(char c) const { return length == 1 && text[0] == c; }
};

// The kind a two-character "o" word sets, or `kind` unchanged.
int32_t kindOfWord(TextView word, int32_t kind) {
    if (word.length != 2 || word.text[0] != 'o') return kind;
    switch (word.text[1]) {
        case 'A': return kKindArcOpen;
        case 'L': return kKindFeed;
        case 'M': return kKindRapid;
        default: return kind;
    }
}

// An axis value "first/second/third" read in one pass: parts after the third
// are dropped, the first is never converted, and the number of the second and
// third part is read while the part's end is sought (no number runs past a
// '/'). Nothing is committed until every part's bound was checked.
struct AxisValue {
    bool hasTarget;  // a non-empty second part
    bool hasThird;   // a non-empty third part
    double target;
    double third;
};

bool readAxisValue(TextView value, AxisValue& out) {
    out = AxisValue{};
    const char* at = value.text;
    const char* const end = value.text + value.length;
    for (int part = 0; part < 3; ++part) {
        const char* const start = at;
        const char* seek = start;
        double number = 0.0;
        bool converted = false;
        if (part > 0) converted = parseShortDecimal(start, end, number, seek);
        while (seek < end && *seek != '/') ++seek;
        const std::size_t length = static_cast<std::size_t>(seek - start);
        if (length > kMovePartMax) return false;
        if (part > 0 && length > 0) {
            if (!converted) number = parseNumber(start, length);
            (part == 1 ? out.hasTarget : out.hasThird) = true;
            (part == 1 ? out.target : out.third) = number;
        }
        if (seek == end) return true;
        at = seek + 1;
    }
    return true;
}

// Result of one axis word: false when the record cannot be read.
bool takeAxisWord(char axis, TextView text, MoveWords& words) {
    AxisValue value;
    if (!readAxisValue(text, value)) return false;
    switch (axis) {
        case 'x':
        case 'y':
        case 'z': {
            int32_t* given = axis == 'x' ? &words.xGiven : axis == 'y' ? &words.yGiven : &words.zGiven;
            double* targetField =
                axis == 'x' ? &words.targetX : axis == 'y' ? &words.targetY : &words.targetZ;
            double* thirdField =
                axis == 'x' ? &words.thirdX : axis == 'y' ? &words.thirdY : &words.thirdZ;
            if (value.hasTarget) {
                *targetField = value.target;
                *thirdField = value.target;
                *given = 1;
            }
            if (value.hasThird) *thirdField = value.third;
            return true;
        }
        default: {
            int32_t* given = axis == 'u' ? &words.uGiven : axis == 'v' ? &words.vGiven : &words.wGiven;
            double* component = axis == 'u' ? &words.u : axis == 'v' ? &words.v : &words.w;
            if (value.hasTarget) {
                *component = value.target;
                *given = 1;
            }
            return true;
        }
    }
}

bool isAxisName(TextView name) {
    if (name.length != 1) return false;
    switch (name.text[0]) {
        case 'x': case 'y': case 'z': case 'u': case 'v': case 'w': return true;
        default: return false;
    }
}

constexpr std::size_t kNoBracket = static_cast<std::size_t>(-1);

// The name of a token, every ']' dropped: a view into the payload in the
// common case, a copy in `scratch` when a ']' stands in it.
TextView tokenName(const MoveTokenView& token, char* scratch) {
    const std::size_t end = token.bracketAt == kNoBracket ? token.length : token.bracketAt;
    std::size_t at = 0;
    while (at < end && token.text[at] != ']') ++at;
    if (at == end) return {token.text, end};
    std::size_t length = 0;
    for (std::size_t i = 0; i < end; ++i)
        if (token.text[i] != ']') scratch[length++] = token.text[i];
    return {scratch, length};
}

// The bracket value of a token: after its first '[', without the ']' that
// ended it. No other ']' can stand in it, since the first one ends the token.
TextView tokenValue(const MoveTokenView& token) {
    const std::size_t start = token.bracketAt + 1;
    std::size_t end = token.length;
    if (!token.closeBracket && end > start && token.text[end - 1] == ']') --end;
    return {token.text + start, end - start};
}

// The walk over the tokens, one at a time as the tokenizer finds them.
struct MoveWalk {
    MoveWords& words;
    bool inGroup;
    bool readable;  // false once a value part was too long
};

bool takeToken(void* context, const MoveTokenView& token) {
    MoveWalk& walk = *static_cast<MoveWalk*>(context);
    // A token that cannot be stored voids the whole payload, even after a
    // part that was too long: go on checking to the end.
    if (!moveTokenFits(token)) return false;
    if (!walk.readable) return true;

    MoveWords& words = walk.words;
    char scratch[kMoveTokenMax + 1];
    const TextView name = tokenName(token, scratch);
    if (token.bracketAt == kNoBracket) {
        if (name.is('(')) walk.inGroup = true;
        else if (name.is(')')) walk.inGroup = false;
        else words.kind = kindOfWord(name, words.kind);
    } else if (!walk.inGroup) {
        words.kind = kindOfWord(name, words.kind);
    } else if (name.is('o')) {
        if (words.kind == kKindArcOpen) {
            const TextView value = tokenValue(token);
            if (value.is('-')) words.kind = kKindArcMinus;
            else if (value.is('+')) words.kind = kKindArcPlus;
        }
    } else if (isAxisName(name)) {
        walk.readable = takeAxisWord(name.text[0], tokenValue(token), words);
    }
    // Every other name, "multax" included, has no effect.
    return true;
}

}  // namespace

int32_t parseMoveTokens(const char* payload, MoveWords& words) {
    // ---- Initialise: the values were preset by the caller.
    words.kind = kKindNone;
    words.xGiven = words.yGiven = words.zGiven = 0;
    words.uGiven = words.vGiven = words.wGiven = 0;
    const MoveWords preset = words;

    // ---- Walk the tokens as they are found; a payload with a token that
    // cannot be stored counts as having none, so the preset comes back.
    MoveWalk walk{words, false, true};
    if (!scanMoveTokens(payload, takeToken, &walk)) {
        words = preset;
        return words.kind;
    }
    if (!walk.readable) words.kind = kKindNone;
    return words.kind;
}

int32_t parseMove(const char* payload, MoveWords& words) {
    if constexpr (kEarlierRevision) return parseMoveEarlier(payload, words);
    return parseMoveTokens(payload, words);
}

}  // namespace pofreader

// The move parser of the current revision: kind words, the group, axis words
// with their three-part values.
//
// Bounds: only a part that is converted to a number is bounded. The second or
// third part of an x/y/z value, or the second of a u/v/w value, longer than
// kMovePartMax characters makes the record unreadable (kind none, so the
// handler drops it): a number cut short could read as another number. Text
// that has no effect (a first part, a u/v/w third part, an ignored word's name
// or value, a kind word's bracket value) is passed over at any length.
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

// An axis value "first/second/third" read in one pass up to its last
// converted part (`lastPart`: 2 for x/y/z, 1 for u/v/w): the first part is
// never converted, only its end is sought, and later parts are not looked at.
// The number of a part is read while the part's end is sought (no number runs
// past a '/'). Nothing is committed until every converted part's bound was
// checked.
struct AxisValue {
    bool hasTarget;  // a non-empty second part
    bool hasThird;   // a non-empty third part
    double target;
    double third;
};

bool readAxisValue(TextView value, int lastPart, AxisValue& out) {
    out = AxisValue{};
    const char* const end = value.text + value.length;
    const char* slash = static_cast<const char*>(std::memchr(value.text, '/', value.length));
    for (int part = 1; part <= lastPart && slash != nullptr; ++part) {
        const char* const start = slash + 1;
        const char* seek = start;
        double number = 0.0;
        const bool converted = parseShortDecimal(start, end, number, seek);
        while (seek < end && *seek != '/') ++seek;
        const std::size_t length = static_cast<std::size_t>(seek - start);
        if (length > kMovePartMax) return false;
        if (length > 0) {
            if (!converted) number = parseNumber(start, length);
            (part == 1 ? out.hasTarget : out.hasThird) = true;
            (part == 1 ? out.target : out.third) = number;
        }
        slash = seek < end ? seek : nullptr;
    }
    return true;
}

// Result of one axis word: false when the record cannot be read.
bool takeAxisWord(char axis, TextView text, MoveWords& words) {
    const bool position = axis == 'x' || axis == 'y' || axis == 'z';
    AxisValue value;
    if (!readAxisValue(text, position ? 2 : 1, value)) return false;
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
// common case, a copy in `scratch` when a ']' stands in it. A copy is cut at
// kMoveTokenMax characters; no name that long has an effect, cut or not.
TextView tokenName(const MoveTokenView& token, char* scratch) {
    const std::size_t end = token.bracketAt == kNoBracket ? token.length : token.bracketAt;
    const char* const bracket = static_cast<const char*>(std::memchr(token.text, ']', end));
    if (bracket == nullptr) return {token.text, end};
    std::size_t length = 0;
    for (std::size_t i = 0; i < end && length < kMoveTokenMax; ++i)
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
};

// False when the token makes the record unreadable, which ends the walk.
bool takeToken(void* context, const MoveTokenView& token) {
    MoveWalk& walk = *static_cast<MoveWalk*>(context);
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
        return takeAxisWord(name.text[0], tokenValue(token), words);
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

    // ---- Walk the tokens as they are found; an unreadable record gives
    // back the preset, kind none.
    MoveWalk walk{words, false};
    if (!scanMoveTokens(payload, takeToken, &walk)) words = preset;
    return words.kind;
}

int32_t parseMove(const char* payload, MoveWords& words) {
    if constexpr (kEarlierRevision) return parseMoveEarlier(payload, words);
    return parseMoveTokens(payload, words);
}

}  // namespace pofreader

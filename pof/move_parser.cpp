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

// The kind a two-character "o" word sets, or `kind` unchanged.
int32_t kindOfWord(const char* word, int32_t kind) {
    if (word[0] != 'o' || word[1] == '\0' || word[2] != '\0') return kind;
    switch (word[1]) {
        case 'A': return kKindArcOpen;
        case 'L': return kKindFeed;
        case 'M': return kKindRapid;
        default: return kind;
    }
}

// The parts of "first/second/third": pointers into the value and lengths;
// parts after the third are dropped.
struct ValueParts {
    const char* part[3];
    std::size_t length[3];
    int count;
};

bool splitParts(const char* value, ValueParts& parts) {
    parts = ValueParts{};
    const char* start = value;
    for (;;) {
        const char* slash = std::strchr(start, '/');
        const std::size_t length =
            slash != nullptr ? static_cast<std::size_t>(slash - start) : std::strlen(start);
        if (length > kMovePartMax) return false;
        parts.part[parts.count] = start;
        parts.length[parts.count] = length;
        ++parts.count;
        if (slash == nullptr || parts.count == 3) return true;
        start = slash + 1;
    }
}

// Result of one axis word: false when the record cannot be read.
bool takeAxisWord(char axis, const char* value, MoveWords& words) {
    ValueParts parts;
    if (!splitParts(value, parts)) return false;
    const bool hasTarget = parts.count >= 2 && parts.length[1] > 0;
    const bool hasThird = parts.count >= 3 && parts.length[2] > 0;
    const double target = hasTarget ? parseNumber(parts.part[1], parts.length[1]) : 0.0;
    switch (axis) {
        case 'x':
        case 'y':
        case 'z': {
            int32_t* given = axis == 'x' ? &words.xGiven : axis == 'y' ? &words.yGiven : &words.zGiven;
            double* targetField =
                axis == 'x' ? &words.targetX : axis == 'y' ? &words.targetY : &words.targetZ;
            double* thirdField =
                axis == 'x' ? &words.thirdX : axis == 'y' ? &words.thirdY : &words.thirdZ;
            if (hasTarget) {
                *targetField = target;
                *thirdField = target;
                *given = 1;
            }
            if (hasThird) *thirdField = parseNumber(parts.part[2], parts.length[2]);
            return true;
        }
        default: {
            int32_t* given = axis == 'u' ? &words.uGiven : axis == 'v' ? &words.vGiven : &words.wGiven;
            double* component = axis == 'u' ? &words.u : axis == 'v' ? &words.v : &words.w;
            if (hasTarget) {
                *component = target;
                *given = 1;
            }
            return true;
        }
    }
}

bool isAxisName(const char* name) {
    return name[0] != '\0' && name[1] == '\0' && std::strchr("xyzuvw", name[0]) != nullptr;
}

}  // namespace

int32_t parseMoveTokens(const char* payload, MoveWords& words) {
    // ---- Initialise: the values were preset by the caller.
    words.kind = kKindNone;
    words.xGiven = words.yGiven = words.zGiven = 0;
    words.uGiven = words.vGiven = words.wGiven = 0;

    TokenList tokens;
    initTokenList(tokens);
    const std::size_t count = tokenizeMove(payload, tokens);

    // ---- Walk the tokens.
    bool inGroup = false;
    bool readable = true;
    SplitToken split;
    for (std::size_t i = 0; i < count && readable; ++i) {
        splitToken(tokens.entries[i].text(), split);
        if (!split.bracketed) {
            if (std::strcmp(split.name, "(") == 0) inGroup = true;
            else if (std::strcmp(split.name, ")") == 0) inGroup = false;
            else words.kind = kindOfWord(split.name, words.kind);
        } else if (!inGroup) {
            words.kind = kindOfWord(split.name, words.kind);
        } else if (std::strcmp(split.name, "o") == 0) {
            if (words.kind == kKindArcOpen) {
                if (std::strcmp(split.value, "-") == 0) words.kind = kKindArcMinus;
                else if (std::strcmp(split.value, "+") == 0) words.kind = kKindArcPlus;
            }
        } else if (isAxisName(split.name)) {
            readable = takeAxisWord(split.name[0], split.value, words);
        }
        // Every other name, "multax" included, has no effect.
    }
    releaseTokenList(tokens);
    if (!readable) words.kind = kKindNone;
    return words.kind;
}

int32_t parseMove(const char* payload, MoveWords& words) {
    if constexpr (kEarlierRevision) return parseMoveEarlier(payload, words);
    return parseMoveTokens(payload, words);
}

}  // namespace pofreader

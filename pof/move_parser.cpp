// The move parser of the current revision: kind words, the group, axis words
// with their three-part values, read in one pass over the payload.
//
// Tokens. Blanks and tabs separate tokens; "(" and ")" are tokens of their
// own. A word ends at a blank, a tab, "(" or the end ("]" and ")" stand in
// it); "[" opens its bracket value, in which blanks are kept. "]" ends the
// value and the token; a parenthesis or the end ends the value as if "]" stood
// before it. A name drops every "]".
//
// Meaning. "(" opens the group and ")" closes it. A word without a bracket
// value, and any word outside the group, can set the kind (oA, oL, oM). In the
// group, "o" with the value "-" or "+" turns an open arc into a direction, and
// x, y, z, u, v, w take the parts of their value "first/second/third".
//
// Bounds: only a part that is converted to a number is bounded. The second or
// third part of an x/y/z value, or the second of a u/v/w value, longer than
// kMovePartMax characters makes the record unreadable (kind none, so the
// handler drops it): a number cut short could read as another number. Text
// that has no effect (a first part, a u/v/w third part, an ignored word's name
// or value, a kind word's bracket value) is passed over at any length.
//
// One pass: every character is looked at once, a number's digits while its
// part's end is sought; nothing is copied but a name that holds a "]".
#include <array>
#include <cstring>

#include "common/char_classes.h"
#include "common/common.h"
#include "common/diagnostics.h"
#include "common/limits.h"
#include "pof/pof.h"

namespace pofreader {

namespace {

// The characters that end each run of the grammar.
constexpr StopTable kWordStops = stopTable(" \t([");
constexpr StopTable kValueStops = stopTable("]()");
constexpr StopTable kPartStops = stopTable("/]()");


bool isAxisLetter(char c) {
    switch (c) {
        case 'x': case 'y': case 'z': case 'u': case 'v': case 'w': return true;
        default: return false;
    }
}

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

// The name [start, end) with every ']' dropped: the payload itself in the
// common case, a copy in `scratch` (cut at kMoveTokenMax, since no name that
// long has an effect) when a ']' stands in it.
TextView nameOf(const char* start, const char* end, char* scratch) {
    const char* at = start;
    while (at < end && *at != ']') ++at;  // names are short: no call for it
    if (at == end) return {start, static_cast<std::size_t>(end - start)};
    std::size_t kept = 0;
    for (at = start; at < end && kept < kMoveTokenMax; ++at)
        if (*at != ']') scratch[kept++] = *at;
    return {scratch, kept};
}

// The part that made the last record unreadable, kept for its diagnostic.
struct RefusedPart {
    const char* start;
    std::size_t length;
};
RefusedPart refusedPart{nullptr, 0};

[[gnu::cold]] const char* refusePart(const char* part, std::size_t length) {
    refusedPart = RefusedPart{part, length};
    return nullptr;
}

// Reports the refused part with the letter of its word, the character before
// the '[' that opened its value; the handler then has nothing more to say.
[[gnu::cold]] void notePartTooLong(const char* payload) {
    if (diagnosticSink == nullptr || refusedPart.start == nullptr) return;
    const char* open = refusedPart.start;
    while (open > payload && *open != '[') --open;
    const char axis = open > payload ? open[-1] : '?';
    diagnose(kDiagMovePartTooLong, -1, refusedPart.start - payload,
             static_cast<long>(refusedPart.length), &axis, 1);
    markRecordExplained();
}

// One converted part, from `at` just after its '/': the number is read while
// the part's end is sought, so no number runs past a '/' (no character that
// ends a part can continue a number). Returns the part's
// end (a '/' or the value's end), or null when the part is over its bound.
const char* readPart(const char* at, const char* payloadEnd, bool& given, double& number) {
    const char* end = at;
    double value = 0.0;
    const bool converted = parseShortDecimal(at, payloadEnd, value, end);
    end = skipTo(kPartStops, end);
    const std::size_t length = static_cast<std::size_t>(end - at);
    if (length > kMovePartMax) return refusePart(at, length);
    if (length > 0) {
        given = true;
        number = converted ? value : parseNumber(at, length);
    }
    return end;
}

// The value of an axis word, from `at` just after its '[': the first part is
// passed over, the converted parts read, the rest passed over. Nothing is
// committed before every converted part was read. Returns where the next
// token may start, or null when the record is unreadable.
const char* readAxisWord(char axis, const char* at, const char* payloadEnd, MoveWords& words) {
    const bool position = axis == 'x' || axis == 'y' || axis == 'z';
    bool hasTarget = false, hasThird = false;
    double target = 0.0, third = 0.0;
    at = skipTo(kPartStops, at);
    if (*at == '/') {
        at = readPart(at + 1, payloadEnd, hasTarget, target);
        if (at == nullptr) return nullptr;
        if (position && *at == '/') {
            at = readPart(at + 1, payloadEnd, hasThird, third);
            if (at == nullptr) return nullptr;
        }
    }
    at = skipTo(kValueStops, at);

    switch (axis) {
        case 'x':
            if (hasTarget) words.targetX = words.thirdX = target, words.xGiven = 1;
            if (hasThird) words.thirdX = third;
            break;
        case 'y':
            if (hasTarget) words.targetY = words.thirdY = target, words.yGiven = 1;
            if (hasThird) words.thirdY = third;
            break;
        case 'z':
            if (hasTarget) words.targetZ = words.thirdZ = target, words.zGiven = 1;
            if (hasThird) words.thirdZ = third;
            break;
        case 'u':
            if (hasTarget) words.u = target, words.uGiven = 1;
            break;
        case 'v':
            if (hasTarget) words.v = target, words.vGiven = 1;
            break;
        default:
            if (hasTarget) words.w = target, words.wGiven = 1;
            break;
    }
    return *at == ']' ? at + 1 : at;
}

// The parse; bytes up to `payloadEnd`, which lies at or behind the payload's
// terminator, may be read.
int32_t parseCurrent(const char* payload, const char* payloadEnd, MoveWords& words) {
    // ---- Initialise: the values were preset by the caller.
    words.kind = kKindNone;
    words.xGiven = words.yGiven = words.zGiven = 0;
    words.uGiven = words.vGiven = words.wGiven = 0;
    const MoveWords preset = words;

    // ---- One token at a time; an unreadable record gives back the preset,
    // kind none.
    bool inGroup = false;
    const char* at = payload;
    for (;;) {
        while (isBlank(*at)) ++at;
        const char c = *at;
        if (c == '\0') break;
        if (c == '(' || c == ')') {
            inGroup = c == '(';
            ++at;
            continue;
        }
        // The common word first: an axis letter and its value, in the group.
        if (inGroup && at[1] == '[' && isAxisLetter(c)) {
            at = readAxisWord(c, at + 2, payloadEnd, words);
            if (at == nullptr) break;
            continue;
        }

        const char* const start = at;
        at = skipTo(kWordStops, at);
        char scratch[kMoveTokenMax];
        const TextView name = nameOf(start, at, scratch);
        if (*at != '[') {
            // A word that is a parenthesis once its "]" are dropped acts as one.
            if (name.is(')')) inGroup = false;
            else words.kind = kindOfWord(name, words.kind);
            continue;
        }
        if (inGroup && name.length == 1 && isAxisLetter(name.text[0])) {
            at = readAxisWord(name.text[0], at + 1, payloadEnd, words);
            if (at == nullptr) break;
            continue;
        }
        const char* const valueStart = at + 1;
        const char* const valueEnd = skipTo(kValueStops, valueStart);
        at = *valueEnd == ']' ? valueEnd + 1 : valueEnd;
        if (!inGroup) {
            words.kind = kindOfWord(name, words.kind);
        } else if (name.is('o') && words.kind == kKindArcOpen) {
            const TextView value{valueStart, static_cast<std::size_t>(valueEnd - valueStart)};
            if (value.is('-')) words.kind = kKindArcMinus;
            else if (value.is('+')) words.kind = kKindArcPlus;
        }
        // Every other name, "multax" included, has no effect.
    }
    if (at == nullptr) {
        words = preset;
        notePartTooLong(payload);
    }
    return words.kind;
}

}  // namespace

int32_t parseMoveCurrent(const char* payload, std::size_t length, MoveWords& words) {
    return parseCurrent(payload, payload + (length > 0 ? length : std::strlen(payload)), words);
}

int32_t parseMove(const char* payload, std::size_t length, MoveWords& words) {
    if constexpr (kEarlierRevision) return parseMoveEarlier(payload, length, words);
    return parseMoveCurrent(payload, length, words);
}

}  // namespace pofreader

// The move grammar of revision 7.00, read in one pass over the payload.
//
// Blanks and tabs are dropped wherever they stand, inside words and numbers
// too ("x[/1 2]" reads 12). The kind word stands before the first "[" or "(";
// after "[" everything up to "(" is passed over. In the group each word ends
// at "[" and must be one of the letters o u v w x y z or "multax"; a bracket
// value runs to "]". The first ")" ends the parse, inside a bracket value too,
// and nothing behind it is read.
//
// An axis is given as soon as its bracket value ends, whatever it holds; the
// second part sets the target even when it is empty, and then reads as 0.
//
// Bounds as in the current grammar: only a part that is converted is bounded.
// A second part, or a third part that is the value's last, longer than
// kMovePartMax characters makes the record unreadable (kind none) instead of
// reading a cut number. The first part, the parts after the third, the value
// of "multax" and of "o" (only its first character counts) are passed over at
// any length. Words taken before an unreadable value stay written.
//
// One pass: runs of characters are passed over a table look-up each, and a
// number is read while its part's end is sought; only a part with blanks in
// it is copied, without them.
//
// A refusal notes its reason and place on the way out; the parse's end turns
// it into a diagnostic when a checker listens.
#include <array>
#include <cstring>

#include "common/char_classes.h"
#include "common/diagnostics.h"
#include "common/limits.h"
#include "pof/pof.h"

namespace pofreader {

namespace {

// The grammar's states; the parse moves through them a run at a time.
enum EarlierState : int {
    kKindWord = 0,
    kKindBracket = 1,
    kGroupWord = 2,
    kBracketValue = 3,
    kDone = 4,    // the parse ended; the words stand
    kReject = 5,  // the whole record is refused
};

// The characters that end each run of the grammar.
constexpr StopTable kGroupStops = stopTable("(");
constexpr StopTable kValueStops = stopTable("])");
constexpr StopTable kPartStops = stopTable("/])");
// A blank in a number sends it to the copy without blanks.
constexpr StopTable kNumberStops = stopTable("/]) \t");
// Behind a six-letter word that is not "multax": the next "[" refuses.
constexpr StopTable kSpoiledStops = stopTable("[)");

const char* skipBlanks(const char* at) {
    while (isBlank(*at)) ++at;
    return at;
}

// Why the last record was refused, and where: the offending character, or
// the start of the offending word or value.
struct Refusal {
    DiagnosticCode code;
    const char* at;
};
Refusal refusal{kDiagMoveKindWord, nullptr};

[[gnu::cold]] EarlierState refuse(DiagnosticCode code, const char* at) {
    refusal = Refusal{code, at};
    return kReject;
}

// The characters of [start, end) without blanks, at most `size` - 1 of them.
std::size_t withoutBlanks(const char* start, const char* end, char* out, std::size_t size) {
    std::size_t length = 0;
    for (; start < end; ++start)
        if (!isBlank(*start) && length + 1 < size) out[length++] = *start;
    out[length] = '\0';
    return length;
}

// The converted part of a value over its bound: the second part, or the third
// when it is the value's last. Returns its start, with its length in `length`.
const char* longPartOf(const char* value, std::size_t& length);

[[gnu::cold]] void noteRefusal(const char* payload) {
    if (diagnosticSink == nullptr) return;  // a rejecting state always set the refusal
    char word[32];
    const char* at = refusal.at;
    std::size_t length = 0;
    switch (refusal.code) {
        case kDiagMoveKindWord: {
            const char* end = payload;
            while (*end != '\0' && *end != '[' && *end != '(') ++end;
            length = withoutBlanks(payload, end, word, sizeof word);
            if (length == 0) {
                diagnose(kDiagMoveNoKind);
                return markRecordExplained();
            }
            break;
        }
        case kDiagMoveGroupWord: {
            // A word of the group is refused only at the '[' that follows it.
            const char* end = at;
            while (*end != '[') ++end;
            length = withoutBlanks(at, end, word, sizeof word);
            break;
        }
        default: {  // kDiagMovePartTooLong: `at` is the value's start
            // The value starts just past its '[', which follows the word's
            // letter inside the group, so both stand within the payload.
            word[0] = at[-2];
            length = 1;
            std::size_t partLength = 0;
            at = longPartOf(at, partLength);
            diagnose(kDiagMovePartTooLong, -1, at - payload, static_cast<long>(partLength), word, length);
            return markRecordExplained();
        }
    }
    diagnose(refusal.code, -1, at - payload, 0, word, length);
    markRecordExplained();
}

// A converted part: its number, unless it is over its bound.
struct Part {
    double number = 0.0;
    bool tooLong = false;
};

// The part from `at` just after its '/'; returns its end (a '/' or the
// value's end).
const char* readPart(const char* at, const char* payloadEnd, Part& part) {
    const char* end = at;
    double value = 0.0;
    const bool converted = parseShortDecimal(at, payloadEnd, value, end);
    end = skipTo(kNumberStops, end);
    if (!isBlank(*end)) {
        const std::size_t length = static_cast<std::size_t>(end - at);
        part.tooLong = length > kMovePartMax;
        if (!part.tooLong) part.number = converted ? value : parseNumber(at, length);
        return end;
    }
    // The bound counts the characters that are not blanks.
    char kept[kMovePartMax];
    std::size_t length = 0;
    for (; !stopsAt(kPartStops, *at); ++at) {
        if (isBlank(*at)) continue;
        if (length == kMovePartMax) {
            part.tooLong = true;
            return skipTo(kPartStops, at);
        }
        kept[length++] = *at;
    }
    part.number = parseNumber(kept, length);
    return at;
}

// The value of axis word `axis`, from `at` just after its "["; on return `at`
// is just after its "]". Nothing is written before the value is known good.
EarlierState readAxisValue(char axis, const char*& at, const char* payloadEnd,
                           MoveWords& words) {
    const bool position = axis >= 'x';
    int parts = 1;  // empty ones counting
    Part target, third;
    const char* end = skipTo(kPartStops, at);
    if (*end == '/') {
        parts = 2;
        end = readPart(end + 1, payloadEnd, target);
        if (*end == '/') {
            parts = 3;
            end = position ? readPart(end + 1, payloadEnd, third) : skipTo(kPartStops, end + 1);
            if (*end == '/') {
                parts = 4;
                end = skipTo(kValueStops, end + 1);
            }
        }
    }
    if (*end != ']') return kDone;  // ")" or the end: the value is not taken
    const char* const value = at;
    at = end + 1;

    const bool hasTarget = parts >= 2;
    const bool hasThird = position && parts == 3;  // only as the value's last part
    if ((hasTarget && target.tooLong) || (hasThird && third.tooLong))
        return refuse(kDiagMovePartTooLong, value);
    switch (axis) {
        case 'x': words.xGiven = 1; if (hasTarget) words.targetX = target.number; break;
        case 'y': words.yGiven = 1; if (hasTarget) words.targetY = target.number; break;
        case 'z': words.zGiven = 1; if (hasTarget) words.targetZ = target.number; break;
        case 'u': words.uGiven = 1; if (hasTarget) words.u = target.number; break;
        case 'v': words.vGiven = 1; if (hasTarget) words.v = target.number; break;
        default: words.wGiven = 1; if (hasTarget) words.w = target.number; break;
    }
    if (hasThird) {
        if (axis == 'x') words.thirdX = third.number;
        if (axis == 'y') words.thirdY = third.number;
        if (axis == 'z') words.thirdZ = third.number;
    }
    return kGroupWord;
}

// The kind word must be exactly oA, oL or oM; every other word refuses the
// record whatever follows, so the parse can stop at its first wrong letter.
EarlierState readKindWord(const char*& at, MoveWords& words) {
    at = skipBlanks(at);
    if (*at != 'o') return refuse(kDiagMoveKindWord, at);
    at = skipBlanks(at + 1);
    switch (*at) {
        case 'A': words.kind = kKindArcOpen; break;
        case 'L': words.kind = kKindFeed; break;
        case 'M': words.kind = kKindRapid; break;
        default: return refuse(kDiagMoveKindWord, at);
    }
    at = skipBlanks(at + 1);
    switch (*at++) {
        case '(': return kGroupWord;
        case '[': return kKindBracket;
        case '\0': return kDone;  // no "[" or "(": the whole payload is the kind word
        default: return refuse(kDiagMoveKindWord, at - 1);
    }
}

bool isWordLetter(char c) {
    switch (c) {
        case 'o': case 'u': case 'v': case 'w': case 'x': case 'y': case 'z': return true;
        default: return false;
    }
}

// A word of the group up to its "[": the letter of a one-letter word, 'm' for
// "multax", NUL when the parse ends.
EarlierState readGroupWord(const char*& at, char& word) {
    at = skipBlanks(at);
    // The common word first: one letter and its "[".
    if (isWordLetter(*at) && at[1] == '[') {
        word = *at;
        at += 2;
        return kBracketValue;
    }
    const char* const start = at;
    char letters[6];
    std::size_t length = 0;  // counted up to 7, past which nothing can match
    for (;; ++at) {
        const char c = *at;
        if (c == ')' || c == '\0') return kDone;
        if (c == '[') break;
        if (isBlank(c)) continue;
        if (length < sizeof letters) letters[length] = c;
        if (length <= sizeof letters) ++length;
    }
    ++at;
    if (length == 1 && isWordLetter(letters[0])) {
        word = letters[0];
        return kBracketValue;
    }
    if (length != 6) return refuse(kDiagMoveGroupWord, start);
    if (std::memcmp(letters, "multax", 6) == 0) {
        word = 'm';
        return kBracketValue;
    }
    // The "[" is passed over and the word goes on: its next "[" refuses it.
    at = skipTo(kSpoiledStops, at);
    return *at == '[' ? refuse(kDiagMoveGroupWord, start) : kDone;
}

const char* longPartOf(const char* value, std::size_t& length) {
    const char* part = value;
    const char* longest = value;
    std::size_t longestLength = 0;
    for (int index = 0; index < 3; ++index) {
        const char* end = part;
        std::size_t counted = 0;
        for (; !stopsAt(kPartStops, *end); ++end) counted += !isBlank(*end);
        if (index > 0 && counted > kMovePartMax && longestLength == 0) {
            longest = part;
            longestLength = counted;
        }
        if (*end != '/') break;
        part = end + 1;
    }
    length = longestLength;
    return longest;
}

int32_t parseEarlier(const char* payload, const char* payloadEnd, MoveWords& words) {
    words.kind = kKindNone;
    words.xGiven = words.yGiven = words.zGiven = 0;
    words.uGiven = words.vGiven = words.wGiven = 0;

    const char* at = payload;
    char word = '\0';
    EarlierState state = kKindWord;
    while (state != kDone && state != kReject) {
        switch (state) {
            case kKindWord:
                state = readKindWord(at, words);
                break;
            case kKindBracket:
                at = skipTo(kGroupStops, at);
                state = *at++ == '(' ? kGroupWord : kDone;
                break;
            case kGroupWord:
                state = readGroupWord(at, word);
                break;
            default:  // kBracketValue
                if (word != 'o' && word != 'm') {
                    state = readAxisValue(word, at, payloadEnd, words);
                    break;
                }
                at = skipBlanks(at);
                const char first = *at;  // of "o": "-" or anything else
                at = skipTo(kValueStops, at);
                if (*at++ != ']') {
                    state = kDone;
                    break;
                }
                if (word == 'o') words.kind = first == '-' ? kKindArcMinus : kKindArcPlus;
                state = kGroupWord;
                break;
        }
    }
    if (state == kReject) {
        words.kind = kKindNone;
        noteRefusal(payload);
    }
    return words.kind;
}

}  // namespace

int32_t parseMoveEarlier(const char* payload, std::size_t length, MoveWords& words) {
    return parseEarlier(payload, payload + (length > 0 ? length : std::strlen(payload)), words);
}

}  // namespace pofreader

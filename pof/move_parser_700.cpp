// The move grammar of revision 7.00: one pass over the payload's characters.
//
// Blanks and tabs are dropped wherever they stand (inside the bracket value of
// "multax" they are kept, which changes nothing since that value is not read).
// The kind word stands before the first "[" or "("; after "[" everything up to
// "(" is passed over. In the group each word ends at "[" and must be one of the
// letters o u v w x y z or "multax"; a bracket value runs to "]". The first ")"
// ends the parse, inside a bracket value too, and nothing behind it is read.
//
// An axis is given as soon as its bracket value ends, whatever it holds; the
// second part sets the target even when it is empty, and then reads as 0.
//
// Bounds as in the current grammar: only a part that is converted is bounded.
// A second part, or a third part that is the value's last, longer than
// kMovePartMax characters makes the record unreadable (kind none) instead of
// reading a cut number. The first part, the parts after the third, the value
// of "multax" and of "o" (only its first character counts) are passed over at
// any length.
#include <cstring>
#include <iterator>

#include "common/char_classes.h"
#include "common/limits.h"
#include "pof/pof.h"

namespace pofreader {

namespace {

// ORDER: the grammar's states, indices of kEarlierStates; then the two ends.
enum EarlierState : int {
    kKindWord = 0,
    kKindBracket = 1,
    kGroupWord = 2,
    kBracketValue = 3,
    kDone = 4,    // the parse ended; the words stand
    kReject = 5,  // the whole record is refused
};

constexpr std::size_t kWordKeep = 6;  // no valid word is longer

// The parts of a bracket value that can be converted, the second and third;
// the others are only counted.
constexpr int kKeptParts = 2;

struct EarlierParse {
    MoveWords& words;
    char word[kWordKeep + 1];  // first characters of the current word
    std::size_t wordLength;
    bool wordSpoiled;  // a six-letter word other than "multax" met its "["
    char valueFirst;   // first character of the bracket value, or NUL
    int partCount;     // parts of the value so far, empty ones counting
    char part[kKeptParts][kMovePartMax + 1];
    std::size_t partLength[kKeptParts];
    bool partTooLong[kKeptParts];
};

void appendWord(EarlierParse& p, char c) {
    if (p.wordLength < kWordKeep) p.word[p.wordLength] = c;
    if (p.wordLength <= kWordKeep) ++p.wordLength;
}

void startWord(EarlierParse& p) {
    p.wordLength = 0;
    p.wordSpoiled = false;
}

const char* currentWord(EarlierParse& p) {
    p.word[p.wordLength <= kWordKeep ? p.wordLength : kWordKeep] = '\0';
    return p.word;
}

void startValue(EarlierParse& p) {
    p.valueFirst = '\0';
    p.partCount = 1;
    for (int i = 0; i < kKeptParts; ++i) {
        p.partLength[i] = 0;
        p.partTooLong[i] = false;
    }
}

// One character of a bracket value: '/' starts the next part; the second and
// third part are kept up to their bound.
void appendValue(EarlierParse& p, char c) {
    if (p.valueFirst == '\0') p.valueFirst = c;
    if (c == '/') {
        ++p.partCount;
        return;
    }
    const int kept = p.partCount - 2;
    if (kept < 0 || kept >= kKeptParts) return;
    if (p.partLength[kept] < kMovePartMax) p.part[kept][p.partLength[kept]++] = c;
    else p.partTooLong[kept] = true;
}

// The number of a kept part (1 the second, 2 the third); false when the part
// is over its bound.
bool keptNumber(const EarlierParse& p, int part, double& number) {
    const int kept = part - 1;
    if (p.partTooLong[kept]) return false;
    number = parseNumber(p.part[kept], p.partLength[kept]);
    return true;
}

// Applies a finished bracket value to the word before it.
EarlierState takeValue(EarlierParse& p) {
    const char* word = currentWord(p);
    MoveWords& w = p.words;
    if (std::strcmp(word, "multax") == 0) return kGroupWord;
    if (std::strcmp(word, "o") == 0) {
        w.kind = p.valueFirst == '-' ? kKindArcMinus : kKindArcPlus;
        return kGroupWord;
    }
    const bool hasTarget = p.partCount >= 2;
    double target = 0.0;
    if (hasTarget && !keptNumber(p, 1, target)) return kReject;
    // A third part counts only as the value's last part.
    const bool position = word[0] >= 'x';
    double third = 0.0;
    if (position && p.partCount == 3 && !keptNumber(p, 2, third)) return kReject;
    switch (word[0]) {
        case 'x': w.xGiven = 1; if (hasTarget) w.targetX = target; break;
        case 'y': w.yGiven = 1; if (hasTarget) w.targetY = target; break;
        case 'z': w.zGiven = 1; if (hasTarget) w.targetZ = target; break;
        case 'u': w.uGiven = 1; if (hasTarget) w.u = target; break;
        case 'v': w.vGiven = 1; if (hasTarget) w.v = target; break;
        // 'w': the group word reader lets no other letter through.
        default: w.wGiven = 1; if (hasTarget) w.w = target; break;
    }
    if (position && p.partCount == 3) {
        if (word[0] == 'x') w.thirdX = third;
        if (word[0] == 'y') w.thirdY = third;
        if (word[0] == 'z') w.thirdZ = third;
    }
    return kGroupWord;
}

using EarlierStateFn = EarlierState (*)(EarlierParse& p, char c);

// The characters before the first "[" or "(" must be exactly oA, oL or oM.
EarlierState readKindWord(EarlierParse& p, char c) {
    if (c != '[' && c != '(') {
        appendWord(p, c);
        return kKindWord;
    }
    const char* word = currentWord(p);
    if (std::strcmp(word, "oA") == 0) p.words.kind = kKindArcOpen;
    else if (std::strcmp(word, "oL") == 0) p.words.kind = kKindFeed;
    else if (std::strcmp(word, "oM") == 0) p.words.kind = kKindRapid;
    else return kReject;
    startWord(p);
    return c == '(' ? kGroupWord : kKindBracket;
}

// The kind word's bracket value is passed over up to the group.
EarlierState passKindBracket(EarlierParse&, char c) {
    return c == '(' ? kGroupWord : kKindBracket;
}

// A word of the group, up to its "[".
EarlierState readGroupWord(EarlierParse& p, char c) {
    if (c == ')') return kDone;
    if (c != '[') {
        appendWord(p, c);
        return kGroupWord;
    }
    if (p.wordSpoiled) return kReject;
    const char* word = currentWord(p);
    if (p.wordLength == 1) {
        if (std::strchr("ouvwxyz", word[0]) == nullptr) return kReject;
    } else if (p.wordLength == 6) {
        if (std::strcmp(word, "multax") != 0) {
            p.wordSpoiled = true;  // the "[" is passed over; the word goes on
            return kGroupWord;
        }
    } else {
        return kReject;
    }
    startValue(p);
    return kBracketValue;
}

// A bracket value, up to "]".
EarlierState readBracketValue(EarlierParse& p, char c) {
    if (c == ')') return kDone;  // the value is not taken
    if (c == ']') {
        const EarlierState next = takeValue(p);
        startWord(p);
        return next;
    }
    appendValue(p, c);
    return kBracketValue;
}

constexpr EarlierStateFn kEarlierStates[] = {
    /* 0 kind word     */ readKindWord,
    /* 1 kind bracket  */ passKindBracket,
    /* 2 group word    */ readGroupWord,
    /* 3 bracket value */ readBracketValue,
};
static_assert(std::size(kEarlierStates) == 4);

}  // namespace

int32_t parseMoveEarlier(const char* payload, MoveWords& words) {
    words.kind = kKindNone;
    words.xGiven = words.yGiven = words.zGiven = 0;
    words.uGiven = words.vGiven = words.wGiven = 0;

    EarlierParse p{words, {}, 0, false, '\0', 0, {}, {}, {}};
    EarlierState state = kKindWord;
    for (const char* at = payload; *at != '\0'; ++at) {
        // Blanks are kept in the value of "multax" alone, which is not read.
        if (isBlank(*at)) continue;
        state = kEarlierStates[state](p, *at);
        if (state == kDone || state == kReject) break;
    }
    if (state == kKindWord) {
        // No "[" or "(": the whole payload is the kind word.
        state = readKindWord(p, '(');
    }
    if (state == kReject) words.kind = kKindNone;
    return words.kind;
}

}  // namespace pofreader

// The move grammar of revision 7.00: one pass over the payload's characters.
//
// Blanks and tabs are dropped wherever they stand (inside the bracket value of
// "multax" they are kept, which changes nothing since that value is unused).
// The kind word stands before the first "[" or "("; after "[" everything up to
// "(" is passed over. In the group each word ends at "[" and must be one of the
// letters o u v w x y z or "multax"; a bracket value runs to "]". The first ")"
// ends the parse, inside a bracket value too, and nothing behind it is read.
//
// An axis is given as soon as its bracket value ends, whatever it holds; the
// second part sets the target even when it is empty, and then reads as 0.
//
// Bounds as in the current grammar: a bracket value longer than kMoveTokenMax
// characters, or an x/y/z/u/v/w part longer than kMovePartMax, makes the record
// unreadable (kind none) instead of reading a cut number.
#include <cstring>
#include <iterator>

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

struct EarlierParse {
    MoveWords& words;
    char word[kWordKeep + 1];  // first characters of the current word
    std::size_t wordLength;
    bool wordSpoiled;  // a six-letter word other than "multax" met its "["
    char value[kMoveTokenMax + 1];
    std::size_t valueLength;
    bool valueTooLong;
    bool keepBlanks;  // inside the value of "multax"
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

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

// The parts of a value split at '/', empty parts counting; only the first
// three are looked at, and `count` says how many there are in all.
struct EarlierParts {
    const char* part[3];
    std::size_t length[3];
    int count;
};

bool splitEarlierParts(const char* value, EarlierParts& parts) {
    parts = EarlierParts{};
    const char* start = value;
    for (;;) {
        const char* slash = std::strchr(start, '/');
        const std::size_t length =
            slash != nullptr ? static_cast<std::size_t>(slash - start) : std::strlen(start);
        if (parts.count < 3) {
            if (length > kMovePartMax) return false;
            parts.part[parts.count] = start;
            parts.length[parts.count] = length;
        }
        ++parts.count;
        if (slash == nullptr) return true;
        start = slash + 1;
    }
}

// Applies a finished bracket value to the word before it.
EarlierState takeValue(EarlierParse& p) {
    if (p.valueTooLong) return kReject;
    p.value[p.valueLength] = '\0';
    const char* word = currentWord(p);
    MoveWords& w = p.words;
    if (std::strcmp(word, "multax") == 0) return kGroupWord;
    if (std::strcmp(word, "o") == 0) {
        w.kind = p.value[0] == '-' ? kKindArcMinus : kKindArcPlus;
        return kGroupWord;
    }
    EarlierParts parts;
    if (!splitEarlierParts(p.value, parts)) return kReject;
    const bool hasTarget = parts.count >= 2;
    const double target = hasTarget ? parseNumber(parts.part[1], parts.length[1]) : 0.0;
    switch (word[0]) {
        case 'x': w.xGiven = 1; if (hasTarget) w.targetX = target; break;
        case 'y': w.yGiven = 1; if (hasTarget) w.targetY = target; break;
        case 'z': w.zGiven = 1; if (hasTarget) w.targetZ = target; break;
        case 'u': w.uGiven = 1; if (hasTarget) w.u = target; break;
        case 'v': w.vGiven = 1; if (hasTarget) w.v = target; break;
        case 'w': w.wGiven = 1; if (hasTarget) w.w = target; break;
        default: return kReject;
    }
    // A third part counts only as the value's last part.
    if (parts.count == 3 && word[0] >= 'x') {
        const double third = parseNumber(parts.part[2], parts.length[2]);
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
    p.valueLength = 0;
    p.valueTooLong = false;
    p.keepBlanks = p.wordLength == 6;
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
    if (p.valueLength < kMoveTokenMax) p.value[p.valueLength++] = c;
    else p.valueTooLong = true;
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

    EarlierParse p{words, {}, 0, false, {}, 0, false, false};
    EarlierState state = kKindWord;
    for (const char* at = payload; *at != '\0'; ++at) {
        if (isBlank(*at) && !(state == kBracketValue && p.keepBlanks)) continue;
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

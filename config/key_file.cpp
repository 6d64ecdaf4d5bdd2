// Key-file lexer: one entry of the form name := value per call, quoted or
// bare, with ';' comments and '>' continuation lines.
//
// The lexer is a table of thirteen states. Each state looks at the current
// character (or reads the next one first) and names the next state; states 11
// and 12 finish the entry.
//
// Bounds: a name or a value holds at most kKeyFileTokenMax characters, so the
// 16-bit buffer counters never wrap. An entry whose name or value runs past
// that bound, or whose buffer cannot be enlarged, is read to its end as usual
// and then refused whole: a cut name or value would silently configure
// something other than what the file says.
#include <cstdint>
#include <cstring>
#include <iterator>

#include "common/char_classes.h"
#include "common/common.h"
#include "common/limits.h"
#include "config/config.h"

namespace pofreader {

namespace {

constexpr int kEnd = -1;       // end of the stream or character 26
constexpr int kFinished = -1;  // returned by a state when the entry is complete

// A growable text buffer with 16-bit counters.
struct Token {
    char* data;
    uint16_t size;
    uint16_t length;
};

static_assert(kKeyFileTokenMax + 1 <= UINT16_MAX, "token counters are 16 bits");
static_assert((kKeyFileTokenMax + 1) % kKeyFileGrowStep == 0,
              "the largest buffer is a whole number of growth steps");

// ---- Module-wide lexer state (one read at a time) --------------------------
std::FILE* input = nullptr;
int current = kEnd;
bool continuationMark = false;
bool entryRefused = false;
Token name{};
Token value{};

int readNext() {
    const int c = std::fgetc(input);
    current = isEndOfInput(c) ? kEnd : c;
    return current;
}

// Appends one character; keeps at least one zero byte behind the text.
void store(Token& token, int c) {
    if (entryRefused) return;
    if (token.length >= kKeyFileTokenMax) {
        entryRefused = true;
        return;
    }
    if (token.size - token.length < 2) {
        const std::size_t grown = token.size + kKeyFileGrowStep;
        char* data = static_cast<char*>(memResize(token.data, grown));
        if (data == nullptr) {
            entryRefused = true;
            return;
        }
        std::memset(data + token.size, 0, kKeyFileGrowStep);
        token.data = data;
        token.size = static_cast<uint16_t>(grown);
    }
    token.data[token.length++] = static_cast<char>(c);
}

void releaseToken(Token& token) {
    memRelease(token.data);
    token = Token{};
}

// Line end after a value: a continuation when '>' was seen, else accept.
int afterLineEnd() { return continuationMark ? 10 : 11; }

// ---- States ----------------------------------------------------------------
int beforeEntry() {
    for (;;) {
        const int c = readNext();
        if (isBlank(c) || isLineEnd(c)) continue;
        if (isEndOfInput(c)) return 12;
        if (c == '"') return 2;
        if (c == ';') return 9;
        return 1;
    }
}

int bareName() {
    const int c = current;
    if (isBlank(c)) return 3;
    if (c == ':') return 4;
    if (isLineEnd(c) || isEndOfInput(c)) return 12;
    store(name, c);
    readNext();
    return 1;
}

int quotedName() {
    for (;;) {
        const int c = readNext();
        if (c == '"') return 3;
        if (isLineEnd(c) || isEndOfInput(c)) return 12;
        store(name, c);
    }
}

int afterName() {
    int c = readNext();
    while (isBlank(c)) c = readNext();
    return c == ':' ? 4 : 12;
}

int afterColon() { return readNext() == '=' ? 5 : 12; }

int beforeValue() {
    int c = readNext();
    while (isBlank(c)) c = readNext();
    if (c == '"') return 7;
    if (isLineEnd(c) || isEndOfInput(c)) return 12;
    return 6;
}

int bareValue() {
    const int c = current;
    if (isBlank(c) || c == ';' || c == '>') return 8;
    if (isLineEnd(c) || isEndOfInput(c)) return 11;
    store(value, c);
    readNext();
    return 6;
}

int quotedValue() {
    for (;;) {
        int c = readNext();
        if (isLineEnd(c) || isEndOfInput(c)) return 11;
        if (c == '"') {
            c = readNext();
            if (isLineEnd(c) || isEndOfInput(c)) return afterLineEnd();
            return 8;
        }
        if (c == '\\') {
            c = readNext();
            if (isLineEnd(c) || isEndOfInput(c)) return afterLineEnd();
            switch (c) {
                case 'b': c = 8; break;
                case 'n': c = 10; break;
                case 'r': c = 13; break;
                case 't': c = 9; break;
                default: break;
            }
        }
        store(value, c);
    }
}

int afterValue() {
    for (;;) {
        const int c = readNext();
        if (isBlank(c)) continue;
        if (isLineEnd(c)) return afterLineEnd();
        if (c == ';') return 9;
        if (c == '>') {
            continuationMark = true;
            continue;
        }
        return 12;
    }
}

int comment() {
    for (;;) {
        const int c = readNext();
        if (isLineEnd(c)) return afterLineEnd();
        if (isEndOfInput(c)) return 11;
    }
}

int continuation() {
    continuationMark = false;
    for (;;) {
        const int c = readNext();
        if (isBlank(c) || isLineEnd(c)) continue;
        if (isEndOfInput(c)) return 11;
        if (c == '"') return 7;
        return 6;
    }
}

int accept() { return kFinished; }

int rejectRestOfLine() {
    int c = current;
    while (!isLineEnd(c) && !isEndOfInput(c)) c = readNext();
    return kFinished;
}

using StateFn = int (*)();
constexpr StateFn kStates[] = {
    /* 0 before an entry */ beforeEntry,
    /* 1 bare name */ bareName,
    /* 2 quoted name */ quotedName,
    /* 3 after the name */ afterName,
    /* 4 after ':' */ afterColon,
    /* 5 before the value */ beforeValue,
    /* 6 bare value */ bareValue,
    /* 7 quoted value */ quotedValue,
    /* 8 after the value */ afterValue,
    /* 9 comment */ comment,
    /* 10 continuation */ continuation,
    /* 11 accept */ accept,
    /* 12 reject the rest of the line */ rejectRestOfLine,
};
static_assert(std::size(kStates) == 13);

}  // namespace

// Reads the next entry. Returns 1 with the pair owning a non-empty name and a
// value (possibly empty); 0 when the pass found no usable entry. The pair's
// earlier strings are released first.
int keyFileNextPair(std::FILE* stream, ConfigPair* pair) {
    if (pair == nullptr) return 0;
    memRelease(pair->name);
    memRelease(pair->value);
    pair->name = nullptr;
    pair->value = nullptr;
    if (stream == nullptr) return 0;

    input = stream;
    current = kEnd;
    continuationMark = false;
    entryRefused = false;
    name = Token{};
    value = Token{};

    // The name states (1, 2) store into `name`, the value states into `value`.
    int state = 0;
    while (state != kFinished) state = kStates[state]();
    input = nullptr;

    if (!entryRefused && name.data != nullptr && name.data[0] != '\0') {
        char* text = value.data;
        if (text == nullptr) text = memDupString("");
        if (text != nullptr) {
            pair->name = name.data;
            pair->value = text;
            name = Token{};
            value = Token{};
            return 1;
        }
    }
    releaseToken(name);
    releaseToken(value);
    return 0;
}

}  // namespace pofreader

// Key-file lexer: one entry of the form name := value per call, quoted or
// bare, with ';' comments and '>' continuation lines.
//
// The lexer is a table of thirteen states. Each state looks at the current
// character (or reads the next one first) and names the next state; kAccept
// and kRejectLine finish the entry.
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
#include "common/diagnostics.h"
#include "common/limits.h"
#include "config/config.h"

namespace pofreader {

namespace {

constexpr int kEnd = -1;  // end of the stream or character 26

// ORDER: the lexer's states, indices of kStates; then the end of a pass.
enum State : int {
    kBeforeEntry = 0,
    kBareName = 1,
    kQuotedName = 2,
    kAfterName = 3,
    kAfterColon = 4,
    kBeforeValue = 5,
    kBareValue = 6,
    kQuotedValue = 7,
    kAfterValue = 8,
    kComment = 9,
    kContinuation = 10,
    kAccept = 11,
    kRejectLine = 12,
    kFinished = -1,  // the entry is complete
};

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
struct Lexer {
    std::FILE* input = nullptr;
    int current = kEnd;
    bool continuationMark = false;  // '>' seen after the value on this line
    bool entryRefused = false;
    bool lineRejected = false;  // kRejectLine was reached by a fault
    Token name{};   // filled by the name states
    Token value{};  // filled by the value states
};
Lexer lexer;

int readNext() {
    const int c = std::fgetc(lexer.input);
    lexer.current = isEndOfInput(c) ? kEnd : c;
    return lexer.current;
}

[[gnu::cold]] void refuseEntry(long bound) {
    lexer.entryRefused = true;
    if (diagnosticSink != nullptr) diagnose(kDiagKeyRefused, streamWhere(lexer.input), -1, bound);
}

// A fault that sends the rest of the line to kRejectLine, reported with the name
// read so far; what was read before it stays read.
[[gnu::cold]] State rejectLine(DiagnosticCode code) {
    lexer.lineRejected = true;
    if (diagnosticSink != nullptr) {
        const char* name = lexer.name.data != nullptr ? lexer.name.data : "";
        diagnose(code, streamWhere(lexer.input), -1, 0, name, lexer.name.length);
    }
    return kRejectLine;
}

// Appends one character; keeps at least one zero byte behind the text.
void store(Token& token, int c) {
    if (lexer.entryRefused) return;
    if (token.length >= kKeyFileTokenMax) return refuseEntry(static_cast<long>(kKeyFileTokenMax));
    if (token.size - token.length < 2) {
        const std::size_t grown = token.size + kKeyFileGrowStep;
        char* data = static_cast<char*>(memResize(token.data, grown));
        if (data == nullptr) return refuseEntry(0);
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
State afterLineEnd() { return lexer.continuationMark ? kContinuation : kAccept; }

// ---- States ----------------------------------------------------------------
State beforeEntry() {
    for (;;) {
        const int c = readNext();
        if (isBlank(c) || isLineEnd(c)) continue;
        if (isEndOfInput(c)) return kRejectLine;
        if (c == '"') return kQuotedName;
        if (c == ';') return kComment;
        return kBareName;
    }
}

State bareName() {
    const int c = lexer.current;
    if (isBlank(c)) return kAfterName;
    if (c == ':') return kAfterColon;
    if (isLineEnd(c) || isEndOfInput(c)) return rejectLine(kDiagKeyNoAssignment);
    store(lexer.name, c);
    readNext();
    return kBareName;
}

State quotedName() {
    for (;;) {
        const int c = readNext();
        if (c == '"') return kAfterName;
        if (isLineEnd(c) || isEndOfInput(c)) return rejectLine(kDiagKeyNoAssignment);
        store(lexer.name, c);
    }
}

State afterName() {
    int c = readNext();
    while (isBlank(c)) c = readNext();
    return c == ':' ? kAfterColon : rejectLine(kDiagKeyNoAssignment);
}

State afterColon() {
    return readNext() == '=' ? kBeforeValue : rejectLine(kDiagKeyColonWithoutEquals);
}

State beforeValue() {
    int c = readNext();
    while (isBlank(c)) c = readNext();
    if (c == '"') return kQuotedValue;
    if (isLineEnd(c) || isEndOfInput(c)) return rejectLine(kDiagKeyNoValue);
    return kBareValue;
}

State bareValue() {
    const int c = lexer.current;
    if (isBlank(c) || c == ';' || c == '>') return kAfterValue;
    if (isLineEnd(c) || isEndOfInput(c)) return kAccept;
    store(lexer.value, c);
    readNext();
    return kBareValue;
}

State quotedValue() {
    for (;;) {
        int c = readNext();
        if (isLineEnd(c) || isEndOfInput(c)) return kAccept;
        if (c == '"') {
            c = readNext();
            if (isLineEnd(c) || isEndOfInput(c)) return afterLineEnd();
            return kAfterValue;
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
        store(lexer.value, c);
    }
}

State afterValue() {
    for (;;) {
        const int c = readNext();
        if (isBlank(c)) continue;
        if (isLineEnd(c)) return afterLineEnd();
        if (c == ';') return kComment;
        if (c == '>') {
            lexer.continuationMark = true;
            continue;
        }
        // The end of the input is no fault: the entry is simply over.
        if (isEndOfInput(c)) return kRejectLine;
        return rejectLine(kDiagKeyAfterValue);
    }
}

State comment() {
    for (;;) {
        const int c = readNext();
        if (isLineEnd(c)) return afterLineEnd();
        if (isEndOfInput(c)) return kAccept;
    }
}

State continuation() {
    lexer.continuationMark = false;
    for (;;) {
        const int c = readNext();
        if (isBlank(c) || isLineEnd(c)) continue;
        if (isEndOfInput(c)) return kAccept;
        if (c == '"') return kQuotedValue;
        return kBareValue;
    }
}

State accept() { return kFinished; }

State rejectRestOfLine() {
    int c = lexer.current;
    while (!isLineEnd(c) && !isEndOfInput(c)) c = readNext();
    return kFinished;
}

using StateFn = State (*)();
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

    lexer = Lexer{};
    lexer.input = stream;

    State state = kBeforeEntry;
    while (state != kFinished) state = kStates[state]();
    lexer.input = nullptr;

    if (!lexer.entryRefused && lexer.name.data != nullptr && lexer.name.data[0] != '\0') {
        char* text = lexer.value.data;
        if (text == nullptr) {
            // An empty value is refused by the merge: the line adds nothing.
            if (diagnosticSink != nullptr && !lexer.lineRejected)
                diagnose(kDiagKeyEmptyValue, streamWhere(stream), -1, 0, lexer.name.data,
                         lexer.name.length);
            text = memDupString("");
        }
        if (text != nullptr) {
            pair->name = lexer.name.data;
            pair->value = text;
            lexer.name = Token{};
            lexer.value = Token{};
            return 1;
        }
    }
    releaseToken(lexer.name);
    releaseToken(lexer.value);
    return 0;
}

}  // namespace pofreader

// The qDX element reader: a table of 21 state handlers driven one run at a
// time, over a stream or over a text. Each handler consumes characters from
// the current character source and returns the next state; kEndOfRun ends
// the run. One run yields at most one element.
//
// All reader state is module-wide and file-local (one instance, no lock: the
// host calls the cycle on one thread and runs never overlap).

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "common/char_classes.h"
#include "common/common.h"
#include "common/limits.h"
#include "qdx/char_classes.h"
#include "qdx/method_report.h"
#include "qdx/qdx.h"

namespace pofreader {

namespace {

// ---------------------------------------------------------------------------
// States, in table order. The number is also the resume state of a comment.
enum State : int {
    kFinish = 0,
    kBetweenElements = 1,
    kComment = 2,
    kValueName = 3,
    kAfterValueName = 4,
    kValueText = 5,
    kObjectName = 6,
    kAfterObjectName = 7,
    kObjectBracket = 8,
    kAfterObjectBracket = 9,
    kAttributeList = 10,
    kAttributeName = 11,
    kAfterAttributeName = 12,
    kAttributeValue = 13,
    kMethodName = 14,
    kAfterMethodName = 15,
    kMethodBracket = 16,
    kAfterMethodBracket = 17,
    kMethodBody = 18,
    kLongMethodBody = 19,
    kComplete = 20,
    kEndOfRun = -1,  // the run is over, with or without an element
};

constexpr int kEndOfText = kEndOfInputMark;  // what the text reader yields at its end

using StateFn = State (*)(std::FILE* source);
using NextCharFn = int (*)(std::FILE* source);

int readFromStream(std::FILE* source) { return source == nullptr ? EOF : std::getc(source); }

struct TokenBuffer {
    char* text = nullptr;
    std::size_t length = 0;    // write position
    std::size_t room = 0;      // bytes left before the capacity
    std::size_t capacity = 0;  // bytes, not counting the 4 spare ones
};

struct Reader {
    // Slots that follow the handler table.
    std::int32_t bodyStart = -1;
    std::int32_t bodyEnd = -1;
    NextCharFn nextChar = readFromStream;

    // The working element.
    std::int16_t kind = 0;
    char* name = nullptr;
    char* text = nullptr;
    ExchangeAttribute* attributes = nullptr;
    ExchangeAttribute* lastAttribute = nullptr;  // the tail, so appending stays cheap
    char* pendingName = nullptr;
    char* pendingValue = nullptr;

    TokenBuffer token;
    int current = EOF;
    State resumeState = kBetweenElements;
    QdxError errorKind = kQdxErrorNone;
    bool errorFlag = false;
    QdxError lastError = kQdxErrorNone;
    bool inProgress = false;

    std::int32_t bodyOpenedAt = -1;  // position after `(`, kept until the body proves long
    std::FILE* bodySource = nullptr;
    ExchangeElement* output = nullptr;
    int result = 0;

    // The text source: where this run's text began and how far it was read.
    const char* textStart = nullptr;
    const char* textCursor = nullptr;
};

Reader reader;

// ---------------------------------------------------------------------------
// Character level

// Yields the byte at the cursor and steps past it; at the terminating NUL or
// at a byte 26 it yields 26 and stays, so a finished run leaves the cursor
// just past the last character it consumed.
int readFromText(std::FILE*) {
    const unsigned char c = static_cast<unsigned char>(*reader.textCursor);
    if (c == '\0' || c == kEndOfText) return kEndOfText;
    ++reader.textCursor;
    return c;
}

// The text source is called directly, where the compiler can take it in
// line: it is the source of every tool record.
int readChar(std::FILE* source) {
    reader.current = reader.nextChar == readFromText ? readFromText(source) : reader.nextChar(source);
    return reader.current;
}

// The position a body begins or ends at. A stream reports its file position.
// A text has none of its own, so it reports the offset from where this run's
// text began. A position that cannot be told or does not fit is -1. (A null
// stream reads as empty, so it never reaches a body.)
std::int32_t sourcePosition(std::FILE* source) {
    const long position = reader.textStart != nullptr
                              ? static_cast<long>(reader.textCursor - reader.textStart)
                              : std::ftell(source);
    if (position < 0 || position > INT32_MAX) return -1;
    return static_cast<std::int32_t>(position);
}

State fail(QdxError kind) {
    reader.errorKind = kind;
    reader.errorFlag = true;
    return kFinish;
}

// ---------------------------------------------------------------------------
// Token buffer: grows in small steps and is handed over without a copy.

void releaseToken() {
    memRelease(reader.token.text);
    reader.token = TokenBuffer{};
}

// A token holds at most kQdxTokenMax characters (a runaway name or value must
// not exhaust memory: the element then fails like an out-of-memory one). The
// capacity stops one above it, as storing needs room for two.
bool growToken(std::size_t step) {
    TokenBuffer& token = reader.token;
    const std::size_t capacity = std::min(token.capacity + step, kQdxTokenMax + 1);
    if (capacity == token.capacity) return false;
    char* text = static_cast<char*>(memResize(token.text, capacity + 4));
    if (text == nullptr) return false;
    const std::size_t zeros = capacity + 4 - token.length;
    if (zeros >= 16 && zeros <= 32) {
        // Every growth of a name or value clears 20 or 21 bytes: two
        // overlapping stores of constant size, made in line.
        std::memset(text + token.length, 0, 16);
        std::memset(text + token.length + zeros - 16, 0, 16);
    } else {
        std::memset(text + token.length, 0, zeros);
    }
    token.text = text;
    token.capacity = capacity;
    token.room = capacity - token.length;
    return true;
}

// Stores one character; false when the buffer cannot grow.
inline __attribute__((always_inline)) bool storeChar(int c, std::size_t step = kQdxGrowStep) {
    TokenBuffer& token = reader.token;
    if (token.room < 2 && !growToken(step)) return false;
    token.text[token.length++] = static_cast<char>(c);
    --token.room;
    return true;
}

// The text source's fast path: stores the run of `members` at the cursor in
// one go, exactly as reading and storing them one by one would (the same
// growth steps, the same place of failure), but with the buffer in registers.
// False when the token cannot grow; the cursor then stands just past the
// character that did not fit, as readChar would have left it.
bool storeRun(const CharClass& members) {
    if (reader.nextChar != readFromText) return true;
    const char* cursor = reader.textCursor;
    TokenBuffer& token = reader.token;
    for (;;) {
        char* text = token.text;
        std::size_t length = token.length;
        std::size_t room = token.room;
        while (room >= 2 && inClass(members, static_cast<unsigned char>(*cursor))) {
            text[length++] = *cursor++;
            --room;
        }
        token.length = length;
        token.room = room;
        if (!inClass(members, static_cast<unsigned char>(*cursor))) break;
        if (!growToken(kQdxGrowStep)) {
            reader.current = static_cast<unsigned char>(*cursor);
            reader.textCursor = cursor + 1;
            return false;
        }
    }
    reader.textCursor = cursor;
    return true;
}

bool tokenBegun() { return reader.token.length > 0; }

// Ends the token: its text (none when nothing was stored) passes to the
// caller and the buffer starts again from nothing.
char* takeToken() {
    char* text = reader.token.text;
    if (text != nullptr) text[reader.token.length] = '\0';
    reader.token = TokenBuffer{};
    return text;
}

// Tokens are short: counting in line costs less than a call.
std::size_t textLength(const char* text) {
    std::size_t length = 0;
    while (text[length] != '\0') ++length;
    return length;
}

// `length` is the text's length: the token's own where no escape could have
// stored a NUL in it.
std::size_t trimTrailing(char* text, std::size_t length, bool tabsToo) {
    while (length > 0 && (text[length - 1] == ' ' || (tabsToo && text[length - 1] == '\t'))) --length;
    text[length] = '\0';
    return length;
}

void trimSpaces(char* text, std::size_t length) {
    length = trimTrailing(text, length, false);
    std::size_t lead = 0;
    while (text[lead] == ' ') ++lead;
    if (lead > 0) std::memmove(text, text + lead, length - lead + 1);
}

// ---------------------------------------------------------------------------
// Working element

void releaseAttributes(ExchangeAttribute* attribute) {
    while (attribute != nullptr) {
        ExchangeAttribute* next = attribute->next;
        memRelease(attribute->name);
        memRelease(attribute->value);
        memRelease(attribute);
        attribute = next;
    }
}

// Appends a node taking over `name` and `value`; false when it cannot be
// allocated (the strings then stay with the caller).
bool appendAttribute(char* name, char* value) {
    auto* node = static_cast<ExchangeAttribute*>(memAllocZero(sizeof(ExchangeAttribute)));
    if (node == nullptr) return false;
    node->name = name;
    node->value = value;
    if (reader.lastAttribute == nullptr) {
        reader.attributes = node;
    } else {
        reader.lastAttribute->next = node;
    }
    reader.lastAttribute = node;
    return true;
}

void clearBody() {
    reader.bodySource = nullptr;
    reader.bodyStart = -1;
    reader.bodyEnd = -1;
    reader.bodyOpenedAt = -1;
}

// Drops whatever a run that did not complete left behind.
void releaseLeftovers() {
    reader.kind = 0;
    memRelease(reader.name);
    memRelease(reader.text);
    releaseAttributes(reader.attributes);
    memRelease(reader.pendingName);
    memRelease(reader.pendingValue);
    reader.name = nullptr;
    reader.text = nullptr;
    reader.attributes = nullptr;
    reader.lastAttribute = nullptr;
    reader.pendingName = nullptr;
    reader.pendingValue = nullptr;
    releaseToken();
    clearBody();
}

// ---------------------------------------------------------------------------
// The state table

State finishRun(std::FILE* source);
State betweenElements(std::FILE* source);
State comment(std::FILE* source);
State valueName(std::FILE* source);
State afterValueName(std::FILE* source);
State valueText(std::FILE* source);
State objectName(std::FILE* source);
State afterObjectName(std::FILE* source);
State objectBracket(std::FILE* source);
State afterObjectBracket(std::FILE* source);
State attributeList(std::FILE* source);
State attributeName(std::FILE* source);
State afterAttributeName(std::FILE* source);
State attributeValue(std::FILE* source);
State methodName(std::FILE* source);
State afterMethodName(std::FILE* source);
State methodBracket(std::FILE* source);
State afterMethodBracket(std::FILE* source);
State methodBody(std::FILE* source);
State longMethodBody(std::FILE* source);
State completeElement(std::FILE* source);

// ORDER State
constexpr StateFn kStates[] = {
    /*  0 finish */ finishRun,
    /*  1 between elements */ betweenElements,
    /*  2 comment */ comment,
    /*  3 v name */ valueName,
    /*  4 after a v name */ afterValueName,
    /*  5 v value */ valueText,
    /*  6 o name */ objectName,
    /*  7 after an o name */ afterObjectName,
    /*  8 o bracket text */ objectBracket,
    /*  9 after an o bracket text */ afterObjectBracket,
    /* 10 o attribute list */ attributeList,
    /* 11 attribute name */ attributeName,
    /* 12 after an attribute name */ afterAttributeName,
    /* 13 attribute value */ attributeValue,
    /* 14 m name */ methodName,
    /* 15 after an m name */ afterMethodName,
    /* 16 m bracket text */ methodBracket,
    /* 17 after an m bracket text */ afterMethodBracket,
    /* 18 m body */ methodBody,
    /* 19 long m body */ longMethodBody,
    /* 20 complete */ completeElement,
};
static_assert(std::size(kStates) == 21);
static_assert(std::size(kStates) == kComplete + 1);

// ---------------------------------------------------------------------------
// 0 finish: an error releases the partial element; either way the run ends.
State finishRun(std::FILE*) {
    if (reader.errorFlag) {
        reader.lastError = reader.errorKind;
        releaseLeftovers();
        reader.errorKind = kQdxErrorNone;
        reader.errorFlag = false;
    }
    return kEndOfRun;
}

// 2 comment: runs to the next line break, then reading resumes. The end of
// input ends the run quietly only between elements.
State comment(std::FILE* source) {
    for (;;) {
        const int c = readChar(source);
        if (isLineEnd(c)) return reader.resumeState;
        if (isEndOfInput(c)) {
            return reader.resumeState == kBetweenElements ? kFinish : fail(kQdxErrorUnfinished);
        }
    }
}

State startComment(State resume) {
    reader.resumeState = resume;
    return kComment;
}

// 20 complete: the working element passes to the output record as it is.
State completeElement(std::FILE*) {
    ExchangeElement* out = reader.output;
    out->kind = reader.kind;
    out->name = reader.name;
    out->text = reader.text;
    out->attributes = reader.attributes;
    out->bodySource = reader.bodySource;
    out->bodyStart = reader.bodyStart;
    out->bodyEnd = reader.bodyEnd;
    reader.kind = 0;
    reader.name = nullptr;
    reader.text = nullptr;
    reader.attributes = nullptr;
    reader.lastAttribute = nullptr;
    clearBody();
    reader.inProgress = false;
    reader.result = 1;
    return kEndOfRun;
}

// ---------------------------------------------------------------------------
// Separator states: they skip whitespace, allow comments and store nothing.

// 1 between elements: the kind letter or a block marker.
State betweenElements(std::FILE* source) {
    for (;;) {
        const int c = readChar(source);
        if (isWhitespace(c)) continue;
        if (isEndOfInput(c)) return kFinish;  // quiet: no element, no error
        switch (c) {
            case ';': return startComment(kBetweenElements);
            case 'v': reader.kind = 'v'; return kValueName;
            case 'o': reader.kind = 'o'; return kObjectName;
            case 'm': reader.kind = 'm'; return kMethodName;
            case '{':
            case '}': reader.kind = static_cast<std::int16_t>(c); return kComplete;
            default: return fail(kQdxErrorCharacter);
        }
    }
}

// The separator states 4, 7, 9, 12, 15 and 17 differ only in where `(` and
// `[` lead; kFinish marks a character that is not allowed.
State separator(std::FILE* source, State self, State onParen, State onBracket) {
    for (;;) {
        const int c = readChar(source);
        if (isWhitespace(c)) continue;
        if (isEndOfInput(c)) return fail(kQdxErrorUnfinished);
        if (c == ';') return startComment(self);
        if (c == '(' && onParen != kFinish) return onParen;
        if (c == '[' && onBracket != kFinish) return onBracket;
        return fail(kQdxErrorCharacter);
    }
}

State afterValueName(std::FILE* source) {
    return separator(source, kAfterValueName, kValueText, kFinish);
}
State afterObjectName(std::FILE* source) {
    return separator(source, kAfterObjectName, kAttributeList, kObjectBracket);
}
State afterObjectBracket(std::FILE* source) {
    return separator(source, kAfterObjectBracket, kAttributeList, kFinish);
}
State afterAttributeName(std::FILE* source) {
    return separator(source, kAfterAttributeName, kFinish, kAttributeValue);
}
State afterMethodName(std::FILE* source) {
    return separator(source, kAfterMethodName, kMethodBody, kMethodBracket);
}
State afterMethodBracket(std::FILE* source) {
    return separator(source, kAfterMethodBracket, kMethodBody, kFinish);
}

// 10 attribute list: `)` closes the element; any other character begins an
// attribute name, which state 11 checks.
State attributeList(std::FILE* source) {
    for (;;) {
        const int c = readChar(source);
        if (isWhitespace(c)) continue;
        if (isEndOfInput(c)) return fail(kQdxErrorUnfinished);
        if (c == ';') return startComment(kAttributeList);
        if (c == ')') return kComplete;
        if (c == '(' || c == '[' || c == ']') return fail(kQdxErrorCharacter);
        return kAttributeName;
    }
}

// ---------------------------------------------------------------------------
// Name states 3, 6 and 14.

struct NameExits {
    State afterBlank;    // ws or a comment ended the name
    State afterParen;
    State afterBracket;  // kFinish: `[` is not allowed
    bool fullStop;     // `v` names may hold `.`
    bool report;       // `m` names go to the method report
};

State readElementName(std::FILE* source, const NameExits& exits) {
    const CharClass& members = exits.fullStop ? kValueNameChars : kNameChars;
    for (;;) {
        if (!storeRun(members)) return fail(kQdxErrorMemory);
        const int c = readChar(source);
        if (inClass(members, c)) {
            if (!storeChar(c)) return fail(kQdxErrorMemory);
            continue;
        }
        if (isEndOfInput(c)) return fail(kQdxErrorUnfinished);
        if (!tokenBegun()) {
            if (isWhitespace(c)) continue;
            return fail(c == ';' ? kQdxErrorSemicolon : kQdxErrorCharacter);
        }
        const bool blank = isWhitespace(c) || c == ';';
        if (!blank && c != '(' && !(c == '[' && exits.afterBracket != kFinish)) {
            return fail(kQdxErrorCharacter);
        }
        memRelease(reader.name);
        reader.name = takeToken();
        if (blank && exits.report) reportMethodName(reader.name);
        if (c == ';') return startComment(exits.afterBlank);
        if (blank) return exits.afterBlank;
        return c == '(' ? exits.afterParen : exits.afterBracket;
    }
}

State valueName(std::FILE* source) {
    // The earlier revision has no full stop in `v` names.
    return readElementName(source, {kAfterValueName, kValueText, kFinish, !kEarlierRevision, false});
}
State objectName(std::FILE* source) {
    return readElementName(source, {kAfterObjectName, kAttributeList, kObjectBracket, false, false});
}
State methodName(std::FILE* source) {
    return readElementName(source, {kAfterMethodName, kMethodBody, kMethodBracket, false, true});
}

// 11 attribute name: the first character was read by state 10.
State attributeName(std::FILE* source) {
    for (int c = reader.current;;) {
        if (inClass(kNameChars, c)) {
            if (!storeChar(c) || !storeRun(kNameChars)) return fail(kQdxErrorMemory);
            c = readChar(source);
            continue;
        }
        if (isEndOfInput(c)) return fail(kQdxErrorUnfinished);
        if (c == ';') return fail(kQdxErrorSemicolon);
        if (!tokenBegun() || (!isWhitespace(c) && c != '[')) return fail(kQdxErrorCharacter);
        memRelease(reader.pendingName);
        reader.pendingName = takeToken();
        return c == '[' ? kAttributeValue : kAfterAttributeName;
    }
}

// ---------------------------------------------------------------------------
// 5 v value, with escapes: a backslash and one to three decimal digits stand
// for that byte (modulo 256); a backslash before any other character stores
// that character as it is.

// Only an escape can store a NUL, which then ends the text: without one the
// token's own length is the text's.
State endValueText(bool escaped) {
    if (tokenBegun()) {
        const std::size_t length = reader.token.length;
        reader.text = takeToken();
        trimSpaces(reader.text, escaped ? textLength(reader.text) : length);
    }
    return kComplete;
}

State valueText(std::FILE* source) {
    bool escape = false;
    bool escaped = false;
    int digits = 0;
    int code = 0;
    for (;;) {
        if (!escape && !storeRun(kPlainValueChars)) return fail(kQdxErrorMemory);
        const int c = readChar(source);
        if (escape) {
            if (isDigit(c)) {
                code = code * 10 + (c - '0');
                if (++digits < 3) continue;
                escape = false;
                if (!storeChar(code % 256)) return fail(kQdxErrorMemory);
                continue;
            }
            // Pending digits store nothing yet, so before the value has
            // begun whitespace is skipped there too and the digits go on.
            if (!tokenBegun() && isWhitespace(c)) continue;
            if (digits > 0) {
                // The escape ends here; this character is read as usual.
                escape = false;
                if (!storeChar(code % 256)) return fail(kQdxErrorMemory);
            } else if (isEndOfInput(c)) {
                escape = false;
            } else {
                escape = false;
                if (!storeChar(c)) return fail(kQdxErrorMemory);
                continue;
            }
        }
        if (c == '\\') {
            escape = escaped = true;
            digits = 0;
            code = 0;
            continue;
        }
        if (c == ')') return endValueText(escaped);
        if (isEndOfInput(c)) return tokenBegun() ? endValueText(escaped) : fail(kQdxErrorUnfinished);
        if (isLineEnd(c)) {
            if (tokenBegun()) return endValueText(escaped);
            continue;
        }
        if (isBlank(c)) {
            if (tokenBegun() && !storeChar(c)) return fail(kQdxErrorMemory);
            continue;
        }
        if (!inClass(kValueChars, c)) return fail(kQdxErrorCharacter);
        if (!storeChar(c)) return fail(kQdxErrorMemory);
    }
}

// ---------------------------------------------------------------------------
// Bracket texts 8 and 16: name characters; the `o` text keeps inner blanks
// as single spaces, the `m` text drops every blank.

State bracketText(std::FILE* source, bool keepBlanks, State next) {
    for (;;) {
        if (!storeRun(kNameChars)) return fail(kQdxErrorMemory);
        const int c = readChar(source);
        if (c == ']' || isLineEnd(c)) {
            if (tokenBegun()) {
                const std::size_t length = reader.token.length;
                reader.text = takeToken();
                trimTrailing(reader.text, length, false);
            }
            return next;
        }
        if (isBlank(c)) {
            if (keepBlanks && tokenBegun() && !storeChar(' ')) return fail(kQdxErrorMemory);
            continue;
        }
        if (inClass(kNameChars, c)) {
            if (!storeChar(c)) return fail(kQdxErrorMemory);
            continue;
        }
        return fail(isEndOfInput(c) ? kQdxErrorUnfinished : kQdxErrorCharacter);
    }
}

State objectBracket(std::FILE* source) { return bracketText(source, true, kAfterObjectBracket); }
State methodBracket(std::FILE* source) { return bracketText(source, false, kAfterMethodBracket); }

// ---------------------------------------------------------------------------
// 13 attribute value. An attribute named exactly "t" is verbatim: blanks
// count from the first character on and nothing is trimmed.

State endAttributeValue(bool verbatim) {
    const std::size_t length = reader.token.length;
    char* value = takeToken();
    if (value != nullptr && !verbatim) trimTrailing(value, length, true);
    memRelease(reader.pendingValue);
    reader.pendingValue = value;
    // A node that cannot be allocated fails the element like a token that
    // cannot grow; the pending strings go with the leftovers.
    if (!appendAttribute(reader.pendingName, reader.pendingValue)) return fail(kQdxErrorMemory);
    reader.pendingName = nullptr;
    reader.pendingValue = nullptr;
    return kAttributeList;
}

// State 11 always leaves the name pending: a name has at least one character.
State attributeValue(std::FILE* source) {
    const bool verbatim = reader.pendingName[0] == 't' && reader.pendingName[1] == '\0';
    for (;;) {
        if (!storeRun(kValueChars)) return fail(kQdxErrorMemory);
        const int c = readChar(source);
        const bool begun = verbatim || tokenBegun();
        if (c == ']') return endAttributeValue(verbatim);
        if (isLineEnd(c)) {
            if (begun) return endAttributeValue(verbatim);
            continue;
        }
        if (isBlank(c)) {
            if (begun && !storeChar(c)) return fail(kQdxErrorMemory);
            continue;
        }
        if (inClass(kValueChars, c)) {
            if (!storeChar(c)) return fail(kQdxErrorMemory);
            continue;
        }
        return fail(isEndOfInput(c) ? kQdxErrorUnfinished : kQdxErrorCharacter);
    }
}

// ---------------------------------------------------------------------------
// 18 m body and 19 long m body. A body that outgrows kQdxLongBodyCapacity is
// not kept: the element records its source and positions instead.

State endShortBody() {
    char* body = takeToken();
    if (!appendAttribute(nullptr, body)) {
        memRelease(body);
        return fail(kQdxErrorMemory);
    }
    return kComplete;
}

State methodBody(std::FILE* source) {
    reader.bodyOpenedAt = sourcePosition(source);
    for (;;) {
        const int c = readChar(source);
        if (c == '\r') continue;
        if (c == ')') {
            if (tokenBegun()) return endShortBody();
            continue;  // `()` opens nothing: the body goes on
        }
        if (isEndOfInput(c)) return tokenBegun() ? endShortBody() : fail(kQdxErrorUnfinished);
        if (c != '\n' && !inClass(kBodyChars, c)) return fail(kQdxErrorCharacter);
        if (reader.token.room < 2 && reader.token.capacity > kQdxLongBodyCapacity) {
            reader.bodySource = source;
            reader.bodyStart = reader.bodyOpenedAt;
            return kLongMethodBody;
        }
        if (!storeChar(c, kQdxBodyGrowStep)) return fail(kQdxErrorMemory);
    }
}

State longMethodBody(std::FILE* source) {
    releaseToken();
    for (;;) {
        const int c = readChar(source);
        if (c == ')' || isEndOfInput(c)) {
            reader.bodyEnd = sourcePosition(source);
            return kComplete;
        }
        if (!isWhitespace(c) && !inClass(kBodyChars, c)) return fail(kQdxErrorCharacter);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Driver and entry points

int exchangeReadElement(std::FILE* source, ExchangeElement* element) {
    if (element == nullptr) return 0;
    reader.output = element;
    reader.result = 0;
    reader.lastError = kQdxErrorNone;
    // A run that ended without completing may have left a partial element:
    // the next run starts clean.
    if (reader.inProgress) {
        releaseLeftovers();
    } else {
        reader.inProgress = true;
    }
    // Every handler returns a state of the table, or kEndOfRun.
    State state = kBetweenElements;
    while (state != kEndOfRun) state = kStates[state](source);
    reader.output = nullptr;  // no pointer into the caller's record survives the run
    return reader.result;
}

int exchangeNextFromText(const char** cursor, ExchangeElement* element) {
    if (cursor == nullptr || *cursor == nullptr || element == nullptr) return 0;
    exchangeReleaseElement(element);
    const NextCharFn saved = reader.nextChar;
    reader.nextChar = readFromText;
    reader.textStart = *cursor;
    reader.textCursor = *cursor;
    const int result = exchangeReadElement(nullptr, element);
    *cursor = reader.textCursor;
    reader.nextChar = saved;
    reader.textStart = nullptr;
    reader.textCursor = nullptr;
    return result;
}

void exchangeReleaseElement(ExchangeElement* element) {
    if (element == nullptr) return;
    memRelease(element->name);
    memRelease(element->text);
    releaseAttributes(element->attributes);
    element->kind = 0;
    element->name = nullptr;
    element->text = nullptr;
    element->attributes = nullptr;
    element->bodySource = nullptr;
    element->bodyStart = -1;
    element->bodyEnd = -1;
}

int exchangeLastError() { return reader.lastError; }

}  // namespace pofreader

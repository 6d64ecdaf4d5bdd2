// qDX notation: one element at a time from a stream or from a text.
#pragma once

#include <cstdint>
#include <cstdio>

namespace pofreader {

struct ExchangeAttribute {
    char* name;  // none for a method body
    char* value;
    ExchangeAttribute* next;
};

// One element. The caller owns it and everything it points to except the
// stream behind bodySource, and releases it with exchangeReleaseElement.
struct ExchangeElement {
    int16_t kind;  // 'v', 'o', 'm', '{', '}'; 0 when empty
    char* name;
    char* text;
    ExchangeAttribute* attributes;
    std::FILE* bodySource;  // a long method body's source
    int32_t bodyStart;      // -1 unless a long body was recorded
    int32_t bodyEnd;
};

// Reads the next element from the text at *cursor and moves *cursor past what
// was consumed. 1 when an element was read, else 0.
// A long method body read from a text has no bodySource; its bodyStart and
// bodyEnd are offsets from the pointer *cursor held when the call began.
int exchangeNextFromText(const char** cursor, ExchangeElement* element);
// One run of the reader over `source` with the current character source.
// A long body read from a stream records the stream and its file positions.
// A null source reads as an empty one; a null element reads nothing (0).
int exchangeReadElement(std::FILE* source, ExchangeElement* element);
void exchangeReleaseElement(ExchangeElement* element);

// Why the last run gave no element. The numbers are those the checker and
// the diagnostics report.
enum QdxError : int {
    kQdxErrorNone = 0,         // a completed element, or a quiet end of input
    kQdxErrorUnfinished = 1,   // the input ended inside an element
    kQdxErrorSemicolon = 2,    // where a name must begin, or right after an attribute name
    kQdxErrorCharacter = 11,   // a character not allowed there
    kQdxErrorMemory = 91,      // out of memory, or a token longer than kQdxTokenMax
};
int exchangeLastError();

}  // namespace pofreader

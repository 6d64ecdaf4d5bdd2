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
int exchangeNextFromText(const char** cursor, ExchangeElement* element);
// One run of the reader over `source` with the current character source.
int exchangeReadElement(std::FILE* source, ExchangeElement* element);
void exchangeReleaseElement(ExchangeElement* element);

}  // namespace pofreader

// The qDX reader over any bytes, from a text (as tool records are read) and
// from a stream: elements are read until none comes, each one checked against
// the element invariants and released; the cursor only moves forward and
// never past the terminator.
#include <cstdio>
#include <cstring>

#include "fuzz_support.h"
#include "qdx/qdx.h"

namespace {

using pofreader::ExchangeAttribute;
using pofreader::ExchangeElement;

bool isKind(int kind) {
    return kind == 'v' || kind == 'o' || kind == 'm' || kind == '{' || kind == '}';
}

// What a completed element holds; `limit` bounds body positions.
void checkElement(const ExchangeElement& e, long limit, bool fromText) {
    FUZZ_CHECK(isKind(e.kind));
    FUZZ_CHECK(pofreader::exchangeLastError() == 0);
    if (e.kind == '{' || e.kind == '}') {
        FUZZ_CHECK(e.name == nullptr && e.text == nullptr && e.attributes == nullptr);
        FUZZ_CHECK(e.bodySource == nullptr && e.bodyStart == -1 && e.bodyEnd == -1);
        return;
    }
    FUZZ_CHECK(e.name != nullptr && e.name[0] != '\0');
    FUZZ_CHECK(e.text == nullptr || std::strlen(e.text) < (1u << 24));
    if (e.kind == 'v') {
        FUZZ_CHECK(e.attributes == nullptr && e.bodySource == nullptr);
        FUZZ_CHECK(e.bodyStart == -1 && e.bodyEnd == -1);
        // A value is trimmed of spaces at both ends.
        if (e.text != nullptr && e.text[0] != '\0') {
            FUZZ_CHECK(e.text[0] != ' ');
            FUZZ_CHECK(e.text[std::strlen(e.text) - 1] != ' ');
        }
        return;
    }
    if (e.kind == 'o') {
        FUZZ_CHECK(e.bodySource == nullptr && e.bodyStart == -1 && e.bodyEnd == -1);
        for (const ExchangeAttribute* a = e.attributes; a != nullptr; a = a->next)
            FUZZ_CHECK(a->name != nullptr && a->name[0] != '\0');
        return;
    }
    // A method: a short body as one nameless attribute, or a long one by its
    // positions.
    if (e.bodyStart == -1 && e.bodyEnd == -1 && e.bodySource == nullptr) {
        FUZZ_CHECK(e.attributes != nullptr && e.attributes->next == nullptr);
        FUZZ_CHECK(e.attributes->name == nullptr && e.attributes->value != nullptr);
        FUZZ_CHECK(e.attributes->value[0] != '\0');
        FUZZ_CHECK(std::strlen(e.attributes->value) <= 4351);
        return;
    }
    FUZZ_CHECK(e.attributes == nullptr);
    FUZZ_CHECK(fromText ? e.bodySource == nullptr : e.bodySource != nullptr);
    FUZZ_CHECK(e.bodyStart >= 0 && e.bodyEnd >= e.bodyStart && e.bodyEnd <= limit);
    FUZZ_CHECK(e.bodyEnd - e.bodyStart > 4351);
}

void readFromText(const uint8_t* data, size_t size) {
    char* text = fuzz_support::terminatedCopy(data, size);
    const char* end = text + std::strlen(text);
    const char* cursor = text;
    ExchangeElement element{};
    element.bodyStart = element.bodyEnd = -1;
    size_t elements = 0;
    for (;;) {
        const char* before = cursor;
        const int read = pofreader::exchangeNextFromText(&cursor, &element);
        FUZZ_CHECK(read == 0 || read == 1);
        FUZZ_CHECK(cursor >= before && cursor <= end);
        if (read == 0) {
            FUZZ_CHECK(element.kind == 0 && element.name == nullptr && element.attributes == nullptr);
            break;
        }
        // An element takes at least one character, so the loop ends.
        FUZZ_CHECK(cursor > before);
        FUZZ_CHECK(++elements <= size);
        checkElement(element, end - before, true);
    }
    pofreader::exchangeReleaseElement(&element);
    FUZZ_CHECK(element.kind == 0 && element.name == nullptr && element.text == nullptr);
    FUZZ_CHECK(element.attributes == nullptr && element.bodyStart == -1 && element.bodyEnd == -1);
    delete[] text;
}

void readFromStream(const uint8_t* data, size_t size) {
    if (size == 0) return;  // fmemopen refuses an empty buffer
    std::FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    FUZZ_CHECK(stream != nullptr);
    ExchangeElement element{};
    element.bodyStart = element.bodyEnd = -1;
    size_t elements = 0;
    while (pofreader::exchangeReadElement(stream, &element) == 1) {
        FUZZ_CHECK(++elements <= size);
        checkElement(element, static_cast<long>(size), false);
        if (element.bodySource != nullptr) FUZZ_CHECK(element.bodySource == stream);
        pofreader::exchangeReleaseElement(&element);
    }
    FUZZ_CHECK(element.kind == 0 && element.name == nullptr && element.attributes == nullptr);
    pofreader::exchangeReleaseElement(&element);
    std::fclose(stream);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_support::discardMethodReport();
    readFromText(data, size);
    readFromStream(data, size);
    return 0;
}

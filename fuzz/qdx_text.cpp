// The qDX reader over any bytes, from a text (as tool records are read) and
// from a stream: elements are read until none comes, each one checked against
// the element invariants and released; the cursor only moves forward and
// never past the terminator; and the text and the stream read alike.
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
    FUZZ_CHECK(pofreader::exchangeLastError() == pofreader::kQdxErrorNone);
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

bool sameText(const char* a, const char* b) {
    return a == nullptr ? b == nullptr : b != nullptr && std::strcmp(a, b) == 0;
}

// `fromText` read from a text whose run began `runStart` bytes into the
// input, `fromStream` from the same bytes as a stream.
bool sameElement(const ExchangeElement& fromText, const ExchangeElement& fromStream, long runStart,
                 std::FILE* stream) {
    if (fromText.kind != fromStream.kind || !sameText(fromText.name, fromStream.name) ||
        !sameText(fromText.text, fromStream.text))
        return false;
    const ExchangeAttribute* a = fromText.attributes;
    const ExchangeAttribute* b = fromStream.attributes;
    for (; a != nullptr && b != nullptr; a = a->next, b = b->next)
        if (!sameText(a->name, b->name) || !sameText(a->value, b->value)) return false;
    if (a != nullptr || b != nullptr) return false;
    // A text reports a long body from where its run began, a stream from its start.
    if (fromText.bodyStart < 0) return fromStream.bodyStart == fromText.bodyStart && fromStream.bodySource == nullptr;
    return fromStream.bodySource == stream && fromText.bodySource == nullptr &&
           fromStream.bodyStart == fromText.bodyStart + runStart &&
           fromStream.bodyEnd == fromText.bodyEnd + runStart;
}

// A text is read through a fast path that takes whole runs of characters, a
// stream one character at a time: both give the same elements, stop at the
// same place and fail alike. Compared up to the first NUL or control-Z, where
// the sources part by design (a text stays on it, a stream steps past it).
void textEqualsStream(const uint8_t* data, size_t size) {
    size_t length = 0;
    while (length < size && data[length] != 0 && data[length] != 26) ++length;
    if (length == 0) return;
    char* text = fuzz_support::terminatedCopy(data, length);
    std::FILE* stream = fmemopen(text, length, "rb");
    FUZZ_CHECK(stream != nullptr);
    const char* cursor = text;
    ExchangeElement fromText{}, fromStream{};
    fromText.bodyStart = fromText.bodyEnd = fromStream.bodyStart = fromStream.bodyEnd = -1;
    for (size_t runs = 0; runs <= length; ++runs) {
        const long runStart = cursor - text;
        const int readText = pofreader::exchangeNextFromText(&cursor, &fromText);
        const int textError = pofreader::exchangeLastError();
        pofreader::exchangeReleaseElement(&fromStream);
        const int readStream = pofreader::exchangeReadElement(stream, &fromStream);
        FUZZ_CHECK(readText == readStream && textError == pofreader::exchangeLastError());
        FUZZ_CHECK(cursor - text == std::ftell(stream));
        FUZZ_CHECK(sameElement(fromText, fromStream, runStart, stream));
        // An error ends a run, not the input: reading goes on behind it.
        if (readText == 0 && (textError == 0 || cursor - text == runStart)) break;
    }
    pofreader::exchangeReleaseElement(&fromText);
    pofreader::exchangeReleaseElement(&fromStream);
    std::fclose(stream);
    delete[] text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_support::discardMethodReport();
    readFromText(data, size);
    readFromStream(data, size);
    textEqualsStream(data, size);
    return 0;
}

#include "common/common.h"

#include <cstdlib>
#include <cstring>

namespace pofreader {

namespace {

// Fault injection state: single-threaded like the rest of the library.
long allocationCount = 0;
long failureCountdown = 0;

bool allocationMayProceed() {
    ++allocationCount;
    if (failureCountdown > 0 && --failureCountdown == 0) return false;
    return true;
}

}  // namespace

void* memAllocZero(std::size_t size) {
    if (!allocationMayProceed()) return nullptr;
    return std::calloc(1, size == 0 ? 1 : size);
}

void* memResize(void* block, std::size_t size) {
    if (!allocationMayProceed()) return nullptr;
    return std::realloc(block, size == 0 ? 1 : size);
}

char* memDupString(const char* text) {
    if (text == nullptr) return nullptr;
    const std::size_t length = std::strlen(text);
    // Zeroed: the second byte past the text is NUL too.
    char* copy = static_cast<char*>(memAllocZero(length + 2));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, text, length);
    return copy;
}

void memRelease(void* block) { std::free(block); }

long memInjectFailure(long countdown) {
    const long made = allocationCount;
    allocationCount = 0;
    failureCountdown = countdown > 0 ? countdown : 0;
    return made;
}

}  // namespace pofreader

#include "common/common.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>

#include "common/limits.h"

#if defined(__SANITIZE_ADDRESS__)
#define POFREADER_EXACT_BLOCKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define POFREADER_EXACT_BLOCKS 1
#endif
#endif

namespace pofreader {

namespace {

// Fault injection state: single-threaded like the rest of the library. It
// stays in the shipped libraries: it costs one counter per allocation, and
// the allocation-failure runs then prove the very code that ships.
long allocationCount = 0;
long failureCountdown = 0;

bool allocationMayProceed() {
    ++allocationCount;
    if (failureCountdown > 0 && --failureCountdown == 0) return false;
    return true;
}

// Every block begins after a header that holds its capacity, so that a block
// can grow in place and one of a common capacity can be kept for the next
// request. The qDX reader makes about twenty small blocks per tool record and
// releases them before the next record: kept here, they cost a push and a pop
// instead of a trip through malloc and free.
//
// Under AddressSanitizer every block is exactly the size asked for and none
// is kept, so that a write past a block's end or a use after release is
// still caught at once.
#ifdef POFREADER_EXACT_BLOCKS
constexpr bool kExactBlocks = true;
#else
constexpr bool kExactBlocks = false;
#endif

struct alignas(alignof(std::max_align_t)) BlockHeader {
    std::size_t capacity;  // usable bytes behind the header
};

// Two capacities are kept: 48 holds a node of a list and a qDX token through
// its first three growth steps; 272 a method body's first step of 256 bytes.
// A request gets the smallest kept capacity that holds it, or its own size.
struct SpareBlocks {
    int max;  // never more than the array holds: releaseBlock stores below it
    int count;
    BlockHeader* blocks[kKeptSmallBlocks];
};
constexpr std::size_t kSmallCapacity = 48;
constexpr std::size_t kBodyCapacity = 272;
SpareBlocks spareSmall{kKeptSmallBlocks, 0, {}};
SpareBlocks spareBody{kKeptBodyBlocks, 0, {}};
static_assert(kKeptSmallBlocks <= std::size(SpareBlocks{}.blocks) &&
                  kKeptBodyBlocks <= std::size(SpareBlocks{}.blocks),
              "a kept-block list must not hold more blocks than its array");

BlockHeader* headerOf(void* block) { return static_cast<BlockHeader*>(block) - 1; }
void* bodyOf(BlockHeader* header) { return header + 1; }

std::size_t capacityFor(std::size_t size) {
    if (size == 0) size = 1;
    if (kExactBlocks) return size;
    if (size <= kSmallCapacity) return kSmallCapacity;
    return size <= kBodyCapacity ? kBodyCapacity : size;
}

// The spare list a block of `capacity` is kept in, or null.
SpareBlocks* spareFor(std::size_t capacity) {
    if (kExactBlocks) return nullptr;
    if (capacity == kSmallCapacity) return &spareSmall;
    return capacity == kBodyCapacity ? &spareBody : nullptr;
}

// A fresh block of the capacity for `size`, or null; its body is not zeroed.
BlockHeader* newBlock(std::size_t size) {
    const std::size_t capacity = capacityFor(size);
    if (capacity > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
    SpareBlocks* spare = spareFor(capacity);
    if (spare != nullptr && spare->count > 0) return spare->blocks[--spare->count];
    auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + capacity));
    if (header != nullptr) header->capacity = capacity;
    return header;
}

void releaseBlock(BlockHeader* header) {
    SpareBlocks* spare = spareFor(header->capacity);
    if (spare != nullptr && spare->count < spare->max) {
        spare->blocks[spare->count++] = header;
        return;
    }
    std::free(header);
}

}  // namespace

void* memAllocZero(std::size_t size) {
    if (!allocationMayProceed()) return nullptr;
    BlockHeader* header = newBlock(size);
    if (header == nullptr) return nullptr;
    // A constant size is zeroed in line, without a call.
    if (header->capacity == kSmallCapacity) {
        std::memset(bodyOf(header), 0, kSmallCapacity);
    } else {
        std::memset(bodyOf(header), 0, header->capacity);
    }
    return bodyOf(header);
}

void* memResize(void* block, std::size_t size) {
    if (!allocationMayProceed()) return nullptr;
    if (block == nullptr) {
        BlockHeader* header = newBlock(size);
        return header == nullptr ? nullptr : bodyOf(header);
    }
    BlockHeader* old = headerOf(block);
    if (!kExactBlocks && size <= old->capacity) return block;
    if (spareFor(old->capacity) != nullptr) {
        // A kept block moves rather than grows: a spare list holds blocks of
        // its own capacity only.
        BlockHeader* grown = newBlock(size);
        if (grown == nullptr) return nullptr;
        std::memcpy(bodyOf(grown), block, old->capacity);
        releaseBlock(old);
        return bodyOf(grown);
    }
    const std::size_t capacity = capacityFor(size);
    if (capacity > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
    auto* grown = static_cast<BlockHeader*>(std::realloc(old, sizeof(BlockHeader) + capacity));
    if (grown == nullptr) return nullptr;
    grown->capacity = capacity;
    return bodyOf(grown);
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

void memRelease(void* block) {
    if (block != nullptr) releaseBlock(headerOf(block));
}

void memReleaseSpare() {
    for (SpareBlocks* spare : {&spareSmall, &spareBody})
        while (spare->count > 0) std::free(spare->blocks[--spare->count]);
}

long memInjectFailure(long countdown) {
    const long made = allocationCount;
    allocationCount = 0;
    failureCountdown = countdown > 0 ? countdown : 0;
    return made;
}

}  // namespace pofreader

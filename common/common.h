// Shared helpers of every subsystem: the memory helpers and the revision switch.
#pragma once

#include <cstddef>

namespace pofreader {

// The earlier revision (7.00) is the same source tree built with
// POFREADER_REVISION_700; each difference stands beside the code it changes.
// The macro itself is tested only where a record's layout differs (and where
// the earlier library holds no such function); everywhere else the code asks
// `if constexpr (kEarlierRevision)`, so both revisions compile every branch.
#ifdef POFREADER_REVISION_700
inline constexpr bool kEarlierRevision = true;
#else
inline constexpr bool kEarlierRevision = false;
#endif

// Every allocation of the library goes through these four, so that a test
// build can fail the N-th allocation and prove that every failure path holds.

// A block of `size` zero bytes, or null when memory is exhausted.
void* memAllocZero(std::size_t size);
// Resizes `block` (or allocates a new, unzeroed block when it is null); null on
// failure, and the old block then stays valid.
void* memResize(void* block, std::size_t size);
// A copy of `text` in a block of its length plus two bytes; null for null or
// on failure.
char* memDupString(const char* text);
// Frees a block; null is accepted. Blocks of the common small capacities may
// be kept for the next request until memReleaseSpare.
void memRelease(void* block);
// Frees the blocks kept for reuse; the end of every outermost run calls it,
// so that nothing a run allocated outlives it.
void memReleaseSpare();

// Fault injection for tests: when `countdown` is positive, the countdown-th
// allocation from now on fails (1 = the next one). 0 switches it off.
// Returns the number of allocations made since the last call.
long memInjectFailure(long countdown);

}  // namespace pofreader

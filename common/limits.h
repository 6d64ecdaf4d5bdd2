// Every bound of the system in one place, used by the code and by the bound
// tests. A "Max" is a number of characters, a "Size" a buffer size in bytes
// with room for the terminator. Each line says what happens past the bound,
// and why the number is what it is where it follows from something else.
// The tuning constants, which change only speed and memory, stand apart at
// the end.
#pragma once

#include <cstddef>

namespace pofreader {

// Cycle frame
inline constexpr int kNestingLimit = 8;           // runs at once; one more returns 0 at once
inline constexpr unsigned kArgumentCountMax = 16383;  // more: qvCSexecCycle returns 0 at once
inline constexpr int kBypassLineLength = 512;     // "POFbypass" copy: longer lines go in pieces

// Signal record fields (name/value and text forms): a longer text is cut
inline constexpr std::size_t kSignalNameSize = 256;
inline constexpr std::size_t kSignalValueSize = 520;
inline constexpr std::size_t kSignalTextSize = 776;

// Name/value splitter buffers, what event and transformation records can use:
// a longer name or value is cut
inline constexpr std::size_t kSplitNameSize = 128;  // names of at most 127
inline constexpr std::size_t kSplitValueSize = kSignalValueSize;

// POF record reader
inline constexpr int kPayloadLimit = 1020;  // the rest of the line is read and dropped
inline constexpr std::size_t kPayloadBufferSize = kPayloadLimit + 1;
inline constexpr int kRecordDigitsMax = 127;  // more digits saturate: an unknown type, ignored

// Move records
inline constexpr std::size_t kMoveTokenMax = 255;  // a word's name: cut, and no effect either way
inline constexpr std::size_t kMovePartMax = 79;    // a converted part of x[a/b/c]: record dropped

// Key files, line files, paths
// A key-file name or value grows in steps of 16 bytes and keeps a terminator;
// its sizes are 16-bit counters. 32,752 bytes, 2,047 steps, is the largest
// buffer of whole steps below 32,768, which even a signed counter holds: so
// 32,751 characters.
inline constexpr std::size_t kKeyFileTokenMax = 32751;  // name or value: the entry is refused
inline constexpr std::size_t kKeyFileGrowStep = 16;
inline constexpr std::size_t kKeyPathSize = 516;   // path with '/' turned into '\': not opened
inline constexpr std::size_t kHomePathSize = 512;  // path expanded from "HOME": not opened
inline constexpr std::size_t kLineNameSize = 280;  // names of at most 279: cut
inline constexpr std::size_t kLineValueSize = 520; // values of at most 519: cut

// Section files
inline constexpr int kSectionSlots = 4;  // files open at once; one more is refused (-1)
inline constexpr int kSectionFirstHandle = 123;
inline constexpr std::size_t kSectionWordMax = 39;       // a longer word is never a keyword
inline constexpr std::size_t kSectionArgumentMax = 259;  // a longer argument never matches
inline constexpr std::size_t kSectionEntrySize = 260;    // the check's entry buffer: cut

// Frame mathematics
inline constexpr std::size_t kTripleRunMax = 79;  // converted from its first 79; the rest skipped

// Cycle set-up
inline constexpr std::size_t kParameterNameSize = 256;  // "<source>.pcf": not opened
inline constexpr std::size_t kCfgNameSize = 512;        // "<source>.CFG": not opened
inline constexpr std::size_t kFrameCommentSize = 512;   // escaped comment: cut at a whole escape

// qDX reader
inline constexpr std::size_t kQdxGrowStep = 16;
inline constexpr std::size_t kQdxBodyGrowStep = 256;
// A body proves long when its buffer is full past this capacity, so the last
// buffer that holds one is 4,096 + 256 bytes: 4,351 characters and the
// terminator stay in memory. A longer body is left in the source
// (bodySource, bodyStart, bodyEnd).
inline constexpr std::size_t kQdxLongBodyCapacity = 4096;
inline constexpr std::size_t kQdxTokenMax = 1u << 20;  // far above anything real: kQdxErrorMemory

// ---- Tuning: speed and memory only, nothing a caller can see ---------------
// The record reader's block: bytes read from the file at once, and the small
// block of the reader's own that stands in when there is no memory for one.
inline constexpr std::size_t kRecordBlockSize = 64 * 1024;
inline constexpr std::size_t kRecordInlineBlockSize = 256;
// Released blocks the memory helpers keep for the next request: a qDX tool
// record makes about twenty small ones, a method body a few of 272 bytes.
inline constexpr int kKeptSmallBlocks = 64;
inline constexpr int kKeptBodyBlocks = 8;

}  // namespace pofreader

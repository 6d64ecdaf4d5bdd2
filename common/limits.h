// Every bound of the system in one place, used by the code and by the bound
// tests. A "Max" is a number of characters, a "Size" a buffer size in bytes
// with room for the terminator.
#pragma once

#include <cstddef>

namespace pofreader {

// Cycle frame
inline constexpr int kNestingLimit = 8;           // runs in progress at once
inline constexpr unsigned kArgumentCountMax = 16383;
inline constexpr int kBypassLineLength = 512;     // pieces of the "POFbypass" copy

// Signal record fields (name/value and text forms)
inline constexpr std::size_t kSignalNameSize = 256;
inline constexpr std::size_t kSignalValueSize = 520;
inline constexpr std::size_t kSignalTextSize = 776;

// Name/value splitter buffers: what event and transformation records can use
inline constexpr std::size_t kSplitNameSize = 128;  // names of at most 127
inline constexpr std::size_t kSplitValueSize = kSignalValueSize;

// POF record reader
inline constexpr int kPayloadLimit = 1020;
inline constexpr std::size_t kPayloadBufferSize = kPayloadLimit + 1;
inline constexpr int kRecordDigitsMax = 127;
inline constexpr std::size_t kRecordBlockSize = 64 * 1024;   // bytes read from the file at once
inline constexpr std::size_t kRecordInlineBlockSize = 256;   // the block without memory for one

// Move records
inline constexpr std::size_t kMoveTokenMax = 255;  // a name or a bracket value
inline constexpr std::size_t kMovePartMax = 79;    // one part of x[a/b/c]

// Key files, line files, paths
inline constexpr std::size_t kKeyFileTokenMax = 32751;
inline constexpr std::size_t kKeyFileGrowStep = 16;
inline constexpr std::size_t kKeyPathSize = 516;   // path with '/' turned into '\'
inline constexpr std::size_t kHomePathSize = 512;  // path expanded from "HOME"
inline constexpr std::size_t kLineNameSize = 280;  // names of at most 279
inline constexpr std::size_t kLineValueSize = 520; // values of at most 519

// Section files
inline constexpr int kSectionSlots = 4;
inline constexpr int kSectionFirstHandle = 123;
inline constexpr std::size_t kSectionWordMax = 39;
inline constexpr std::size_t kSectionArgumentMax = 259;
inline constexpr std::size_t kSectionEntrySize = 260;

// Frame mathematics
inline constexpr std::size_t kTripleRunMax = 79;

// Cycle set-up
inline constexpr std::size_t kParameterNameSize = 256;  // "<source>.pcf"
inline constexpr std::size_t kCfgNameSize = 512;        // "<source>.CFG"
inline constexpr std::size_t kFrameCommentSize = 512;   // escaped "*FRAME_COMMENT"

// qDX reader
inline constexpr std::size_t kQdxGrowStep = 16;
inline constexpr std::size_t kQdxBodyGrowStep = 256;
inline constexpr std::size_t kQdxLongBodyCapacity = 4096;  // 4351 characters stay in memory
inline constexpr std::size_t kQdxTokenMax = 1u << 20;      // far above anything real

}  // namespace pofreader

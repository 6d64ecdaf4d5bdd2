// What every fuzz target shares: a fatal check, input copies the sanitizers
// can guard, and a scratch directory for the readers that need files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "pofreader/pofreader.h"

namespace fuzz_support {

// A broken invariant is a finding: report it and abort, so that libFuzzer
// keeps the input.
[[noreturn]] void fail(const char* file, int line, const char* what);
#define FUZZ_CHECK(condition) \
    ((condition) ? (void)0 : ::fuzz_support::fail(__FILE__, __LINE__, #condition))

// 1 when `field` holds a NUL within its `size` bytes.
bool terminatedWithin(const char* field, std::size_t size);

// A move delivery is in a move form: a move code, given flags of 0 or 1, an
// arc direction of 0 or 1.
void checkMoveForm(const SignalRecord& record);

// The input as a NUL-terminated text in a block of exactly its length plus
// one, so that reading past the terminator is caught. Release with delete[].
char* terminatedCopy(const uint8_t* data, std::size_t size);

// A fresh directory made the process's current directory, once per process:
// relative names and "EDK.TXT" land in it. It lies on a memory file system
// (FUZZ_SCRATCH, else /dev/shm, else TMPDIR or /tmp) and is removed at exit.
const std::string& scratchDirectory();
// Replaces the contents of `name` in the scratch directory with the bytes;
// returns the full path. The file stays open between calls, so a rewrite
// costs a write and a truncate, not a create.
const std::string& writeScratchFile(const char* name, const uint8_t* data, std::size_t size);
// The method report grows with every method element read: it goes to
// /dev/null, through "EDK.TXT" in the scratch directory.
void discardMethodReport();

}  // namespace fuzz_support

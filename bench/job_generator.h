// A deterministic generator of POF jobs for the benchmarks: the same seed and
// size always give the same bytes.
#pragma once

#include <cstdint>
#include <string>

namespace pofbench {

// The record mixes a job can be written with.
enum class JobMix {
    // About 85% straight moves (x/y/z, a fifth of them with u/v/w), 7% arcs,
    // 5% event, text and transformation records, 3% tool records in qDX notation.
    standard,
    // Five-axis finishing: long straight moves of all three coordinates with
    // the tool axis on every one, 10% arcs, 1% other records.
    multiAxis,
    // Tool records in qDX notation only, `moves` of them: the notation reader
    // through a whole run.
    tools,
    // Parts on a plate, each machined as a shop would: a pocket cleared in
    // layers (rapids between layers, a zig-zag through the middle, offset
    // rings with true quarter arcs at the corners), a five-axis pass over a
    // curved surface with the tool axis along its normal, and a rounded edge
    // finished with true quarter arcs in the ZX plane. A picture of it shows
    // parts, and every arc is a circle.
    realistic,
};

struct JobSize {
    uint64_t seed = 1;
    JobMix mix = JobMix::standard;
    long moves = 0;         // stop after this many type-31 records (0: no bound)
    long long bytes = 0;    // or once the toolpath holds this many bytes (0: no bound)
};

struct JobStats {
    long long bytes = 0;  // bytes of the toolpath
    long records = 0;     // record lines of every type
    long straight = 0;
    long arcs = 0;
    long events = 0;
    long texts = 0;
    long transforms = 0;
    long tools = 0;
    long moves() const { return straight + arcs; }
};

// Writes `<dir>/<name>.pof` and the parameter file `<dir>/<name>.pcf` naming
// it (toolpath := "<name>.pof", relative to the run's directory), with the
// record mix `size.mix`. False when a file cannot be written.
bool writeJob(const std::string& dir, const std::string& name, const JobSize& size,
              JobStats* stats);

// A key file of `entries` quoted entries with comments, and a .CFG line file
// of `lines` lines with comments and CR LF line ends (with LF alone a comment
// would run on into the next line's entry), for the configuration loaders.
bool writeKeyFile(const std::string& path, long entries, uint64_t seed);
bool writeLineFile(const std::string& path, long lines, uint64_t seed);

// "standard", "multiaxis", "tools" or "realistic"; false for any other name.
bool parseJobMix(const std::string& name, JobMix& mix);
const char* jobMixName(JobMix mix);

}  // namespace pofbench

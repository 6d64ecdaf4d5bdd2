// The 3D page of the toolpath: one HTML file with the viewer's scripts inline
// and the job written into it as compact binary arrays.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolpath/job_summary.h"

namespace pofhost {

// False when pofhost was built without three.js, so without the page.
bool htmlPageAvailable();

// What the page draws, as the viewer script reads it. The path starts at the
// first move's target (point 0: where the tool was before it, nothing says);
// each later move adds its points (one for a straight move or a chord,
// several for a circular arc, none for a move not drawn).
struct PageData {
    std::vector<float> points;         // x y z per point
    std::vector<uint8_t> forms;        // per move, see kForm*
    std::vector<uint16_t> arcPoints;   // per circular arc: its number of points
    std::vector<float> axes;           // u v w per drawn move that gave a tool axis
    std::vector<float> centres;        // per drawn arc: the centre it was drawn round
    std::vector<uint32_t> sequence;    // (move, delivery) where a delivery number jumps
    // Per move: the given flags x y z u v w from bit 0, the host function
    // (0 for A, 1 for B, 2 for C) in bits 6 and 7.
    std::vector<uint8_t> given;
    // Per arc: its ArcRule in bits 0 to 2, kArcZX, kArcCentreZPlaced.
    std::vector<uint8_t> arcs;
    // Every value each move delivered, in the order pofhost prints them:
    // straight moves their given values; arcs the direction, the target and
    // the third values (without z in the earlier revision), then the placed
    // centre z when there is one.
    std::vector<double> values;
    std::vector<uint32_t> workplanes;  // (move, workplane) where the workplane changes
    double heightLow = 0, heightHigh = 0;
};
inline constexpr uint8_t kArcZX = 8;
inline constexpr uint8_t kArcCentreZPlaced = 16;

// ORDER: the kinds as viewer.js reads them from a move's form.
enum PageKind : uint8_t { kPageRapid, kPageFeed, kPageArc, kPageChord, kPageSkipped, kPageStart };
inline constexpr uint8_t kFormKindMask = 7;
inline constexpr uint8_t kFormToolAxis = 8;
inline constexpr int kFormCodeShift = 4;  // index of the code in 3107 3109 3114 3118 3121 3122
inline constexpr uint8_t kFormClockwise = 128;

// `job` kept its moves. `tolerance`: how far an arc's chords may stray from
// its circle.
PageData pageData(const JobRecorder& job, double tolerance);

std::string base64(const void* data, std::size_t size);

// What pofcheck said about the same run (`pofcheck --format json
// --lines`), read in for the page: which file line each delivery came from,
// and the findings. Empty when none was given.
struct CheckedRun {
    bool given = false;
    std::string error;                 // why it cannot be used; empty: usable
    long deliveries = -1;              // as pofcheck counted them
    std::vector<std::string> lineRuns;  // its "lines" objects, as JSON
    std::vector<std::string> findings;  // its finding objects, as JSON
};
bool readCheckedRun(const std::string& path, CheckedRun& checked);

std::string renderHtml(const JobRecorder& job, const JobSummary& summary, const std::string& title,
                       const CheckedRun& checked = {});

}  // namespace pofhost

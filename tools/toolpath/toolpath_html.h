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

// What the page draws, as the viewer script reads it. Point 0 is where the
// path starts (the origin); each move adds its points (one for a straight
// move or a chord, several for a circular arc, none for a move not drawn).
struct PageData {
    std::vector<float> points;         // x y z per point
    std::vector<uint8_t> forms;        // per move, see kForm*
    std::vector<uint16_t> arcPoints;   // per circular arc: its number of points
    std::vector<float> axes;           // u v w per drawn move that gave a tool axis
    std::vector<float> centres;        // third values x y z per drawn arc
    std::vector<uint32_t> sequence;    // (move, delivery) where a delivery number jumps
    double heightLow = 0, heightHigh = 0;
};

// ORDER: the kinds as viewer.js reads them from a move's form.
enum PageKind : uint8_t { kPageRapid, kPageFeed, kPageArc, kPageChord, kPageSkipped };
inline constexpr uint8_t kFormKindMask = 7;
inline constexpr uint8_t kFormToolAxis = 8;
inline constexpr int kFormCodeShift = 4;  // index of the code in 3107 3109 3114 3118 3121 3122
inline constexpr uint8_t kFormClockwise = 128;

// `job` kept its moves. `tolerance`: how far an arc's chords may stray from
// its circle.
PageData pageData(const JobRecorder& job, double tolerance);

std::string base64(const void* data, std::size_t size);

std::string renderHtml(const JobRecorder& job, const JobSummary& summary, const std::string& title);

}  // namespace pofhost

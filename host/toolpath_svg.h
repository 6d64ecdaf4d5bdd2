// A picture of the toolpath the host received: the moves of key 31, each
// drawn from the previous position, projected onto one coordinate plane and
// scaled to fit.
#pragma once

#include <string>
#include <vector>

#include "pofreader/pofreader.h"

namespace pofhost {

// The projection: the first letter runs to the right, the second upwards, so
// each view looks down its plane's normal (z, y, x), as the right hand has it.
enum class View { XY, ZX, YZ };
bool parseView(const std::string& text, View& view);
const char* viewName(View view);

struct Point3 {
    double x = 0, y = 0, z = 0;
};
struct Point2 {
    double h = 0, v = 0;  // horizontal (right), vertical (up)
};
Point2 project(View view, const Point3& point);

enum class SegmentKind { Rapid, Feed, Arc };

struct Segment {
    SegmentKind kind = SegmentKind::Feed;
    int code = 0;       // the record's code, 3107 to 3122
    Point3 from;
    Point3 to;
    Point3 centre;      // arcs: the third values
    int direction = 0;  // arcs: 1 for "-" (clockwise), 0 for "+"
    bool hasAxis = false;  // the move gave u, v or w
    Point3 axis;           // the tool axis after the move
    // The record held NaN or an infinite value. Such a move is not drawn and
    // leaves the position (and tool axis) where the previous move put them.
    bool nonFinite = false;
};

// Follows the moves as the host sees them. A straight move gives only some
// coordinates; the others stay where the previous move left them, starting
// from the origin as the reader does. The tool axis is followed the same way,
// starting along z.
class ToolpathRecorder {
public:
    explicit ToolpathRecorder(bool arcHasThirdZ) : arcHasThirdZ_(arcHasThirdZ) {}
    // Takes a record of key 31; other codes are ignored.
    void record(const SignalRecord& record);
    const std::vector<Segment>& segments() const { return segments_; }

private:
    bool arcHasThirdZ_;
    Point3 position_;
    Point3 axis_{0, 0, 1};
    std::vector<Segment> segments_;
};

// How an arc is drawn in the view. The record gives the arc's target and its
// third values, not its geometry: taken as the centre, the third values make
// a circle only when they lie equally far from the start and the end.
struct ArcShape {
    bool circular = false;   // else: a marked chord from start to end
    double radius = 0;
    bool fullCircle = false; // start and end coincide
    bool largeArc = false;   // sweeps more than half a turn
    bool clockwise = false;
    double sweep = 0;        // radians travelled, in (0, 2 pi]
};

// Equal within kArcToleranceRelative of the radius, or kArcToleranceAbsolute
// for small arcs; a radius of kArcToleranceAbsolute or less is no circle.
inline constexpr double kArcToleranceRelative = 1e-3;
inline constexpr double kArcToleranceAbsolute = 1e-4;

ArcShape arcShape(const Point2& start, const Point2& end, const Point2& centre, int direction);

// A round length (1, 2 or 5 times a power of ten) of at most `span`.
double niceLength(double span);

// The whole picture: one <path> per move, axes, a scale bar and a legend.
std::string renderSvg(const std::vector<Segment>& segments, View view);

}  // namespace pofhost

// A picture of the toolpath the host received: the moves of key 31, each
// drawn from the previous position, projected onto one coordinate plane and
// scaled to fit.
#pragma once

#include <string>
#include <vector>

#include "toolpath/toolpath.h"

namespace pofhost {

// The projection: the first letter runs to the right, the second upwards, so
// each view looks down its plane's normal (z, y, x), as the right hand has it.
enum class View { XY, ZX, YZ };
bool parseView(const std::string& text, View& view);
const char* viewName(View view);

struct Point2 {
    double h = 0, v = 0;  // horizontal (right), vertical (up)
};
Point2 project(View view, const Point3& point);

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

// Circular under the tolerances of toolpath.h.
ArcShape arcShape(const Point2& start, const Point2& end, const Point2& centre, int direction);

// A round length (1, 2 or 5 times a power of ten) of at most `span`.
double niceLength(double span);

// The whole picture: one <path> per move, axes, a scale bar and a legend.
std::string renderSvg(const std::vector<Segment>& segments, View view);

}  // namespace pofhost

// The toolpath in space, for the 3D page and the summary: arcs in the plane of
// their start, end and centre, their points and lengths, and the job's extent.
#pragma once

#include <vector>

#include "toolpath/toolpath.h"

namespace pofhost {

// An arc as it runs in space. Circular under the same rule as the flat
// picture, with distances measured in space: the third values are taken as
// the centre when they lie equally far from the start and the end.
struct SpaceArc {
    bool circular = false;  // else: a chord from start to end
    double radius = 0;
    double sweep = 0;       // radians, in (0, 2 pi]
    Point3 axis;            // unit; the start turns about it by `sweep` to the end
};

// "+" turns counter-clockwise about the coordinate axis most nearly normal to
// the arc's plane, taken positive, so each arc turns the way the flat picture
// of that plane shows it. When start, end and centre lie on one line (a half
// or a full circle) the plane is the coordinate plane through that line, or
// the nearest to one: XY before ZX before YZ.
SpaceArc spaceArc(const Point3& start, const Point3& end, const Point3& centre, int direction);

// The points of a circular arc after its start, the last one exactly `end`,
// no chord straying more than `tolerance` from the circle (at least one
// point per eighth of a turn). Appended to `points`.
void arcPoints(const Point3& start, const Point3& end, const Point3& centre, const SpaceArc& arc,
               double tolerance, std::vector<Point3>& points);

// A move's length: along the circle for a circular arc, else straight.
double moveLength(const Segment& segment, const SpaceArc& arc);

struct Extent {
    bool empty = true;
    Point3 min, max;
    void add(const Point3& point);
    double diagonal() const;
};

// The value below which `share` (0 to 1) of `values` lie, by the nearest rank;
// 0 for no values. Reorders `values`.
double percentile(std::vector<double>& values, double share);

}  // namespace pofhost

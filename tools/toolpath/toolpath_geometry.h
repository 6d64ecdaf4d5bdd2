// The toolpath in space, for the 3D page and the summary: arcs in the plane of
// their start, end and centre, their points and lengths, and the job's extent.
#pragma once

#include <vector>

#include "toolpath/toolpath.h"

namespace pofhost {

// An arc as it runs in space. It lies in the workplane that was active when
// it came: its start, end and centre are taken in that plane's two
// coordinates (XY: x and y; ZX: z and x, as the front view shows them), and
// the coordinate normal to the plane runs evenly from the start's to the
// end's, a helix where they differ (code 3122 in the current revision: the
// normal axis was given). It is a circle under the same rule as everywhere:
// the centre lies equally far from start and end, within
// kArcToleranceRelative of the radius or kArcToleranceAbsolute; else the
// move is drawn as a marked chord, straight from start to end.
enum class ArcRule {
    Circle,        // in the plane, the normal coordinate unchanged
    Helix,         // in the plane, the normal coordinate changing evenly
    Chord,         // start, end and centre make no circle in the plane
    NoStart,       // the job's first move: its start is not known
    CentreUnknown  // the earlier revision sent no centre z, and no z makes a circle
};

struct SpaceArc {
    ArcRule rule = ArcRule::Chord;
    bool circular = false;  // Circle or Helix
    int plane = kWorkplaneXY;
    double radius = 0;
    double sweep = 0;       // radians, in (0, 2 pi]
    double rise = 0;        // along the plane's normal, from start to end
    Point3 centre;          // in the plane through the start
    // The earlier revision's ZX arcs: the centre's z was not sent, and the
    // picture places it where start and end are equally far from it.
    bool centreZPlaced = false;
};

// "+" turns counter-clockwise in the plane as its picture shows it (XY seen
// from +z with x to the right, ZX seen from +y with z to the right).
SpaceArc spaceArc(const Segment& arc);

// The points of a circular arc after its start, the last one exactly its
// end, no chord straying more than `tolerance` from the circle (at least one
// point per eighth of a turn). Appended to `points`.
void arcPoints(const Segment& move, const SpaceArc& arc, double tolerance, std::vector<Point3>& points);

// A move's length: along the circle or helix for a circular arc, else
// straight; 0 for the first move, whose start is not known, and for a move
// that starts from a coordinate no move had sent.
double moveLength(const Segment& segment, const SpaceArc& arc);

// What the page and the summary say about an arc's rule.
const char* arcRuleText(ArcRule rule);

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

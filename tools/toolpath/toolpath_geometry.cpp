#include "toolpath/toolpath_geometry.h"

#include <algorithm>
#include <cmath>

namespace pofhost {

namespace {

constexpr double kPi = 3.14159265358979323846;

Point3 operator-(const Point3& a, const Point3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(const Point3& a, const Point3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double length(const Point3& a) { return std::sqrt(dot(a, a)); }

}  // namespace

namespace {

// A point's coordinates in a workplane: the two in the plane, then the normal.
struct PlaneCoordinates {
    double a, b, n;
};

PlaneCoordinates inPlane(int plane, const Point3& p) {
    if (plane == kWorkplaneZX) return {p.z, p.x, p.y};
    return {p.x, p.y, p.z};
}

Point3 fromPlane(int plane, double a, double b, double n) {
    if (plane == kWorkplaneZX) return {b, n, a};
    return {a, b, n};
}

}  // namespace

SpaceArc spaceArc(const Segment& move) {
    SpaceArc arc;
    arc.plane = move.workplane == kWorkplaneZX ? kWorkplaneZX : kWorkplaneXY;
    if (!move.startKnown) {
        arc.rule = ArcRule::NoStart;
        return arc;
    }
    const PlaneCoordinates s = inPlane(arc.plane, move.from), e = inPlane(arc.plane, move.to);
    PlaneCoordinates c = inPlane(arc.plane, move.centre);
    if (!move.centreZSent && arc.plane == kWorkplaneZX) {
        // z is the plane's first coordinate: the one z where start and end
        // are equally far from the centre, if their z differ.
        const double span = std::max({std::fabs(s.a), std::fabs(e.a), 1.0});
        if (!(std::fabs(s.a - e.a) > 1e-12 * span)) {
            arc.rule = ArcRule::CentreUnknown;
            return arc;
        }
        const double sb = s.b - c.b, eb = e.b - c.b;
        c.a = (s.a * s.a - e.a * e.a + sb * sb - eb * eb) / (2 * (s.a - e.a));
        arc.centreZPlaced = true;
    }
    const double r1 = std::hypot(s.a - c.a, s.b - c.b), r2 = std::hypot(e.a - c.a, e.b - c.b);
    const double radius = std::max(r1, r2);
    const double tolerance = std::max(kArcToleranceAbsolute, kArcToleranceRelative * radius);
    arc.centre = fromPlane(arc.plane, c.a, c.b, s.n);
    if (!(radius > kArcToleranceAbsolute) || !(std::fabs(r1 - r2) <= tolerance)) return arc;
    arc.circular = true;
    arc.radius = (r1 + r2) / 2;
    arc.rise = e.n - s.n;
    arc.rule = arc.rise == 0 ? ArcRule::Circle : ArcRule::Helix;
    double counterClockwise = 0;
    if (std::hypot(e.a - s.a, e.b - s.b) > tolerance) {
        const double ua = s.a - c.a, ub = s.b - c.b, wa = e.a - c.a, wb = e.b - c.b;
        counterClockwise = std::atan2(ua * wb - ub * wa, ua * wa + ub * wb);
        if (counterClockwise < 0) counterClockwise += 2 * kPi;
    }
    arc.sweep = move.direction == 1 ? 2 * kPi - counterClockwise : counterClockwise;
    if (!(arc.sweep > 0) || arc.sweep > 2 * kPi) arc.sweep = 2 * kPi;
    return arc;
}

void arcPoints(const Segment& move, const SpaceArc& arc, double tolerance, std::vector<Point3>& points) {
    // A chord of angle a strays r (1 - cos(a / 2)) from the circle.
    const double ratio = std::min(1.0, std::max(tolerance, 1e-12) / arc.radius);
    const double step = std::min(kPi / 4, 2 * std::acos(1 - ratio));
    const int count = static_cast<int>(std::min(1024.0, std::ceil(arc.sweep / step - 1e-9)));
    const PlaneCoordinates s = inPlane(arc.plane, move.from), c = inPlane(arc.plane, arc.centre);
    const double ua = s.a - c.a, ub = s.b - c.b;
    const double turn = move.direction == 1 ? -1 : 1;
    for (int i = 1; i < count; ++i) {
        const double angle = turn * arc.sweep * i / count;
        const double cosine = std::cos(angle), sine = std::sin(angle);
        points.push_back(fromPlane(arc.plane, c.a + cosine * ua - sine * ub, c.b + sine * ua + cosine * ub,
                                   s.n + arc.rise * i / count));
    }
    points.push_back(move.to);
}

double moveLength(const Segment& segment, const SpaceArc& arc) {
    if (!segment.startKnown || !segment.lengthKnown) return 0;
    if (segment.kind == SegmentKind::Arc && arc.circular) return std::hypot(arc.radius * arc.sweep, arc.rise);
    return length(segment.to - segment.from);
}

const char* arcRuleText(ArcRule rule) {
    switch (rule) {
    case ArcRule::Circle: return "circle in the workplane";
    case ArcRule::Helix: return "helix: the arc in the workplane, the normal coordinate changing evenly";
    case ArcRule::Chord: return "marked chord: start, end and centre make no circle in the workplane";
    case ArcRule::NoStart: return "not drawn: the first move, its start is not known";
    case ArcRule::CentreUnknown: return "marked chord: no centre z was sent and start and end have the same z";
    }
    return "";
}

void Extent::add(const Point3& p) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return;
    if (empty) {
        min = max = p;
        empty = false;
        return;
    }
    min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
    max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
}

double Extent::diagonal() const { return empty ? 0 : length(max - min); }

double percentile(std::vector<double>& values, double share) {
    if (values.empty()) return 0;
    const double rank = std::ceil(std::clamp(share, 0.0, 1.0) * values.size());
    const auto n = static_cast<std::size_t>(std::max(rank, 1.0)) - 1;
    std::nth_element(values.begin(), values.begin() + n, values.end());
    return values[n];
}

}  // namespace pofhost

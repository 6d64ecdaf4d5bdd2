#include "toolpath/toolpath_geometry.h"

#include <algorithm>
#include <cmath>

namespace pofhost {

namespace {

constexpr double kPi = 3.14159265358979323846;

Point3 operator-(const Point3& a, const Point3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Point3 operator+(const Point3& a, const Point3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Point3 operator*(double s, const Point3& a) { return {s * a.x, s * a.y, s * a.z}; }
double dot(const Point3& a, const Point3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Point3 cross(const Point3& a, const Point3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(const Point3& a) { return std::sqrt(dot(a, a)); }
double component(const Point3& a, int i) { return i == 0 ? a.x : i == 1 ? a.y : a.z; }
Point3 unitAxis(int i) { return {i == 0 ? 1.0 : 0.0, i == 1 ? 1.0 : 0.0, i == 2 ? 1.0 : 0.0}; }

// The coordinate axis along which `v` has its largest part (ties: x first),
// or its smallest (ties: z first).
int dominantAxis(const Point3& v, bool largest) {
    int best = 0;
    for (int i = 1; i < 3; ++i) {
        const double a = std::fabs(component(v, i)), b = std::fabs(component(v, best));
        if (largest ? a > b : a <= b) best = i;
    }
    return best;
}

}  // namespace

SpaceArc spaceArc(const Point3& start, const Point3& end, const Point3& centre, int direction) {
    SpaceArc arc;
    const Point3 u = start - centre, w = end - centre;
    const double r1 = length(u), r2 = length(w);
    const double radius = std::max(r1, r2);
    const double tolerance = std::max(kArcToleranceAbsolute, kArcToleranceRelative * radius);
    if (!(radius > kArcToleranceAbsolute) || !(std::fabs(r1 - r2) <= tolerance)) return arc;
    arc.circular = true;
    arc.radius = (r1 + r2) / 2;

    Point3 normal = cross(u, w);
    // Nearly on one line: the cross product says nothing about the plane.
    if (length(normal) <= 1e-9 * r1 * r2) {
        const Point3 along = (1 / r1) * u;
        const Point3 a = unitAxis(dominantAxis(along, false));
        normal = a - dot(a, along) * along;
    }
    const int reference = dominantAxis(normal, true);
    if (component(normal, reference) < 0) normal = -1.0 * normal;
    normal = (1 / length(normal)) * normal;

    double counterClockwise;
    if (length(end - start) <= tolerance) {
        counterClockwise = 0;
    } else {
        counterClockwise = std::atan2(dot(cross(u, w), normal), dot(u, w));
        if (counterClockwise < 0) counterClockwise += 2 * kPi;
    }
    const bool clockwise = direction == 1;
    arc.sweep = clockwise ? 2 * kPi - counterClockwise : counterClockwise;
    if (!(arc.sweep > 0)) arc.sweep = 2 * kPi;
    arc.axis = clockwise ? -1.0 * normal : normal;
    return arc;
}

void arcPoints(const Point3& start, const Point3& end, const Point3& centre, const SpaceArc& arc,
               double tolerance, std::vector<Point3>& points) {
    // A chord of angle a strays r (1 - cos(a / 2)) from the circle.
    const double ratio = std::min(1.0, std::max(tolerance, 1e-12) / arc.radius);
    const double step = std::min(kPi / 4, 2 * std::acos(1 - ratio));
    const int count = static_cast<int>(std::min(1024.0, std::ceil(arc.sweep / step - 1e-9)));
    const Point3 u = start - centre;
    const Point3 v = cross(arc.axis, u);  // u turned a quarter about the axis
    for (int i = 1; i < count; ++i) {
        const double angle = arc.sweep * i / count;
        points.push_back(centre + std::cos(angle) * u + std::sin(angle) * v);
    }
    points.push_back(end);
}

double moveLength(const Segment& segment, const SpaceArc& arc) {
    if (segment.kind == SegmentKind::Arc && arc.circular) return arc.radius * arc.sweep;
    return length(segment.to - segment.from);
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

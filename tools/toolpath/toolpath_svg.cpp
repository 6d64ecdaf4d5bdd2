#include "toolpath/toolpath_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "toolpath/toolpath_geometry.h"

namespace pofhost {

namespace {
constexpr double kPi = 3.14159265358979323846;
}

bool parseView(const std::string& text, View& view) {
    if (text == "xy") view = View::XY;
    else if (text == "zx") view = View::ZX;
    else if (text == "yz") view = View::YZ;
    else return false;
    return true;
}

const char* viewName(View view) {
    switch (view) {
    case View::XY: return "xy";
    case View::ZX: return "zx";
    case View::YZ: return "yz";
    }
    return "xy";
}

Point2 project(View view, const Point3& p) {
    switch (view) {
    case View::XY: return {p.x, p.y};
    case View::ZX: return {p.z, p.x};
    case View::YZ: return {p.y, p.z};
    }
    return {p.x, p.y};
}

ArcShape arcShape(const Point2& start, const Point2& end, const Point2& centre, int direction) {
    ArcShape shape;
    const double r1 = std::hypot(start.h - centre.h, start.v - centre.v);
    const double r2 = std::hypot(end.h - centre.h, end.v - centre.v);
    const double radius = std::max(r1, r2);
    const double tolerance = std::max(kArcToleranceAbsolute, kArcToleranceRelative * radius);
    shape.clockwise = direction == 1;
    if (!(radius > kArcToleranceAbsolute) || !(std::fabs(r1 - r2) <= tolerance)) return shape;
    shape.circular = true;
    shape.radius = (r1 + r2) / 2;
    if (std::hypot(end.h - start.h, end.v - start.v) <= tolerance) {
        shape.fullCircle = true;
        shape.largeArc = true;
        shape.sweep = 2 * kPi;
        return shape;
    }
    const double a1 = std::atan2(start.v - centre.v, start.h - centre.h);
    const double a2 = std::atan2(end.v - centre.v, end.h - centre.h);
    double counterClockwise = std::fmod(a2 - a1, 2 * kPi);
    if (counterClockwise < 0) counterClockwise += 2 * kPi;
    shape.sweep = shape.clockwise ? 2 * kPi - counterClockwise : counterClockwise;
    shape.largeArc = shape.sweep > kPi;
    return shape;
}

double niceLength(double span) {
    if (!(span > 0) || !std::isfinite(span)) return 1;
    const double power = std::pow(10.0, std::floor(std::log10(span)));
    for (const double step : {5.0, 2.0, 1.0})
        if (step * power <= span) return step * power;
    return power;
}

namespace {

constexpr double kWidth = 800;
constexpr double kHeight = 600;
constexpr double kMargin = 40;
constexpr double kLegendHeight = 60;

struct Bounds {
    double minH = 0, maxH = 0, minV = 0, maxV = 0;
    void add(const Point2& p) {
        if (!std::isfinite(p.h) || !std::isfinite(p.v)) return;
        minH = std::min(minH, p.h);
        maxH = std::max(maxH, p.h);
        minV = std::min(minV, p.v);
        maxV = std::max(maxV, p.v);
    }
};

// Model coordinates to picture coordinates: uniform scale, v flipped.
struct Fit {
    double scale = 1, left = 0, top = 0;
    Bounds bounds;
    double x(double h) const { return left + (h - bounds.minH) * scale; }
    double y(double v) const { return top + (bounds.maxV - v) * scale; }
};

std::string num(double value) {
    if (!std::isfinite(value)) value = 0;
    char text[48];
    std::snprintf(text, sizeof text, "%.2f", value);
    std::string out = text;
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
    return out == "-0" ? "0" : out;
}

// The point at `angle` on the arc's circle, in model coordinates.
Point2 onCircle(const Point2& centre, double radius, double angle) {
    return {centre.h + radius * std::cos(angle), centre.v + radius * std::sin(angle)};
}

void addArcBounds(Bounds& bounds, const Point2& start, const Point2& centre, const ArcShape& arc) {
    const double a1 = std::atan2(start.v - centre.v, start.h - centre.h);
    const double step = (arc.clockwise ? -arc.sweep : arc.sweep) / 64;
    for (int i = 1; i < 64; ++i) bounds.add(onCircle(centre, arc.radius, a1 + step * i));
}

Fit fitTo(const Bounds& bounds) {
    Fit fit;
    fit.bounds = bounds;
    const double spanH = std::max(bounds.maxH - bounds.minH, 1e-9);
    const double spanV = std::max(bounds.maxV - bounds.minV, 1e-9);
    const double areaW = kWidth - 2 * kMargin;
    const double areaH = kHeight - 2 * kMargin - kLegendHeight;
    fit.scale = std::min(areaW / spanH, areaH / spanV);
    if (!std::isfinite(fit.scale) || fit.scale <= 0) fit.scale = 1;
    fit.left = kMargin + (areaW - spanH * fit.scale) / 2;
    fit.top = kMargin + (areaH - spanV * fit.scale) / 2;
    return fit;
}

std::string point(const Fit& fit, const Point2& p) { return num(fit.x(p.h)) + " " + num(fit.y(p.v)); }

std::string arcCommand(const Fit& fit, const Point2& to, const ArcShape& arc) {
    const std::string r = num(arc.radius * fit.scale);
    // In the picture v runs downwards, so a clockwise turn in the model is
    // the sweep SVG calls positive.
    return "A " + r + " " + r + " 0 " + (arc.largeArc ? "1 " : "0 ") +
           (arc.clockwise ? "1 " : "0 ") + point(fit, to);
}

}  // namespace

namespace {

// A move as the picture draws it: projected, and its arc's shape in the view.
// An arc that lies flat in the view's plane is drawn as an SVG arc; one in
// another plane, or a helix, as the projection of its points.
struct Drawn {
    const Segment* segment;
    Point2 from, to, centre;
    SpaceArc space;
    ArcShape arc;                 // flat in the view
    std::vector<Point2> through;  // else: the projected points after the start
};

struct Counts {
    int rapid = 0, feed = 0, circular = 0, chord = 0;
    int startArc = 0;     // the first move an arc: only its target is known
    int placedCentre = 0; // drawn circular with a centre z the revision did not send
};

// Below this length in the picture a path draws nothing visible.
constexpr double kDotBelow = 1;

bool flatInView(const SpaceArc& arc, View view) {
    return arc.rule == ArcRule::Circle && ((view == View::XY && arc.plane == kWorkplaneXY) ||
                                           (view == View::ZX && arc.plane == kWorkplaneZX));
}

// The moves that can be drawn, and the bounds they and the origin span.
std::vector<Drawn> projectMoves(const std::vector<Segment>& segments, View view, Bounds& bounds) {
    std::vector<Drawn> drawn;
    std::vector<Point3> points;
    for (const Segment& segment : segments) {
        if (segment.nonFinite) continue;
        Drawn d{&segment, project(view, segment.from), project(view, segment.to), {}, {}, {}, {}};
        if (segment.startKnown) bounds.add(d.from);
        bounds.add(d.to);
        if (segment.kind == SegmentKind::Arc) {
            d.space = spaceArc(segment);
            d.centre = project(view, d.space.centre);
            if (flatInView(d.space, view)) {
                d.arc = arcShape(d.from, d.to, d.centre, segment.direction);
                if (d.arc.circular) addArcBounds(bounds, d.from, d.centre, d.arc);
            } else if (d.space.circular) {
                points.clear();
                arcPoints(segment, d.space, d.space.radius * 1e-3, points);
                for (const Point3& p : points) {
                    d.through.push_back(project(view, p));
                    bounds.add(d.through.back());
                }
            }
        }
        drawn.push_back(d);
    }
    return drawn;
}

// One <path> for the move; a chord also gets its mark in `marks`. The first
// move has no known start: only a cross where it ends.
std::string movePath(const Fit& fit, const Drawn& d, Counts& counts, std::string& marks) {
    const SegmentKind kind = d.segment->kind;
    if (!d.segment->startKnown) {
        ++(kind == SegmentKind::Rapid ? counts.rapid : kind == SegmentKind::Feed ? counts.feed : counts.startArc);
        return "  <path class=\"start\" d=\"M " + point(fit, d.to) + " m -5 -5 l 10 10 m 0 -10 l -10 10\"/>\n";
    }
    std::string data = "M " + point(fit, d.from) + " ";
    const char* style = "feed";
    if (kind == SegmentKind::Rapid) {
        style = "rapid";
        ++counts.rapid;
        data += "L " + point(fit, d.to);
    } else if (kind == SegmentKind::Feed) {
        ++counts.feed;
        data += "L " + point(fit, d.to);
    } else if (d.space.circular && !d.through.empty()) {
        style = "arc";
        ++counts.circular;
        for (const Point2& p : d.through) data += "L " + point(fit, p) + " ";
        data.pop_back();
    } else if (d.space.circular && d.arc.circular) {
        style = "arc";
        ++counts.circular;
        if (d.arc.fullCircle) {
            // SVG draws nothing for an arc that ends where it starts: go
            // round in two halves through the opposite point.
            const Point2 opposite{2 * d.centre.h - d.from.h, 2 * d.centre.v - d.from.v};
            ArcShape half = d.arc;
            half.largeArc = false;
            data += arcCommand(fit, opposite, half) + " " + arcCommand(fit, d.to, half);
        } else {
            data += arcCommand(fit, d.to, d.arc);
        }
    } else {
        style = "chord";
        ++counts.chord;
        data += "L " + point(fit, d.to);
        const Point2 middle{(d.from.h + d.to.h) / 2, (d.from.v + d.to.v) / 2};
        marks += "  <circle class=\"chord-mark\" cx=\"" + num(fit.x(middle.h)) + "\" cy=\"" +
                 num(fit.y(middle.v)) + "\" r=\"4\"/>\n";
    }
    if (d.space.circular && d.space.centreZPlaced) ++counts.placedCentre;
    std::string out = "  <path class=\"" + std::string(style) + "\" d=\"" + data + "\"/>\n";
    // A move too short for the picture still leaves a mark: a dot in its colour.
    const auto apart = [&](const Point2& p) { return std::hypot(fit.x(p.h) - fit.x(d.from.h), fit.y(p.v) - fit.y(d.from.v)); };
    double spread = apart(d.to);
    if (d.arc.circular) spread = std::max(spread, 2 * d.arc.radius * fit.scale);
    for (const Point2& p : d.through) spread = std::max(spread, apart(p));
    if (spread < kDotBelow)
        out += "  <circle class=\"dot " + std::string(style) + "\" cx=\"" + num(fit.x(d.to.h)) + "\" cy=\"" +
               num(fit.y(d.to.v)) + "\" r=\"2\"/>\n";
    return out;
}

// The document's head, its styles, the white ground and the axes through
// the origin, across the drawing area.
std::string pictureHead(const Fit& fit, View view) {
    const char* names = viewName(view);
    const double areaBottom = kHeight - kMargin - kLegendHeight;
    std::string svg;
    svg += "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(kWidth) + "\" height=\"" +
           num(kHeight) + "\" viewBox=\"0 0 " + num(kWidth) + " " + num(kHeight) + "\">\n";
    svg += "  <title>pofhost toolpath, view " + std::string(names) + "</title>\n";
    svg += "  <style>\n"
           "    path { fill: none; stroke-width: 1.5; }\n"
           "    .rapid { stroke: #888888; stroke-dasharray: 6 4; }\n"
           "    .feed { stroke: #1f5fbf; }\n"
           "    .arc { stroke: #2e8b3a; }\n"
           "    .chord { stroke: #c0392b; }\n"
           "    .chord-mark { fill: none; stroke: #c0392b; }\n"
           "    .start { stroke: #000000; stroke-width: 2; }\n"
           "    circle.dot { stroke: none; stroke-dasharray: none; }\n"
           "    circle.dot.rapid { fill: #888888; }\n"
           "    circle.dot.feed { fill: #1f5fbf; }\n"
           "    circle.dot.arc { fill: #2e8b3a; }\n"
           "    circle.dot.chord { fill: #c0392b; }\n"
           "    .axis { stroke: #bbbbbb; stroke-width: 1; }\n"
           "    .scale { stroke: #000000; stroke-width: 2; }\n"
           "    text { font-family: sans-serif; font-size: 13px; fill: #333333; }\n"
           "  </style>\n";
    svg += "  <rect x=\"0\" y=\"0\" width=\"" + num(kWidth) + "\" height=\"" + num(kHeight) +
           "\" fill=\"#ffffff\"/>\n";
    const double ox = fit.x(0), oy = fit.y(0);
    svg += "  <line class=\"axis\" x1=\"" + num(kMargin / 2) + "\" y1=\"" + num(oy) + "\" x2=\"" +
           num(kWidth - kMargin / 2) + "\" y2=\"" + num(oy) + "\"/>\n";
    svg += "  <line class=\"axis\" x1=\"" + num(ox) + "\" y1=\"" + num(kMargin / 2) + "\" x2=\"" +
           num(ox) + "\" y2=\"" + num(areaBottom + kMargin / 2) + "\"/>\n";
    svg += "  <text x=\"" + num(kWidth - kMargin / 2 - 10) + "\" y=\"" + num(oy - 6) + "\">" +
           std::string(1, names[0]) + "</text>\n";
    svg += "  <text x=\"" + num(ox + 6) + "\" y=\"" + num(kMargin / 2 + 10) + "\">" +
           std::string(1, names[1]) + "</text>\n";
    return svg;
}

// A scale bar of a round length of about a quarter of the drawing's width,
// and the legend of counts.
std::string pictureFoot(const Fit& fit, View view, const Counts& counts) {
    std::string svg;
    const double length = niceLength((fit.bounds.maxH - fit.bounds.minH) / 4);
    const double barY = kHeight - kMargin - kLegendHeight / 2 + 10;
    svg += "  <line class=\"scale\" x1=\"" + num(kMargin) + "\" y1=\"" + num(barY) + "\" x2=\"" +
           num(kMargin + length * fit.scale) + "\" y2=\"" + num(barY) + "\"/>\n";
    char lengthText[48];
    std::snprintf(lengthText, sizeof lengthText, "%g", length);
    svg += "  <text x=\"" + num(kMargin) + "\" y=\"" + num(barY - 8) + "\">" + lengthText +
           "</text>\n";
    const double legendY = kHeight - kMargin + 10;
    svg += "  <text x=\"" + num(kMargin) + "\" y=\"" + num(legendY) + "\">view " + viewName(view) +
           " | rapid (dashed) " + std::to_string(counts.rapid) + " | feed " + std::to_string(counts.feed) +
           " | arc " + std::to_string(counts.circular) + " | arc as marked chord " +
           std::to_string(counts.chord) +
           (counts.startArc > 0 ? " | arc, start not known " + std::to_string(counts.startArc) : std::string()) +
           " | x: first target (start not known)</text>\n";
    if (counts.placedCentre > 0)
        svg += "  <text x=\"" + num(kMargin) + "\" y=\"" + num(legendY + 16) + "\">centre z not sent: placed " +
               std::to_string(counts.placedCentre) + " (where start and end are equally far from it)</text>\n";
    svg += "</svg>\n";
    return svg;
}

}  // namespace

std::string renderSvg(const std::vector<Segment>& segments, View view) {
    Bounds bounds;  // always holds the origin, where the axes cross
    const std::vector<Drawn> drawn = projectMoves(segments, view, bounds);
    const Fit fit = fitTo(bounds);
    Counts counts;
    std::string paths, marks;
    for (const Drawn& d : drawn) paths += movePath(fit, d, counts, marks);
    return pictureHead(fit, view) + paths + marks + pictureFoot(fit, view, counts);
}

}  // namespace pofhost

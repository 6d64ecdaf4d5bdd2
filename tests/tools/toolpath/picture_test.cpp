// The flat picture: which arcs are circles, round scale lengths, moves
// followed from where the previous one ended, and a well-formed SVG.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tools/support/format_checks.h"
#include "toolpath/toolpath_svg.h"

namespace {

using namespace pofhost;
using host_tests::isWellFormedXml;
using host_tests::recordWithCode;

constexpr double kPi = 3.14159265358979323846;

TEST(HostPicture, ArcsAreCircularOnlyWhenTheCentreIsEquidistant) {
    struct Case {
        Point2 start, end, centre;
        int direction;
        bool circular, large, full;
        double sweep;
    };
    const Case cases[] = {
        // A quarter turn counter-clockwise, and the same ends the long way round.
        {{15, -15}, {20, -10}, {15, -10}, 0, true, false, false, kPi / 2},
        {{15, -15}, {20, -10}, {15, -10}, 1, true, true, false, 3 * kPi / 2},
        // Half a turn either way is not more than half a turn.
        {{-1, 0}, {1, 0}, {0, 0}, 0, true, false, false, kPi},
        // Start and end coincide: a full circle.
        {{10, 0}, {10, 0}, {0, 0}, 1, true, true, true, 2 * kPi},
        // Radii of 100 and 100.05 (0.05 %) pass; 100 and 100.5 (0.5 %) do not.
        {{100, 0}, {0, 100.05}, {0, 0}, 0, true, false, false, kPi / 2},
        {{100, 0}, {0, 100.5}, {0, 0}, 0, false, false, false, 0},
        // A ZX arc seen from above: the centre lies on the end point.
        {{30, -25}, {35, -25}, {30, -25}, 0, false, false, false, 0},
        // All three points in one: no radius at all.
        {{1, 1}, {1, 1}, {1, 1}, 0, false, false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.start.h) + "," + std::to_string(c.start.v) + " dir " +
                     std::to_string(c.direction));
        const ArcShape shape = arcShape(c.start, c.end, c.centre, c.direction);
        EXPECT_EQ(c.circular, shape.circular);
        if (!c.circular) continue;
        EXPECT_EQ(c.large, shape.largeArc);
        EXPECT_EQ(c.full, shape.fullCircle);
        EXPECT_NEAR(c.sweep, shape.sweep, 1e-9);
        EXPECT_EQ(c.direction == 1, shape.clockwise);
    }
}

TEST(HostPicture, ScaleBarLengthsAreRound) {
    const std::pair<double, double> cases[] = {{7.5, 5}, {10, 10}, {19.9, 10}, {0.3, 0.2}, {2500, 2000}, {0, 1}};
    for (const auto& [span, length] : cases) EXPECT_DOUBLE_EQ(length, niceLength(span)) << span;
}

SignalRecord straight(int code, int xGiven, double x, int yGiven, double y, int zGiven, double z) {
    SignalRecord record = recordWithCode(code);
    SignalMove& m = record.body.move;
    m.xGiven = xGiven;
    m.yGiven = yGiven;
    m.zGiven = zGiven;
    m.targetX = x;
    m.targetY = y;
    m.targetZ = z;
    m.uGiven = m.vGiven = m.wGiven = 0;
    return record;
}

SignalRecord arcTo(int direction, Point3 to, Point3 third) {
    SignalRecord record = recordWithCode(PFR_CODE_ARC);
    SignalArc& a = record.body.arc;
    a.direction = direction;
    a.targetX = to.x;
    a.targetY = to.y;
    a.targetZ = to.z;
    a.thirdX = third.x;
    a.thirdY = third.y;
    a.thirdZ = third.z;
    return record;
}

TEST(HostPicture, MovesStartWhereThePreviousEndedAndKeepWhatTheyDoNotGive) {
    for (const bool thirdZ : {true, false}) {
        ToolpathRecorder recorder(thirdZ);
        recorder.record(straight(PFR_CODE_RAPID, 1, 15, 1, -15, 1, 50));
        recorder.record(straight(PFR_CODE_FEED, 0, 999, 0, 999, 1, -5));  // only z counts
        recorder.record(arcTo(0, {20, -10, -5}, {15, -10, 77}));
        recorder.record(recordWithCode(PFR_CODE_TEXT));  // not a move
        const auto& s = recorder.segments();
        ASSERT_EQ(3u, s.size());
        EXPECT_EQ(SegmentKind::Rapid, s[0].kind);
        EXPECT_DOUBLE_EQ(0, s[0].from.x);
        EXPECT_DOUBLE_EQ(15, s[1].to.x);
        EXPECT_DOUBLE_EQ(-15, s[1].to.y);
        EXPECT_DOUBLE_EQ(-5, s[1].to.z);
        EXPECT_EQ(SegmentKind::Arc, s[2].kind);
        EXPECT_DOUBLE_EQ(-5, s[2].from.z);
        // Without a third z in the record the centre keeps the start's z.
        EXPECT_DOUBLE_EQ(thirdZ ? 77 : -5, s[2].centre.z);
    }
}

TEST(HostPicture, OnePathPerMoveInAWellFormedPicture) {
    ToolpathRecorder recorder(true);
    recorder.record(straight(PFR_CODE_RAPID, 1, 15, 1, -15, 1, 50));
    recorder.record(straight(PFR_CODE_FEED, 0, 0, 0, 0, 1, -5));
    recorder.record(arcTo(0, {20, -10, -5}, {15, -10, -5}));    // circular in xy, the workplane
    recorder.record(arcTo(1, {25, -10, -10}, {20, -10, -10}));  // circular in zx only: a chord
    recorder.record(arcTo(1, {30, -12, -11}, {0, 0, 0}));       // circular in no plane
    // Whichever the view, an arc is a circle by its workplane; the first move
    // is only a cross where it ends.
    const struct {
        View view;
        int arcs, chords;
    } views[] = {{View::XY, 1, 2}, {View::ZX, 1, 2}, {View::YZ, 1, 2}};
    for (const auto& v : views) {
        const std::string svg = renderSvg(recorder.segments(), v.view);
        std::map<std::string, int> elements;
        std::string why;
        ASSERT_TRUE(isWellFormedXml(svg, &elements, &why)) << why;
        EXPECT_EQ(5, elements["path"]);
        auto count = [&](const std::string& needle) {
            int n = 0;
            for (std::size_t at = svg.find(needle); at != std::string::npos; at = svg.find(needle, at + 1)) ++n;
            return n;
        };
        EXPECT_EQ(0, count("<path class=\"rapid\""));
        EXPECT_EQ(1, count("<path class=\"start\""));
        EXPECT_EQ(1, count("<path class=\"feed\""));
        EXPECT_EQ(v.arcs, count("<path class=\"arc\""));
        EXPECT_EQ(v.chords, count("<path class=\"chord\""));
        EXPECT_EQ(v.chords, count("<circle class=\"chord-mark\""));  // each chord is marked
        // Seen from above the plunge has no length: only a dot shows it.
        EXPECT_EQ(v.view == View::XY ? 1 : 0, count("<circle class=\"dot feed\""));
    }
    // An empty toolpath still gives a picture with axes and a legend.
    std::map<std::string, int> elements;
    ASSERT_TRUE(isWellFormedXml(renderSvg({}, View::XY), &elements));
    EXPECT_EQ(0, elements["path"]);
    EXPECT_EQ(3, elements["line"]);
}

// The flags of the first arc command in `svg`: large-arc and sweep.
std::pair<int, int> arcFlags(const std::string& svg) {
    const std::size_t path = svg.find("<path class=\"arc\"");
    const std::size_t command = svg.find(" A ", path);
    if (path == std::string::npos || command == std::string::npos) return {-1, -1};
    double rx = 0, ry = 0, rotation = 0;
    int large = -1, sweep = -1;
    std::sscanf(svg.c_str() + command, " A %lf %lf %lf %d %d", &rx, &ry, &rotation, &large, &sweep);
    return {large, sweep};
}

// The picture coordinates a path's data reaches, arcs by their circle.
struct Reach {
    double top = 1e9, bottom = -1e9;
};
Reach reachOf(const std::string& svg, const char* style) {
    Reach reach;
    const std::size_t path = svg.find(std::string("<path class=\"") + style + "\"");
    if (path == std::string::npos) return reach;
    double x0 = 0, y0 = 0, r = 0, rotation = 0, x1 = 0, y1 = 0;
    int large = 0, sweep = 0;
    const char* data = svg.c_str() + svg.find(" d=\"", path) + 4;
    if (std::sscanf(data, "M %lf %lf A %lf %*f %lf %d %d %lf %lf", &x0, &y0, &r, &rotation, &large, &sweep, &x1, &y1) == 8) {
        // The centre of a half circle is between its ends; SVG's sweep 1 turns clockwise on screen.
        const double cy = (y0 + y1) / 2;
        const double dx = x1 - x0, dy = y1 - y0, length = std::hypot(dx, dy);
        const double side = sweep == 1 ? -1 : 1;  // the bulge's side of the line start to end
        const double by = cy + side * (dx / length) * r;
        reach.top = std::min({y0, y1, by});
        reach.bottom = std::max({y0, y1, by});
        return reach;
    }
    for (const char* at = data; *at != '"' && *at != '\0'; ++at) {
        double x = 0, y = 0;
        if ((*at == 'M' || *at == 'L') && std::sscanf(at + 1, "%lf %lf", &x, &y) == 2) {
            reach.top = std::min(reach.top, y);
            reach.bottom = std::max(reach.bottom, y);
        }
    }
    return reach;
}

TEST(HostPicture, ArcsBulgeInsideThePictureInTheirWorkplane) {
    // Half circles from (0, 0, 0) to (20, 0, 0) round (10, 0, 0): clockwise in
    // XY they bulge to y 10, counter-clockwise in ZX to z 10, past both ends.
    struct Case {
        const char* what;
        int direction;
        bool zx;
        View view;
        const char* style;
    };
    const Case cases[] = {
        {"clockwise half circle in XY", 1, false, View::XY, "arc"},
        {"half circle in ZX, seen in ZX", 0, true, View::ZX, "arc"},
        {"half circle in ZX, seen from above", 0, true, View::YZ, "arc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ToolpathRecorder recorder(true);
        recorder.record(straight(PFR_CODE_RAPID, 1, 0, 1, 0, 1, 0));
        if (c.zx) {
            recorder.follower().transformation("workplane", "ZX");
            recorder.follower().transformation("tr", "workplane");
        }
        recorder.record(arcTo(c.direction, {20, 0, 0}, {10, 0, 0}));
        const std::string svg = renderSvg(recorder.segments(), c.view);
        const Reach reach = reachOf(svg, c.style);
        ASSERT_LT(reach.top, reach.bottom) << svg;
        // The drawing area: below the top margin, above the scale bar and legend.
        EXPECT_GE(reach.top, 40 - 0.01);
        EXPECT_LE(reach.bottom, 600 - 40 - 60 + 0.01);
        // And it fills it: the bulge is the picture's height.
        EXPECT_GT(reach.bottom - reach.top, 100);
    }
}

TEST(HostPicture, TurningSenseAndSizeGiveTheArcFlags) {
    // From (10, 0) round the origin to (0, 10): a quarter counter-clockwise,
    // three quarters clockwise. The picture's y axis points down, so a
    // counter-clockwise turn in the model has SVG's sweep flag 0.
    const std::pair<int, std::pair<int, int>> cases[] = {{0, {0, 0}}, {1, {1, 1}}};
    for (const auto& [direction, flags] : cases) {
        ToolpathRecorder recorder(true);
        recorder.record(straight(PFR_CODE_FEED, 1, 10, 1, 0, 0, 0));
        recorder.record(arcTo(direction, {0, 10, 0}, {0, 0, 0}));
        EXPECT_EQ(flags, arcFlags(renderSvg(recorder.segments(), View::XY))) << direction;
    }
}

}  // namespace

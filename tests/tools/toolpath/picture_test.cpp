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
    recorder.record(arcTo(0, {20, -10, -5}, {15, -10, -5}));    // circular in xy only
    recorder.record(arcTo(1, {25, -10, -10}, {20, -10, -10}));  // circular in zx only
    recorder.record(arcTo(1, {30, -12, -11}, {0, 0, 0}));       // circular in no view
    const struct {
        View view;
        int arcs, chords;
    } views[] = {{View::XY, 1, 2}, {View::ZX, 1, 2}, {View::YZ, 0, 3}};
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
        EXPECT_EQ(1, count("<path class=\"rapid\""));
        EXPECT_EQ(1, count("<path class=\"feed\""));
        EXPECT_EQ(v.arcs, count("<path class=\"arc\""));
        EXPECT_EQ(v.chords, count("<path class=\"chord\""));
        EXPECT_EQ(v.chords, elements["circle"]);  // each chord is marked
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

// The toolpath in space behind --summary and --html: arcs in their own plane,
// their points and lengths, the recorded job and the page's arrays.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tools/support/format_checks.h"
#include "toolpath/job_summary.h"
#include "toolpath/text_spool.h"
#include "toolpath/toolpath_geometry.h"
#include "toolpath/toolpath_html.h"

namespace {

using namespace pofhost;

constexpr double kPi = 3.14159265358979323846;

Point3 minus(const Point3& a, const Point3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double distance(const Point3& a, const Point3& b) { return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z); }

SignalRecord move(int code, std::vector<double> xyz, std::vector<double> uvw = {}) {
    SignalRecord r{};
    r.code = code;
    SignalMove& m = r.body.move;
    m.xGiven = m.yGiven = m.zGiven = 1;
    m.targetX = xyz[0];
    m.targetY = xyz[1];
    m.targetZ = xyz[2];
    if (!uvw.empty()) {
        m.uGiven = m.vGiven = m.wGiven = 1;
        m.u = uvw[0];
        m.v = uvw[1];
        m.w = uvw[2];
    }
    return r;
}

SignalRecord arc(int direction, Point3 to, Point3 third) {
    SignalRecord r{};
    r.code = PFR_CODE_ARC;
    r.body.arc = {direction, {}, to.x, to.y, to.z, third.x, third.y, third.z};
    return r;
}

SignalRecord named(int code, const char* name, const char* value) {
    SignalRecord r{};
    r.code = code;
    std::strcpy(r.body.nameValue.name, name);
    std::strcpy(r.body.nameValue.value, value);
    return r;
}

TEST(HostSpace, ArcsTurnInTheirPlaneTheWayTheFlatPictureShowsThem) {
    struct Case {
        const char* what;
        Point3 start, end, centre;
        int direction;
        bool circular;
        double sweep;
        Point3 axis;
    };
    const Case cases[] = {
        {"XY quarter +", {20, -10, -5}, {15, -5, -5}, {15, -10, -5}, 0, true, kPi / 2, {0, 0, 1}},
        {"XY quarter the long way -", {20, -10, -5}, {15, -5, -5}, {15, -10, -5}, 1, true, 3 * kPi / 2, {0, 0, -1}},
        // The ZX view has z to the right and x up: "+" turns about +y.
        {"ZX fillet +", {30, -25, 0}, {35, -25, -5}, {30, -25, -5}, 0, true, kPi / 2, {0, 1, 0}},
        {"ZX fillet -", {35, 25, -5}, {30, 25, 0}, {30, 25, -5}, 1, true, kPi / 2, {0, -1, 0}},
        {"tilted plane", {1, 0, 0}, {0, 1, 1}, {0, 0, 0}, 0, false, 0, {}},  // radii 1 and sqrt 2
        // Nearest the ZX plane, so "+" turns about +y and goes the long way round.
        {"tilted circle", {1, 0, 0}, {0, 0.6, 0.8}, {0, 0, 0}, 0, true, 3 * kPi / 2, {0, 0.8, -0.6}},
        // On one line with the centre: the coordinate plane through the line,
        // XY before ZX before YZ.
        {"half circle in XY", {1, 0, 0}, {-1, 0, 0}, {0, 0, 0}, 0, true, kPi, {0, 0, 1}},
        {"full circle", {0, 0, 7}, {0, 0, 7}, {0, 0, 2}, 1, true, 2 * kPi, {0, -1, 0}},
        {"ramping corner", {15, -15, 0}, {20, -10, -5}, {15, -10, -5}, 0, false, 0, {}},
        {"no radius", {3, 3, 3}, {3, 3, 3}, {3, 3, 3}, 0, false, 0, {}},
        {"NaN centre", {1, 0, 0}, {0, 1, 0}, {std::nan(""), 0, 0}, 0, false, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SpaceArc shape = spaceArc(c.start, c.end, c.centre, c.direction);
        ASSERT_EQ(c.circular, shape.circular);
        if (!c.circular) continue;
        EXPECT_NEAR(c.sweep, shape.sweep, 1e-9);
        EXPECT_NEAR(0, distance(c.axis, shape.axis), 1e-9);
        // Turned by the sweep about the axis, the start lands on the end.
        std::vector<Point3> points;
        arcPoints(c.start, c.end, c.centre, shape, 1e-3, points);
        const Point3 u = minus(c.start, c.centre);
        const Point3 v{shape.axis.y * u.z - shape.axis.z * u.y, shape.axis.z * u.x - shape.axis.x * u.z,
                       shape.axis.x * u.y - shape.axis.y * u.x};
        const double c1 = std::cos(shape.sweep), s1 = std::sin(shape.sweep);
        const Point3 turned{c.centre.x + c1 * u.x + s1 * v.x, c.centre.y + c1 * u.y + s1 * v.y,
                            c.centre.z + c1 * u.z + s1 * v.z};
        EXPECT_NEAR(0, distance(turned, c.end), 1e-9);
    }
}

TEST(HostSpace, ArcPointsStayOnTheCircleWithinTheTolerance) {
    const Point3 start{10, 0, 0}, end{0, 10, 0}, centre{0, 0, 0};
    for (const double tolerance : {1.0, 0.01, 1e-9}) {
        const SpaceArc shape = spaceArc(start, end, centre, 1);  // three quarters
        std::vector<Point3> points;
        arcPoints(start, end, centre, shape, tolerance, points);
        ASSERT_FALSE(points.empty());
        EXPECT_EQ(0, std::memcmp(&end, &points.back(), sizeof end));  // exactly the target
        EXPECT_GE(points.size(), 6u);  // at least one point per eighth of a turn
        EXPECT_LE(points.size(), 1024u);
        Point3 previous = start;
        for (const Point3& p : points) {
            EXPECT_NEAR(10, distance(p, centre), 1e-9);
            const Point3 middle{(p.x + previous.x) / 2, (p.y + previous.y) / 2, (p.z + previous.z) / 2};
            // No chord strays further than asked, unless the point count is at its cap.
            EXPECT_LE(10 - distance(middle, centre),
                      std::max(tolerance, 10 * (1 - std::cos(shape.sweep / 2048))) + 1e-12);
            EXPECT_FALSE(p.x > 1e-9 && p.y > 1e-9);  // clockwise: round through -y, never the short way
            previous = p;
        }
        EXPECT_NEAR(15 * kPi, moveLength(Segment{SegmentKind::Arc, PFR_CODE_ARC, start, end, centre, 1, false, {}, false}, shape), 1e-9);
    }
}

TEST(HostSpace, PercentilesTakeTheNearestRank) {
    const struct {
        std::vector<double> values;
        double share, expected;
    } cases[] = {{{}, 0.5, 0}, {{7}, 0.02, 7}, {{5, 1, 4, 2, 3}, 0.5, 3}, {{5, 1, 4, 2, 3}, 0, 1},
                 {{5, 1, 4, 2, 3}, 0.98, 5}, {{50, 50, -5, -5, -5, -5, -5, -5, -5, -4}, 0.8, -4}};
    for (auto c : cases) EXPECT_EQ(c.expected, percentile(c.values, c.share)) << c.share;
}

// A small job as a host receives it: key 0 at A and at B, text at B.
JobRecorder exampleJob(bool keepMoves = true) {
    JobRecorder job(RecordShape{true, true}, keepMoves);
    const SignalRecord cycle = named(PFR_CODE_CYCLE, "cycle", "Pocket");
    SignalRecord text{};
    text.code = PFR_CODE_TEXT;
    std::strcpy(text.body.text, "first <text>");
    job.receive('A', PFR_KEY_EVENT, &cycle);
    job.receive('B', PFR_KEY_EVENT, &cycle);
    job.receive('B', PFR_KEY_TEXT, &text);
    job.receive('A', PFR_KEY_MOVE, &(const SignalRecord&)move(PFR_CODE_RAPID_AXIS, {10, 0, 5}, {0, 0.6, 0.8}));
    job.receive('A', PFR_KEY_MOVE, &(const SignalRecord&)move(PFR_CODE_FEED, {std::nan(""), 0, 0}));
    job.receive('A', PFR_KEY_MOVE, &(const SignalRecord&)arc(0, {0, 10, 5}, {0, 0, 5}));
    const SignalRecord workplane = named(PFR_CODE_NAMED_VALUE, "workplane", "ZX");
    job.receive('A', PFR_KEY_TRANSFORM, &workplane);
    job.receive('A', PFR_KEY_MOVE, &(const SignalRecord&)move(PFR_CODE_FEED, {0, 10, -1}));
    job.receive('A', PFR_KEY_MOVE, nullptr);
    return job;
}

TEST(HostSummary, FiguresCountEachRecordOnceAndSkipWhatIsNotFinite) {
    const JobRecorder job = exampleJob();
    ASSERT_EQ(4u, job.moves().size());
    EXPECT_TRUE(job.moves()[1].nonFinite);
    EXPECT_DOUBLE_EQ(10, job.moves()[2].from.x);  // the NaN move left the position alone
    EXPECT_EQ((std::vector<long>{4, 5, 6, 8}), job.moveDeliveries());
    const JobSummary s = summarize(job, 1, reportedMethods(
        " methode = 'plunge'\n methode = 'lead'\nnoise\n methode = 'plunge'\n"));
    EXPECT_EQ(9, s.deliveries);
    EXPECT_EQ(2, (s.byKeyAndCode.at({PFR_KEY_EVENT, PFR_CODE_CYCLE})));
    EXPECT_EQ(1, (s.byKeyAndCode.at({PFR_KEY_MOVE, -1})));
    EXPECT_EQ(1, s.events.at("cycle"));
    EXPECT_EQ((std::vector<std::string>{"Pocket"}), s.cycles->all());
    EXPECT_EQ((std::vector<std::string>{"ZX"}), s.workplanes->all());
    EXPECT_EQ((std::vector<std::string>{"plunge", "lead"}), s.methods);
    EXPECT_EQ(1, s.figures.rapid);
    EXPECT_EQ(1, s.figures.feed);
    EXPECT_EQ(1, s.figures.circularArcs);
    EXPECT_EQ(1, s.figures.nonFinite);
    EXPECT_EQ(1, s.figures.withToolAxis);
    EXPECT_DOUBLE_EQ(std::hypot(10, 5), s.figures.rapidLength);
    EXPECT_DOUBLE_EQ(5 * kPi + 6, s.figures.feedLength);  // a quarter of radius 10, then 6 down
    EXPECT_DOUBLE_EQ(-1, s.figures.extent.min.z);
    EXPECT_DOUBLE_EQ(10, s.figures.extent.max.y);
    std::string why;
    EXPECT_TRUE(host_tests::isJsonValue(summaryJson(s), &why)) << why;
    EXPECT_NE(std::string::npos, summaryText(s).find("moves not finite (skipped) 1\n"));
    // Without the pictures nothing is kept per move, and the figures are the same.
    const JobRecorder streamed = exampleJob(false);
    EXPECT_TRUE(streamed.moves().empty() && streamed.drawn().empty() && streamed.texts().empty());
    EXPECT_EQ(summaryJson(summarize(job, 1, {})), summaryJson(summarize(streamed, 1, {})));
}

TEST(HostSummary, SpooledTextsComeBackWholeAndInOrderBetweenAdditions) {
    TextSpool spool;
    std::vector<std::string> added;
    for (int i = 0; i < 300; ++i) {
        added.push_back(i % 3 == 0 ? std::string() : std::string("a\0\nb", 4) + std::to_string(i));
        spool.add(added.back());
        if (i == 7 || i == 150) {
            EXPECT_EQ(added, spool.all());  // reading back, then adding on
        }
    }
    EXPECT_EQ(300, spool.size());
    EXPECT_EQ(added, spool.all());
}

TEST(HostPage, ArraysHoldEveryMoveCompactly) {
    const JobRecorder job = exampleJob();
    const PageData page = pageData(job, 0.01);
    ASSERT_EQ(4u, page.forms.size());
    EXPECT_EQ(kPageRapid | kFormToolAxis | 1 << kFormCodeShift, page.forms[0]);
    EXPECT_EQ(kPageSkipped | 2 << kFormCodeShift, page.forms[1]);
    EXPECT_EQ(kPageArc | 4 << kFormCodeShift, page.forms[2]);
    EXPECT_EQ(kPageFeed | 2 << kFormCodeShift, page.forms[3]);
    // The start, the rapid's target, the arc's points and the last target.
    ASSERT_EQ(1u, page.arcPoints.size());
    EXPECT_EQ(3 * (3u + page.arcPoints[0]), page.points.size());
    EXPECT_EQ((std::vector<float>{0, 0.6f, 0.8f}), page.axes);
    EXPECT_EQ((std::vector<float>{0, 0, 5}), page.centres);
    // Deliveries 4, 5, 6 follow on; 8 jumps.
    EXPECT_EQ((std::vector<uint32_t>{0, 4, 3, 8}), page.sequence);
    EXPECT_EQ(-1, page.heightLow);  // over the feed moves' targets only
    EXPECT_EQ(5, page.heightHigh);

    EXPECT_EQ("", base64("", 0));
    EXPECT_EQ("Zg==", base64("f", 1));
    EXPECT_EQ("Zm8=", base64("fo", 2));
    EXPECT_EQ("Zm9v+/8=", base64("foo\xfb\xff", 5));
}

TEST(HostPage, TextsCannotCloseTheScriptTheyStandIn) {
    if (!htmlPageAvailable()) GTEST_SKIP() << "built without three.js";
    const JobRecorder job = exampleJob();
    const std::string html = renderHtml(job, summarize(job, 1, {}), "</script><b>");
    EXPECT_EQ(std::string::npos, html.find("<b>"));
    EXPECT_NE(std::string::npos, html.find("\"first \\u003ctext>\""));
    EXPECT_EQ(0u, html.find("<!DOCTYPE html>"));
}

}  // namespace

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

Segment arcMove(int workplane, Point3 start, Point3 end, Point3 centre, int direction, bool thirdZ = true) {
    Segment m;
    m.kind = SegmentKind::Arc;
    m.code = PFR_CODE_ARC;
    m.from = start;
    m.to = end;
    m.centre = centre;
    m.direction = direction;
    m.workplane = workplane;
    m.centreZSent = thirdZ;
    return m;
}

// The in-plane distance from the centre and the normal coordinate of `p`.
std::pair<double, double> inWorkplane(int workplane, const Point3& p, const Point3& centre) {
    if (workplane == kWorkplaneZX) return {std::hypot(p.z - centre.z, p.x - centre.x), p.y};
    return {std::hypot(p.x - centre.x, p.y - centre.y), p.z};
}

TEST(HostSpace, ArcsLieInTheActiveWorkplane) {
    constexpr int XY = kWorkplaneXY, ZX = kWorkplaneZX;
    struct Case {
        const char* what;
        Segment arc;
        ArcRule rule;
        double sweep, length;
    };
    const Case cases[] = {
        {"XY quarter +", arcMove(XY, {20, -10, -5}, {15, -5, -5}, {15, -10, -5}, 0), ArcRule::Circle, kPi / 2, 2.5 * kPi},
        {"XY the long way -", arcMove(XY, {20, -10, -5}, {15, -5, -5}, {15, -10, -5}, 1), ArcRule::Circle, 1.5 * kPi, 7.5 * kPi},
        // The ZX plane has z to the right and x up.
        {"ZX fillet +", arcMove(ZX, {30, -25, 0}, {35, -25, -5}, {30, -25, -5}, 0), ArcRule::Circle, kPi / 2, 2.5 * kPi},
        {"ZX fillet -", arcMove(ZX, {35, 25, -5}, {30, 25, 0}, {30, 25, -5}, 1), ArcRule::Circle, kPi / 2, 2.5 * kPi},
        // Start, end and centre on one line along x: the workplane says which half circle.
        {"half circle along x in ZX", arcMove(ZX, {0, 0, 0}, {20, 0, 0}, {10, 0, 0}, 0), ArcRule::Circle, kPi, 10 * kPi},
        {"half circle along x in XY", arcMove(XY, {0, 0, 0}, {20, 0, 0}, {10, 0, 0}, 1), ArcRule::Circle, kPi, 10 * kPi},
        // The ramping corner: a quarter in XY going down 5.
        {"helix", arcMove(XY, {15, -15, 0}, {20, -10, -5}, {15, -10, -5}, 0), ArcRule::Helix, kPi / 2, std::hypot(2.5 * kPi, 5)},
        {"full circle", arcMove(ZX, {0, 0, 7}, {0, 0, 7}, {0, 0, 2}, 1), ArcRule::Circle, 2 * kPi, 10 * kPi},
        // A chord is as long as the straight line from start to end.
        {"chord: radii 1 and 2", arcMove(XY, {1, 0, 0}, {0, 2, 0}, {0, 0, 0}, 0), ArcRule::Chord, 0, std::sqrt(5.0)},
        {"chord: circular only in ZX", arcMove(XY, {30, -25, 0}, {35, -25, -5}, {30, -25, -5}, 0), ArcRule::Chord, 0, std::sqrt(50.0)},
        {"no radius", arcMove(XY, {3, 3, 3}, {3, 3, 3}, {3, 3, 3}, 0), ArcRule::Chord, 0, 0},
        {"NaN centre", arcMove(XY, {1, 0, 0}, {0, 1, 0}, {std::nan(""), 0, 0}, 0), ArcRule::Chord, 0, std::sqrt(2.0)},
        // The earlier revision sends no centre z: in ZX it is placed where start and end are equally far.
        {"7.00 fillet in ZX", arcMove(ZX, {30, -25, 0}, {35, -25, -5}, {30, -25, 0}, 0, false), ArcRule::Circle, kPi / 2, 2.5 * kPi},
        {"7.00 ZX, no z change", arcMove(ZX, {30, 0, 0}, {40, 0, 0}, {35, 0, 0}, 0, false), ArcRule::CentreUnknown, 0, 10},
        {"7.00 XY ignores the centre z", arcMove(XY, {10, 0, 0}, {0, 10, 0}, {0, 0, 99}, 0, false), ArcRule::Circle, kPi / 2, 5 * kPi},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SpaceArc shape = spaceArc(c.arc);
        ASSERT_EQ(static_cast<int>(c.rule), static_cast<int>(shape.rule));
        EXPECT_NEAR(c.length, moveLength(c.arc, shape), 1e-9);
        if (!shape.circular) continue;
        EXPECT_NEAR(c.sweep, shape.sweep, 1e-9);
        // Every point on the circle in the plane, the normal coordinate running evenly.
        std::vector<Point3> points;
        arcPoints(c.arc, shape, 1e-3, points);
        ASSERT_FALSE(points.empty());
        EXPECT_EQ(0, std::memcmp(&c.arc.to, &points.back(), sizeof c.arc.to));
        const double startNormal = inWorkplane(shape.plane, c.arc.from, shape.centre).second;
        const double endNormal = inWorkplane(shape.plane, c.arc.to, shape.centre).second;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const auto [radius, normal] = inWorkplane(shape.plane, points[i], shape.centre);
            EXPECT_NEAR(shape.radius, radius, 1e-9);
            EXPECT_NEAR(startNormal + (endNormal - startNormal) * (i + 1.0) / points.size(), normal, 1e-9);
        }
    }
    // "+" in ZX: from x 0 along +x round the side of positive z; "-" in XY round positive y.
    std::vector<Point3> zx, xy;
    arcPoints(cases[4].arc, spaceArc(cases[4].arc), 1e-3, zx);
    arcPoints(cases[5].arc, spaceArc(cases[5].arc), 1e-3, xy);
    EXPECT_NEAR(10, zx[zx.size() / 2 - 1].z, 1e-6);
    EXPECT_NEAR(10, xy[xy.size() / 2 - 1].y, 1e-6);
}

TEST(HostSpace, TheFirstMoveHasNoKnownStartAndTheWorkplaneFollowsItsRecords) {
    ToolpathRecorder recorder(true);
    recorder.record(move(PFR_CODE_RAPID, {10, 0, 5}));
    recorder.follower().transformation("workplane", "ZX");
    recorder.record(arc(0, {20, 0, 5}, {15, 0, 5}));  // not active yet
    recorder.follower().transformation("tr", "workplane");
    recorder.record(arc(0, {30, 0, 5}, {25, 0, 5}));
    recorder.follower().cycleEnd();
    recorder.record(arc(0, {40, 0, 5}, {35, 0, 5}));
    const auto& s = recorder.segments();
    ASSERT_EQ(4u, s.size());
    EXPECT_FALSE(s[0].startKnown);
    EXPECT_EQ(0, moveLength(s[0], {}));
    EXPECT_EQ(ArcRule::NoStart, [] { Segment first = arcMove(kWorkplaneXY, {}, {1, 0, 0}, {0, 0, 0}, 0); first.startKnown = false; return spaceArc(first).rule; }());
    EXPECT_EQ((std::vector<int>{kWorkplaneXY, kWorkplaneXY, kWorkplaneZX, kWorkplaneXY}),
              (std::vector<int>{s[0].workplane, s[1].workplane, s[2].workplane, s[3].workplane}));
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
JobRecorder exampleJob(JobRecorder::Keep keep = JobRecorder::Keep::Page) {
    JobRecorder job(RecordShape{true, true}, keep);
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
    EXPECT_DOUBLE_EQ(0, s.figures.rapidLength);  // the first move, from nowhere known
    EXPECT_DOUBLE_EQ(5 * kPi + 6, s.figures.feedLength);  // a quarter of radius 10, then 6 down
    EXPECT_DOUBLE_EQ(-1, s.figures.extent.min.z);
    EXPECT_DOUBLE_EQ(10, s.figures.extent.max.y);
    std::string why;
    EXPECT_TRUE(host_tests::isJsonValue(summaryJson(s), &why)) << why;
    EXPECT_NE(std::string::npos, summaryText(s).find("moves not finite (skipped) 1\n"));
    // Without the pictures nothing is kept per move, and the figures are the same.
    const JobRecorder streamed = exampleJob(JobRecorder::Keep::Nothing);
    EXPECT_TRUE(streamed.moves().empty() && streamed.drawn().empty() && streamed.texts().empty());
    EXPECT_EQ(summaryJson(summarize(job, 1, {})), summaryJson(summarize(streamed, 1, {})));
    // The flat picture needs the moves alone, not the page's lines and markers.
    const JobRecorder flat = exampleJob(JobRecorder::Keep::Moves);
    EXPECT_EQ(4u, flat.moves().size());
    EXPECT_TRUE(flat.drawn().empty() && flat.moveDeliveries().empty() && flat.otherLines().empty() &&
                flat.texts().empty() && flat.events().empty() && flat.cycles().empty());
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
    EXPECT_EQ(kPageStart | kFormToolAxis | 1 << kFormCodeShift, page.forms[0]);
    EXPECT_EQ(kPageSkipped | 2 << kFormCodeShift, page.forms[1]);
    EXPECT_EQ(kPageArc | 4 << kFormCodeShift, page.forms[2]);
    EXPECT_EQ(kPageFeed | 2 << kFormCodeShift, page.forms[3]);
    // The first target, the arc's points and the last target.
    ASSERT_EQ(1u, page.arcPoints.size());
    EXPECT_EQ(3 * (2u + page.arcPoints[0]), page.points.size());
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

// The pieces pofhost's output is made of: escaping, number round trips, the
// decoding of each record form, the command line and the picture's geometry.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "delivery_format.h"
#include "format_checks.h"
#include "host_options.h"
#include "output_text.h"
#include "toolpath_svg.h"

namespace {

using namespace pofhost;
using host_tests::isJsonValue;
using host_tests::isWellFormedXml;

// Reads a number back as a JSON reader would.
double readBack(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

TEST(HostNumbers, JsonNumbersReadBackToTheSameDouble) {
    const double values[] = {0.0,
                             -0.0,
                             0.1,
                             1.0 / 3.0,
                             3 * 0.2,  // 0.6000000000000001, not 0.6
                             -123456789.125,
                             1e-300,
                             std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::max(),
                             0.866025};
    for (const double value : values) {
        const std::string text = jsonNumber(value);
        SCOPED_TRACE(text);
        EXPECT_TRUE(isJsonValue(text));
        const double back = readBack(text);
        EXPECT_EQ(0, std::memcmp(&back, &value, sizeof value));
    }
    EXPECT_EQ("0.1", jsonNumber(0.1));
    EXPECT_EQ("-0", jsonNumber(-0.0));
}

TEST(HostNumbers, NonFiniteValuesBecomeJsonStrings) {
    EXPECT_EQ("\"inf\"", jsonNumber(std::numeric_limits<double>::infinity()));
    EXPECT_EQ("\"-inf\"", jsonNumber(-std::numeric_limits<double>::infinity()));
    EXPECT_EQ("\"nan\"", jsonNumber(std::nan("")));
    EXPECT_EQ("inf", formatNumber(std::numeric_limits<double>::infinity()));
}

TEST(HostText, StringsAreEscapedByteForByte) {
    struct Case {
        std::string input, json, text;
    };
    const Case cases[] = {
        {"plain text", "\"plain text\"", "\"plain text\""},
        {"", "\"\"", "\"\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\"", "\"a\\\"b\\\\c\""},
        {"tab\there\n", "\"tab\\u0009here\\u000A\"", "\"tab\\x09here\\x0A\""},
        {"30\xB0 \xFF\x7F", "\"30\\u00B0 \\u00FF\\u007F\"", "\"30\\xB0 \\xFF\\x7F\""},
        {std::string("a\0b", 3), "\"a\\u0000b\"", "\"a\\x00b\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        EXPECT_EQ(c.json, jsonString(c.input));
        EXPECT_EQ(c.text, quoteText(c.input));
        EXPECT_TRUE(isJsonValue(jsonString(c.input)));
    }
}

TEST(HostText, FieldsAreReadToTheirNulOrTheirEndAndNoFurther) {
    char field[8] = {'a', 'b', 'c', '\0', 'x', 'x', 'x', 'x'};
    EXPECT_EQ("abc", fieldText(field, sizeof field));
    char unterminated[12];
    std::memset(unterminated, 'n', sizeof unterminated);
    unterminated[8] = '\0';  // beyond the field's 6 bytes
    EXPECT_EQ("nnnnnn", fieldText(unterminated, 6));
}

SignalRecord recordWithCode(int code) {
    SignalRecord record;
    std::memset(&record, 0xAB, sizeof record);  // unwritten bytes carry junk
    record.code = code;
    return record;
}

TEST(HostDeliveries, EachBodyFormIsDecodedByItsCode) {
    const RecordShape current{true, true};
    const RecordShape earlier{false, false};

    SignalRecord nameValue = recordWithCode(PFR_CODE_CYCLE);
    std::strcpy(nameValue.body.nameValue.name, "cycle");
    std::strcpy(nameValue.body.nameValue.value, "Edge fillet (front)");

    SignalRecord text = recordWithCode(PFR_CODE_TEXT);
    std::strcpy(text.body.text, "30\xB0 \"tilt\"");

    SignalRecord move = recordWithCode(PFR_CODE_FEED_AXIS);
    move.body.move.xGiven = 0;
    move.body.move.yGiven = 1;
    move.body.move.zGiven = 0;
    move.body.move.targetY = 25;
    move.body.move.uGiven = 1;
    move.body.move.vGiven = 1;
    move.body.move.wGiven = 1;
    move.body.move.u = 0;
    move.body.move.v = 0.5;
    move.body.move.w = 0.866025;

    SignalRecord arc = recordWithCode(PFR_CODE_ARC);
    arc.body.arc.direction = 1;
    arc.body.arc.targetX = 30;
    arc.body.arc.targetY = 25;
    arc.body.arc.targetZ = 0;
    arc.body.arc.thirdX = 30;
    arc.body.arc.thirdY = 25;
    arc.body.arc.thirdZ = -5;

    struct Case {
        char function;
        int key;
        const SignalRecord* record;
        RecordShape shape;
        std::string text, json;
    };
    const Case cases[] = {
        {'A', 0, &nameValue, current,
         "fnA key=0 code=103 name=\"cycle\" value=\"Edge fillet (front)\"\n",
         "{\"fn\":\"A\",\"key\":0,\"code\":103,\"name\":\"cycle\",\"value\":\"Edge fillet (front)\"}\n"},
        {'B', 2, &text, current, "fnB key=2 code=1001 text=\"30\\xB0 \\\"tilt\\\"\"\n",
         "{\"fn\":\"B\",\"key\":2,\"code\":1001,\"text\":\"30\\u00B0 \\\"tilt\\\"\"}\n"},
        {'A', 31, &move, current, "fnA key=31 code=3118 feed y=25 u=0 v=0.5 w=0.866025\n",
         "{\"fn\":\"A\",\"key\":31,\"code\":3118,\"kind\":\"feed\",\"y\":25,\"u\":0,\"v\":0.5,"
         "\"w\":0.866025}\n"},
        {'A', 31, &arc, current,
         "fnA key=31 code=3121 arc dir=- target=(30, 25, 0) third=(30, 25, -5)\n",
         "{\"fn\":\"A\",\"key\":31,\"code\":3121,\"kind\":\"arc\",\"direction\":1,"
         "\"target\":{\"x\":30,\"y\":25,\"z\":0},\"third\":{\"x\":30,\"y\":25,\"z\":-5}}\n"},
        // The earlier revision writes no third z: it is not shown.
        {'A', 31, &arc, earlier, "fnA key=31 code=3121 arc dir=- target=(30, 25, 0) third=(30, 25)\n",
         "{\"fn\":\"A\",\"key\":31,\"code\":3121,\"kind\":\"arc\",\"direction\":1,"
         "\"target\":{\"x\":30,\"y\":25,\"z\":0},\"third\":{\"x\":30,\"y\":25}}\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.text, formatDelivery(OutputFormat::Text, c.function, c.key, *c.record, c.shape));
        const std::string json = formatDelivery(OutputFormat::Json, c.function, c.key, *c.record, c.shape);
        EXPECT_EQ(c.json, json);
        EXPECT_TRUE(isJsonValue(json));
    }

    const SignalRecord unknown = recordWithCode(4242);
    EXPECT_EQ("fnC key=40 code=4242 (body not decoded)\n",
              formatDelivery(OutputFormat::Text, 'C', 40, unknown, current));
}

TEST(HostDeliveries, MatricesAndTheCycleLineAreValidJsonAndTheRevisionIsRecognised) {
    FrameMatrix matrix{};
    for (int i = 0; i < 16; ++i) matrix.m[i] = i == 3 ? 0.6000000000000001 : (i % 5 == 0 ? 1 : 0);
    const std::string json = formatMatrix(OutputFormat::Json, "frameMatrix", matrix);
    EXPECT_EQ("{\"matrix\":\"frameMatrix\",\"rows\":[[1,0,0,0.6000000000000001],[0,1,0,0],"
              "[0,0,1,0],[0,0,0,1]]}\n",
              json);

    CycleContext cycle{};
    cycle.title = "T\xE4tigkeit";
    cycle.versionMajor = 7;
    cycle.versionMinor = 0;
    cycle.versionDay = 5;
    cycle.versionMonth = 8;
    cycle.versionYear = 2002;
    EXPECT_EQ("7.00-05.08.2002", versionText(cycle));
    EXPECT_FALSE(shapeOf(cycle).hasReferenceMatrix);
    const std::string line = formatCycle(OutputFormat::Json, cycle);
    EXPECT_EQ("{\"cycle\":\"T\\u00E4tigkeit\",\"version\":\"7.00-05.08.2002\"}\n", line);
    cycle.versionMajor = 9;
    cycle.versionMinor = 50;
    EXPECT_TRUE(shapeOf(cycle).hasReferenceMatrix);
    EXPECT_TRUE(shapeOf(cycle).arcHasThirdZ);
}

struct OptionsCase {
    std::vector<const char*> argv;
    bool ok;
    std::string error;  // a part of the message
};

TEST(HostOptions, CommandLinesParseOrFailWithAMessage) {
    const OptionsCase cases[] = {
        {{"--format", "json", "-Sjob"}, true, ""},
        {{"--format=json", "--svg=a.svg", "--view", "zx", "-Sjob", "--events"}, true, ""},
        {{"--format", "xml"}, false, "unknown format 'xml'"},
        {{"--view", "xz"}, false, "unknown view 'xz'"},
        {{"--library"}, false, "--library needs a value"},
        {{"--svg="}, false, "--svg needs a value"},
        {{"--colour"}, false, "unknown option --colour"},
        {{"--events=1"}, false, "--events takes no value"},
    };
    for (const OptionsCase& c : cases) {
        std::vector<const char*> argv = {"pofhost"};
        argv.insert(argv.end(), c.argv.begin(), c.argv.end());
        HostOptions options;
        std::string error;
        SCOPED_TRACE(c.error);
        EXPECT_EQ(c.ok, parseOptions(static_cast<int>(argv.size()), argv.data(), options, error));
        EXPECT_NE(std::string::npos, error.find(c.error)) << error;
    }
}

TEST(HostOptions, CycleArgumentsKeepTheirOrderAndPassAfterTheSeparator) {
    const char* argv[] = {"pofhost", "-Sjob", "--events", "-V", "--", "--svg", "x", "-P"};
    HostOptions options;
    std::string error;
    ASSERT_TRUE(parseOptions(8, argv, options, error));
    EXPECT_TRUE(options.events);
    EXPECT_TRUE(options.svgFile.empty());
    EXPECT_EQ((std::vector<std::string>{"-Sjob", "-V", "--svg", "x", "-P"}), options.cycleArguments);
}

TEST(HostOptions, HelpNamesEveryOption) {
    const std::string help = helpText("/lib/libpofreader.so");
    for (const char* option : {"--library", "--format", "--events", "--svg", "--view", "--version",
                               "--help", "/lib/libpofreader.so", "Exit status"})
        EXPECT_NE(std::string::npos, help.find(option)) << option;
}

// ---- Picture geometry ------------------------------------------------------

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

// ---- The checkers themselves must refuse what is wrong ------------------

TEST(HostChecks, TheJsonCheckerRefusesWhatIsNotJson) {
    for (const char* good : {"{}", "[]", "{\"a\":[1,-0.5e+3,true,null,\"\\u00B0\"]}", " 0 "})
        EXPECT_TRUE(isJsonValue(good)) << good;
    for (const char* bad : {"", "{", "{\"a\":}", "[1,]", "{'a':1}", "01", "1.", "nan", "\"\x01\"",
                            "\"\xB0\"", "{\"a\":1}{}", "\"\\x41\"", "{\"a\" 1}"})
        EXPECT_FALSE(isJsonValue(bad)) << bad;
}

TEST(HostChecks, TheXmlCheckerRefusesWhatIsNotWellFormed) {
    EXPECT_TRUE(isWellFormedXml("<?xml version=\"1.0\"?>\n<a x=\"1\"><b/>t &amp; u</a>\n"));
    for (const char* bad : {"<a>", "<a></b>", "<a x=1/>", "<a x=\"1\" x=\"2\"/>", "<a/><b/>",
                            "<a>&nbsp;</a>", "<a>x < y</a>", "text<a/>", "<a><b></a></b>"})
        EXPECT_FALSE(isWellFormedXml(bad)) << bad;
}

}  // namespace

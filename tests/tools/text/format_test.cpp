// The pieces the tools' text output is made of: escaping, number round trips
// and the decoding of each record form; and the test checkers themselves.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "tools/support/format_checks.h"
#include "text/delivery_format.h"
#include "text/output_text.h"

namespace {

using namespace pofhost;
using host_tests::isJsonValue;
using host_tests::recordWithCode;
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

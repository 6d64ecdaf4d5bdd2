// The payload splitter of both revisions, the record's field bounds, named
// values and the configuration report.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/common.h"
#include "common/limits.h"
#include "config/config.h"
#include "frame/frame.h"
#include "scripted_cycle.h"
#include "support/recording_host.h"

namespace frame_test {
namespace {

using pofreader::kEarlierRevision;
using pofreader::splitNameValue;

struct SplitCase {
    const char* payload;
    int found;
    const char* name;
    const char* value;         // current revision
    const char* earlierValue;  // earlier revision; null: as the current one
};

const SplitCase kSplitCases[] = {
    {"cycle(Roughing 1)", 1, "cycle", "Roughing 1", nullptr},
    {" a b (x)", 1, "b", "x", nullptr},
    {"\ta\t b\t(x y)", 1, "b", "x y", nullptr},
    {"f(g(h))", 1, "f", "g(h)", "g(h"},
    {"cycle(f(g))", 1, "cycle", "f(g)", "f(g"},
    {"n(a(b)c(d)e)rest", 1, "n", "a(b)c(d)e", "a(b"},
    {"n(\"x)y\")", 1, "n", "\"x)y\"", nullptr},
    {"n(\"(\" z)", 1, "n", "\"(\" z", nullptr},
    {"a(b", 1, "a", "b", nullptr},
    {"a(b(c", 1, "a", "b(c", nullptr},
    {"a()", 1, "a", "", nullptr},
    {"a(x) tail(y)", 1, "a", "x", nullptr},
    {"\"q p\"(v)", 1, "\"q p\"", "v", nullptr},
    {"ab\"c d\"ef(v)", 1, "ef", "v", nullptr},
    {"\"q\"x(v)", 1, "x", "v", nullptr},
    {"\"a(b)\"(v)", 1, "\"a(b)\"", "v", nullptr},
    // failures
    {"no parenthesis", 0, nullptr, nullptr, nullptr},
    {"(x)", 0, "", "x", nullptr},
    {"  (x)", 0, "", "x", nullptr},
    {"a)b(c)", 0, nullptr, "", nullptr},
    {"", 0, "", "", nullptr},
    {"\"open(x)", 0, nullptr, "", nullptr},
};

TEST(SplitNameValue, CasesOfBothRevisions) {
    for (const SplitCase& row : kSplitCases) {
        char name[64];
        char value[64];
        std::memset(name, '#', sizeof name);
        std::memset(value, '#', sizeof value);
        EXPECT_EQ(splitNameValue(row.payload, name, sizeof name, value, sizeof value), row.found)
            << row.payload;
        ASSERT_NE(std::memchr(name, '\0', sizeof name), nullptr) << row.payload;
        ASSERT_NE(std::memchr(value, '\0', sizeof value), nullptr) << row.payload;
        if (row.name != nullptr) {
            EXPECT_STREQ(name, row.name) << row.payload;
        }
        const char* expected =
            kEarlierRevision && row.earlierValue != nullptr ? row.earlierValue : row.value;
        if (expected != nullptr) {
            EXPECT_STREQ(value, expected) << row.payload;
        }
    }
}

TEST(SplitNameValue, CopiesAreCutToTheBuffers) {
    const std::string longName(300, 'n');
    const std::string longValue(1000, 'v');
    const std::string payload = longName + "(" + longValue + ")";
    char name[8];
    char value[16];
    EXPECT_EQ(splitNameValue(payload.c_str(), name, sizeof name, value, sizeof value), 1);
    EXPECT_EQ(std::string(name), std::string(7, 'n'));
    EXPECT_EQ(std::string(value), std::string(15, 'v'));

    // A cut name is still a name; the limits of the callers' buffers hold.
    std::vector<char> bigName(pofreader::kSplitNameSize, '#');
    std::vector<char> bigValue(pofreader::kSplitValueSize, '#');
    EXPECT_EQ(splitNameValue(payload.c_str(), bigName.data(), bigName.size(), bigValue.data(),
                             bigValue.size()),
              1);
    EXPECT_EQ(std::strlen(bigName.data()), pofreader::kSplitNameSize - 1);
    EXPECT_EQ(std::strlen(bigValue.data()), pofreader::kSplitValueSize - 1);

    char one[1];
    EXPECT_EQ(splitNameValue("a(b)", one, 1, one, 1), 1);
    EXPECT_EQ(one[0], '\0');
}

// ---- Field bounds ----------------------------------------------------------------

struct FieldCase {
    std::size_t nameLength, valueLength;
};

TEST(SignalFields, NameAndValueFitExactlyOrAreCut) {
    const FieldCase cases[] = {{0, 0}, {255, 519}, {256, 520}, {1000, 5000}, {254, 518}};
    for (const FieldCase& row : cases) {
        SignalRecord record;
        std::memset(&record, 0xAB, sizeof record);
        const std::string name(row.nameLength, 'n');
        const std::string value(row.valueLength, 'v');
        pofreader::setNameValue(&record, 301, name.c_str(), value.c_str());
        EXPECT_EQ(record.code, 301);
        EXPECT_EQ(record.reserved, static_cast<int32_t>(0xABABABABu));  // never written
        EXPECT_EQ(std::string(record.body.nameValue.name), name.substr(0, 255));
        EXPECT_EQ(std::string(record.body.nameValue.value), value.substr(0, 519));
        // Nothing past a short text's terminator is touched.
        if (row.nameLength < 254) {
            EXPECT_EQ(static_cast<unsigned char>(record.body.nameValue.name[row.nameLength + 1]),
                      0xAB);
        }
    }
    SignalRecord record;
    pofreader::setNameValue(&record, 1, nullptr, nullptr);
    EXPECT_STREQ(record.body.nameValue.name, "");
    EXPECT_STREQ(record.body.nameValue.value, "");
}

TEST(SignalFields, TextFitsExactlyOrIsCut) {
    for (std::size_t length : {0u, 774u, 775u, 776u, 2000u}) {
        SignalRecord record;
        std::memset(&record, 0xAB, sizeof record);
        const std::string text(length, 't');
        pofreader::setText(&record, 1001, text.c_str());
        EXPECT_EQ(record.code, 1001);
        EXPECT_EQ(std::string(record.body.text), text.substr(0, 775)) << length;
    }
}

// ---- Senders ------------------------------------------------------------------------

struct SenderTest : ::testing::Test {
    ScriptedCycle cycle;
    CycleContext* ctx = cycle.ctx();
    testing_support::RecordingHost host;
    void SetUp() override {
        for (uint16_t key : {0, 1, 10}) pofreader::registerSignal(ctx, key, nullptr, nullptr, 1);
        ctx->eventCallback = pofreader::frameEventCallback;
        ctx->eventUser = host.callbacks();
    }
};

TEST_F(SenderTest, NamedValueGoesOutOnKey10Cut) {
    const std::string longValue(600, 'v');
    pofreader::sendNamedValue(ctx, "workplane", longValue.c_str());
    ASSERT_EQ(host.deliveries.size(), 1u);
    EXPECT_EQ(host.deliveries[0].function, 'A');
    EXPECT_EQ(host.deliveries[0].code, 10);
    EXPECT_EQ(host.deliveries[0].record.code, 301);
    EXPECT_EQ(host.deliveries[0].name(), "workplane");
    EXPECT_EQ(host.deliveries[0].value(), longValue.substr(0, 519));
}

TEST_F(SenderTest, ConfigurationReportInListOrder) {
    const std::string longValue(600, 'x');
    ctx->sourceName = pofreader::memDupString("job.pcf");
    // configSet puts the newest first: the report order is the reverse of this.
    const std::pair<const char*, ConfigTag> entries[] = {
        {"derived", 31}, {"call", 21}, {"edge", 20}, {"file", 13}, {"tempMem", 2}};
    for (const auto& [name, tag] : entries)
        ctx->config = pofreader::configSet(ctx->config, name, "v", tag);
    ctx->config = pofreader::configSet(ctx->config, "long", longValue.c_str(), 21);
    ctx->cfgEntries = pofreader::configAppend(ctx->cfgEntries, "*A", "1 2", 21);
    ctx->cfgEntries = pofreader::configAppend(ctx->cfgEntries, "*EMPTY", "", 21);

    pofreader::reportSources(ctx);

    struct Expected { char function; int key; int code; const char* name; std::string value; };
    const std::vector<Expected> expected = {
        {'A', 0, 112, "cfgSource", "job.pcf"},
        {'B', 0, 112, "cfgSource", "job.pcf"},
        {'B', 1, 201, "call", ("\"long\":=\"" + longValue).substr(0, 519)},
        {'B', 1, 202, "def", "\"tempMem\":=\"v\""},
        {'B', 1, 202, "def", "\"file\":=\"v\""},
        {'B', 1, 202, "def", "\"edge\":=\"v\""},
        {'B', 1, 201, "call", "\"call\":=\"v\""},
        {'B', 1, 201, "call", "\"derived\":=\"v\""},
        {'B', 1, 204, "cfg", "*A 1 2"},
        {'B', 1, 204, "cfg", "*EMPTY"},
    };
    ASSERT_EQ(host.deliveries.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& delivery = host.deliveries[i];
        EXPECT_EQ(delivery.function, expected[i].function) << i;
        EXPECT_EQ(delivery.code, expected[i].key) << i;
        EXPECT_EQ(delivery.record.code, expected[i].code) << i;
        EXPECT_EQ(delivery.name(), expected[i].name) << i;
        EXPECT_EQ(delivery.value(), expected[i].value) << i;
    }
}

TEST_F(SenderTest, ReportWithoutSourceNameSendsAnEmptyValue) {
    pofreader::reportSources(ctx);
    ASSERT_EQ(host.deliveries.size(), 2u);
    EXPECT_EQ(host.deliveries[0].value(), "");
}

}  // namespace
}  // namespace frame_test

// The phase functions and the record handlers in process, on a record of our
// own: which file is chosen, what the start phase registers, and that the
// handlers of a record line allocate nothing.
#include <gtest/gtest.h>

#include <cstring>

#include "common/common.h"
#include "config/config.h"
#include "frame/frame.h"
#include "pof/pof.h"

using namespace pofreader;

namespace {

struct Phases : ::testing::Test {
    PofCycleContext record{};
    CycleContext* ctx = &record.shared;
    void TearDown() override {
        configFree(ctx->config);
        freeSignals(ctx);
        memRelease(record.toolpathFile);
    }
    void add(const char* name, const char* value) {
        ctx->config = configAppend(ctx->config, name, value, PFR_TAG_CALL);
    }
};

TEST_F(Phases, ToolpathVariantsTakeTheLastEntryOfTheirName) {
    add("toolpath", "a.pof");
    add("*TOOLPATH", "cfg1.pof");
    add("Toolpath", "wrong-case.pof");
    add("toolpath", "b.pof");
    add("*TOOLPATH", "cfg2.pof");
    record.toolpathFile = memDupString("left over");  // released, not leaked

    EXPECT_EQ(findToolpathFile(ctx), 1);
    ASSERT_NE(record.toolpathFile, nullptr);
    EXPECT_STREQ(record.toolpathFile, "b.pof");
    EXPECT_EQ(ctx->cycleId, 1100);

    EXPECT_EQ(findToolpathFileCfg(ctx), 1);
    ASSERT_NE(record.toolpathFile, nullptr);
    EXPECT_STREQ(record.toolpathFile, "cfg2.pof");
}

TEST_F(Phases, NoEntryLeavesNoName) {
    add("other", "x");
    record.toolpathFile = memDupString("left over");
    EXPECT_EQ(findToolpathFileCfg(ctx), 1);
    EXPECT_EQ(record.toolpathFile, nullptr);
    EXPECT_EQ(readPofFile(ctx), 1);  // nothing to read
}

TEST_F(Phases, ReadPhaseReleasesTheNameEvenWhenTheFileIsMissing) {
    record.toolpathFile = memDupString("/nonexistent/dir/job.pof");
    EXPECT_EQ(readPofFile(ctx), 1);
    EXPECT_EQ(record.toolpathFile, nullptr);
}

TEST_F(Phases, StartPhaseRegistersTheRecordKeys) {
    ctx->readerWord = 77;
    EXPECT_EQ(registerPofSignals(ctx), 1);
    EXPECT_EQ(ctx->readerWord, 0);
    const uint16_t expected[] = {0, 2, 10, 11, 31};
    std::size_t i = 0;
    for (SignalEntry* entry = ctx->signalRegistry; entry != nullptr; entry = entry->next, ++i) {
        ASSERT_LT(i, std::size(expected));
        EXPECT_EQ(entry->key, expected[i]);
        EXPECT_EQ(entry->enabled, 1);
        ASSERT_NE(entry->pofHandler, nullptr);
        ASSERT_NE(entry->pcfHandler, nullptr);
        SignalRecord signal{};
        EXPECT_EQ(entry->pofHandler(ctx, &signal), 1);
        EXPECT_EQ(entry->pcfHandler(ctx, &signal), 1);
    }
    EXPECT_EQ(i, std::size(expected));
}

TEST_F(Phases, HandlersAllocateNothingPerRecord) {
    registerPofSignals(ctx);
    SignalRecord signal{};
    PofReaderState state = makeReaderState(ctx, &signal);
    const struct {
        int type;
        const char* payload;
    } records[] = {
        {0, "cycle(Roughing 1)"}, {0, "frameCs_o(1 2 3)"}, {2, "some text"},
        {31, "oL ( x[0/10] y[0/20] z[/1] )"}, {31, "oA ( o[-] x[/1] y[/2] )"},
    };
    memInjectFailure(0);
    for (const auto& r : records) recordHandler(r.type)(r.payload, state);
    EXPECT_EQ(memInjectFailure(0), 0);
    EXPECT_EQ(recordHandler(7), nullptr);
    EXPECT_EQ(recordHandler(-1), nullptr);
    EXPECT_EQ(recordHandler(INT32_MAX), nullptr);
}

}  // namespace

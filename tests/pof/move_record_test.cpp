// The move handler in process: how the reader state carries the position and
// the tool axis, and that a rejected record changes nothing.
#include <gtest/gtest.h>

#include <cstring>

#include "common/common.h"
#include "pof/pof.h"

using namespace pofreader;

namespace {

struct Handler : ::testing::Test {
    PofCycleContext context{};
    SignalRecord record{};
    PofReaderState state{};
    void SetUp() override { state = makeReaderState(&context.shared, &record); }
};

TEST_F(Handler, FreshState) {
    EXPECT_EQ(state.x, 0.0);
    EXPECT_EQ(state.y, 0.0);
    EXPECT_EQ(state.z, 0.0);
    EXPECT_EQ(state.u, 0.0);
    EXPECT_EQ(state.v, 0.0);
    EXPECT_EQ(state.w, 1.0);
#ifndef POFREADER_REVISION_700
    EXPECT_EQ(state.pendingWorkplane, 17);
    EXPECT_EQ(state.activeWorkplane, 17);
#endif
}

TEST_F(Handler, PositionAndToolAxisCarryOver) {
    handleMoveRecord("oL ( x[/1] y[/2] z[/3] u[/0.5] )", state);
    EXPECT_EQ(record.code, PFR_CODE_FEED_AXIS);
    handleMoveRecord("oL ( y[/5] )", state);
    EXPECT_EQ(record.code, PFR_CODE_FEED);
    EXPECT_EQ(state.x, 1.0);
    EXPECT_EQ(state.y, 5.0);
    EXPECT_EQ(state.z, 3.0);
    EXPECT_EQ(state.u, 0.5);
    EXPECT_EQ(state.v, 0.0);
    EXPECT_EQ(state.w, 1.0);
    // An arc sends no tool axis, yet takes its components into the state.
    handleMoveRecord("oA ( o[+] v[/0.25] w[/0.5] )", state);
    EXPECT_EQ(record.code, PFR_CODE_ARC);
    EXPECT_EQ(state.v, 0.25);
    EXPECT_EQ(state.w, 0.5);
    EXPECT_EQ(state.u, 0.5);
    handleMoveRecord("oM ( x[/9] )", state);
    EXPECT_EQ(state.v, 0.25);
    EXPECT_EQ(state.x, 9.0);
}

TEST_F(Handler, RejectedRecordsChangeNothing) {
    handleMoveRecord("oL ( x[/1] y[/2] z[/3] u[/0.5] )", state);
    const char* rejected[] = {
        "", "oA ( x[/7] u[/7] )", "( x[/7] )", "oQ ( x[/7] )", "Kx ( x[/7] )",
        "oL ( x[/7] y[/1111111111111111111111111111111111111111111111111111111111111111111111111111111111] )",
    };
    for (const char* payload : rejected) {
        const PofReaderState before = state;
        SignalRecord recordBefore;
        std::memcpy(&recordBefore, &record, sizeof record);
        handleMoveRecord(payload, state);
        EXPECT_EQ(std::memcmp(&before, &state, sizeof state), 0) << payload;
        EXPECT_EQ(std::memcmp(&recordBefore, &record, sizeof record), 0) << payload;
    }
}

// A common move allocates nothing.
TEST_F(Handler, CommonMoveAllocatesNothing) {
    memInjectFailure(0);
    handleMoveRecord("oL ( x[0/12.5] y[0/-3.25] z[0/100.125] u[/0] v[/0] w[/1] multax[1] )", state);
    EXPECT_EQ(memInjectFailure(0), 0);
    EXPECT_EQ(record.code, PFR_CODE_FEED_AXIS);
}

}  // namespace

// runPhases: which phases run, in which order, between which events, and the
// result code when one of them fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "common/common.h"
#include "config/config.h"
#include "frame/frame.h"
#include "scripted_cycle.h"

namespace frame_test {
namespace {

using pofreader::runPhases;

struct PhaseCase {
    const char* title;
    uint16_t flags;
    int32_t isCfgSource;
    std::vector<int> failing;  // slots that return 0
    int code;
    std::vector<int> calls;
};

// Events of the main sequence without the first signal's 312 (the report of a
// record without a registry still raises it; checked separately).
const std::vector<PhaseCase> kPhaseCases = {
    {"main sequence", 0x100, 0, {}, 0, {kStart, kMain1, kMain2, kMain3, kMain4, kEnd}},
    {"start result not consulted", 0x100, 0, {kStart}, 0,
     {kStart, kMain1, kMain2, kMain3, kMain4, kEnd}},
    {"cfg source uses main1Cfg", 0x100, 1, {}, 0, {kStart, kMain1Cfg, kMain2, kMain3, kMain4, kEnd}},
    {"main1 fails", 0x100, 0, {kMain1}, 21, {kStart, kMain1, kEnd}},
    {"main1Cfg fails", 0x100, 1, {kMain1Cfg}, 21, {kStart, kMain1Cfg, kEnd}},
    {"main1 not used for cfg", 0x100, 1, {kMain1}, 0,
     {kStart, kMain1Cfg, kMain2, kMain3, kMain4, kEnd}},
    {"main2 fails", 0x100, 0, {kMain2}, 22, {kStart, kMain1, kMain2, kEnd}},
    {"main3 fails", 0x100, 0, {kMain3}, 23, {kStart, kMain1, kMain2, kMain3, kEnd}},
    {"main4 fails", 0x100, 0, {kMain4}, 24, {kStart, kMain1, kMain2, kMain3, kMain4, kEnd}},
    {"end fails", 0x100, 0, {kEnd}, 31, {kStart, kMain1, kMain2, kMain3, kMain4, kEnd}},
    {"main2 and end fail", 0x100, 0, {kMain2, kEnd}, 22, {kStart, kMain1, kMain2, kEnd}},
    {"no source still runs the main sequence", 0, 0, {}, 0,
     {kStart, kMain1, kMain2, kMain3, kMain4, kEnd}},
    {"-V -?", 0x03, 0, {}, 0, {kFlagV, kFlagQ}},
    {"every option in bit order", 0x13F, 0, {}, 0, {kFlagV, kFlagQ, kFlagP, kFlagA, kFlagY, kFlagD}},
    {"V fails first", 0x05, 0, {kFlagV}, 11, {kFlagV}},
    {"Q fails", 0x3F, 0, {kFlagQ}, 12, {kFlagV, kFlagQ}},
    {"P fails", 0x3F, 0, {kFlagP, kFlagY}, 13, {kFlagV, kFlagQ, kFlagP}},
    {"A fails", 0x08, 0, {kFlagA}, 14, {kFlagA}},
    {"Y fails", 0x30, 0, {kFlagY}, 15, {kFlagY}},
    {"D fails", 0x20, 0, {kFlagD}, 16, {kFlagD}},
    {"unselected failing phase does not run", 0x01, 0, {kFlagQ, kMain1, kEnd}, 0, {kFlagV}},
};

TEST(RunPhases, CodesAndOrderOfPhases) {
    for (const PhaseCase& row : kPhaseCases) {
        ScriptedCycle cycle;
        cycle.record.shared.flags = row.flags;
        cycle.record.shared.isCfgSource = row.isCfgSource;
        for (int slot : row.failing) cycle.results[slot] = 0;
        EXPECT_EQ(runPhases(cycle.ctx()), row.code) << row.title;
        EXPECT_EQ(cycle.slotCalls(), row.calls) << row.title;
    }
}

TEST(RunPhases, EventsOfTheMainSequence) {
    ScriptedCycle cycle;
    cycle.record.shared.flags = 0x100;
    cycle.results[kMain3] = 0;
    runPhases(cycle.ctx());
    EXPECT_EQ(cycle.events(), (std::vector<int>{311, 312, 319, 321, 329, 331, 339, 341, 349, 391,
                                                399, 411, 419}));
}

TEST(RunPhases, EventsOfTheInformationPhases) {
    ScriptedCycle cycle;
    cycle.record.shared.flags = 0x3F;
    runPhases(cycle.ctx());
    EXPECT_EQ(cycle.events(), (std::vector<int>{211, 219, 221, 229, 231, 239, 241, 249, 251, 259,
                                                261, 269, 411, 419}));
}

TEST(RunPhases, EachSlotIsCalledBetweenItsEvents) {
    ScriptedCycle cycle;
    cycle.record.shared.flags = 0x100;
    runPhases(cycle.ctx());
    const std::vector<std::string>& t = cycle.trace;
    auto at = [&](const std::string& entry) {
        return std::find(t.begin(), t.end(), entry) - t.begin();
    };
    const std::pair<int, std::pair<int, int>> brackets[] = {
        {kStart, {311, 319}}, {kMain1, {321, 329}}, {kMain2, {331, 339}},
        {kMain3, {341, 349}}, {kMain4, {351, 359}}, {kEnd, {391, 399}}};
    for (const auto& [slot, events] : brackets) {
        const auto call = at("slot " + std::to_string(slot));
        EXPECT_LT(at("event " + std::to_string(events.first)), call) << slot;
        EXPECT_GT(at("event " + std::to_string(events.second)), call) << slot;
    }
}

// A record that inherited empty slots (its parent had none) still raises every
// event and treats each empty phase as one that succeeded.
TEST(RunPhases, EmptySlotsSucceedWithoutWork) {
    for (uint16_t flags : {uint16_t{0x100}, uint16_t{0x3F}}) {
        ScriptedCycle cycle;
        for (PhaseFn CycleContext::*slot : pofreader::kPhaseSlots) cycle.record.shared.*slot = nullptr;
        cycle.record.shared.flags = flags;
        EXPECT_EQ(runPhases(cycle.ctx()), 0);
        EXPECT_TRUE(cycle.slotCalls().empty());
        EXPECT_EQ(cycle.events().size(), flags == 0x100 ? 15u : 14u);
    }
}

TEST(RunPhases, ConfigurationReportFollowsTheStartPhase) {
    ScriptedCycle cycle;
    cycle.record.shared.flags = 0x100;
#ifndef POFREADER_REVISION_700
    cycle.record.shared.noSourceReport = 1;
    runPhases(cycle.ctx());
    const std::vector<int> events = cycle.events();
    // No report, so no first signal either.
    EXPECT_EQ(std::count(events.begin(), events.end(), 312), 0);
    EXPECT_EQ(cycle.record.shared.firstSignalPending, 1);
#else
    runPhases(cycle.ctx());
    const std::vector<int> events = cycle.events();
    EXPECT_EQ(std::count(events.begin(), events.end(), 312), 1);
#endif
}

int dropEventCallback(CycleContext* ctx) {
    ctx->eventCallback = nullptr;
    return 1;
}

TEST(RunPhases, EventCallbackIsReadAfreshForEveryEvent) {
    ScriptedCycle cycle;
    cycle.record.shared.flags = 0x100;
    cycle.hook[kMain2] = dropEventCallback;
    runPhases(cycle.ctx());
    EXPECT_EQ(cycle.events(), (std::vector<int>{311, 312, 319, 321, 329, 331}));
    EXPECT_EQ(cycle.slotCalls().size(), 6u);  // the phases went on without events
}

TEST(CleanupCycle, ReleasesTheRunDataBetweenItsEvents) {
    ScriptedCycle cycle;
    CycleContext* ctx = cycle.ctx();
    ctx->arguments = static_cast<char**>(pofreader::memAllocZero(2 * sizeof(char*)));
    ctx->arguments[0] = pofreader::memDupString("a");
    ctx->arguments[1] = pofreader::memDupString("b");
    ctx->argumentCount = 2;
    ctx->sourceName = pofreader::memDupString("job");
    ctx->config = pofreader::configSet(ctx->config, "x", "1", 2);
    ctx->cfgEntries = pofreader::configAppend(ctx->cfgEntries, "*Y", "2", 21);
    pofreader::cleanupCycle(ctx);
    EXPECT_EQ(ctx->arguments, nullptr);
    EXPECT_EQ(ctx->argumentCount, 0);
    EXPECT_EQ(ctx->sourceName, nullptr);
    EXPECT_EQ(ctx->config, nullptr);
    EXPECT_EQ(ctx->cfgEntries, nullptr);
    EXPECT_EQ(cycle.events(), (std::vector<int>{411, 419}));
}

}  // namespace
}  // namespace frame_test

// The signal registry: order by key, re-registration, enabled values, the
// handler and listeners of the run's mode, the first-signal event and release.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/common.h"
#include "frame/frame.h"
#include "scripted_cycle.h"

namespace frame_test {
namespace {

using pofreader::attachListener;
using pofreader::registerSignal;
using pofreader::sendSignal;

// Everything the handlers and listeners below see, in order.
std::vector<std::string> calls;

int pofHandler(CycleContext*, SignalRecord* record) {
    calls.push_back("pof handler " + std::to_string(record->code));
    return 7;
}
int pcfHandler(CycleContext*, SignalRecord* record) {
    calls.push_back("pcf handler " + std::to_string(record->code));
    return 8;
}
int listener(CycleContext*, SignalRecord* record, void* user) {
    calls.push_back(std::string(static_cast<const char*>(user)) + " " +
                    std::to_string(record->code));
    return 0;  // not used
}

std::vector<uint16_t> keys(const CycleContext* ctx) {
    std::vector<uint16_t> result;
    for (const SignalEntry* entry = ctx->signalRegistry; entry != nullptr; entry = entry->next)
        result.push_back(entry->key);
    return result;
}

struct SignalTest : ::testing::Test {
    ScriptedCycle cycle;
    CycleContext* ctx = cycle.ctx();
    SignalRecord record{};
    void SetUp() override {
        calls.clear();
        record.code = 42;
        ctx->firstSignalPending = 0;
    }
    void TearDown() override { pofreader::memInjectFailure(0); }
};

TEST_F(SignalTest, EntriesStayInKeyOrderAndRegistrationRaisesItsEvents) {
    const uint16_t order[] = {5, 2, 9, 65535, 0, 5, 7};
    for (uint16_t key : order) EXPECT_EQ(registerSignal(ctx, key, pofHandler, nullptr, 1), 1);
    EXPECT_EQ(keys(ctx), (std::vector<uint16_t>{0, 2, 5, 7, 9, 65535}));
    std::vector<int> expected;
    for (std::size_t i = 0; i < std::size(order); ++i) expected.insert(expected.end(), {131, 139});
    EXPECT_EQ(cycle.events(), expected);
}

TEST_F(SignalTest, ReRegistrationOverwritesHandlersAndEnabledButKeepsListeners) {
    registerSignal(ctx, 5, pofHandler, nullptr, 1);
    ASSERT_EQ(attachListener(ctx, 5, listener, const_cast<char*>("first"), nullptr, nullptr), 1);
    registerSignal(ctx, 5, nullptr, nullptr, 0);
    EXPECT_EQ(sendSignal(ctx, 5, &record), 0);
    EXPECT_TRUE(calls.empty());

    registerSignal(ctx, 5, pcfHandler, nullptr, 1);
    EXPECT_EQ(sendSignal(ctx, 5, &record), 8);
    EXPECT_EQ(calls, (std::vector<std::string>{"pcf handler 42", "first 42"}));
    EXPECT_EQ(keys(ctx), std::vector<uint16_t>{5});
}

TEST_F(SignalTest, OnlyEnabledExactlyOneDelivers) {
    for (int32_t enabled : {0, 2, -1, 1}) {
        calls.clear();
        registerSignal(ctx, 3, pofHandler, nullptr, enabled);
        attachListener(ctx, 3, listener, const_cast<char*>("l"), nullptr, nullptr);
        const int result = sendSignal(ctx, 3, &record);
        EXPECT_EQ(result, enabled == 1 ? 7 : 0) << enabled;
        EXPECT_EQ(calls.empty(), enabled != 1) << enabled;
    }
}

TEST_F(SignalTest, UnknownKeysReachNobody) {
    EXPECT_EQ(sendSignal(ctx, 1, &record), 0);  // empty registry
    registerSignal(ctx, 2, pofHandler, nullptr, 1);
    registerSignal(ctx, 9, pofHandler, nullptr, 1);
    for (uint16_t key : {0, 5, 10}) EXPECT_EQ(sendSignal(ctx, key, &record), 0) << key;
    EXPECT_TRUE(calls.empty());
}

TEST_F(SignalTest, ModeChoosesHandlerAndListenerFunctions) {
    registerSignal(ctx, 4, pofHandler, pcfHandler, 1);
    attachListener(ctx, 4, listener, const_cast<char*>("pof one"), listener,
                   const_cast<char*>("pcf one"));
    attachListener(ctx, 4, listener, const_cast<char*>("pof two"), nullptr, nullptr);
    attachListener(ctx, 4, nullptr, nullptr, listener, const_cast<char*>("pcf three"));

    EXPECT_EQ(sendSignal(ctx, 4, &record), 7);
    EXPECT_EQ(calls, (std::vector<std::string>{"pof handler 42", "pof one 42", "pof two 42"}));

    calls.clear();
    ctx->pcfMode = 1;
    EXPECT_EQ(sendSignal(ctx, 4, &record), 8);
    EXPECT_EQ(calls, (std::vector<std::string>{"pcf handler 42", "pcf one 42", "pcf three 42"}));
}

TEST_F(SignalTest, ListenersRunWithoutAHandler) {
    registerSignal(ctx, 4, nullptr, nullptr, 1);
    attachListener(ctx, 4, listener, const_cast<char*>("l"), nullptr, nullptr);
    EXPECT_EQ(sendSignal(ctx, 4, &record), 0);
    EXPECT_EQ(calls, std::vector<std::string>{"l 42"});
}

TEST_F(SignalTest, AttachListenerNeedsAnEntryAndAFunction) {
    registerSignal(ctx, 4, nullptr, nullptr, 1);
    EXPECT_EQ(attachListener(ctx, 5, listener, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(attachListener(ctx, 3, listener, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(attachListener(ctx, 4, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(ctx->signalRegistry->listeners, nullptr);
}

int attachOnFirstSignal(CycleContext* ctx, int event, void*) {
    calls.push_back("event " + std::to_string(event));
    if (event == PFR_EVENT_FIRST_SIGNAL)
        attachListener(ctx, 6, listener, const_cast<char*>("attached"), nullptr, nullptr);
    return 1;
}

TEST_F(SignalTest, FirstSignalEventComesOnceBeforeTheLookup) {
    registerSignal(ctx, 6, nullptr, nullptr, 1);
    ctx->eventCallback = attachOnFirstSignal;
    ctx->firstSignalPending = 1;
    sendSignal(ctx, 6, &record);
    sendSignal(ctx, 6, &record);
    EXPECT_EQ(calls, (std::vector<std::string>{"event 312", "attached 42", "attached 42"}));
    EXPECT_EQ(ctx->firstSignalPending, 0);
}

TEST_F(SignalTest, FirstSignalEventAlsoWithoutRegistry) {
    ctx->firstSignalPending = 1;
    EXPECT_EQ(sendSignal(ctx, 0, &record), 0);
    EXPECT_EQ(cycle.events(), std::vector<int>{312});
    ctx->firstSignalPending = 2;  // only exactly 1 counts
    sendSignal(ctx, 0, &record);
    EXPECT_EQ(cycle.events(), std::vector<int>{312});
}

TEST_F(SignalTest, FreedRegistryReachesNobody) {
    registerSignal(ctx, 1, pofHandler, nullptr, 1);
    registerSignal(ctx, 2, pofHandler, nullptr, 1);
    attachListener(ctx, 2, listener, const_cast<char*>("l"), nullptr, nullptr);
    pofreader::freeSignals(ctx);
    EXPECT_EQ(ctx->signalRegistry, nullptr);
    EXPECT_EQ(sendSignal(ctx, 2, &record), 0);
    EXPECT_TRUE(calls.empty());
    pofreader::freeSignals(ctx);  // again: nothing left
}

TEST_F(SignalTest, AllocationFailuresLeaveTheRegistryAsItWas) {
    registerSignal(ctx, 4, pofHandler, nullptr, 1);
    pofreader::memInjectFailure(1);
    EXPECT_EQ(registerSignal(ctx, 8, pofHandler, nullptr, 1), 0);
    pofreader::memInjectFailure(1);
    EXPECT_EQ(attachListener(ctx, 4, listener, nullptr, nullptr, nullptr), 0);
    pofreader::memInjectFailure(0);
    EXPECT_EQ(keys(ctx), std::vector<uint16_t>{4});
    EXPECT_EQ(ctx->signalRegistry->listeners, nullptr);
    EXPECT_EQ(cycle.events(), (std::vector<int>{131, 139, 131, 139}));
}

int attachDuringDelivery(CycleContext* ctx, SignalRecord*) {
    calls.push_back("handler");
    attachListener(ctx, 4, listener, const_cast<char*>("late"), nullptr, nullptr);
    return 1;
}

// A listener attached while a signal is being delivered (as a nested run does)
// receives the next signal, not this one.
TEST_F(SignalTest, ListenerAttachedDuringADeliveryWaitsForTheNextSignal) {
    registerSignal(ctx, 4, attachDuringDelivery, nullptr, 1);
    sendSignal(ctx, 4, &record);
    EXPECT_EQ(calls, std::vector<std::string>{"handler"});
    calls.clear();
    attachListener(ctx, 4, listener, const_cast<char*>("early"), nullptr, nullptr);
    sendSignal(ctx, 4, &record);
    EXPECT_EQ(calls, (std::vector<std::string>{"handler", "late 42", "early 42"}));
}

}  // namespace
}  // namespace frame_test

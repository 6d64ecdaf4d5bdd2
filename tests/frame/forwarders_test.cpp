// The host forwarders that frameEventCallback attaches on the first signal:
// which host function receives which key, under which code, in which order.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "frame/frame.h"
#include "scripted_cycle.h"
#include "support/recording_host.h"

namespace frame_test {
namespace {

using pofreader::frameEventCallback;
using pofreader::registerSignal;
using pofreader::sendSignal;
using testing_support::RecordingHost;

using Received = std::vector<std::pair<char, int>>;  // function, code

struct ForwardingRow {
    uint16_t key;
    Received received;
};

const ForwardingRow kForwarding[] = {
    {0, {{'A', 0}, {'B', 0}}}, {1, {{'B', 1}}},   {2, {{'B', 2}}},   {3, {{'C', 3}}},
    {10, {{'A', 10}}},         {11, {{'A', 11}}}, {12, {{'A', 12}}}, {31, {{'A', 31}}},
    {35, {{'A', 35}}},         {40, {{'C', 40}}}, {41, {{'A', 41}}}, {42, {{'A', 42}}},
    // keys without a forwarder
    {4, {}}, {13, {}}, {30, {}}, {43, {}}, {1000, {}},
};

Received received(const RecordingHost& host) {
    Received result;
    for (const auto& delivery : host.deliveries) result.emplace_back(delivery.function, delivery.code);
    return result;
}

struct ForwarderTest : ::testing::Test {
    ScriptedCycle cycle;
    CycleContext* ctx = cycle.ctx();
    RecordingHost host;
    SignalRecord record{};

    void registerEveryKey() {
        for (const ForwardingRow& row : kForwarding) registerSignal(ctx, row.key, nullptr, nullptr, 1);
    }
    std::size_t listenerCount() const {
        std::size_t count = 0;
        for (const SignalEntry* entry = cycle.record.shared.signalRegistry; entry; entry = entry->next)
            for (const SignalListener* l = entry->listeners; l; l = l->next) ++count;
        return count;
    }
};

TEST_F(ForwarderTest, EveryKeyReachesItsHostFunctionsUnderItsCode) {
    registerEveryKey();
    frameEventCallback(ctx, PFR_EVENT_FIRST_SIGNAL, host.callbacks());
    for (const ForwardingRow& row : kForwarding) {
        host.deliveries.clear();
        pofreader::setNameValue(&record, 500 + row.key, "n", "v");
        sendSignal(ctx, row.key, &record);
        EXPECT_EQ(received(host), row.received) << "key " << row.key;
        for (const auto& delivery : host.deliveries) {
            EXPECT_EQ(delivery.record.code, 500 + row.key);  // the record itself, unchanged
            EXPECT_EQ(delivery.name(), "n");
        }
    }
}

TEST_F(ForwarderTest, KeysWithoutEntryGetNoListener) {
    registerSignal(ctx, 0, nullptr, nullptr, 1);
    registerSignal(ctx, 31, nullptr, nullptr, 1);
    frameEventCallback(ctx, PFR_EVENT_FIRST_SIGNAL, host.callbacks());
    EXPECT_EQ(listenerCount(), 2u);
}

TEST_F(ForwarderTest, OnlyTheFirstSignalEventAttaches) {
    registerEveryKey();
    for (int event : {111, 121, 131, 139, 311, 319, 391, 411, 419, 0, 313})
        frameEventCallback(ctx, event, host.callbacks());
    EXPECT_EQ(listenerCount(), 0u);
}

TEST_F(ForwarderTest, HostWithoutFunctionsGetsNoListeners) {
    registerEveryKey();
    frameEventCallback(ctx, PFR_EVENT_FIRST_SIGNAL, nullptr);
    for (char function : {'A', 'B', 'C'}) host.clearFunction(function);
    frameEventCallback(ctx, PFR_EVENT_FIRST_SIGNAL, host.callbacks());
    EXPECT_EQ(listenerCount(), 0u);
}

TEST_F(ForwarderTest, NullHostFunctionsAreSkipped) {
    registerEveryKey();
    host.clearFunction('A');
    frameEventCallback(ctx, PFR_EVENT_FIRST_SIGNAL, host.callbacks());
    for (uint16_t key : {0, 10, 31, 40}) sendSignal(ctx, key, &record);
    EXPECT_EQ(received(host), (Received{{'B', 0}, {'C', 40}}));
}

// The forwarder's own result: 0 when a called host function returned 0.
int hostResultA = 1;
int hostResultB = 1;
int hostResultC = 1;
int returnA(CycleContext*, int, SignalRecord*, void*) { return hostResultA; }
int returnB(CycleContext*, int, SignalRecord*, void*) { return hostResultB; }
int returnC(CycleContext*, int, SignalRecord*, void*) { return hostResultC; }

TEST_F(ForwarderTest, ForwarderResults) {
    registerSignal(ctx, 0, nullptr, nullptr, 1);
    registerSignal(ctx, 2, nullptr, nullptr, 1);
    registerSignal(ctx, 3, nullptr, nullptr, 1);
    HostCallbacks callbacks{returnA, nullptr, returnB, nullptr, returnC, nullptr};
    frameEventCallback(ctx, PFR_EVENT_FIRST_SIGNAL, &callbacks);
    const SignalListener* key0 = ctx->signalRegistry->listeners;
    const SignalListener* key2 = ctx->signalRegistry->next->listeners;
    const SignalListener* key3 = ctx->signalRegistry->next->next->listeners;
    ASSERT_NE(key0, nullptr);
    ASSERT_NE(key2, nullptr);
    ASSERT_NE(key3, nullptr);
    EXPECT_EQ(key0->pcfFn, nullptr);
    EXPECT_EQ(key0->pofUser, &callbacks);

    struct Row { int a, b, c, key0, key2, key3; };
    const Row rows[] = {{1, 1, 1, 1, 1, 1}, {0, 1, 1, 0, 1, 1}, {1, 0, 1, 0, 0, 1},
                        {0, 0, 1, 0, 0, 1}, {5, 9, 7, 1, 1, 1}, {1, 1, 0, 1, 1, 0}};
    for (const Row& row : rows) {
        hostResultA = row.a;
        hostResultB = row.b;
        hostResultC = row.c;
        EXPECT_EQ(key0->pofFn(ctx, &record, &callbacks), row.key0) << row.a << row.b;
        EXPECT_EQ(key2->pofFn(ctx, &record, &callbacks), row.key2) << row.a << row.b;
        EXPECT_EQ(key3->pofFn(ctx, &record, &callbacks), row.key3) << row.c;
    }
    // Without a host record every forwarder succeeds.
    EXPECT_EQ(key0->pofFn(ctx, &record, nullptr), 1);
    EXPECT_EQ(key2->pofFn(ctx, &record, nullptr), 1);
}

}  // namespace
}  // namespace frame_test

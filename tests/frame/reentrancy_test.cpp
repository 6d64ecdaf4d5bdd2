// Nested runs on the record that is delivering: a host function (or a
// handler) calls qvCSexecCycle on the same record in the middle of a send or
// of the configuration report. The nested run releases the registry and the
// configuration lists; the outer run must go on without touching freed memory
// (the sanitizer build proves it) and its later signals reach nobody.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "common/common.h"
#include "config/config.h"
#include "frame/frame.h"
#include "scripted_cycle.h"
#include "support/loaded_cycle.h"
#include "support/temp_dir.h"

namespace frame_test {
namespace {

struct Seen {
    char function;
    int key;
    int code;
    int depth;
    bool operator==(const Seen& other) const {
        return function == other.function && key == other.key && code == other.code &&
               depth == other.depth;
    }
};

void PrintTo(const Seen& seen, std::ostream* out) {
    *out << seen.function << " key " << seen.key << " code " << seen.code << " depth " << seen.depth;
}

// A host that records every delivery and starts one nested run on the same
// record at the chosen delivery (or from the key 2 handler).
struct NestingHost {
    HostCallbacks callbacks{};
    int (*exec)(CycleContext*, int, char* const*, HostCallbacks*) = nullptr;
    std::vector<std::string> nestedArgs = {"-Sinner"};
    int nestAt = -1;  // index of the delivery that starts the nested run
    bool nestFromEveryOuterDelivery = false;
    int nestedRuns = 0;
    int depth = 0;
    int nestedResult = -1;
    std::vector<Seen> seen;
    std::size_t seenWhenNestedReturned = 0;

    void nest(CycleContext* ctx) {
        std::vector<char*> argv;
        for (std::string& arg : nestedArgs) argv.push_back(arg.data());
        ++depth;
        nestedResult = exec(ctx, static_cast<int>(argv.size()), argv.data(), &callbacks);
        --depth;
        ++nestedRuns;
        seenWhenNestedReturned = seen.size();
    }
    int receive(char function, CycleContext* ctx, int key, const SignalRecord* record) {
        seen.push_back({function, key, record->code, depth});
        const bool chosen = static_cast<int>(seen.size()) - 1 == nestAt;
        if (chosen || (nestFromEveryOuterDelivery && depth == 0)) nest(ctx);
        return 1;
    }
};

int receiveA(CycleContext* ctx, int key, SignalRecord* record, void* user) {
    return static_cast<NestingHost*>(user)->receive('A', ctx, key, record);
}
int receiveB(CycleContext* ctx, int key, SignalRecord* record, void* user) {
    return static_cast<NestingHost*>(user)->receive('B', ctx, key, record);
}
int receiveC(CycleContext* ctx, int key, SignalRecord* record, void* user) {
    return static_cast<NestingHost*>(user)->receive('C', ctx, key, record);
}

void connect(NestingHost& host) {
    host.callbacks = {receiveA, &host, receiveB, &host, receiveC, &host};
}

// What the outer run may still deliver after the nested run returned: the
// rest of the forwarder that was calling the host (B after A on key 0).
std::vector<Seen> allowedAfterNesting(const Seen& trigger) {
    if (trigger.function == 'A' && trigger.key == 0) return {{'B', 0, trigger.code, 0}};
    return {};
}

// ---- A scripted cycle with every kind of delivery ------------------------------

NestingHost* handlerHost = nullptr;  // set when the key 2 handler should nest

int textHandler(CycleContext* ctx, SignalRecord*) {
    if (handlerHost != nullptr && handlerHost->depth == 0) handlerHost->nest(ctx);
    return 1;
}

int registerEveryKind(CycleContext* ctx) {
    for (uint16_t key : {0, 1, 2, 3, 10, 31, 40})
        pofreader::registerSignal(ctx, key, key == 2 ? textHandler : nullptr, nullptr, 1);
    return 1;
}

int configureLists(CycleContext* ctx) {
    ctx->config = pofreader::configSet(ctx->config, "fromDefaults", "d", 13);
    ctx->config = pofreader::configSet(ctx->config, "fromCall", "c", 21);
    ctx->config = pofreader::configSet(ctx->config, "derived", "x", 31);
    ctx->cfgEntries = pofreader::configAppend(ctx->cfgEntries, "*ONE", "1", 21);
    ctx->cfgEntries = pofreader::configAppend(ctx->cfgEntries, "*TWO", "", 21);
    return 1;
}

int sendEveryKind(CycleContext* ctx) {
    SignalRecord record;
    pofreader::setText(&record, PFR_CODE_TEXT, "text");
    pofreader::sendSignal(ctx, 2, &record);
    pofreader::sendNamedValue(ctx, "name", "value");
    record.code = PFR_CODE_FEED;
    pofreader::sendSignal(ctx, 31, &record);
    pofreader::setNameValue(&record, 3, "three", "");
    pofreader::sendSignal(ctx, 3, &record);
    pofreader::setNameValue(&record, 40, "forty", "");
    pofreader::sendSignal(ctx, 40, &record);
    return 1;
}

int endAndRelease(CycleContext* ctx) {
    SignalRecord record;
    pofreader::setNameValue(&record, PFR_CODE_CYCLE_END, "cycleEnd", "scripted");
    pofreader::sendSignal(ctx, 0, &record);
    pofreader::freeSignals(ctx);
    return 1;
}

void script(ScriptedCycle& cycle) {
    cycle.hook[kStart] = registerEveryKind;
    cycle.hook[kConfig] = configureLists;
    cycle.hook[kMain4] = sendEveryKind;
    cycle.hook[kEnd] = endAndRelease;
    cycle.record.shared.eventCallback = nullptr;
}

int runOuter(ScriptedCycle& cycle, NestingHost& host) {
    std::string outer = "-Souter";
    char* argv[] = {outer.data()};
    return qvCSexecCycle(cycle.ctx(), 1, argv, &host.callbacks);
}

std::vector<Seen> plainRun() {
    ScriptedCycle cycle;
    script(cycle);
    NestingHost host;
    connect(host);
    host.exec = qvCSexecCycle;
    EXPECT_EQ(runOuter(cycle, host), 1);
    return host.seen;
}

TEST(NestedRuns, ScriptedCycleDeliversEveryKind) {
    const std::vector<Seen> seen = plainRun();
    // cfgSource (A, B), the report of `config` newest first (tempMem, derived,
    // fromCall, fromDefaults) and of `cfgEntries` (B), text (B), named value
    // (A), move (A), key 3 (C), key 40 (C), cycleEnd (A, B).
    const std::vector<Seen> expected = {
        {'A', 0, 112, 0}, {'B', 0, 112, 0}, {'B', 1, 202, 0}, {'B', 1, 201, 0},
        {'B', 1, 201, 0}, {'B', 1, 202, 0}, {'B', 1, 204, 0}, {'B', 1, 204, 0},
        {'B', 2, 1001, 0}, {'A', 10, 301, 0}, {'A', 31, 3114, 0}, {'C', 3, 3, 0},
        {'C', 40, 40, 0}, {'A', 0, 104, 0}, {'B', 0, 104, 0}};
    EXPECT_EQ(seen, expected);
}

TEST(NestedRuns, FromEveryDeliveryOfTheScriptedCycle) {
    const std::size_t deliveries = plainRun().size();
    ASSERT_GT(deliveries, 0u);
    for (std::size_t at = 0; at < deliveries; ++at) {
        ScriptedCycle cycle;
        script(cycle);
        NestingHost host;
        connect(host);
        host.exec = qvCSexecCycle;
        host.nestAt = static_cast<int>(at);
        EXPECT_EQ(runOuter(cycle, host), 1) << at;
        EXPECT_EQ(host.nestedResult, 1) << at;
        ASSERT_GT(host.seen.size(), at);
        const std::vector<Seen> after(host.seen.begin() + host.seenWhenNestedReturned,
                                      host.seen.end());
        EXPECT_EQ(after, allowedAfterNesting(host.seen[at])) << at;
        EXPECT_EQ(cycle.record.shared.signalRegistry, nullptr) << at;
        EXPECT_EQ(cycle.record.shared.config, nullptr) << at;
        EXPECT_EQ(cycle.record.shared.cfgEntries, nullptr) << at;
    }
}

TEST(NestedRuns, FromASignalHandler) {
    ScriptedCycle cycle;
    script(cycle);
    NestingHost host;
    connect(host);
    host.exec = qvCSexecCycle;
    handlerHost = &host;
    EXPECT_EQ(runOuter(cycle, host), 1);
    handlerHost = nullptr;
    EXPECT_EQ(host.nestedResult, 1);
    // The outer text still reaches the listener attached before the nested
    // run; nothing after it does.
    const std::vector<Seen> after(host.seen.begin() + host.seenWhenNestedReturned, host.seen.end());
    EXPECT_EQ(after, (std::vector<Seen>{{'B', 2, 1001, 0}}));
}

// Two nested runs from one send (A, then B of the outer cfgSource): the
// second starts after the first has released everything, builds lists of its
// own and releases them while the outer report still holds the record.
TEST(NestedRuns, SeveralNestedRunsDuringOneReport) {
    ScriptedCycle cycle;
    script(cycle);
    NestingHost host;
    connect(host);
    host.exec = qvCSexecCycle;
    host.nestFromEveryOuterDelivery = true;
    EXPECT_EQ(runOuter(cycle, host), 1);
    EXPECT_EQ(host.nestedRuns, 2);
    EXPECT_EQ(host.nestedResult, 1);
    std::size_t outerDeliveries = 0;
    for (const Seen& delivery : host.seen) outerDeliveries += delivery.depth == 0 ? 1 : 0;
    EXPECT_EQ(outerDeliveries, 2u);  // cfgSource to A and B, then nobody
}

// ---- Through the shared library ------------------------------------------------

TEST(NestedRuns, FromEveryDeliveryOfThePofCycle) {
    const testing_support::LoadedCycle& lib = testing_support::revisionLibrary();
    ASSERT_TRUE(lib.loaded()) << lib.error();
    testing_support::TempDir dir;

    NestingHost probe;
    connect(probe);
    EXPECT_EQ(lib.run({"-Sjob"}, &probe.callbacks), 1);
    ASSERT_GE(probe.seen.size(), 2u);

    for (std::size_t at = 0; at < probe.seen.size(); ++at) {
        for (const char* inner : {"-Sjob", "-V"}) {
            NestingHost host;
            connect(host);
            host.exec = [](CycleContext* ctx, int argc, char* const* argv, HostCallbacks* cb) {
                return testing_support::revisionLibrary().exec(ctx, argc, argv, cb);
            };
            host.nestedArgs = {inner};
            host.nestAt = static_cast<int>(at);
            EXPECT_EQ(lib.run({"-Sjob"}, &host.callbacks), 1) << at << inner;
            EXPECT_EQ(host.nestedResult, 1) << at << inner;
            ASSERT_GT(host.seen.size(), at);
            if (std::string(inner) == "-Sjob") {
                const std::vector<Seen> after(host.seen.begin() + host.seenWhenNestedReturned,
                                              host.seen.end());
                EXPECT_EQ(after, allowedAfterNesting(host.seen[at])) << at;
            }
        }
    }
    EXPECT_EQ(lib.getCycle()->signalRegistry, nullptr);
    EXPECT_EQ(lib.getCycle()->config, nullptr);
}

}  // namespace
}  // namespace frame_test

// The four entry points as a host sees them: the revision's shared library
// loaded with dlopen.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/common.h"
#include "common/limits.h"
#include "frame/frame.h"
#include "support/loaded_cycle.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace {

using testing_support::Delivery;
using testing_support::EventLog;
using testing_support::LoadedCycle;
using testing_support::RecordingHost;
using testing_support::revisionLibrary;
using testing_support::TempDir;

const LoadedCycle& library() {
    const LoadedCycle& loaded = revisionLibrary();
    EXPECT_TRUE(loaded.loaded()) << loaded.error();
    return loaded;
}

bool isIdentity(const FrameMatrix& matrix) {
    for (int i = 0; i < 16; ++i)
        if (matrix.m[i] != (i % 5 == 0 ? 1.0 : 0.0)) return false;
    return true;
}

bool isCfgSource(const Delivery& delivery, char function, const std::string& value) {
    return delivery.function == function && delivery.code == 0 && delivery.record.code == 112 &&
           delivery.name() == "cfgSource" && delivery.value() == value;
}

// Slots the POF cycle takes from the base cycle, and slots it fills itself
// with functions of its own.
constexpr int kInheritedSlots[] = {2, 3, 4, 5, 6, 7, 8, 15};
constexpr int kOwnSlots[] = {0, 1, 10, 11, 14};

// Runs first: the record as loaded, then after its first run.
TEST(CycleRecords, StaticRecordsAndInheritanceOnTheFirstRun) {
    const LoadedCycle& lib = library();
    ASSERT_TRUE(lib.loaded());
    CycleContext* pof = lib.getCycle();
    ASSERT_NE(pof, nullptr);
    EXPECT_EQ(lib.getCycle(), pof);
    CycleContext* base = pof->parent;
    ASSERT_NE(base, nullptr);

    EXPECT_EQ(pof->interfaceNumber, 5);
    EXPECT_EQ(pof->cycleId, 1100);
    EXPECT_STREQ(pof->title, "quorvant POF Reading Cycle");
    EXPECT_STREQ(pof->shortName, "pofreader");
    const uint16_t version[] = {pof->versionMajor, pof->versionMinor, pof->versionDay,
                                pof->versionMonth, pof->versionYear};
    if (pofreader::kEarlierRevision)
        EXPECT_EQ(std::vector<uint16_t>(version, version + 5),
                  (std::vector<uint16_t>{7, 0, 5, 8, 2002}));
    else
        EXPECT_EQ(std::vector<uint16_t>(version, version + 5),
                  (std::vector<uint16_t>{9, 50, 2, 12, 2008}));
    EXPECT_TRUE(isIdentity(pof->frameMatrix));
    EXPECT_TRUE(isIdentity(pof->toolMatrix));
    EXPECT_EQ(reinterpret_cast<PofCycleContext*>(pof)->toolpathFile, nullptr);
#ifndef POFREADER_REVISION_700
    const auto* own = reinterpret_cast<PofCycleContext*>(pof);
    EXPECT_TRUE(isIdentity(own->referenceMatrix));
    EXPECT_EQ(std::vector<double>(own->pofValues, own->pofValues + 5),
              (std::vector<double>{0, 0, 0, 1, 0}));
    EXPECT_EQ(pof->noSourceReport, 0);
#endif

    EXPECT_EQ(base->parent, nullptr);
    EXPECT_EQ(base->inherited, 1);
    EXPECT_EQ(base->interfaceNumber, 5);
    EXPECT_EQ(base->cycleId, 1);
    EXPECT_STREQ(base->title, "Grundwerk");
    EXPECT_EQ(base->shortName, nullptr);
    EXPECT_EQ(base->versionMajor, 5);
    EXPECT_EQ(base->versionMinor, 0);
    EXPECT_EQ(base->versionDay, 25);
    EXPECT_EQ(base->versionMonth, 3);
    EXPECT_EQ(base->versionYear, 1999);
    EXPECT_EQ(base->firstSignalPending, 1);
    EXPECT_TRUE(isIdentity(base->frameMatrix));
    for (PhaseFn CycleContext::*slot : pofreader::kPhaseSlots) EXPECT_NE(base->*slot, nullptr);

    if (pof->inherited == 0) {  // no run yet in this process
        EXPECT_EQ(pof->firstSignalPending, 1);
        for (int slot : kInheritedSlots) EXPECT_EQ(pof->*pofreader::kPhaseSlots[slot], nullptr);
    }
    TempDir dir;
    EXPECT_EQ(lib.run({"-V"}, nullptr), 1);
    EXPECT_EQ(pof->inherited, 1);
    for (int slot : kInheritedSlots)
        EXPECT_EQ(pof->*pofreader::kPhaseSlots[slot], base->*pofreader::kPhaseSlots[slot]) << slot;
    for (int slot : kOwnSlots) {
        EXPECT_NE(pof->*pofreader::kPhaseSlots[slot], nullptr) << slot;
        EXPECT_NE(pof->*pofreader::kPhaseSlots[slot], base->*pofreader::kPhaseSlots[slot]) << slot;
    }
}

TEST(SignalWords, SetReturnsThePreviousValueAndGetReadsSignalOut) {
    const LoadedCycle& lib = library();
    CycleContext record{};
    EXPECT_EQ(lib.setSignal(&record, 5), 0);
    EXPECT_EQ(lib.setSignal(&record, -9), 5);
    EXPECT_EQ(lib.setSignal(&record, 1), -9);
    EXPECT_EQ(record.signalIn, 1u);
    EXPECT_EQ(record.signalOut, 0u);
    record.signalOut = 77;
    EXPECT_EQ(lib.getSignal(&record), 77);

    CycleContext* pof = lib.getCycle();
    const int previous = lib.setSignal(nullptr, 1234);
    EXPECT_EQ(pof->signalIn, 1234u);
    EXPECT_EQ(lib.setSignal(pof, previous), 1234);
    EXPECT_EQ(lib.getSignal(nullptr), 0);
    EXPECT_EQ(lib.getSignal(pof), 0);
    EXPECT_EQ(lib.getSignal(pof->parent), 0);
}

struct EventCase {
    std::vector<std::string> args;
    std::vector<int> events;
};

TEST(ExecCycle, EventCallbackPlacedBeforeTheCallSeesThePreparation) {
    const LoadedCycle& lib = library();
    TempDir dir;
    const EventCase cases[] = {
        {{"-V"}, {121, 129}},
        {{}, {121, 129}},
        {{"pos", "-V"}, {111, 119, 121, 129}},
        {{"-Sjob", "-X"}, {111, 119, 121, 129}},
        {{"-Sjob"}, {121, 129}},
    };
    for (const EventCase& row : cases) {
        CycleContext* pof = lib.getCycle();
        EventLog log;
        log.install(pof);
        EXPECT_EQ(lib.run(row.args, nullptr), 1);
        EXPECT_EQ(log.events, row.events);
        EXPECT_EQ(pof->eventCallback, nullptr);
        EXPECT_EQ(pof->eventUser, nullptr);
    }
}

TEST(ExecCycle, SourceNameReachesHostFunctionsAThenB) {
    const LoadedCycle& lib = library();
    TempDir dir;
    for (CycleContext* ctx : {static_cast<CycleContext*>(nullptr), lib.getCycle()}) {
        RecordingHost host;
        EXPECT_EQ(lib.run({"-Sjob"}, host.callbacks(), ctx), 1);
        ASSERT_GE(host.deliveries.size(), 2u);
        EXPECT_TRUE(isCfgSource(host.deliveries[0], 'A', "job"));
        EXPECT_TRUE(isCfgSource(host.deliveries[1], 'B', "job"));
        for (const Delivery& delivery : host.deliveries) {
            EXPECT_NE(delivery.function, 'C');
            EXPECT_NE(delivery.code, 1);  // the report's key 1 has no entry
        }
    }
}

TEST(ExecCycle, PcfModeAndHostsWithoutFunctionsReceiveNothing) {
    const LoadedCycle& lib = library();
    TempDir dir;
    RecordingHost pcf;
    EXPECT_EQ(lib.run({"-Sjob", "-PCF"}, pcf.callbacks()), 1);
    EXPECT_TRUE(pcf.deliveries.empty());

    RecordingHost silent;
    for (char function : {'A', 'B', 'C'}) silent.clearFunction(function);
    EXPECT_EQ(lib.run({"-Sjob"}, silent.callbacks()), 1);
    EXPECT_TRUE(silent.deliveries.empty());

    EXPECT_EQ(lib.run({"-Sjob"}, nullptr), 1);

    RecordingHost onlyB;
    onlyB.clearFunction('A');
    EXPECT_EQ(lib.run({"-Sjob"}, onlyB.callbacks()), 1);
    ASSERT_FALSE(onlyB.deliveries.empty());
    EXPECT_TRUE(isCfgSource(onlyB.deliveries[0], 'B', "job"));
}

TEST(ExecCycle, HostResultsDoNotStopSignals) {
    const LoadedCycle& lib = library();
    TempDir dir;
    RecordingHost host;
    host.result = 0;
    EXPECT_EQ(lib.run({"-Sjob"}, host.callbacks()), 1);
    ASSERT_GE(host.deliveries.size(), 2u);
    EXPECT_TRUE(isCfgSource(host.deliveries[1], 'B', "job"));
}

TEST(ExecCycle, BadArgumentVectorsAreRefusedWithoutEvents) {
    const LoadedCycle& lib = library();
    TempDir dir;
    CycleContext* pof = lib.getCycle();
    std::vector<char*> one(1);
    one[0] = const_cast<char*>("-Sjob");
    struct BadCase {
        int argc;
        char* const* argv;
    };
    const BadCase cases[] = {{-1, one.data()},
                             {-70000, nullptr},
                             {1, nullptr},
                             {static_cast<int>(pofreader::kArgumentCountMax) + 1, one.data()},
                             {1 << 30, one.data()}};
    for (const BadCase& row : cases) {
        RecordingHost host;
        EventLog log;
        log.install(pof);
        EXPECT_EQ(lib.exec(nullptr, row.argc, row.argv, host.callbacks()), 0) << row.argc;
        EXPECT_TRUE(log.events.empty()) << row.argc;
        EXPECT_TRUE(host.deliveries.empty()) << row.argc;
        EXPECT_NE(pof->eventCallback, nullptr);  // a refused call touches nothing
        pof->eventCallback = nullptr;
        pof->eventUser = nullptr;
    }
    // No arguments at all need no vector.
    EXPECT_EQ(lib.exec(nullptr, 0, nullptr, nullptr), 1);
}

TEST(ExecCycle, NullEntriesAreSkippedAndTheLargestCountRuns) {
    const LoadedCycle& lib = library();
    TempDir dir;
    CycleContext* pof = lib.getCycle();
    char* const holes[] = {nullptr, const_cast<char*>("-Sjob"), nullptr, const_cast<char*>("pos")};
    RecordingHost host;
    EventLog log;
    log.install(pof);
    EXPECT_EQ(lib.exec(nullptr, 4, holes, host.callbacks()), 1);
    EXPECT_EQ(log.events, (std::vector<int>{111, 119, 121, 129}));
    ASSERT_GE(host.deliveries.size(), 1u);
    EXPECT_TRUE(isCfgSource(host.deliveries[0], 'A', "job"));

    std::vector<std::string> many(pofreader::kArgumentCountMax, "x");
    many.back() = "-V";
    log.events.clear();
    log.install(pof);
    EXPECT_EQ(lib.run(many, nullptr), 1);
    EXPECT_EQ(log.events, (std::vector<int>{111, 119, 121, 129}));
}

TEST(ExecCycle, ParentWithAnotherInterfaceNumberRefusesEveryCall) {
    const LoadedCycle& lib = library();
    TempDir dir;
    PofCycleContext derived{};
    derived.shared.parent = lib.getCycle();
    derived.shared.interfaceNumber = 6;
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(lib.run({"-Sjob"}, nullptr, &derived.shared), 0);
        EXPECT_EQ(derived.shared.inherited, 0);
        EXPECT_EQ(derived.shared.startPhase, nullptr);
    }
    derived.shared.interfaceNumber = 5;
    RecordingHost host;
    EXPECT_EQ(lib.run({"-Sjob"}, host.callbacks(), &derived.shared), 1);
    EXPECT_EQ(derived.shared.inherited, 1);
    EXPECT_EQ(derived.shared.startPhase, lib.getCycle()->startPhase);
    ASSERT_GE(host.deliveries.size(), 2u);
    EXPECT_TRUE(isCfgSource(host.deliveries[0], 'A', "job"));
}

// A cycle whose parent has no phases at all inherits empty slots: every phase
// then succeeds without work.
TEST(ExecCycle, EmptyInheritedSlotsAreNotCalled) {
    const LoadedCycle& lib = library();
    TempDir dir;
    CycleContext emptyParent{};
    emptyParent.interfaceNumber = 5;
    emptyParent.inherited = 1;
    PofCycleContext derived{};
    derived.shared.parent = &emptyParent;
    derived.shared.interfaceNumber = 5;
    RecordingHost host;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-Sjob"}, std::vector<std::string>{"-V", "-P", "-A", "-Y", "-D"},
          std::vector<std::string>{"pos", "-Sjob.cfg"}}) {
        EXPECT_EQ(lib.run(args, host.callbacks(), &derived.shared), 1);
    }
    EXPECT_TRUE(host.deliveries.empty());
}

// ---- Nesting -----------------------------------------------------------------

struct NestingHost {
    const LoadedCycle* lib;
    HostCallbacks callbacks{};
    int depth = 1;  // runs in progress
    std::vector<int> nestedResults;
    // Nested runs on one record share its registry, so a nested run's signal
    // also reaches the forwarders of the runs around it: nest once per depth.
    bool nestedFrom[pofreader::kNestingLimit + 1] = {};
    int deepest = 1;
    CycleContext* spare = nullptr;  // the ninth run's record
    int ninthResult = -1;
    int ninthOnSameRecord = -1;
};

int nestOnCfgSource(CycleContext* ctx, int code, SignalRecord* record, void* user) {
    auto& host = *static_cast<NestingHost*>(user);
    if (code != 0 || record->code != PFR_CODE_CFG_SOURCE) return 1;
    if (host.nestedFrom[host.depth]) return 1;
    host.nestedFrom[host.depth] = true;
    if (host.depth < pofreader::kNestingLimit) {
        ++host.depth;
        if (host.depth > host.deepest) host.deepest = host.depth;
        host.nestedResults.push_back(host.lib->run({"-Sjob"}, &host.callbacks, ctx));
        --host.depth;
    } else if (host.ninthResult == -1) {
        host.ninthResult = host.lib->run({"-Sjob", "pos"}, &host.callbacks, host.spare);
        host.ninthOnSameRecord = host.lib->run({"-Sjob"}, &host.callbacks, ctx);
    }
    return 1;
}

TEST(ExecCycle, NinthNestedRunIsRefusedAndTheOuterRunsFinish) {
    const LoadedCycle& lib = library();
    TempDir dir;
    PofCycleContext spare{};
    spare.shared.parent = lib.getCycle();
    spare.shared.interfaceNumber = 5;
    EventLog log;
    log.install(&spare.shared);

    NestingHost host;
    host.lib = &lib;
    host.callbacks.hostFnA = nestOnCfgSource;
    host.callbacks.hostUserA = &host;
    host.spare = &spare.shared;

    EXPECT_EQ(lib.run({"-Sjob"}, &host.callbacks), 1);
    EXPECT_EQ(host.nestedResults, std::vector<int>(pofreader::kNestingLimit - 1, 1));
    EXPECT_EQ(host.deepest, pofreader::kNestingLimit);
    EXPECT_EQ(host.ninthResult, 0);
    EXPECT_EQ(host.ninthOnSameRecord, 0);
    EXPECT_TRUE(log.events.empty());
    EXPECT_EQ(spare.shared.inherited, 0);
    EXPECT_EQ(spare.shared.arguments, nullptr);

    // The depth is back to zero: a full nest works again.
    host.nestedResults.clear();
    host.ninthResult = -1;
    for (bool& nested : host.nestedFrom) nested = false;
    EXPECT_EQ(lib.run({"-Sjob"}, &host.callbacks), 1);
    EXPECT_EQ(host.nestedResults.size(), static_cast<std::size_t>(pofreader::kNestingLimit - 1));
}

}  // namespace

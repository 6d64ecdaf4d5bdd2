// Nesting stress: host functions that start a nested run from every kind of
// delivery, one level after the other, until eight runs are in progress and
// then past that limit. Runs on the delivering record itself and on separate
// records of the same layout. Every run that started finishes and returns 1,
// the ninth is refused with 0, and the sanitizer build sees no fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "common/limits.h"
#include "reliability/scenarios.h"
#include "support/loaded_cycle.h"

namespace {

using pofreader::kNestingLimit;
using testing_support::Delivery;

constexpr char kTitle[] = "quorvant POF Reading Cycle";

struct DeliveryKind {
    const char* name;
    char function;
    int key;
    int code;  // 0: any move
};

// ORDER: the kinds of delivery a POF run makes to the host.
const DeliveryKind kDeliveryKinds[] = {
    {"cfgSource to A", 'A', PFR_KEY_EVENT, PFR_CODE_CFG_SOURCE},
    {"cfgSource to B", 'B', PFR_KEY_EVENT, PFR_CODE_CFG_SOURCE},
    {"event record", 'A', PFR_KEY_EVENT, PFR_CODE_CYCLE},
    {"frame value", 'B', PFR_KEY_EVENT, PFR_CODE_FRAME_VALUE},
    {"text record", 'B', PFR_KEY_TEXT, PFR_CODE_TEXT},
    {"transformation record", 'A', PFR_KEY_TRANSFORM, PFR_CODE_NAMED_VALUE},
    {"move", 'A', PFR_KEY_MOVE, 0},
    {"cycleEnd", 'A', PFR_KEY_EVENT, PFR_CODE_CYCLE_END},
};

struct StressHost {
    const testing_support::LoadedCycle* library = nullptr;
    DeliveryKind kind{};
    // Null: nest on the delivering record; else one record per level.
    std::array<PofCycleContext, kNestingLimit + 2>* separateRecords = nullptr;

    HostCallbacks callbacks{};
    int depth = 1;  // runs in progress; the outer run is the first
    std::array<bool, kNestingLimit + 2> nestedFrom{};
    std::vector<int> nestedResults;
    std::array<std::vector<std::string>, kNestingLimit + 2> linesAt;

    StressHost() {
        callbacks.hostFnA = &receiveA;
        callbacks.hostUserA = this;
        callbacks.hostFnB = &receiveB;
        callbacks.hostUserB = this;
    }
    static int receiveA(CycleContext* ctx, int key, SignalRecord* record, void* user) {
        return static_cast<StressHost*>(user)->receive('A', ctx, key, record);
    }
    static int receiveB(CycleContext* ctx, int key, SignalRecord* record, void* user) {
        return static_cast<StressHost*>(user)->receive('B', ctx, key, record);
    }

    bool matches(char function, int key, const SignalRecord* record) const {
        if (function != kind.function || key != kind.key) return false;
        if (kind.code == 0) return record->code >= PFR_CODE_RAPID && record->code <= PFR_CODE_ARC_NORMAL;
        return record->code == kind.code;
    }

    int receive(char function, CycleContext* ctx, int key, SignalRecord* record) {
        Delivery delivery{};
        delivery.function = function;
        delivery.code = key;
        std::memcpy(&delivery.record, record, sizeof *record);
        linesAt[depth].push_back(reliability::describe(delivery));
        // One nested run per level, and nothing more once one was refused.
        if (!matches(function, key, record) || nestedFrom[depth]) return 1;
        if (!nestedResults.empty() && nestedResults.back() == 0) return 1;
        nestedFrom[depth] = true;
        CycleContext* target = separateRecords != nullptr ? &(*separateRecords)[depth].shared : ctx;
        char argument[] = "-Sjob";
        char* argv[] = {argument};
        ++depth;
        nestedResults.push_back(library->exec(target, 1, argv, &callbacks));
        --depth;
        return 1;
    }
};

std::vector<std::string> cleanLines() {
    const testing_support::LoadedCycle& library = testing_support::revisionLibrary();
    StressHost host;
    host.library = &library;
    host.kind.function = 'C';  // matches nothing: no nesting
    char argument[] = "-Sjob";
    char* argv[] = {argument};
    EXPECT_EQ(library.exec(library.getCycle(), 1, argv, &host.callbacks), 1);
    return host.linesAt[1];
}

// In the order the calls return: the call made while eight runs were in
// progress is refused at once, then the seven nested runs (levels 8 down to
// 2) return 1.
std::vector<int> expectedResults() {
    std::vector<int> results{0};
    results.insert(results.end(), kNestingLimit - 1, 1);
    return results;
}

std::vector<std::string> distinct(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    return lines;
}

class NestingStress : public testing::TestWithParam<DeliveryKind> {
protected:
    void SetUp() override { reliability::writeJobFiles(dir_); }
    testing_support::TempDir dir_;
};

TEST_P(NestingStress, OnTheDeliveringRecordToTheLimitAndPast) {
    const testing_support::LoadedCycle& library = testing_support::revisionLibrary();
    ASSERT_TRUE(library.loaded()) << library.error();
    const std::vector<std::string> clean = cleanLines();
    ASSERT_FALSE(clean.empty());

    StressHost host;
    host.library = &library;
    host.kind = GetParam();
    char argument[] = "-Sjob";
    char* argv[] = {argument};
    EXPECT_EQ(library.exec(library.getCycle(), 1, argv, &host.callbacks), 1);
    EXPECT_EQ(host.nestedResults, expectedResults());
    // The innermost run saw a whole run of its own. On a shared record each
    // level's run attached the host once more to the entries it re-registered,
    // so the innermost run delivers every record once per level.
    EXPECT_EQ(distinct(host.linesAt[kNestingLimit]), distinct(clean));
    EXPECT_EQ(host.linesAt[kNestingLimit].size(), clean.size() * kNestingLimit);
    // Nothing is left behind: the next run is a clean run again.
    EXPECT_EQ(cleanLines(), clean);
    CycleContext* ctx = library.getCycle();
    EXPECT_EQ(ctx->signalRegistry, nullptr);
    EXPECT_EQ(ctx->config, nullptr);
    EXPECT_EQ(pofreader::pofPart(ctx)->toolpathFile, nullptr);
}

TEST_P(NestingStress, OnSeparateRecordsEveryLevelRunsWhole) {
    const testing_support::LoadedCycle& library = testing_support::revisionLibrary();
    ASSERT_TRUE(library.loaded()) << library.error();
    const std::vector<std::string> clean = cleanLines();

    // Records of the same layout, copied from the idle cycle record.
    static std::array<PofCycleContext, kNestingLimit + 2> records;
    for (PofCycleContext& record : records)
        std::memcpy(&record, library.getCycle(), sizeof record);

    StressHost host;
    host.library = &library;
    host.kind = GetParam();
    host.separateRecords = &records;
    char argument[] = "-Sjob";
    char* argv[] = {argument};
    EXPECT_EQ(library.exec(library.getCycle(), 1, argv, &host.callbacks), 1);
    EXPECT_EQ(host.nestedResults, expectedResults());
    // Each level delivered everything of its own run, the outer ones around
    // the nested runs, and ended with the final "cycleEnd".
    for (int level = 1; level <= kNestingLimit; ++level) {
        SCOPED_TRACE("level " + std::to_string(level));
        EXPECT_EQ(host.linesAt[level], clean);
        ASSERT_FALSE(host.linesAt[level].empty());
        EXPECT_NE(host.linesAt[level].back().find(kTitle), std::string::npos);
    }
    for (int level = 1; level <= kNestingLimit; ++level) {
        EXPECT_EQ(records[level].shared.signalRegistry, nullptr);
        EXPECT_EQ(records[level].shared.config, nullptr);
        EXPECT_EQ(records[level].toolpathFile, nullptr);
    }
    EXPECT_EQ(cleanLines(), clean);
}

INSTANTIATE_TEST_SUITE_P(EveryDelivery, NestingStress, testing::ValuesIn(kDeliveryKinds),
                         [](const testing::TestParamInfo<DeliveryKind>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c != '\0'; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

}  // namespace

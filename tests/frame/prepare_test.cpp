// prepareCycle: argument classification, the configuration phase and its two
// fixed rules, inheritance from the parent, and failed preparations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/common.h"
#include "config/config.h"
#include "frame/frame.h"
#include "scripted_cycle.h"
#include "support/temp_dir.h"

namespace frame_test {
namespace {

using pofreader::prepareCycle;

// Prepares `cycle` with `args` (a null pointer in the list is a null entry).
int prepare(ScriptedCycle& cycle, const std::vector<const char*>& args) {
    return prepareCycle(cycle.ctx(), const_cast<char* const*>(args.data()),
                        static_cast<unsigned>(args.size()), 0);
}

std::vector<std::string> positional(const CycleContext* ctx) {
    std::vector<std::string> result;
    for (uint16_t index = 0; index < ctx->argumentCount; ++index)
        result.emplace_back(ctx->arguments[index]);
    return result;
}

std::string configValue(const CycleContext* ctx, const char* name, ConfigTag* tag = nullptr) {
    char* copy = pofreader::configGet(ctx->config, name, tag);
    if (copy == nullptr) return "<none>";
    std::string value = copy;
    pofreader::memRelease(copy);
    return value;
}

struct ArgumentCase {
    std::vector<const char*> args;
    uint16_t flags;
    int16_t mNumber;
    int32_t pcfMode;
    const char* sourceName;  // null: none
    std::vector<std::string> positional;
};

const std::vector<ArgumentCase> kArgumentCases = {
    // nothing given: -V and -?
    {{}, 0x03, 0, 0, nullptr, {}},
    // -IPC...
    {{"-IPC3"}, 0x03, 0, 0, nullptr, {}},
    {{"/ipc"}, 0x03, 0, 0, nullptr, {}},
    {{"-IP"}, 0x03, 0, 0, nullptr, {"-IP"}},
    {{"-Ixyz"}, 0x03, 0, 0, nullptr, {"-Ixyz"}},
    // -M<n>: decimal, kept in 16 bits
    {{"-M12"}, 0x03, 12, 0, nullptr, {}},
    {{"/m-7"}, 0x03, -7, 0, nullptr, {}},
    {{"-M  +42x"}, 0x03, 42, 0, nullptr, {}},
    {{"-Mabc"}, 0x03, 0, 0, nullptr, {}},
    {{"-M70000"}, 0x03, 4464, 0, nullptr, {}},
    {{"-M-40000"}, 0x03, 25536, 0, nullptr, {}},
    {{"-M32768"}, 0x03, -32768, 0, nullptr, {}},
    {{"-M99999999999999999999999"}, 0x03, -1, 0, nullptr, {}},
    {{"-M"}, 0x03, 0, 0, nullptr, {"-M"}},
    // -PCF / -POF: capital P only
    {{"-PCF"}, 0x03, 0, 1, nullptr, {}},
    {{"-Pcf"}, 0x03, 0, 1, nullptr, {}},
    {{"/PCF", "-POF"}, 0x03, 0, 0, nullptr, {}},
    {{"-PoF", "-PCF"}, 0x03, 0, 1, nullptr, {}},
    {{"-pcf"}, 0x03, 0, 0, nullptr, {"-pcf"}},
    {{"-Px"}, 0x03, 0, 0, nullptr, {"-Px"}},
    {{"-PCFX"}, 0x03, 0, 0, nullptr, {"-PCFX"}},
    // -S<name>
    {{"-Sjob.pcf"}, 0x100, 0, 0, "job.pcf", {}},
    {{"/sJob"}, 0x100, 0, 0, "Job", {}},
    {{"-Sa", "-Sb"}, 0x100, 0, 0, "b", {}},
    {{"-S"}, 0x03, 0, 0, nullptr, {"-S"}},
    // single letters
    {{"-V"}, 0x01, 0, 0, nullptr, {}},
    {{"/v"}, 0x01, 0, 0, nullptr, {}},
    {{"-?"}, 0x02, 0, 0, nullptr, {}},
    {{"-P"}, 0x04, 0, 0, nullptr, {}},
    {{"-p"}, 0x04, 0, 0, nullptr, {}},
    {{"-A", "-a"}, 0x08, 0, 0, nullptr, {}},
    {{"/Y"}, 0x10, 0, 0, nullptr, {}},
    {{"-y"}, 0x10, 0, 0, nullptr, {}},
    {{"-D"}, 0x20, 0, 0, nullptr, {}},
    {{"-d", "-V", "-Sx"}, 0x121, 0, 0, "x", {}},
    {{"-X"}, 0x03, 0, 0, nullptr, {"-X"}},
    {{"-s"}, 0x03, 0, 0, nullptr, {"-s"}},
    {{"-"}, 0x03, 0, 0, nullptr, {"-"}},
    {{"/"}, 0x03, 0, 0, nullptr, {"/"}},
    {{"-??"}, 0x03, 0, 0, nullptr, {"-??"}},
    {{"-Vx"}, 0x03, 0, 0, nullptr, {"-Vx"}},
    // arguments beginning with "?"
    {{"?"}, 0x02, 0, 0, nullptr, {}},
    {{"-Sa.pcf", "?"}, 0x02, 0, 0, "a.pcf", {}},
    {{"?", "-V"}, 0x03, 0, 0, nullptr, {}},
    {{"-V", "-P", "?help", "-A"}, 0x0A, 0, 0, nullptr, {}},
    // positional arguments, stored whole in order
    {{"file.txt"}, 0x03, 0, 0, nullptr, {"file.txt"}},
    {{"a", "-V", "", "-Q", "b"}, 0x01, 0, 0, nullptr, {"a", "", "-Q", "b"}},
    // a null entry is skipped
    {{"-V", nullptr, "x"}, 0x01, 0, 0, nullptr, {"x"}},
    {{nullptr}, 0x03, 0, 0, nullptr, {}},
};

TEST(PrepareCycle, ClassifiesEveryKindOfArgument) {
    for (const ArgumentCase& row : kArgumentCases) {
        std::string title;
        for (const char* arg : row.args) title += std::string(arg ? arg : "<null>") + " ";
        ScriptedCycle cycle;
        CycleContext* ctx = cycle.ctx();
        ctx->flags = 0x0FFF;  // leftovers of an earlier run are reset
        ctx->mNumber = 99;
        ctx->pcfMode = 1;
        ctx->firstSignalPending = 0;
        ASSERT_EQ(prepare(cycle, row.args), 1) << title;
        EXPECT_EQ(ctx->flags, row.flags) << title;
        EXPECT_EQ(ctx->mNumber, row.mNumber) << title;
        EXPECT_EQ(ctx->pcfMode, row.pcfMode) << title;
        EXPECT_EQ(ctx->firstSignalPending, 1) << title;
        if (row.sourceName == nullptr) {
            EXPECT_EQ(ctx->sourceName, nullptr) << title;
        } else {
            EXPECT_STREQ(ctx->sourceName, row.sourceName) << title;
        }
        EXPECT_EQ(positional(ctx), row.positional) << title;
        if (row.positional.empty()) {
            EXPECT_EQ(ctx->arguments, nullptr) << title;
        }

        // The arguments phase runs, between its events, exactly when something
        // positional was stored.
        const std::vector<int> expectedEvents =
            row.positional.empty() ? std::vector<int>{121, 129}
                                   : std::vector<int>{111, 119, 121, 129};
        EXPECT_EQ(cycle.events(), expectedEvents) << title;
        const std::vector<int> expectedCalls = row.positional.empty()
                                                   ? std::vector<int>{kConfig}
                                                   : std::vector<int>{kArguments, kConfig};
        EXPECT_EQ(cycle.slotCalls(), expectedCalls) << title;
    }
}

TEST(PrepareCycle, ReleasesTheArgumentsOfTheLastPreparation) {
    ScriptedCycle cycle;
    ASSERT_EQ(prepare(cycle, {"one", "two"}), 1);
    ASSERT_EQ(prepare(cycle, {"three"}), 1);
    EXPECT_EQ(positional(cycle.ctx()), (std::vector<std::string>{"three"}));
    ASSERT_EQ(prepare(cycle, {}), 1);
    EXPECT_EQ(cycle.ctx()->arguments, nullptr);
    EXPECT_EQ(cycle.ctx()->argumentCount, 0);
}

TEST(PrepareCycle, ArgumentsPhaseResultIsNotConsulted) {
    ScriptedCycle cycle;
    cycle.results[kArguments] = 0;
    EXPECT_EQ(prepare(cycle, {"pos"}), 1);
}

struct SourceCase {
    const char* source;
    int32_t isCfgSource;
};

TEST(PrepareCycle, CfgSourceChoosesPhaseAndBuiltInName) {
    const SourceCase cases[] = {{"-Sjob.cfg", 1}, {"-Sx.Cfg", 1}, {"-Sa.b.CFG", 1},
                                {"-S.CFG", 0},    {"-Sjob.pcf", 0}, {"-Sjob.cfgx", 0},
                                {"-V", 0}};
    for (const SourceCase& row : cases) {
        ScriptedCycle cycle;
        ASSERT_EQ(prepare(cycle, {row.source}), 1) << row.source;
        CycleContext* ctx = cycle.ctx();
        EXPECT_EQ(ctx->isCfgSource, row.isCfgSource) << row.source;
        EXPECT_EQ(cycle.slotCalls(), std::vector<int>{row.isCfgSource ? kConfigCfg : kConfig})
            << row.source;
        ConfigTag tag = 0;
        EXPECT_EQ(configValue(ctx, row.isCfgSource ? "*TEMP_MEM" : "tempMem", &tag), "128");
        EXPECT_EQ(tag, PFR_TAG_BUILTIN);
        EXPECT_EQ(configValue(ctx, row.isCfgSource ? "tempMem" : "*TEMP_MEM"), "<none>");
    }
}

int configureTempMem(CycleContext* ctx) {
    ctx->config = pofreader::configSet(ctx->config, "other", "1", 21);
    ctx->config = pofreader::configSet(ctx->config, "tempMem", "64", 21);
    return 1;
}

TEST(PrepareCycle, BuiltInTempMemReplacesTheConfiguredOneInPlace) {
    ScriptedCycle cycle;
    cycle.hook[kConfig] = configureTempMem;
    ASSERT_EQ(prepare(cycle, {"-Sjob"}), 1);
    const ConfigNode* first = cycle.ctx()->config;
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->name, "tempMem");
    EXPECT_STREQ(first->value, "128");
    EXPECT_EQ(first->tag, PFR_TAG_BUILTIN);
    ASSERT_NE(first->next, nullptr);
    EXPECT_STREQ(first->next->name, "other");
    EXPECT_EQ(first->next->next, nullptr);
}

// ---- Failed preparations ---------------------------------------------------

TEST(PrepareCycle, FailedConfigurationPhaseCleansUp) {
    for (bool cfg : {false, true}) {
        ScriptedCycle cycle;
        cycle.results[cfg ? kConfigCfg : kConfig] = 0;
        EXPECT_EQ(prepare(cycle, {"pos", cfg ? "-Sj.cfg" : "-Sj"}), 0);
        CycleContext* ctx = cycle.ctx();
        EXPECT_EQ(cycle.events(), (std::vector<int>{111, 119, 121, 129, 411, 419}));
        EXPECT_EQ(ctx->arguments, nullptr);
        EXPECT_EQ(ctx->sourceName, nullptr);
        EXPECT_EQ(ctx->config, nullptr);
    }
}

// Every allocation of the argument parsing is failed in turn: the preparation
// fails, cleanup runs, and nothing leaks (the sanitizer build checks).
TEST(PrepareCycle, AllocationFailureOfTheArgumentsFailsThePreparation) {
    const std::vector<const char*> args = {"a", "-Sjob", "b"};
    for (long failAt = 1; failAt <= 4; ++failAt) {
        ScriptedCycle cycle;
        pofreader::memInjectFailure(failAt);
        const int prepared = prepare(cycle, args);
        pofreader::memInjectFailure(0);
        EXPECT_EQ(prepared, 0) << failAt;
        EXPECT_EQ(cycle.events(), (std::vector<int>{411, 419})) << failAt;
        EXPECT_EQ(cycle.ctx()->arguments, nullptr);
        EXPECT_EQ(cycle.ctx()->sourceName, nullptr);
        EXPECT_TRUE(cycle.slotCalls().empty());
    }
}

// ---- Inheritance ---------------------------------------------------------------

int parentPhase(CycleContext*) { return 1; }
int grandparentPhase(CycleContext*) { return 1; }

TEST(PrepareCycle, InheritsEmptySlotsFromTheParentChainOnce) {
    CycleContext grandparent{};
    grandparent.interfaceNumber = 5;
    grandparent.endPhase = grandparentPhase;
    grandparent.mainPhase2 = grandparentPhase;
    CycleContext parent{};
    parent.interfaceNumber = 5;
    parent.parent = &grandparent;
    parent.mainPhase2 = parentPhase;

    ScriptedCycle cycle;
    CycleContext* ctx = cycle.ctx();
    ctx->inherited = 0;
    ctx->parent = &parent;
    ctx->mainPhase2 = nullptr;
    ctx->endPhase = nullptr;
    ctx->flagDPhase = nullptr;

    ASSERT_EQ(prepare(cycle, {}), 1);
    EXPECT_EQ(ctx->inherited, 1);
    EXPECT_EQ(parent.inherited, 1);
    EXPECT_EQ(ctx->mainPhase2, &parentPhase);
    EXPECT_EQ(ctx->endPhase, &grandparentPhase);
    EXPECT_EQ(ctx->flagDPhase, nullptr);  // empty all the way up
    EXPECT_NE(ctx->flagVPhase, nullptr);  // the record's own slot stays
    EXPECT_EQ(parent.argumentCount, 0);   // the parent is not prepared for a run
    EXPECT_EQ(parent.flags, 0);

    // Once per record: a later change of the parent is not copied again.
    parent.flagDPhase = parentPhase;
    ASSERT_EQ(prepare(cycle, {}), 1);
    EXPECT_EQ(ctx->flagDPhase, nullptr);
}

TEST(PrepareCycle, ParentWithAnotherInterfaceRefusesTheRun) {
    CycleContext parent{};
    parent.interfaceNumber = 6;
    parent.mainPhase2 = parentPhase;
    ScriptedCycle cycle;
    CycleContext* ctx = cycle.ctx();
    ctx->inherited = 0;
    ctx->parent = &parent;
    ctx->mainPhase2 = nullptr;
    ctx->flags = 0x77;
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(prepare(cycle, {"-Sjob", "pos"}), 0);
        EXPECT_EQ(ctx->inherited, 0);
        EXPECT_EQ(ctx->mainPhase2, nullptr);
        EXPECT_EQ(ctx->flags, 0x77);
        EXPECT_EQ(ctx->sourceName, nullptr);
        EXPECT_TRUE(cycle.trace.empty());
    }
}

TEST(PrepareCycle, ParentChainThatLoopsEnds) {
    ScriptedCycle cycle;
    CycleContext* ctx = cycle.ctx();
    ctx->inherited = 0;
    ctx->parent = ctx;
    EXPECT_EQ(prepare(cycle, {}), 1);
    EXPECT_EQ(ctx->inherited, 1);
}

// ---- POFbypass -------------------------------------------------------------------

std::string bypassPath;

int configureBypass(CycleContext* ctx) {
    ctx->config = pofreader::configSet(ctx->config, "POFbypass", bypassPath.c_str(), 21);
    return 1;
}

int configureBypassAndFail(CycleContext* ctx) {
    configureBypass(ctx);
    return 0;
}

std::string preparedOutput(const std::vector<const char*>& args, int (*configure)(CycleContext*)) {
    ScriptedCycle cycle;
    cycle.hook[kConfig] = configure;
    testing::internal::CaptureStdout();
    prepare(cycle, args);
    return testing::internal::GetCapturedStdout();
}

TEST(PrepareCycle, BypassFileIsCopiedToStandardOutputUnlessPcfMode) {
    testing_support::TempDir dir;
    const std::string longLine(1500, 'x');
    const std::string content = "first line\n\nthird\t line\r\n" + longLine + "\nlast without end";
    bypassPath = dir.write("bypass.txt", content);

    EXPECT_EQ(preparedOutput({"-Sjob"}, configureBypass), content);
    EXPECT_EQ(preparedOutput({"-Sjob", "-POF"}, configureBypass), content);
    EXPECT_EQ(preparedOutput({"-Sjob", "-PCF"}, configureBypass), "");
    // The copy happens even when the configuration phase failed.
    EXPECT_EQ(preparedOutput({"-Sjob"}, configureBypassAndFail), content);

    bypassPath = dir.file("missing.txt");
    EXPECT_EQ(preparedOutput({"-Sjob"}, configureBypass), "");
}

TEST(CopyBypassFile, StopsAtCtrlZAndCopiesEveryOtherByte) {
    testing_support::TempDir dir;
    const std::string bytes = std::string("a\0b\xff\n", 5) + "c\x1A" + "hidden";
    const std::string path = dir.write("bytes.txt", bytes);
    for (int lineLength : {512, 2, 0}) {
        testing::internal::CaptureStdout();
        pofreader::copyBypassFile(path.c_str(), lineLength);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string("a\0b\xff\nc", 6))
            << lineLength;
    }
}

}  // namespace
}  // namespace frame_test

// Cycle set-up, function by function: axis and point reading, the tool
// defaults, the .CFG variant on a record of our own, the information phases
// -P, -A and -Y, and every allocation failure on the way.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "common/common.h"
#include "config/config.h"
#include "frame/frame.h"
#include "frame_expect.h"
#include "pof/pof.h"
#include "support/temp_dir.h"

namespace pofreader {
namespace {

using namespace setup_test;
using testing_support::TempDir;
using NamedValues = std::vector<std::pair<std::string, std::string>>;
using Entry = std::tuple<std::string, std::string, ConfigTag>;

ConfigNode* appendAll(ConfigNode* list, const NamedValues& entries, ConfigTag tag = 21) {
    for (const auto& [name, value] : entries)
        list = configAppend(list, name.c_str(), value.c_str(), tag);
    return list;
}

std::vector<Entry> walk(const ConfigNode* list) {
    std::vector<Entry> entries;
    for (const ConfigNode* node = list; node != nullptr; node = node->next)
        entries.emplace_back(node->name, node->value, node->tag);
    return entries;
}

// ---- readUnitAxis and readPoint ----------------------------------------------------

constexpr Column kUntouched = {7, 7, 7};

struct TripleCase {
    const char* title;
    NamedValues entries;
    MatchMode mode;
    bool unit;  // readUnitAxis, else readPoint
    Column expected;
};

const TripleCase kTripleCases[] = {
    {"axis scaled to length one", {{"a", "0 2 0"}}, kFirstMatch, true, kAxisY},
    {"first match stops at an unusable value", {{"a", "1 2"}, {"a", "0 1 0"}}, kFirstMatch,
     true, kUntouched},
    {"all matches pass an unusable value", {{"a", "1 2"}, {"a", "0 1 0"}}, kAllMatches, true,
     kAxisY},
    {"all matches: the last usable wins", {{"a", "0 1 0"}, {"a", "0 0 4"}, {"a", "x"}},
     kAllMatches, true, kAxisZ},
    {"first match: the first wins", {{"a", "0 1 0"}, {"a", "0 0 4"}}, kFirstMatch, true,
     kAxisY},
    {"names compare exactly", {{"A", "0 1 0"}, {"a_", "0 1 0"}, {"", "0 1 0"}}, kAllMatches,
     true, kUntouched},
    {"length 1e-8 is too short", {{"a", "1e-8 0 0"}}, kFirstMatch, true, kUntouched},
    {"length 2e-8 is enough", {{"a", "0 0 -2e-8"}}, kFirstMatch, true, {0, 0, -1}},
    {"zero axis with a usable one behind it", {{"a", "0 0 0"}, {"a", "0 3 0"}}, kAllMatches,
     true, kAxisY},
    {"point as read", {{"a", "1e-9 -2 3e3"}}, kFirstMatch, false, {1e-9, -2, 3000}},
    {"zero point is a point", {{"a", "0 0 0"}}, kFirstMatch, false, {0, 0, 0}},
    {"point: the last usable wins", {{"a", "1 2 3"}, {"a", "4 5"}, {"a", "6 7 8"}},
     kAllMatches, false, {6, 7, 8}},
};

TEST(SetupTriples, ReadUnitAxisAndReadPoint) {
    for (const TripleCase& c : kTripleCases) {
        SCOPED_TRACE(c.title);
        ConfigNode* list = appendAll(nullptr, c.entries);
        Column got = kUntouched;
        (c.unit ? readUnitAxis : readPoint)(list, "a", c.mode, &got[0], &got[1], &got[2]);
        EXPECT_EQ(got, c.expected);
        configFree(list);
    }
}

// 3 / 5 is 0.6 exactly rounded; 3 * (1 / 5) is one bit above it.
TEST(SetupTriples, RevisionsNormaliseWithTheirOwnRounding) {
    ConfigNode* list = configAppend(nullptr, "a", "3 4 0", 21);
    Column got{};
    readUnitAxis(list, "a", kFirstMatch, &got[0], &got[1], &got[2]);
    volatile double three = 3, four = 4, five = 5;
    if (kEarlierRevision) {
        EXPECT_EQ(got[0], three / five);
        EXPECT_EQ(got[1], four / five);
    } else {
        EXPECT_EQ(got[0], three * (1 / five));
        EXPECT_EQ(got[1], four * (1 / five));
    }
    EXPECT_NE(three / five, three * (1 / five));
    configFree(list);
}

// ---- defaultToolAxes ---------------------------------------------------------------

TEST(SetupToolDefaults, MissingToolEntriesTakeTheLastFrameValue) {
    CycleContext ctx{};
    ctx.config = appendAll(nullptr, {{"frameCs_x", "1 0 0"},
                                     {"toolCs_y", "0 0 1"},
                                     {"frameCs_y", "0 1 0"},
                                     {"frameCs_o", "1 2 3"},
                                     {"frameCs_x", "0 1 0"}});
    defaultToolAxes(&ctx);
    // Prepended in pair order x, y, z, o; toolCs_y was there, frameCs_z is not.
    const std::vector<Entry> expected = {
        {"toolCs_o", "1 2 3", 31}, {"toolCs_x", "0 1 0", 31}, {"frameCs_x", "1 0 0", 21},
        {"toolCs_y", "0 0 1", 21}, {"frameCs_y", "0 1 0", 21}, {"frameCs_o", "1 2 3", 21},
        {"frameCs_x", "0 1 0", 21}};
    EXPECT_EQ(walk(ctx.config), expected);
    configFree(ctx.config);
}

// ---- The .CFG variant on records of our own ----------------------------------------

struct CfgCase {
    std::string source;
    std::vector<std::pair<std::string, double>> files;  // name -> x of *NCKO_O
    double expectedOriginX;                             // 0: nothing read
};

std::vector<CfgCase> cfgCases() {
    // Names of 511 characters with ".CFG" need folders: a name part has at most
    // 255 characters on the file systems we test on.
    const std::string folders = std::string(200, 'd') + "/" + std::string(200, 'e') + "/";
    const std::string fits = folders + std::string(105, 'f');  // 507 + 4 = 511
    const std::string over = fits + "f";                       // 512: not opened
    return {
        {"job", {{"job.CFG", 1}, {"job", 9}}, 1},
        {"JOB.cfg", {{"JOB.cfg", 2}, {"JOB.cfg.CFG", 9}}, 2},
        {fits, {{fits + ".CFG", 5}}, 5},
        {over, {{over + ".CF", 9}}, 0},
    };
}

TEST(SetupCfg, SourceNameChoosesTheCfgFile) {
    for (const CfgCase& c : cfgCases()) {
        SCOPED_TRACE(c.source.size());
        TempDir dir;
        std::filesystem::create_directories(dir.file(std::string(200, 'd') + "/" +
                                                     std::string(200, 'e')));
        for (const auto& [name, x] : c.files)
            dir.write(name, "*NCKO_O " + std::to_string(x) + " 0 0\n");
        std::string source = c.source;
        CycleContext ctx{};
        ctx.sourceName = source.data();
        EXPECT_EQ(setupFramesFromCfg(&ctx), 1);
        EXPECT_TRUE(framesNear(ctx.frameMatrix, translation(c.expectedOriginX, 0, 0)));
        configFree(ctx.config);
        configFree(ctx.cfgEntries);
    }
}

TEST(SetupCfg, ToolFrameComesFromTheConfigurationAllMatches) {
    TempDir dir;
    dir.write("job.CFG", "*NCKO_O 1 2 3\n*WZKO_X 1 0 0\n*WZKO_O 9 9 9\n");
    CycleContext ctx{};
    char source[] = "job";
    ctx.sourceName = source;
    ctx.config = appendAll(nullptr, {{"*WZKO_X", "0 1 0"},
                                     {"*WZKO_O", "4 5 6"},
                                     {"*WZKO_X", "0 0 2"},
                                     {"*WZKO_Y", "1 1"}});
    EXPECT_EQ(setupFramesFromCfg(&ctx), 1);
    EXPECT_TRUE(framesNear(ctx.frameMatrix, translation(1, 2, 3)));
    EXPECT_TRUE(framesNear(ctx.toolMatrix, frameOf(kAxisZ, kAxisY, kAxisZ, {4, 5, 6})));
    configFree(ctx.config);
    configFree(ctx.cfgEntries);
}

// ---- The defaults variant on records of our own ---------------------------------

TEST(SetupDefaults, DefaultsFileNameTooLongForItsBufferIsNotOpened) {
    const std::string fits(251, 's');  // with ".def", 255 characters
    const std::string over = fits + "s";
    const struct {
        const std::string* shortName;
        std::string file;
        double expectedOriginX;
    } cases[] = {{&fits, fits + ".def", 1}, {&over, over + ".de", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shortName->size());
        TempDir dir;
        dir.write(c.file, "frameCs_o := \"1 0 0\"\n");
        CycleContext ctx{};
        ctx.shortName = c.shortName->c_str();
        EXPECT_EQ(setupFramesFromDefaults(&ctx), 1);
        EXPECT_TRUE(framesNear(ctx.frameMatrix, translation(c.expectedOriginX, 0, 0)));
        configFree(ctx.config);
    }
}

#ifndef POFREADER_REVISION_700
// Only records laid out as the POF cycle's have a reference matrix: writing it
// into a base-layout record would run past the record's end.
TEST(SetupDefaults, ReferenceMatrixOnlyInRecordsWithThePofPart) {
    TempDir dir;
    dir.write("job.pcf", "frameCs_o := \"1 2 3\"\n");
    char source[] = "job";

    auto* base = static_cast<CycleContext*>(memAllocZero(sizeof(CycleContext)));
    ASSERT_NE(base, nullptr);
    base->sourceName = source;
    EXPECT_EQ(setupFramesFromDefaults(base), 1);  // ASan: no write past the end
    EXPECT_TRUE(framesNear(base->frameMatrix, translation(1, 2, 3)));
    configFree(base->config);
    base->config = nullptr;

    base->parent = base;  // a looping chain: still no POF part
    EXPECT_EQ(setupFramesFromDefaults(base), 1);
    configFree(base->config);
    base->config = nullptr;

    CycleContext child{};  // a child of a base record with no parent
    base->parent = nullptr;
    child.parent = base;
    child.sourceName = source;
    EXPECT_EQ(setupFramesFromDefaults(&child), 1);
    configFree(child.config);
    memRelease(base);

    PofCycleContext derived{};
    derived.shared.parent = &pofCycleRecord.shared;
    derived.shared.sourceName = source;
    EXPECT_EQ(setupFramesFromDefaults(&derived.shared), 1);
    EXPECT_TRUE(framesNear(derived.referenceMatrix, translation(-1, -2, -3)));
    configFree(derived.shared.config);

    PofCycleContext grandchild{};  // two steps from the POF cycle's record
    grandchild.shared.parent = &derived.shared;
    grandchild.shared.sourceName = source;
    EXPECT_EQ(setupFramesFromDefaults(&grandchild.shared), 1);
    EXPECT_TRUE(framesNear(grandchild.referenceMatrix, translation(-1, -2, -3)));
    configFree(grandchild.shared.config);
}
#endif

// ---- -P, -A and -Y ---------------------------------------------------------------

// english has an entry, deutsch is the default and empty.
constexpr char kSectionFile[] =
    "language english\ndefault deutsch\nstart deutsch\nend deutsch\n"
    "start english\n:e1\nend english\n";
// Only a request for "???" selects the section with the entry.
constexpr char kUnknownLanguageFile[] = "language ???\nstart x\nend x\nstart ???\n:q\nend ???\n";

struct SectionCase {
    const char* title;
    NamedValues config;
    int parameters, algorithm, layers;  // expected results of the three phases
};

const SectionCase kSectionCases[] = {
    {"no entries", {}, 0, 0, 0},
    {"each phase reads its own name",
     {{"SystemLanguage", "english"}, {"algorithm", "s.sec"}}, 0, 1, 0},
    {"language without entries", {{"SystemLanguage", "deutsch"}, {"parameters", "s.sec"}}, 0, 0,
     0},
    {"no language asks for ???", {{"parameters", "q.sec"}, {"layers", "s.sec"}}, 1, 0, 0},
    {"all three", {{"SystemLanguage", "english"}, {"parameters", "s.sec"},
                   {"algorithm", "s.sec"}, {"layers", "s.sec"}}, 1, 1, 1},
};

TEST(SetupLanguageSection, EachPhaseChecksTheSectionFileItsNameNames) {
    TempDir dir;
    dir.write("s.sec", kSectionFile);
    dir.write("q.sec", kUnknownLanguageFile);
    for (const SectionCase& c : kSectionCases) {
        SCOPED_TRACE(c.title);
        CycleContext ctx{};
        for (const auto& [name, value] : c.config)
            ctx.config = configSet(ctx.config, name.c_str(), value.c_str(), 21);
        EXPECT_EQ(showParameters(&ctx), c.parameters);
        EXPECT_EQ(showAlgorithm(&ctx), c.algorithm);
        EXPECT_EQ(showLayers(&ctx), c.layers);
        configFree(ctx.config);
    }
}

// Through the frame: the information options run their phases and the first
// failure gives its code.
TEST(SetupLanguageSection, OptionsThroughThePhases) {
    const struct {
        const char* defaults;
        std::vector<const char*> args;
        int code;
    } cases[] = {
        {"", {"-P"}, 13},
        {"parameters := \"s.sec\"\nSystemLanguage := \"english\"\n", {"-P"}, 0},
        {"parameters := \"s.sec\"\nSystemLanguage := \"deutsch\"\n", {"-P"}, 13},
        {"parameters := \"s.sec\"\nalgorithm := \"s.sec\"\nSystemLanguage := \"english\"\n",
         {"-P", "-A", "-Y"}, 15},
        {"algorithm := \"s.sec\"\nlayers := \"s.sec\"\nparameters := \"s.sec\"\n"
         "SystemLanguage := \"english\"\n",
         {"-A", "-Y", "-P"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.defaults);
        TempDir dir;
        dir.write("s.sec", kSectionFile);
        dir.write("pofreader.def", c.defaults);
        std::vector<char*> argv;
        for (const char* arg : c.args) argv.push_back(const_cast<char*>(arg));
        CycleContext* ctx = &pofCycleRecord.shared;
        ASSERT_NE(prepareCycle(ctx, argv.data(), static_cast<unsigned>(argv.size()), 0), 0);
        EXPECT_EQ(runPhases(ctx), c.code);
    }
}

// ---- Allocation failures -----------------------------------------------------------

// Fails every allocation in turn; each run must still succeed, leave a
// well-formed list and leak nothing.
template <typename Run>
void everyAllocationFailing(Run run) {
    for (long failAt = 1;; ++failAt) {
        SCOPED_TRACE(failAt);
        memInjectFailure(failAt);
        const bool whole = run();
        const long made = memInjectFailure(0);
        EXPECT_TRUE(whole);
        if (made < failAt) break;
        ASSERT_LT(failAt, 10000);
    }
}

TEST(SetupAllocationFailures, EveryPhaseSurvivesEveryFailure) {
    TempDir dir;
    dir.write("pofreader.def", "frameCs_x := \"0 1 0\"\nframeCs_y := \"-1 0 0\"\nparameters := \"s.sec\"\n");
    dir.write("job.pcf", "frameCs_o := \"1 2 3\"\nlocFrameCs_o := \"1 0 0\"\n");
    dir.write("job.CFG", "*APT a.pof\n*FRAME_ID 3\n*FRAME_COMMENT a/b\n*NCKO_O 1 2 3\n");
    dir.write("s.sec", kSectionFile);
    char source[] = "job";

    everyAllocationFailing([&] {
        CycleContext ctx{};
        ctx.shortName = "pofreader";
        ctx.sourceName = source;
        const bool ok = setupFramesFromDefaults(&ctx) == 1 && ctx.frameMatrix.m[15] == 1;
        for (const ConfigNode* node = ctx.config; node != nullptr; node = node->next)
            if (node->name == nullptr || node->value == nullptr) return false;
        showParameters(&ctx);
        configFree(ctx.config);
        return ok;
    });
    everyAllocationFailing([&] {
        CycleContext ctx{};
        ctx.sourceName = source;
        const bool ok = setupFramesFromCfg(&ctx) == 1;
        configFree(ctx.config);
        configFree(ctx.cfgEntries);
        return ok;
    });
}

}  // namespace
}  // namespace pofreader

// Cycle set-up end to end: the revision's library loaded with dlopen, run on
// files in a fresh directory; the configuration read from inside the host's
// function during the run, the matrices read from the record afterwards.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/common.h"
#include "frame_expect.h"
#include "support/loaded_cycle.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace {

using namespace setup_test;
using testing_support::Delivery;
using testing_support::RecordingHost;
using testing_support::TempDir;
using testing_support::revisionLibrary;

struct Entry {
    std::string name;
    std::string value;
    unsigned tag;
    bool operator==(const Entry& other) const {
        return name == other.name && value == other.value && tag == other.tag;
    }
};
using Entries = std::vector<Entry>;

std::ostream& operator<<(std::ostream& out, const Entry& entry) {
    return out << entry.name << "=" << entry.value << " (" << entry.tag << ")";
}

Entries walk(const ConfigNode* list) {
    Entries entries;
    for (const ConfigNode* node = list; node != nullptr; node = node->next)
        entries.push_back({node->name != nullptr ? node->name : "<null>",
                           node->value != nullptr ? node->value : "<null>", node->tag});
    return entries;
}

std::optional<Entry> find(const Entries& entries, const std::string& name) {
    for (const Entry& entry : entries)
        if (entry.name == name) return entry;
    return std::nullopt;
}

int count(const Entries& entries, const std::string& name) {
    int n = 0;
    for (const Entry& entry : entries) n += entry.name == name ? 1 : 0;
    return n;
}

struct Outcome {
    int result = -1;
    bool sawConfiguration = false;  // the host saw "cfgSource" and walked the lists
    Entries config;
    Entries cfgEntries;
    FrameMatrix frame{};
    FrameMatrix tool{};
#ifndef POFREADER_REVISION_700
    FrameMatrix reference{};
#endif
    std::vector<Delivery> deliveries;
};

// One run of the POF cycle, or of `record` when given. The lists exist only
// during the run, so the host's function walks them when the configuration
// report's first signal arrives.
Outcome runCycle(const std::vector<std::string>& args, CycleContext* record = nullptr) {
    RecordingHost host;
    Outcome outcome;
    host.onDelivery = [&outcome](CycleContext* ctx, const Delivery& delivery) {
        if (outcome.sawConfiguration || delivery.function != 'A' ||
            delivery.record.code != PFR_CODE_CFG_SOURCE)
            return;
        outcome.sawConfiguration = true;
        outcome.config = walk(ctx->config);
        outcome.cfgEntries = walk(ctx->cfgEntries);
    };
    outcome.result = revisionLibrary().run(args, host.callbacks(), record);
    CycleContext* ctx = record != nullptr ? record : revisionLibrary().getCycle();
    outcome.frame = ctx->frameMatrix;
    outcome.tool = ctx->toolMatrix;
#ifndef POFREADER_REVISION_700
    outcome.reference = reinterpret_cast<PofCycleContext*>(ctx)->referenceMatrix;
#endif
    outcome.deliveries = host.deliveries;
    return outcome;
}

struct SetupRun : ::testing::Test {
    TempDir dir;
    void SetUp() override { ASSERT_TRUE(revisionLibrary().loaded()) << revisionLibrary().error(); }
};

// ---- Frames from the parameter file ------------------------------------------------

struct FrameCase {
    const char* title;
    const char* parameters;  // job.pcf
    FrameMatrix frame;
    FrameMatrix tool;
    FrameMatrix reference;  // current revision only
};

// x' = (0,1,0), y' = (-1,0,0): a quarter turn about z. Its inverse has the
// columns (0,-1,0), (1,0,0), (0,0,1).
const FrameMatrix kQuarterTurn = frameOf(kAxisY, {-1, 0, 0});
const FrameMatrix kQuarterTurnBack = frameOf({0, -1, 0}, kAxisX);
const FrameMatrix kIdentity = frameOf();

const FrameCase kFrameCases[] = {
    {"nothing configured", "", kIdentity, kIdentity, kIdentity},
    {"axes are normalised", "frameCs_x := \"0 2 0\"\nframeCs_y := \"-3 0 0\"\n", kQuarterTurn,
     kQuarterTurn, kQuarterTurnBack},
    {"zero axis is ignored", "frameCs_x := \"0 0 0\"\n", kIdentity, kIdentity, kIdentity},
    {"origin as read", "frameCs_o := \"10 20 30\"\n", translation(10, 20, 30),
     translation(10, 20, 30), translation(-10, -20, -30)},
    {"tool entry keeps its own value",
     "frameCs_x := \"0 1 0\"\nframeCs_y := \"-1 0 0\"\ntoolCs_x := \"0 0 7\"\ntoolCs_o := \"4 5 6\"\n",
     kQuarterTurn, frameOf(kAxisZ, {-1, 0, 0}, kAxisZ, {4, 5, 6}), kQuarterTurnBack},
    {"local origin only", "locFrameCs_o := \"5 0 0\"\n", kIdentity, kIdentity,
     translation(5, 0, 0)},
    {"local frame seen from a turned and moved frame",
     "frameCs_x := \"0 1 0\"\nframeCs_y := \"-1 0 0\"\nframeCs_o := \"10 20 30\"\n"
     "locFrameCs_o := \"10 21 30\"\nlocFrameCs_z := \"0 0 -2\"\n",
     frameOf(kAxisY, {-1, 0, 0}, kAxisZ, {10, 20, 30}),
     frameOf(kAxisY, {-1, 0, 0}, kAxisZ, {10, 20, 30}),
     frameOf({0, -1, 0}, kAxisX, {0, 0, -1}, {1, 0, 0})},
    {"degenerate frame: reference is the local frame",
     "frameCs_x := \"0 1 0\"\nlocFrameCs_o := \"1 1 1\"\n", frameOf(kAxisY, kAxisY),
     frameOf(kAxisY, kAxisY), translation(1, 1, 1)},
};

// Each case runs on the static record and on a host's own copy of it: the
// copy has the POF layout and gets every matrix the record itself gets,
// whatever it held before.
TEST_F(SetupRun, FramesFromTheParameterFile) {
    for (const FrameCase& c : kFrameCases) {
        for (const bool hostCopy : {false, true}) {
            SCOPED_TRACE(std::string(c.title) + (hostCopy ? ", host copy" : ""));
            dir.write("job.pcf", c.parameters);
            PofCycleContext copy = *reinterpret_cast<PofCycleContext*>(revisionLibrary().getCycle());
            copy.shared.frameMatrix = copy.shared.toolMatrix = FrameMatrix{};
#ifndef POFREADER_REVISION_700
            copy.referenceMatrix = FrameMatrix{};
#endif
            const Outcome outcome =
                hostCopy ? runCycle({"-Sjob"}, &copy.shared) : runCycle({"-Sjob"});
            EXPECT_EQ(outcome.result, 1);
            EXPECT_TRUE(framesNear(outcome.frame, c.frame));
            EXPECT_TRUE(framesNear(outcome.tool, c.tool));
#ifndef POFREADER_REVISION_700
            EXPECT_TRUE(framesNear(outcome.reference, c.reference));
#endif
        }
    }
}

TEST_F(SetupRun, NoConfigurationAfterAConfiguredRunGivesIdentityFrames) {
    dir.write("job.pcf",
              "frameCs_x := \"0 1 0\"\nframeCs_o := \"1 2 3\"\ntoolCs_y := \"0 0 1\"\n"
              "locFrameCs_o := \"4 4 4\"\n");
    ASSERT_FALSE(framesNear(runCycle({"-Sjob"}).frame, kIdentity));
    std::remove("job.pcf");
    const Outcome outcome = runCycle({"-Sjob"});
    EXPECT_TRUE(framesNear(outcome.frame, kIdentity, 0));
    EXPECT_TRUE(framesNear(outcome.tool, kIdentity, 0));
#ifndef POFREADER_REVISION_700
    EXPECT_TRUE(framesNear(outcome.reference, kIdentity, 0));
#endif
}

// ---- Configuration entries and their tags -------------------------------------

TEST_F(SetupRun, DefaultsParameterAndToolEntriesCarryTheirTags) {
    dir.write("pofreader.def",
              "frameCs_y := \"0 0 5\"\nSystemLanguage := \"english\"\nframeCs_o := \"1 1 1\"\n");
    dir.write("job.pcf", "frameCs_o := \"2 2 2\"\nframeCs_x := \"0 1 0\"\ntoolCs_x := \"0 0 1\"\n");
    const Outcome outcome = runCycle({"-Sjob"});
    ASSERT_TRUE(outcome.sawConfiguration);

    EXPECT_EQ(find(outcome.config, "SystemLanguage"), (Entry{"SystemLanguage", "english", 13}));
    EXPECT_EQ(find(outcome.config, "frameCs_y"), (Entry{"frameCs_y", "0 0 5", 13}));
    EXPECT_EQ(find(outcome.config, "frameCs_o"), (Entry{"frameCs_o", "2 2 2", 21}));
    EXPECT_EQ(find(outcome.config, "toolCs_y"), (Entry{"toolCs_y", "0 0 5", 31}));
    EXPECT_EQ(find(outcome.config, "toolCs_o"), (Entry{"toolCs_o", "2 2 2", 31}));
    EXPECT_EQ(find(outcome.config, "toolCs_x"), (Entry{"toolCs_x", "0 0 1", 21}));
    EXPECT_FALSE(find(outcome.config, "toolCs_z").has_value());
    EXPECT_EQ(count(outcome.config, "frameCs_o"), 1);
    EXPECT_EQ(count(outcome.config, "toolCs_x"), 1);
    EXPECT_TRUE(outcome.cfgEntries.empty());

    EXPECT_TRUE(framesNear(outcome.frame, frameOf(kAxisY, kAxisZ, kAxisZ, {2, 2, 2})));
    EXPECT_TRUE(framesNear(outcome.tool, frameOf(kAxisZ, kAxisZ, kAxisZ, {2, 2, 2})));
}

// ---- Which parameter file is opened ----------------------------------------------

struct SourceCase {
    std::string source;
    std::map<std::string, double> files;  // file name -> the x of its frame origin
    double expectedOriginX;               // 0: no file was read
};

const std::string kLongest(251, 'a');  // with ".pcf", 255 characters

const SourceCase kSourceCases[] = {
    {"job", {{"job.pcf", 1}, {"job", 9}}, 1},
    {"JOB.PCF", {{"JOB.PCF", 2}, {"JOB.PCF.pcf", 9}}, 2},
    {"job.Pcf", {{"job.Pcf", 3}, {"job.Pcf.pcf", 9}}, 3},
    {"abc", {{"abc.pcf", 4}, {"abc", 9}}, 4},
    {"pcf", {{"pcf.pcf", 5}, {"pcf", 9}}, 5},
    {".pcf", {{".pcf", 6}, {".pcf.pcf", 9}}, 6},
    {"missing", {{"missing.pc", 9}}, 0},
    {kLongest, {{kLongest + ".pcf", 7}}, 7},
    // 256 characters with the extension: not opened, and the name cut to 255
    // characters must not open another file.
    {kLongest + "a", {{kLongest + "a.pc", 9}}, 0},
};

TEST_F(SetupRun, SourceNameChoosesTheParameterFile) {
    for (const SourceCase& c : kSourceCases) {
        SCOPED_TRACE(c.source);
        TempDir fresh;
        for (const auto& [name, x] : c.files)
            fresh.write(name, "frameCs_o := \"" + std::to_string(x) + " 0 0\"\n");
        const Outcome outcome = runCycle({"-S" + c.source});
        EXPECT_EQ(outcome.result, 1);
        EXPECT_TRUE(framesNear(outcome.frame, translation(c.expectedOriginX, 0, 0)));
    }
}

// Reads the process's standard input from the file `path` until destruction.
class StandardInputFrom {
public:
    explicit StandardInputFrom(const std::string& path) {
        saved_ = dup(0);
        const int file = open(path.c_str(), O_RDONLY);
        active_ = saved_ >= 0 && file >= 0 && dup2(file, 0) == 0;
        if (file >= 0) close(file);
        clearerr(stdin);
    }
    ~StandardInputFrom() {
        if (saved_ >= 0) {
            dup2(saved_, 0);
            close(saved_);
        }
        clearerr(stdin);
    }
    bool active() const { return active_; }

private:
    int saved_ = -1;
    bool active_ = false;
};

TEST_F(SetupRun, StdinSourceReadsStandardInput) {
    dir.write("| stdin.pcf", "frameCs_o := \"9 9 9\"\n");
    Outcome outcome;
    {
        StandardInputFrom input(dir.write("input", "frameCs_o := \"7 8 9\"\nframeCs_z := \"0 0 -1\"\n"));
        ASSERT_TRUE(input.active());
        outcome = runCycle({"-S| stdin"});
    }
    ASSERT_TRUE(outcome.sawConfiguration);
    EXPECT_EQ(find(outcome.config, "frameCs_o"), (Entry{"frameCs_o", "7 8 9", 21}));
    EXPECT_TRUE(framesNear(outcome.frame, frameOf(kAxisX, kAxisY, {0, 0, -1}, {7, 8, 9})));
}

// ---- End to end -------------------------------------------------------------------

TEST_F(SetupRun, JobWithDefaultsParameterAndPofFileReachesTheHost) {
    dir.write("pofreader.def", "toolpath := \"other.pof\"\nframeCs_o := \"1 0 0\"\n");
    dir.write("job.pcf", "toolpath := \"part.pof\"\n");
    dir.write("other.pof", "2:wrong file\n");
    dir.write("part.pof", "2:hello\n");
    const Outcome outcome = runCycle({"-Sjob"});
    EXPECT_EQ(outcome.result, 1);
    ASSERT_TRUE(outcome.sawConfiguration);
    EXPECT_EQ(find(outcome.config, "toolpath"), (Entry{"toolpath", "part.pof", 21}));
    std::vector<std::string> texts;
    for (const Delivery& delivery : outcome.deliveries)
        if (delivery.code == PFR_KEY_TEXT) texts.push_back(delivery.text());
    EXPECT_EQ(texts, std::vector<std::string>{"hello"});
    EXPECT_TRUE(framesNear(outcome.frame, translation(1, 0, 0)));
}

// A job kept in a folder of its own, named with '/' as a host on this system
// writes it. The defaults file comes from the current directory, and names
// inside the parameter file are relative to the current directory too.
TEST_F(SetupRun, JobInASubFolderRuns) {
    std::filesystem::create_directory(dir.file("sub"));
    dir.write("sub/job.pcf", "toolpath := \"sub/part.pof\"\nframeCs_o := \"4 0 0\"\n");
    dir.write("sub/part.pof", "2:from the folder\n");
    for (const std::string& source : {std::string("sub/job"), dir.file("sub/job")}) {
        SCOPED_TRACE(source);
        const Outcome outcome = runCycle({"-S" + source});
        EXPECT_EQ(outcome.result, 1);
        std::vector<std::string> texts;
        for (const Delivery& delivery : outcome.deliveries)
            if (delivery.code == PFR_KEY_TEXT) texts.push_back(delivery.text());
        EXPECT_EQ(texts, std::vector<std::string>{"from the folder"});
        EXPECT_TRUE(framesNear(outcome.frame, translation(4, 0, 0)));
    }
}

// ---- .CFG source ------------------------------------------------------------------

TEST_F(SetupRun, CfgSourceDerivesEntriesAndBuildsFramesFromTheFile) {
    dir.write("pofreader.def", "frameCs_o := \"9 9 9\"\n");
    dir.write("job.pcf", "frameCs_o := \"9 9 9\"\n");
    dir.write("job.cfg",
              "# frames of the job\n"
              "*NCKO_X 0 0 3\n"
              "*APT first.pof\n"
              "*NCKO_Y -1 0 0\n"
              "*NCKO_X 0 2 0\n"
              "*NCKO_O 1 2 3\n"
              "*WZKO_X 0 0 1\n"
              "*FRAME_ID 7\n"
              "*FRAME_COMMENT a/b\n"
              "*APT part.pof\n");
    const Outcome outcome = runCycle({"-Sjob.cfg"});
    EXPECT_EQ(outcome.result, 1);
    ASSERT_TRUE(outcome.sawConfiguration);

    Entries expectedConfig = {{"pofFilename", "part.pof", 31}, {"zeroPointID", "7", 31}};
    if (!pofreader::kEarlierRevision) expectedConfig.push_back({"frameComment", "a\\047b", 31});
    expectedConfig.push_back({"*TEMP_MEM", "128", 2});
    for (const Entry& entry : expectedConfig) EXPECT_EQ(find(outcome.config, entry.name), entry);
    EXPECT_EQ(outcome.config.size(), expectedConfig.size());

    const Entries expectedEntries = {
        {"*NCKO_X", "0 0 3", 21},        {"*APT", "first.pof", 21}, {"*NCKO_Y", "-1 0 0", 21},
        {"*NCKO_X", "0 2 0", 21},        {"*NCKO_O", "1 2 3", 21},  {"*WZKO_X", "0 0 1", 21},
        {"*FRAME_ID", "7", 21},          {"*FRAME_COMMENT", "a/b", 21},
        {"*APT", "part.pof", 21},
    };
    EXPECT_EQ(outcome.cfgEntries, expectedEntries);

    // The later *NCKO_X wins; *WZKO_X of the file is not looked at.
    const FrameMatrix expected = frameOf(kAxisY, {-1, 0, 0}, kAxisZ, {1, 2, 3});
    EXPECT_TRUE(framesNear(outcome.frame, expected));
    EXPECT_TRUE(framesNear(outcome.tool, expected));
}

#ifndef POFREADER_REVISION_700
TEST_F(SetupRun, CfgSourceLeavesTheReferenceMatrix) {
    dir.write("job.pcf", "locFrameCs_o := \"5 0 0\"\n");
    ASSERT_TRUE(framesNear(runCycle({"-Sjob"}).reference, translation(5, 0, 0)));
    dir.write("job.CFG", "*NCKO_O 1 1 1\n");
    const Outcome outcome = runCycle({"-Sjob.CFG"});
    EXPECT_TRUE(framesNear(outcome.frame, translation(1, 1, 1)));
    EXPECT_TRUE(framesNear(outcome.reference, translation(5, 0, 0), 0));
}

std::string repeat(const std::string& unit, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += unit;
    return text;
}

// The escaped comment has at most 511 characters; a longer one is cut after
// the last whole escaped character that fits.
TEST_F(SetupRun, FrameCommentIsCutAtAWholeEscapedCharacter) {
    const struct {
        std::string comment;
        std::string expected;
    } cases[] = {
        {"abc" + std::string(127, ':'), "abc" + repeat("\\058", 127)},   // 511: whole
        {"abcd" + std::string(127, ':'), "abcd" + repeat("\\058", 126)},  // 512: cut to 508
        {std::string(519, 'x'), std::string(511, 'x')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.comment.size());
        dir.write("job.cfg", "*FRAME_COMMENT " + c.comment + "\n");
        const Outcome outcome = runCycle({"-Sjob.cfg"});
        ASSERT_TRUE(outcome.sawConfiguration);
        EXPECT_EQ(find(outcome.config, "frameComment"),
                  (Entry{"frameComment", c.expected, 31}));
    }
}
#endif

}  // namespace

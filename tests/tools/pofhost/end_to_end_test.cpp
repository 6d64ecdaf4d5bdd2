// pofhost as a user runs it: on copies of the example jobs, with this test's
// revision of the library, compared with the checked-in golden output.
//
// To regenerate the golden files (and examples/bracket.svg) after a deliberate
// change, run the test binaries of both revisions with POFHOST_UPDATE_GOLDEN=1
// and review the diff.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/common.h"
#include "tools/support/format_checks.h"
#include "tools/support/host_process.h"
#include "support/temp_dir.h"

namespace {

using host_tests::HostRun;
using host_tests::isJsonValue;
using host_tests::isWellFormedXml;
using testing_support::TempDir;

const char* const kRevision = pofreader::kEarlierRevision ? "7.00" : "9.50";

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

int countPrefixed(const std::string& text, const std::string& prefix) {
    int n = 0;
    for (const std::string& line : linesOf(text)) n += line.compare(0, prefix.size(), prefix) == 0;
    return n;
}

int countLines(const std::string& text, const std::string& needle) {
    int n = 0;
    for (const std::string& line : linesOf(text)) n += line.find(needle) != std::string::npos;
    return n;
}

// A copy of examples/ to run in: the cycle reads "pofreader.def" from its
// current directory and appends to "EDK.TXT" there.
class ExampleJob : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        for (const auto& entry :
             std::filesystem::directory_iterator(std::string(POFREADER_SOURCE_DIR) + "/examples"))
            std::filesystem::copy_file(entry.path(), dir_.file(entry.path().filename().string()));
    }

    // pofhost with this revision's library.
    HostRun host(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"--library", POFREADER_LIBRARY_PATH});
        return host_tests::runProgram(POFHOST_PATH, arguments, dir_.path());
    }
    // pofhost as given, no library chosen.
    HostRun bareHost(const std::vector<std::string>& arguments) const {
        return host_tests::runProgram(POFHOST_PATH, arguments, dir_.path());
    }

    TempDir dir_{false};
};

// ---- Golden output -----------------------------------------------------------

struct GoldenCase {
    const char* name;
    std::vector<std::string> arguments;
};

const GoldenCase kGoldenCases[] = {
    {"job-text", {"--events", "-Sjob"}},
    {"job-json", {"--format", "json", "-Sjob"}},
    {"cfg-text", {"-Sbracket.CFG"}},
};

TEST_F(ExampleJob, OutputMatchesTheGoldenFiles) {
    const bool update = std::getenv("POFHOST_UPDATE_GOLDEN") != nullptr;
    for (const GoldenCase& c : kGoldenCases) {
        const std::string golden = std::string(POFREADER_SOURCE_DIR) + "/tests/tools/pofhost/golden/" + c.name +
                                   "-" + kRevision + (c.name == std::string("job-json") ? ".jsonl" : ".txt");
        SCOPED_TRACE(golden);
        const HostRun run = host(c.arguments);
        EXPECT_EQ(0, run.exitCode);
        EXPECT_EQ("", run.err);
        if (update) std::ofstream(golden, std::ios::binary) << run.out;
        const std::vector<std::string> expected = linesOf(readFile(golden));
        const std::vector<std::string> actual = linesOf(run.out);
        ASSERT_FALSE(expected.empty()) << "no golden file";
        for (std::size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
            ASSERT_EQ(i < expected.size() ? expected[i] : "(end)", i < actual.size() ? actual[i] : "(end)")
                << "line " << i + 1;
        }
        EXPECT_EQ(readFile(golden), run.out);  // line ends too
    }
}

// ---- JSON Lines ----------------------------------------------------------------

TEST_F(ExampleJob, EveryJsonLineParsesAndMatchesTheTextOutput) {
    for (const char* source : {"-Sjob", "-Sbracket.CFG"}) {
        SCOPED_TRACE(source);
        const HostRun json = host({"--format", "json", "--events", source});
        const HostRun text = host({"--events", source});
        ASSERT_EQ(0, json.exitCode);
        const std::vector<std::string> lines = linesOf(json.out);
        ASSERT_FALSE(lines.empty());
        for (const std::string& line : lines) {
            std::string why;
            EXPECT_TRUE(isJsonValue(line, &why)) << line << ": " << why;
            EXPECT_EQ('{', line.front());
        }
        // One object per delivery and per event, as the text has one line.
        EXPECT_EQ(countPrefixed(text.out, "fn"), countPrefixed(json.out, "{\"fn\":"));
        EXPECT_EQ(countPrefixed(text.out, "event "), countPrefixed(json.out, "{\"event\":"));
        EXPECT_LT(0, countPrefixed(text.out, "event "));
    }
}

TEST_F(ExampleJob, EightBitTextIsEscapedInBothFormats) {
    // The toolpath's second text record holds a degree sign in Latin-1 (0xB0).
    const HostRun text = host({"-Sjob"});
    const HostRun json = host({"--format", "json", "-Sjob"});
    EXPECT_NE(std::string::npos, text.out.find("tilted 30\\xB0 towards"));
    EXPECT_NE(std::string::npos, json.out.find("tilted 30\\u00B0 towards"));
    for (const std::string* out : {&text.out, &json.out})
        for (const char c : *out) ASSERT_LT(static_cast<unsigned char>(c), 0x80);
}

// ---- The picture ------------------------------------------------------------------

TEST_F(ExampleJob, ThePictureHasOnePathPerMoveAndDrawsArcsByTheRule) {
    // In the XY view the four pocket corners are circles and the two ZX
    // fillets chords. In the ZX view the fillets are circles, and so is the
    // ramping corner (its centre z is its end's). The earlier revision sends
    // no third z, so the host puts the centre at the start's z: only the
    // second fillet (ZX) and the ramping corner (YZ) happen to fit then.
    struct ViewCase {
        const char* view;
        int arcs, chords;
    };
    // Every arc in its workplane whatever the view, in both revisions.
    const ViewCase views[] = {{"xy", 6, 0}, {"zx", 6, 0}, {"yz", 6, 0}};
    for (const ViewCase& v : views) {
        SCOPED_TRACE(v.view);
        const HostRun run = host({"--svg", "picture.svg", "--view", v.view, "-Sjob"});
        ASSERT_EQ(0, run.exitCode) << run.err;
        const std::string svg = readFile(dir_.file("picture.svg"));
        std::map<std::string, int> elements;
        std::string why;
        ASSERT_TRUE(isWellFormedXml(svg, &elements, &why)) << why;
        const int moves = countLines(run.out, " key=31 ");
        EXPECT_EQ(18, moves);  // as the example toolpath holds
        EXPECT_EQ(moves, elements["path"]);
        const int rapids = countLines(run.out, "code=3107 ") + countLines(run.out, "code=3109 ");
        // The first move, a rapid, has no known start: a cross where it ends.
        EXPECT_EQ(rapids - 1, countLines(svg, "<path class=\"rapid\""));
        EXPECT_EQ(1, countLines(svg, "<path class=\"start\""));
        EXPECT_EQ(v.arcs, countLines(svg, "<path class=\"arc\""));
        EXPECT_EQ(v.chords, countLines(svg, "<path class=\"chord\""));
        EXPECT_EQ(v.chords, countLines(svg, "<circle class=\"chord-mark\""));
        // The picture the README shows is this one, checked in beside the job.
        if (!pofreader::kEarlierRevision && v.view == std::string("xy")) {
            const std::string shown = std::string(POFREADER_SOURCE_DIR) + "/examples/bracket.svg";
            if (std::getenv("POFHOST_UPDATE_GOLDEN") != nullptr) std::ofstream(shown, std::ios::binary) << svg;
            EXPECT_EQ(readFile(shown), svg);
        }
    }
}

// ---- The summary ------------------------------------------------------------------

TEST_F(ExampleJob, TheSummaryReplacesTheLinesAndCountsWhatTheyShow) {
    const HostRun lines = host({"-Sjob"});
    const HostRun summary = host({"--summary", "-Sjob"});
    const HostRun both = host({"--summary", "--lines", "-Sjob"});
    const HostRun json = host({"--summary", "--format", "json", "-Sjob"});
    for (const HostRun* run : {&summary, &both, &json}) ASSERT_EQ(0, run->exitCode) << run->err;
    EXPECT_EQ(0u, summary.out.find("summary\n"));
    EXPECT_EQ(lines.out + summary.out, both.out);
    ASSERT_EQ(1, countLines(json.out, "{\"summary\":"));
    std::string why;
    EXPECT_TRUE(isJsonValue(json.out, &why)) << why;

    const int deliveries = countPrefixed(lines.out, "fn");
    for (const std::string& expected : {
             "deliveries " + std::to_string(deliveries) + "\n",
             "  key=31 code=3114 " + std::to_string(countLines(lines.out, " code=3114 ")) + "\n",
             std::string("moves 18: rapid 5, feed 7, arc 6 (circular 6, as chords 0)\n"),
             std::string("moves with tool axis 3\n"),
             std::string("extent x -20 .. 35, y -25 .. 25, z -5 .. 50\n"),
             std::string("tool records 0, methods \"plunge\", \"lead\"\n"),
             std::string("texts 2\n"),
             std::string("workplanes 2: \"XY\", \"ZX\"\n"),
             std::string("result 1\n")})
        EXPECT_NE(std::string::npos, summary.out.find(expected)) << expected << summary.out;
    // Rapids: down to 5, two retracts and the approach of cycle 2; the first
    // move, from no known start, counts nothing.
    EXPECT_NE(std::string::npos, summary.out.find("path length rapid 185.000,")) << summary.out;
}

TEST_F(ExampleJob, NonFiniteMovesAreCountedAndLeftOutOfThePictures) {
    const HostRun run = bareHost({"--library", FAKE_CYCLE_PATH, "--summary", "--html", "odd.html",
                                  "--svg", "odd.svg", "odd"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("moves 1: rapid 0, feed 0,"));
    EXPECT_NE(std::string::npos, run.out.find("moves not finite (skipped) 1\n"));
    EXPECT_NE(std::string::npos, run.out.find("extent none\n"));
    EXPECT_EQ(0, countLines(readFile(dir_.file("odd.svg")), "<path "));
    EXPECT_NE(std::string::npos, readFile(dir_.file("odd.html")).find("\"nonFinite\":1"));
}

// ---- Events ----------------------------------------------------------------------

TEST_F(ExampleJob, EventsShowThePreparationOnlyWhenAsked) {
    const struct {
        std::vector<std::string> arguments;
        std::vector<std::string> events;
    } cases[] = {
        {{"-Sjob"}, {}},
        {{"--events", "-Sjob"}, {"event 121", "event 129"}},
        {{"--events", "-Sjob", "part7"}, {"event 111", "event 119", "event 121", "event 129"}},
    };
    for (const auto& c : cases) {
        const HostRun run = host(c.arguments);
        ASSERT_EQ(0, run.exitCode);
        std::vector<std::string> events;
        for (const std::string& line : linesOf(run.out))
            if (line.compare(0, 6, "event ") == 0) events.push_back(line);
        EXPECT_EQ(c.events, events);
    }
}

// ---- Exits and messages -----------------------------------------------------------

TEST_F(ExampleJob, UsageAndLoadingErrorsExitWithTwoAndOneLineNamingTheCause) {
    const std::string missing = dir_.file("no-such-library.so");
    const std::string notLibrary = dir_.file("bracket.pof");
    const struct {
        std::vector<std::string> arguments;
        std::string mention;
    } cases[] = {
        {{"--library", missing, "-Sjob"}, missing},
        {{"--library", notLibrary, "-Sjob"}, notLibrary},
        {{"--library", NO_EXPORTS_PATH, "-Sjob"}, "qvCSgetCycle"},
        {{"--colour", "-Sjob"}, "--colour"},
        {{"--format", "yaml", "-Sjob"}, "yaml"},
        {{"--view", "xz", "-Sjob"}, "xz"},
        {{"--svg"}, "--svg"},
        {{"--svg", dir_.file("no-dir/picture.svg"), "-Sjob"}, "no-dir/picture.svg"},
        {{"--html", dir_.file("no-dir/page.html"), "-Sjob"}, "no-dir/page.html"},
        {{"--html", dir_.path(), "-Sjob"}, "cannot write page"},
        {{"--summary=yes", "-Sjob"}, "--summary"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mention);
        const HostRun run = bareHost(c.arguments);
        EXPECT_EQ(2, run.exitCode);
        EXPECT_EQ("", run.out);
        EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
        EXPECT_EQ(0u, run.err.find("pofhost: ")) << run.err;
        EXPECT_NE(std::string::npos, run.err.find(c.mention)) << run.err;
    }
}

TEST_F(ExampleJob, ExitStatusFollowsTheCycleResult) {
    const HostRun ran = host({"-Sjob"});
    EXPECT_EQ(0, ran.exitCode);
    EXPECT_EQ(1, countLines(ran.out, "result 1"));

    const HostRun failed = bareHost({"--library", FAKE_CYCLE_PATH, "fail"});
    EXPECT_EQ(1, failed.exitCode);
    EXPECT_EQ(1, countLines(failed.out, "result 0"));
}

TEST_F(ExampleJob, VersionAndHelpNeedNoRun) {
    const HostRun version = host({"--version"});
    EXPECT_EQ(0, version.exitCode);
    const std::string cycleVersion = pofreader::kEarlierRevision ? "7.00-05.08.2002" : "9.50-02.12.2008";
    EXPECT_EQ("pofhost 1.0\nquorvant POF Reading Cycle " + cycleVersion + "\nlibrary " +
                  POFREADER_LIBRARY_PATH + "\n",
              version.out);

    // Help is given before any library is loaded.
    const HostRun help = bareHost({"--library", dir_.file("no-such-library.so"), "--help"});
    EXPECT_EQ(0, help.exitCode);
    EXPECT_NE(std::string::npos, help.out.find("--view xy|zx|yz"));
}

TEST_F(ExampleJob, OddRecordsAreShownSafelyAndTheShortRecordIsNotOverread) {
    for (const char* format : {"text", "json"}) {
        SCOPED_TRACE(format);
        const HostRun run = bareHost({"--library", FAKE_CYCLE_PATH, "--format", format, "odd"});
        ASSERT_EQ(0, run.exitCode) << run.err;
        const bool json = format == std::string("json");
        // A name field without a terminator is read to its end: 256 bytes.
        EXPECT_NE(std::string::npos, run.out.find(std::string(256, 'n') + "\""));
        EXPECT_EQ(std::string::npos, run.out.find(std::string(257, 'n')));
        EXPECT_NE(std::string::npos, run.out.find(json ? "\\u0001\\u00FF\\\"\\\\ end" : "\\x01\\xFF\\\"\\\\ end"));
        EXPECT_NE(std::string::npos, run.out.find(json ? "\"x\":\"nan\",\"y\":\"-inf\"" : "x=nan y=-inf"));
        EXPECT_NE(std::string::npos, run.out.find(json ? "\"kind\":\"unknown\"" : "(body not decoded)"));
        EXPECT_NE(std::string::npos, run.out.find(json ? "0.1]" : " 0.1\n"));
        // The record is laid out as the earlier revision's: no reference matrix.
        EXPECT_NE(std::string::npos, run.out.find("toolMatrix"));
        EXPECT_EQ(std::string::npos, run.out.find("referenceMatrix"));
        if (json) {
            for (const std::string& line : linesOf(run.out)) EXPECT_TRUE(isJsonValue(line)) << line;
        }
    }
}

}  // namespace

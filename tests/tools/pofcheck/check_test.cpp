// pofcheck as a user runs it, linked with this test's revision: small files
// with the exact findings expected (line, column, reason), the example job,
// one bad line among 100,000 good ones, and the run's deliveries.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/common.h"
#include "common/limits.h"
#include "tools/support/host_process.h"
#include "support/sanitizer.h"
#include "support/temp_dir.h"

namespace {

using host_tests::HostRun;
using testing_support::TempDir;

constexpr bool k700 = pofreader::kEarlierRevision;
constexpr std::size_t kArgumentsOverBound = pofreader::kArgumentCountMax + 1;

// One finding of --format json as "LINE[:COLUMN] code".
std::string findingOf(const std::string& json) {
    auto field = [&](const std::string& name) -> std::string {
        const std::size_t at = json.find("\"" + name + "\":");
        if (at == std::string::npos) return "";
        std::size_t start = at + name.size() + 3;
        if (json[start] == '"') return json.substr(start + 1, json.find('"', start + 1) - start - 1);
        return json.substr(start, json.find_first_of(",}", start) - start);
    };
    const std::string column = field("column");
    return field("line") + (column.empty() ? "" : ":" + column) + " " + field("code");
}

std::vector<std::string> findingsOf(const std::string& out) {
    std::vector<std::string> findings;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line.find("\"code\"") != std::string::npos) findings.push_back(findingOf(line));
    return findings;
}

class Check : public ::testing::Test {
protected:
    HostRun check(std::vector<std::string> arguments) const {
        return host_tests::runProgram(POFCHECK_PATH, arguments, dir_.path());
    }
    TempDir dir_{false};
};

using Findings = std::vector<std::string>;

struct CheckCase {
    const char* file;
    std::string content;
    Findings current;                                 // findings of revision 9.50
    std::optional<Findings> earlier = std::nullopt;  // of 7.00 where they differ
};

const std::string kLongPart(80, '1');

const CheckCase kCases[] = {
    {"clean.pof", "; a comment\n0:cycle(a)\n2:text\n31:oL ( x[/1] )\r\n0:cycleEnd()\n\x1a", {}},
    {"lines.pof", "3l:x\n:x\nabc\n31\n31:\n2:abc\n",
     {"1:2 number-without-colon", "2:1 colon-without-number", "3:1 no-record-number",
      "4:3 number-without-colon", "5:4 empty-payload"}},
    {"types.pof", "7:x\n99999999999:x\n", {"1 ignored-type", "2 ignored-type"}},
    {"cut.pof", "2:" + std::string(1100, 'a') + "\n0:cycle(" + std::string(600, 'x') + ")\n",
     {"1:1023 payload-cut", "1:778 text-cut", "2 value-cut"}},
    {"ctrlz.pof", "0:cycle(a)\n\x1a" "31:oL\n", {"2:1 control-z"}},
    {"events.pof", "0:cycle\n0:cycles(x)\n0:locFrameCs_o(1)\n10:workplane\n10:workplane(YZ)\n",
     {"1 event-no-split", "2 event-unknown", "4 transform-no-split", "5 workplane-value"},
     Findings{"1 event-no-split", "2 event-unknown", "3 event-of-later-revision", "4 transform-no-split"}},
    {"tool.pof", "11:v a(1) x\n", {"1:11 qdx-error"}},
    {"moves.pof",
     "31:oL ( x[/1] )\n31:L ( x[/1] )\n31:oA ( x[/1] )\n31:oL ( x[/" + kLongPart +
         "] )\n31:oL ( q[/1] )\n31:oL x[/1]\n31:\n",
     {"2 move-no-kind", "3 move-arc-open", "4:12 move-part-too-long", "5:9 move-word-ignored",
      "6:7 move-word-outside-group", "7 move-no-kind"},
     Findings{"2:4 move-kind-word", "3 move-arc-open", "4:12 move-part-too-long", "5:9 move-group-word",
      "6:7 move-kind-word", "7 move-no-kind"}},
    // The part named is the first one over its bound, however many parts follow.
    {"parts.pof",
     "31:oL ( x[/" + kLongPart + "/2/3] )\n31:oL ( x[/" + kLongPart + "/" + kLongPart + "] )\n31: \n31:[\n",
     {"1:12 move-part-too-long", "2:12 move-part-too-long", "3 move-no-kind", "4 move-no-kind"}},
    {"job.pcf", "a := 1\nb\nf : = 1\ng :=\nh := \"\"\na := 1 2\n",
     {"2:2 key-no-assignment", "3:4 key-colon-without-equals", "4:5 key-no-value",
      "5:8 key-empty-value", "6:8 key-after-value"}},
    {"job.CFG", "# header\n*APT x # c\n*ID 1\n*" + std::string(300, 'N') + " v\n",
     {"3:1 line-continued", "4:280 line-name-cut"}},
    {"ctrlz.CFG", "*A 1\n\x1a*B 2\n", {"2:1 control-z"}},
    {"keyword.txt", "date x\n", {"1:5 section-not-keyword"}},
    {"section.txt", "; c\nstart a\nd1\n:e\nend a\n", {"3:2 section-not-entry"}},
    {"nostart.txt", "language x\n", {"1:11 section-no-start"}},
    {"empty.txt", "", {"1:1 section-no-start"}},
    // What the cycle accepts but changes.
    {"nul.pof", std::string("2:a\0b\n31:oL ( x[/1]\0 y[/2] )\n", 29), {"1:4 nul-byte", "2:14 nul-byte"}},
    {"nul.pcf", std::string("a := x\0y\n", 9), {"1:7 nul-byte"}},
    {"nul.CFG", std::string("*A 1\0 2\n", 8), {"1:5 nul-byte"}},
    {"words.pof", "31:oL ( x[/1,5] X[/2] y[/1 z[/3] ) x[/4]\n31:oM ( x[/2mm] o[-] )\n",
     {"1:13 move-part-read-in-part", "1:17 move-word-ignored", "1:28 move-word-swallowed",
      "1:36 move-word-outside-group", "2:13 move-part-read-in-part", "2:17 move-direction-ignored"},
     Findings{"1:17 move-group-word"}},
    {"reset.pof", "31:oA ( o[-] x[/1] ) oA\n", {"1:22 move-direction-reset"}, Findings{}},
    // A later kind word makes the arc straight; blanks among a value's parts lose nothing.
    {"straight.pof",
     "31:oA ( o[+] x[/2] ) oL\n31:oL ( x[ /9] y[/ 9] v[/ 0] )\n31:oL ( x[/9 /2] multax[ a b ] z[ / 9 ] )\n",
     {"1:22 move-direction-ignored"}, Findings{}},
    {"values.pof", "10:tr( workplane)\n0:cycle(Pocket (40x30))\n", {"1 tr-value"},
     Findings{"2:22 value-cut-at-paren"}},
    // Kind words and values the delivered moves pass over, one of each way.
    {"words2.pof",
     "31:oA ( o[-] x[/1] ) oM\n31:oL ( x[/1  2] y[/1 mm] z[/1 Y[/2] )\n"
     "31:oL ( u[/1/2,5] x[/1/2,5] y[//5] z[/1/2/3/4] )\n31:oL[1] ( x[/1] ) q[1] oA[1]\n"
     "31:oL ( o[x] multax[1] zz[1] )\n31:oA ( o[x] o[+] x[/1] )\n",
     {"1:22 move-direction-ignored", "2:15 move-part-read-in-part", "2:23 move-part-read-in-part",
      "2:32 move-word-swallowed", "3:25 move-part-read-in-part", "4 move-arc-open", "5:9 move-direction-ignored",
      "5:24 move-word-ignored", "6:9 move-direction-ignored"},
     Findings{"5:24 move-group-word"}},
    {"bom.CFG", "\xef\xbb\xbf*A 1\n", {"1:1 byte-order-mark"}},
    {"bom.txt", "\xef\xbb\xbf" "default x\nstart x\n:a\nend x\n", {"1:1 byte-order-mark"}},
    {"after.pof", "0:cycle(a) trailing\n", {"1:12 text-after-value"}},
    {"losses.pcf", "\xef\xbb\xbf" "a := 1\n\"\" := 2\nb := \"x\">\nc := \"y\"z\n",
     {"1:1 byte-order-mark", "2:2 key-empty-name", "3:9 key-after-quote", "4:9 key-after-quote"}},
    {"lastline.txt", "start x\n:a\n:b", {"3:2 section-last-line"}},
    // Delivered intact, and findings on the line they belong to.
    {"lastempty.pof", "2:a\n2:\n", {}},
    {"ctrlzend.pof", "0:cycle(a)\n\x1a\r\n", {}},
    {"held.pof", "31:\n; c\n", {"1 move-no-kind"}},
    {"zeros.pof", std::string(200, '0') + "2:x\n", {"1 record-number-long"}},
    {"crlf.pof", "0:cycle(a)\r\n7:x\r\n31:oL ( q[/1] )\r\n3l:x\r\n",
     {"2 ignored-type", "3:9 move-word-ignored", "4:2 number-without-colon"},
     Findings{"2 ignored-type", "3:9 move-group-word", "4:2 number-without-colon"}},
};

TEST_F(Check, EachFileGetsExactlyItsFindings) {
    for (const CheckCase& c : kCases) {
        dir_.write(c.file, c.content);
        const HostRun run = check({"--format", "json", c.file});
        const std::vector<std::string>& expected = k700 && c.earlier ? *c.earlier : c.current;
        EXPECT_EQ(expected, findingsOf(run.out)) << c.file << "\n" << run.out << run.err;
        const bool warned = run.out.find("\"severity\":\"warning\"") != std::string::npos;
        EXPECT_EQ(warned ? 1 : 0, run.exitCode) << c.file;
    }
}

TEST_F(Check, TextLinesNameFileLineColumnAndSeverity) {
    dir_.write("a.pof", "31:oL ( x[/1] )\n3l:oL\n7:x\n");
    const HostRun run = check({"a.pof"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_EQ("a.pof:2:2: warning: line skipped: the record number is followed by \"l\" where ':' belongs\n"
              "a.pof:3: note: record type 7 is not read by the cycle: ignored\n"
              "1 warning, 1 note in 1 file\n",
              run.out);
    const HostRun quiet = check({"--quiet", "a.pof"});
    EXPECT_EQ(1, quiet.exitCode);
    EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), quiet.out);
}

TEST_F(Check, OneBadLineAmongAHundredThousandIsTheOnlyFinding) {
    std::string content;
    for (int line = 1; line <= 100000; ++line)
        content += line == 61803 ? "31:oA ( x[/1] )\n" : "31:oL ( x[/" + std::to_string(line) + "] )\n";
    dir_.write("big.pof", content);
    const HostRun run = check({"--format", "json", "big.pof"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_EQ(std::vector<std::string>{"61803 move-arc-open"}, findingsOf(run.out));
}

// A FIFO is read once, lines kept; an endless line costs no memory and its
// finding is out before the end that never comes.
TEST_F(Check, PipesAreReadOnceAndAnEndlessLineIsReportedAsItIsRead) {
    ASSERT_EQ(0, mkfifo(dir_.file("fifo").c_str(), 0600));
    std::thread writer([&] { std::ofstream(dir_.file("fifo")) << "31:oL ( x[/1] )\n3l:x\n"; });
    const HostRun fifo = check({"--format", "json", "fifo"});
    writer.join();
    EXPECT_EQ(std::vector<std::string>{"2:2 number-without-colon"}, findingsOf(fifo.out)) << fifo.err;
    // AddressSanitizer reserves terabytes of address space for its shadow, so
    // there the bound on memory cannot be set; the finding is checked all the same.
    const std::string bound = testing_support::kAddressSanitizer ? "" : "ulimit -v 300000; ";
    const HostRun endless = host_tests::runProgram(
        "/bin/sh", {"-c", bound + "exec timeout 2 " + POFCHECK_PATH + " --format json /dev/zero"}, dir_.path());
    EXPECT_EQ(std::vector<std::string>{"1:1 no-record-number"}, findingsOf(endless.out)) << endless.err;
}

TEST_F(Check, UsageAndUnreadableFilesExitTwo) {
    EXPECT_EQ(2, check({}).exitCode);
    EXPECT_EQ(2, check({"--format", "xml", "a.pof"}).exitCode);
    EXPECT_EQ(2, check({"a.pof", "-Sjob"}).exitCode);
    const HostRun missing = check({"missing.pof"});
    EXPECT_EQ(2, missing.exitCode);
    EXPECT_NE(std::string::npos, missing.err.find("missing.pof"));
    EXPECT_EQ(2, check({"."}).exitCode);
}

// ---- A run's files ---------------------------------------------------------

class CheckJob : public Check {
protected:
    void SetUp() override {
        for (const auto& entry :
             std::filesystem::directory_iterator(std::string(POFREADER_SOURCE_DIR) + "/examples"))
            std::filesystem::copy_file(entry.path(), dir_.file(entry.path().filename().string()));
    }
};

// Revision 7.00 cuts the example's nested "cycle(Edge fillet (front))".
TEST_F(CheckJob, TheExampleJobChecksCleanAndCountsWhatPofhostCounts) {
    const HostRun run = check({"--format", "json", "-Sjob"});
    ASSERT_EQ(k700 ? 1 : 0, run.exitCode) << run.out << run.err;
    const HostRun summary = host_tests::runProgram(
        POFHOST_PATH, {"--library", POFREADER_LIBRARY_PATH, "--summary", "-Sjob"}, dir_.path());
    ASSERT_EQ(0, summary.exitCode) << summary.err;
    const std::size_t at = summary.out.find("deliveries ");
    ASSERT_NE(std::string::npos, at);
    const std::string deliveries = summary.out.substr(at + 11, summary.out.find('\n', at) - at - 11);
    EXPECT_NE(std::string::npos,
              run.out.find(std::string(k700 ? "{\"warnings\":1,\"notes\":6" : "{\"warnings\":0,\"notes\":3") +
                           ",\"files\":3,\"deliveries\":" + deliveries + "}"))
        << run.out;
}

TEST_F(CheckJob, ARunReportsTheFilesItCannotOpenAndTheLinesOfTheOnesItReads) {
    dir_.write("job.pcf", "toolpath := missing.pof\nbroken line\n");
    const HostRun run = check({"-Sjob"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_NE(std::string::npos, run.out.find("job.pcf:2:8: warning: line ignored")) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("missing.pof: warning: cannot be opened")) << run.out;
}

// Job-level rows: extra parameter-file lines and arguments, the findings, and
// what must hold of the output. Checking writes no file, and JSON output stays
// JSON whatever the run copies to standard output.
TEST_F(CheckJob, ARunSaysWhatItsConfigurationLosesAndWritesNothing) {
    dir_.write("bypass.txt", "not json\n");
    struct JobCase {
        std::string lines;
        std::vector<std::string> arguments;
        Findings findings;
    };
    std::vector<std::string> tooMany{"-Sjob"};
    tooMany.resize(kArgumentsOverBound, "-x");
    const JobCase cases[] = {
        {"POFbypass := bypass.txt\n", {"-Sjob"}, {" method-report", " method-report"}},
        {"POFbypass := none.txt\ntempMem := 64\n", {"-Sjob"},
         {" value-overridden", " bypass-not-opened", " method-report", " method-report"}},
        {"toolpath := .\n", {"-Sjob"}, {" file-unreadable"}},
        {"", tooMany, {" run-refused"}},
    };
    for (const JobCase& c : cases) {
        dir_.write("job.pcf", "toolpath := bracket.pof\n" + c.lines);
        const HostRun run = check([&] {
            std::vector<std::string> arguments{"--format", "json"};
            arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
            return arguments;
        }());
        Findings found;
        for (const std::string& finding : findingsOf(run.out))
            if (finding.find("ignored-type") == std::string::npos &&
                finding.find("later-revision") == std::string::npos && finding.find("at-paren") == std::string::npos)
                found.push_back(finding.substr(finding.find(' ')));
        EXPECT_EQ(c.findings, found) << c.lines << run.out;
        std::istringstream lines(run.out);
        for (std::string line; std::getline(lines, line);) EXPECT_EQ('{', line.front()) << line;
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.file("EDK.TXT")));
}

TEST_F(CheckJob, ARunWithoutDefaultsOrToolpathSaysSo) {
    std::filesystem::remove(dir_.file("pofreader.def"));
    dir_.write("job.pcf", "x := 1\n");
    const HostRun run = check({"-Sjob"});
    EXPECT_EQ(0, run.exitCode) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("pofreader.def: note: defaults file cannot be opened")) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("note: the run names no toolpath file")) << run.out;
}

}  // namespace

// POF files read end to end through the loaded library: each case is a POF
// text beside the deliveries the host must receive, in order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pof_run.h"

using namespace pof_testing;
using pofreader::kEarlierRevision;

namespace {

// A move payload whose "y" word starts at byte `yAt` of the payload.
std::string movePaddedTo(std::size_t yAt) {
    std::string payload = "oL ( x[/1] ";
    payload.resize(yAt, ' ');
    return payload + "y[/2] )";
}

TEST(PofFile, LineSyntax) {
    checkCases({
        {"empty file", "", {}},
        {"mixed line ends, last line without end", "2:a\r\n2:b\n2:c\r2:d",
         {"B2:1001 a", "B2:1001 b", "B2:1001 c", "B2:1001 d"}},
        {"empty payload takes the next line's record", "31:\n2:abc\n", {"B2:1001 abc"}},
        {"empty payload on the last line", "2:abc\n2:", {"B2:1001 abc", "B2:1001 "}},
        {"control-Z ends the file", "2:abc\x1a\n2:more\n0:cycle(x)\n", {"B2:1001 abc"}},
        {"blanks before and between digits", " 2 :a\n\t3 1\t: oL ( x[/1] )\n",
         {"B2:1001 a", "A31:3114 x1"}},
        {"unknown types ignored", "7:a\n12:b\n30:c\n32:d\n1:e\n2:f\n", {"B2:1001 f"}},
        {"huge record numbers ignored",
         "2147483650:a\n" + std::string(300, '0') + "2:b\n99999999999999999999:c\n2:d\n",
         {"B2:1001 d"}},
        {"payload cut to 1020 bytes", "31:" + movePaddedTo(1019) + "\n31:" + movePaddedTo(1015) + "\n",
         {"A31:3114 x1", "A31:3114 x1 y2"}},
        {"NUL ends the text, high bytes kept", std::string("2:a\0b\n2:\x80\xff\n", 11),
         {"B2:1001 a", "B2:1001 \x80\xff"}},
    });
}

TEST(PofFile, EventTable) {
    const struct {
        const char* payload;
        int code;  // 0: dropped
        bool earlier;
    } cases[] = {
        {"cycle(Roughing 1)", 103, true}, {"cycleEnd()", 104, true},   {"break(b)", 102, true},
        {"error(e)", 101, true},          {"msgFile(m.txt)", 109, true},
        {"frameCs_x(0 1 0)", 100, true},  {"frameCs_y(1)", 100, true},  {"frameCs_z(1)", 100, true},
        {"frameCs_o(1 2 3)", 100, true},  {"locFrameCs_x(1)", 100, false},
        {"locFrameCs_y(1)", 100, false},  {"locFrameCs_z(1)", 100, false},
        {"locFrameCs_o(1 2 3)", 100, false}, {"reference_o(1)", 100, false},
        {"trans_x(1 0 0)", 100, false},   {"trans_(0)", 100, false},
        {"wpCs_anything(...)", 100, false}, {"wpCs_(q)", 100, false},
        {"cycles(x)", 0, false},          {"cycleEnd2(x)", 0, false}, {"Cycle(x)", 0, false},
        {"transform(1)", 0, false},       {"trans(1)", 0, false},     {"wpCs(1)", 0, false},
        {"frameCs_w(1)", 0, false},       {"cycle", 0, false},        {"(x)", 0, false},
        {"  (x)", 0, false},              {"a)b(c)", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.payload);
        const std::string payload = c.payload;
        const std::string name = payload.substr(0, payload.find('('));
        const std::string value = payload.substr(payload.find('(') + 1, payload.size() - payload.find('(') - 2);
        const bool sent = c.code != 0 && (c.earlier || !kEarlierRevision);
        const Lines expected = sent ? Lines{"A0:" + std::to_string(c.code) + " " + name + "(" + value + ")"} : Lines{};
        EXPECT_EQ(pofView("0:" + payload + "\n"), expected);
    }
}

TEST(PofFile, EventValuesAsSplit) {
    checkCases({
        {"blanks before the name", "0:  a b cycle(x)\n", {"A0:103 cycle(x)"}},
        {"unclosed value runs to the end", "0:error(no end\n", {"A0:101 error(no end)"}},
        {"quoted parenthesis kept", "0:msgFile(\"a)b\")\n", {"A0:109 msgFile(\"a)b\")"}},
        {"nested parentheses", "0:cycle(f(g))\n",
         {kEarlierRevision ? "A0:103 cycle(f(g)" : "A0:103 cycle(f(g))"}},
        {"anything after the value ignored", "0:break(1) tail\n", {"A0:102 break(1)"}},
    });
}

TEST(PofFile, LongFieldsAreCut) {
    const std::string value(600, 'v');
    const std::string name(200, 'n');
    const std::string text(900, 't');
    checkCases({
        {"value cut to 519", "0:cycle(" + value + ")\n", {"A0:103 cycle(" + value.substr(0, 519) + ")"}},
        {"long name cut to 127 and unknown", "0:trans_" + name + "(1)\n",
         kEarlierRevision ? Lines{} : Lines{"A0:100 trans_" + name.substr(0, 121) + "(1)"}},
        {"text cut to 775", "2:" + text + "\n", {"B2:1001 " + text.substr(0, 775)}},
    });
}

TEST(PofFile, TextRecords) {
    checkCases({
        {"blanks only", "2:   \n", {"B2:1001    "}},
        {"unsplit and untrimmed", "2: cycle(x) : 0:y \n", {"B2:1001  cycle(x) : 0:y "}},
    });
}

TEST(PofFile, DeliveryOrderAndFinalCycleEnd) {
    const std::string pof =
        "0:cycle(one)\n2:first text\n31:oL ( x[/1] )\n0:frameCs_o(1 2 3)\n0:cycleEnd(one)\n"
        "0:cycle(two)\n2:second\n0:cycleEnd()\n";
    const Lines lines = hostView(runPof(pof));
    EXPECT_EQ(lines, (Lines{"A0:103 cycle(one)", "B2:1001 first text", "A31:3114 x1",
                            "A0:100 frameCs_o(1 2 3)", "A0:104 cycleEnd(one)", "A0:103 cycle(two)",
                            "B2:1001 second", "A0:104 cycleEnd()", finalCycleEnd()}));
}

TEST(PofFile, FilesThatCannotBeRead) {
    testing_support::TempDir dir;
    const Lines onlyEnd{finalCycleEnd()};
    EXPECT_EQ(hostView(runWithToolpaths({})), onlyEnd) << "no toolpath entry";
    EXPECT_EQ(hostView(runWithToolpaths({"missing.pof"})), onlyEnd) << "missing file";
    EXPECT_EQ(hostView(runWithToolpaths({dir.path()})), onlyEnd) << "a directory";
    EXPECT_EQ(hostView(runWithToolpaths({""})), onlyEnd) << "empty name";
}

TEST(PofFile, LastToolpathEntryWins) {
    testing_support::TempDir dir;
    dir.write("first.pof", "2:first\n");
    dir.write("second.pof", "2:second\n");
    EXPECT_EQ(hostView(runWithToolpaths({"first.pof", "second.pof"})),
              (Lines{"B2:1001 second", finalCycleEnd()}));
}

TEST(PofFile, BinaryGarbage) {
    std::string garbage;
    unsigned state = 99;
    for (int i = 0; i < 100000; ++i) {
        state = state * 1103515245u + 12345u;
        garbage += static_cast<char>((state >> 16) & 0xff);
    }
    // Whatever the bytes hold, the run ends with its own cycleEnd.
    const Lines lines = hostView(runPof(garbage));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), finalCycleEnd());
}

// A host that starts a nested run on the same record while the read phase
// delivers: the nested run reads its own file and releases the name and the
// registry; the outer read goes on to its end without touching either.
TEST(PofFile, NestedRunDuringTheReadPhase) {
    testing_support::TempDir dir;
    dir.write("outer.pof", "2:outer one\n2:outer two\n2:outer three\n");
    dir.write("inner.pof", "2:inner\n");
    const testing_support::LoadedCycle& library = testing_support::revisionLibrary();
    CycleContext* ctx = library.getCycle();
    testing_support::RecordingHost host;
    ToolpathHook outerHook{{"outer.pof"}}, innerHook{{"inner.pof"}};
    bool nested = false;
    host.onDelivery = [&](CycleContext* deliveringCtx, const Delivery& d) {
        if (nested || d.text() != "outer one") return;
        nested = true;
        deliveringCtx->eventCallback = &ToolpathHook::receive;
        deliveringCtx->eventUser = &innerHook;
        EXPECT_EQ(library.run({"-Sinner"}, host.callbacks(), deliveringCtx), 1);
    };
    ctx->eventCallback = &ToolpathHook::receive;
    ctx->eventUser = &outerHook;
    EXPECT_EQ(library.run({"-Sjob"}, host.callbacks()), 1);
    EXPECT_TRUE(nested);
    EXPECT_EQ(pofreader::pofPart(ctx)->toolpathFile, nullptr);
    // The nested start phase registers the keys again, which keeps the outer
    // run's listeners, so the host hears the nested run twice. The nested
    // end released the registry: the outer run's later records reach nobody.
    EXPECT_EQ(hostView(host.deliveries),
              (Lines{"B2:1001 outer one", "B2:1001 inner", "B2:1001 inner", finalCycleEnd(),
                     finalCycleEnd()}));
}

// The name as a user gives it: in the parameter file. A .CFG source names its
// toolpath as "*TOOLPATH" among its own entries, which the read phase does not
// look at, so such a run reads nothing.
TEST(PofFile, ToolpathFromTheConfigurationFiles) {
    testing_support::TempDir dir;
    dir.write("job.pof", "2:read\n");
    dir.write("job.pcf", "toolpath := \"job.pof\"\n");
    dir.write("cfgjob.CFG", "*TOOLPATH job.pof\n");
    const testing_support::LoadedCycle& library = testing_support::revisionLibrary();
    for (const char* source : {"-Sjob", "-Scfgjob.CFG"}) {
        SCOPED_TRACE(source);
        testing_support::RecordingHost host;
        library.getCycle()->eventCallback = nullptr;
        EXPECT_EQ(library.run({source}, host.callbacks()), 1);
        const Lines expected = std::string(source) == "-Sjob" ? Lines{"B2:1001 read", finalCycleEnd()}
                                                              : Lines{finalCycleEnd()};
        EXPECT_EQ(hostView(host.deliveries), expected);
    }
}

}  // namespace

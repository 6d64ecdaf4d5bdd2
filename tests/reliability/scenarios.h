// The end-to-end jobs that the reliability tests run in process: a parameter
// file with a POF file holding every record kind, a .CFG job, and the
// information options over a section file. Runs go through the statically
// linked qvCSexecCycle, so that the fault injection of the memory helpers
// reaches them (the loaded .so has a counter of its own).
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/common.h"
#include "pof/pof.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace reliability {

// Every record kind, every event name, moves that allocate (more tokens than
// fit inline, tokens longer than the inline text), arcs that give every
// value (so a dropped move before them cannot change what they send), a tool
// record with short and long method bodies, an unknown type, a long payload.
inline std::string everyRecordKind() {
    std::string pof =
        "0:cycle(Roughing 1)\n"
        "0:msgFile(job.msg)\n"
        "0:frameCs_x(1 0 0)\n0:frameCs_o(0 0 0)\n"
        "0:locFrameCs_o(1 2 3)\n0:reference_o(0 0 1)\n0:trans_x(1 0 0)\n0:wpCs_z(0 0 1)\n"
        "0:error(\"a)b\")\n0:break(f(g(h)))\n0:unknown(1)\n"
        "2:  a text record  \n"
        "10:workplane(ZX)\n10:tr(workplane)\n10:feed(800)\n"
        "11:o Tool [ flat end mill ] ( d[10] r[0] l[75] t[ HSS ] ) { v spindle(12000) } "
        "m plunge ( G1 F200 ) ; tool\n"
        "11:m long (" + std::string(4400, 'b') + ")\n"
        "11:v " + std::string(200, 'n') + "(" + std::string(300, 'v') + ")\n"
        "31:oM ( x[/15] y[/-15] z[/50] )\n"
        "31:oM ( z[/5] u[/0] v[/0] w[/1] )\n"
        "31:oL ( x[/1] y[/2] z[/3] multax[a] multax[b] multax[c] multax[d] multax[e] "
        "multax[f] multax[g] multax[h] multax[i] multax[j] multax[k] multax[l] )\n"
        "31:oL ( x[/4] " + std::string(100, 'q') + "[1] )\n"
        "31:oA ( o[+] x[/20/15] y[/-10/-10] z[/3/3] )\n"
        "10:workplane(XY)\n10:tr(workplane)\n"
        "31:oA ( o[-] x[/1/2] y[/3/4] z[/5/6] )\n"
        "7:ignored\n"
        "2:" + std::string(1500, 't') + "\n"
        "0:cycleEnd(Roughing 1)\n";
    return pof;
}

inline const char* parameterFile() {
    return "toolpath := job.pof\n"
           "frameCs_x := \"3 4 0\"\nframeCs_y := \"-4 3 0\"\nframeCs_z := \"0 0 1\"\n"
           "frameCs_o := \"100 50 20\"\n"
           "locFrameCs_x := \"1 0 0\"\nlocFrameCs_o := \"100 50 30\"\n"
           "toolCs_z := \"0 0 1\"\n"
           "note := \"a long \" >\n  \"continued value\"\n"
           "SystemLanguage := english\n";
}

inline const char* defaultsFile() {
    return "SystemLanguage := deutsch\n"
           "parameters := sections.txt\nalgorithm := sections.txt\nlayers := sections.txt\n"
           "frameCs_x := \"1 0 0\"\n";
}

inline const char* cfgFile() {
    return "*APT            bracket.apt\n"
           "*FRAME_ID       G54\n"
           "*FRAME_COMMENT  vice \"A\": jaw 2\n"
           "*TOOLPATH       job.pof\n"
           "*NCKO_X   0 1 0\n*NCKO_Y  -1 0 0\n*NCKO_Z   0 0 1\n*NCKO_O 100 50 20\n"
           "*WZKO_Z   0 0 1\n# a comment\n";
}

inline const char* sectionFile() {
    return "default english\nlanguage deutsch\n"
           "start english\n:first\n:second\nend english\n"
           "start deutsch\n:erste\nend deutsch\n";
}

// Writes every file of the jobs into `dir`.
inline void writeJobFiles(const testing_support::TempDir& dir) {
    dir.write("job.pof", everyRecordKind());
    dir.write("job.pcf", parameterFile());
    dir.write("pofreader.def", defaultsFile());
    dir.write("job.CFG", cfgFile());
    dir.write("sections.txt", sectionFile());
}

struct Scenario {
    const char* name;
    std::vector<std::string> arguments;
};

inline std::vector<Scenario> scenarios() {
    return {
        {"parameter file and every record kind", {"-Sjob"}},
        {"CFG job", {"-Sjob.CFG"}},
        {"information options", {"-Sjob", "-P", "-A", "-Y", "-V"}},
        {"positional arguments", {"first", "-Sjob", "second", "-M7"}},
    };
}

// A delivery as one comparable line: function, key, code and the fields its
// form gives meaning to.
inline std::string describe(const testing_support::Delivery& d) {
    const SignalRecord& r = d.record;
    char line[2048];
    const int head = std::snprintf(line, sizeof line, "%c%d:%d ", d.function, d.code, r.code);
    char* out = line + head;
    const std::size_t room = sizeof line - static_cast<std::size_t>(head);
    if (r.code == PFR_CODE_TEXT) {
        std::snprintf(out, room, "%s", d.text().c_str());
    } else if (r.code == PFR_CODE_ARC || r.code == PFR_CODE_ARC_NORMAL) {
        const SignalArc& a = r.body.arc;
        std::snprintf(out, room, "d%d %g %g %g / %g %g", a.direction, a.targetX, a.targetY,
                      a.targetZ, a.thirdX, a.thirdY);
    } else if (r.code >= PFR_CODE_RAPID && r.code <= PFR_CODE_FEED_AXIS) {
        const SignalMove& m = r.body.move;
        std::snprintf(out, room, "%d%d%d%d%d%d %g %g %g %g %g %g", m.xGiven, m.yGiven, m.zGiven,
                      m.uGiven, m.vGiven, m.wGiven, m.xGiven ? m.targetX : 0.0,
                      m.yGiven ? m.targetY : 0.0, m.zGiven ? m.targetZ : 0.0, m.uGiven ? m.u : 0.0,
                      m.vGiven ? m.v : 0.0, m.wGiven ? m.w : 0.0);
    } else {
        std::snprintf(out, room, "%s(%s)", d.name().c_str(), d.value().c_str());
    }
    return line;
}

struct Outcome {
    int result = 0;
    std::vector<std::string> lines;
};

// One run of the POF reading cycle with `arguments`, as a host would start
// it; afterwards nothing per-run may be left in the record.
inline Outcome runCycle(const std::vector<std::string>& arguments) {
    std::vector<std::string> copies(arguments);
    std::vector<char*> argv;
    for (std::string& argument : copies) argv.push_back(argument.data());
    testing_support::RecordingHost host;
    CycleContext* ctx = qvCSgetCycle();
    Outcome outcome;
    outcome.result = qvCSexecCycle(ctx, static_cast<int>(argv.size()), argv.data(), host.callbacks());
    for (const testing_support::Delivery& d : host.deliveries) outcome.lines.push_back(describe(d));

    EXPECT_EQ(pofreader::pofPart(ctx)->toolpathFile, nullptr);
    EXPECT_EQ(ctx->signalRegistry, nullptr);
    EXPECT_EQ(ctx->config, nullptr);
    EXPECT_EQ(ctx->cfgEntries, nullptr);
    EXPECT_EQ(ctx->arguments, nullptr);
    EXPECT_EQ(ctx->argumentCount, 0);
    EXPECT_EQ(ctx->sourceName, nullptr);
    EXPECT_EQ(ctx->eventCallback, nullptr);
    return outcome;
}

// True when `part` is `whole` with some lines left out.
inline bool isSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
    std::size_t at = 0;
    for (const std::string& line : part) {
        while (at < whole.size() && whole[at] != line) ++at;
        if (at == whole.size()) return false;
        ++at;
    }
    return true;
}

}  // namespace reliability

// Runs the loaded cycle on a POF file and turns what the host received into
// one line per delivery, so that a test reads as a POF text beside the
// deliveries it must produce.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/common.h"
#include "config/config.h"
#include "pof/pof.h"
#include "support/loaded_cycle.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace pof_testing {

using testing_support::Delivery;

inline std::string formatNumber(double value) {
    char out[64];
    std::snprintf(out, sizeof out, "%g", value);
    return out;
}

inline std::string flagged(const char* axis, int32_t given, double value) {
    EXPECT_TRUE(given == 0 || given == 1) << axis << " flag " << given;
    return given == 1 ? std::string(" ") + axis + formatNumber(value) : std::string();
}

// One delivery as a line: function, key, code and the content of the form the
// code names. Moves list their given axes; arcs their direction, targets and
// third values (the earlier revision writes no third z).
inline std::string describe(const Delivery& d) {
    const SignalRecord& r = d.record;
    std::string line = std::string(1, d.function) + std::to_string(d.code) + ":" +
                       std::to_string(r.code);
    if (r.code == PFR_CODE_TEXT) return line + " " + d.text();
    if (r.code == PFR_CODE_ARC || r.code == PFR_CODE_ARC_NORMAL) {
        const SignalArc& a = r.body.arc;
        line += " d" + std::to_string(a.direction) + " t(" + formatNumber(a.targetX) + "," +
                formatNumber(a.targetY) + "," + formatNumber(a.targetZ) + ") c(" +
                formatNumber(a.thirdX) + "," + formatNumber(a.thirdY);
        if (!pofreader::kEarlierRevision) line += "," + formatNumber(a.thirdZ);
        return line + ")";
    }
    if (r.code >= PFR_CODE_RAPID && r.code <= PFR_CODE_FEED_AXIS) {
        const SignalMove& m = r.body.move;
        return line + flagged("x", m.xGiven, m.targetX) + flagged("y", m.yGiven, m.targetY) +
               flagged("z", m.zGiven, m.targetZ) + flagged("u", m.uGiven, m.u) +
               flagged("v", m.vGiven, m.v) + flagged("w", m.wGiven, m.w);
    }
    return line + " " + d.name() + "(" + d.value() + ")";
}

// The deliveries as lines, without the configuration report's "cfgSource".
// Key 0 reaches function A and then B with the same record: the B copy is
// checked and left out.
inline std::vector<std::string> hostView(const std::vector<Delivery>& deliveries) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < deliveries.size(); ++i) {
        const Delivery& d = deliveries[i];
        if (d.code == 0) {
            EXPECT_EQ(d.function, 'A');
            if (i + 1 < deliveries.size()) {
                const Delivery& copy = deliveries[i + 1];
                EXPECT_EQ(copy.function, 'B');
                EXPECT_EQ(copy.code, 0);
                EXPECT_EQ(std::memcmp(&copy.record, &d.record, sizeof d.record), 0);
                ++i;
            }
        }
        if (d.record.code == PFR_CODE_CFG_SOURCE) continue;
        lines.push_back(describe(d));
    }
    return lines;
}

// The final signal of every run that reached its end phase.
inline std::string finalCycleEnd() { return "A0:104 cycleEnd(quorvant POF Reading Cycle)"; }

// Appends "toolpath" entries to the configuration after the configuration
// phase, as a parameter file would have.
struct ToolpathHook {
    std::vector<std::string> paths;
    static int receive(CycleContext* ctx, int event, void* user) {
        if (event != PFR_EVENT_CONFIG_END) return 1;
        for (const std::string& path : static_cast<ToolpathHook*>(user)->paths)
            ctx->config = pofreader::configAppend(ctx->config, "toolpath", path.c_str(), PFR_TAG_CALL);
        return 1;
    }
};

// Runs the cycle with -Sjob, the toolpath entries of `paths`, and returns the
// deliveries. The record's toolpath name is gone afterwards.
inline std::vector<Delivery> runWithToolpaths(const std::vector<std::string>& paths) {
    const testing_support::LoadedCycle& library = testing_support::revisionLibrary();
    EXPECT_TRUE(library.loaded()) << library.error();
    testing_support::RecordingHost host;
    ToolpathHook hook{paths};
    CycleContext* ctx = library.getCycle();
    ctx->eventCallback = &ToolpathHook::receive;
    ctx->eventUser = &hook;
    EXPECT_EQ(library.run({"-Sjob"}, host.callbacks()), 1);
    EXPECT_EQ(pofreader::pofPart(ctx)->toolpathFile, nullptr);
    EXPECT_EQ(ctx->cycleId, 1100);
    return host.deliveries;
}

// Writes `content` as job.pof into a fresh directory and runs the cycle on it.
inline std::vector<Delivery> runPof(const std::string& content) {
    testing_support::TempDir dir;
    dir.write("job.pof", content);
    return runWithToolpaths({"job.pof"});
}

// The lines a host sees for `content`, the final "cycleEnd" checked and left out.
inline std::vector<std::string> pofView(const std::string& content) {
    std::vector<std::string> lines = hostView(runPof(content));
    EXPECT_FALSE(lines.empty());
    if (!lines.empty()) {
        EXPECT_EQ(lines.back(), finalCycleEnd());
        lines.pop_back();
    }
    return lines;
}

using Lines = std::vector<std::string>;

// A POF text beside the lines the host must see for it.
struct PofCase {
    const char* name;
    std::string pof;
    Lines expected;
};

// Runs every case; `view` (when given) first reduces the lines the host saw.
inline void checkCases(const std::vector<PofCase>& cases, Lines (*view)(Lines) = nullptr) {
    for (const PofCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Lines lines = pofView(c.pof);
        EXPECT_EQ(view != nullptr ? view(lines) : lines, c.expected);
    }
}

}  // namespace pof_testing

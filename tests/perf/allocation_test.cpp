// Allocations of a whole run do not grow with the toolpath: a run of 2N
// records of every kind but tools makes exactly as many allocations as a run
// of N. Counted through the library's allocation helpers over the real
// entry point; no timing.
#include <gtest/gtest.h>

#include <string>

#include "common/common.h"
#include "pofreader/pofreader.h"
#include "support/temp_dir.h"

namespace {

// One block of records: moves of every form (one with more tokens than the
// token list keeps inline, one with a long bracket value), arcs in both
// planes, events, a text and transformation records.
constexpr const char* kBlock =
    "31:oM ( x[/10.5] y[/-20.25] z[/50] )\n"
    "31:oL ( x[0/11] y[0/-19/7] z[/4.125] u[/0] v[/0.6] w[/0.8] )\n"
    "31:oL ( z[/3] ) oM ( x[/1] ) ( y[/2] ) multax[a b c] q[/1] r[/2] s[/3] t[/4]\n"
    "31:oL ( multax[" "0123456789012345678901234567890123456789012345678901234567890123] x[/1e2] )\n"
    "31:oA ( o[+] x[/20/15] y[/-10/-10] z[/-5] )\n"
    "31:oA ( o[-] x[/30/30] z[/0/-5] )\n"
    "0:cycle(Pocket 40x30)\n"
    "0:frameCs_o(100 50 20)\n"
    "0:locFrameCs_o(0 0 10)\n"
    "2:Pocket 40 x 30, depth 5, flat end mill D10\n"
    "10:workplane(ZX)\n"
    "10:tr(workplane)\n"
    "10:feed(800)\n"
    "0:cycleEnd(Pocket 40x30)\n";

long deliveries = 0;
int countDelivery(CycleContext*, int, SignalRecord*, void*) {
    ++deliveries;
    return 1;
}

struct RunCount {
    long allocations;
    long deliveries;
};

RunCount runBlocks(testing_support::TempDir& dir, int blocks) {
    std::string pof;
    for (int i = 0; i < blocks; ++i) pof += kBlock;
    dir.write("job.pof", pof);
    dir.write("job.pcf", "toolpath := \"job.pof\"\n");

    char argument[] = "-Sjob";
    char* argv[] = {argument, nullptr};
    HostCallbacks host{countDelivery, nullptr, countDelivery, nullptr, countDelivery, nullptr};
    deliveries = 0;
    pofreader::memInjectFailure(0);
    EXPECT_EQ(qvCSexecCycle(nullptr, 1, argv, &host), 1);
    return {pofreader::memInjectFailure(0), deliveries};
}

TEST(WholeRun, AllocationsDoNotGrowWithTheToolpath) {
    testing_support::TempDir dir;
    const RunCount once = runBlocks(dir, 200);
    const RunCount twice = runBlocks(dir, 400);
    // The second run read the 200 further blocks: every block reaches the
    // host with at least its six moves.
    EXPECT_GE(twice.deliveries - once.deliveries, 200 * 6);
    EXPECT_GT(once.allocations, 0);
    EXPECT_EQ(twice.allocations, once.allocations);
}

}  // namespace

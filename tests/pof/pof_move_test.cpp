// Move records end to end: POF texts beside the moves the host receives, for
// the revision under test, and the move form read byte by byte.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pof_run.h"

using namespace pof_testing;
using pofreader::kEarlierRevision;

namespace {

// Moves whose deliveries both revisions agree on.
TEST(PofMoves, BothRevisions) {
    checkCases({
        {"straight moves and carry-over of the position",
         "31:oL ( x[0/10] y[0/20] )\n31:oL ( z[/5] )\n31:oA ( o[-] x[/1] )\n",
         {"A31:3114 x10 y20", "A31:3114 z5",
          kEarlierRevision ? "A31:3121 d1 t(1,20,5) c(10,20)" : "A31:3121 d1 t(1,20,5) c(1,20,5)"}},
        {"codes 3107 3109 3114 3118",
         "31:oM ( x[/1] w[/1] )\n31:oM ( x[/1] )\n31:oL ( u[/0] v[/0] w[/1] )\n31:oL ( y[/2] )\n",
         {"A31:3109 x1 w1", "A31:3107 x1", "A31:3118 u0 v0 w1", "A31:3114 y2"}},
        {"kind word before the group", "31:oL ( x[/10] )\n", {"A31:3114 x10"}},
        {"rejected by both", "31:Kx ( x[/1] )\n31:oA ( x[/1] )\n31:( x[/1] )\n31:\n", {}},
        {"arc with z target", "31:oA ( o[+] z[/3] )\n",
         {kEarlierRevision ? "A31:3122 d0 t(0,0,3) c(0,0)" : "A31:3122 d0 t(0,0,3) c(0,0,3)"}},
        {"multax changes nothing", "31:oL ( multax[1 2 3] x[/4] )\n", {"A31:3114 x4"}},
        {"a rejected record does not advance the position",
         "31:oL ( x[/1] y[/2] z[/3] )\n31:oA ( x[/9] y[/9] z[/9] )\n31:oA ( o[-] )\n",
         {"A31:3114 x1 y2 z3",
          kEarlierRevision ? "A31:3121 d1 t(1,2,3) c(1,2)" : "A31:3121 d1 t(1,2,3) c(1,2,3)"}},
        {"comma-free numbers with exponent and sign", "31:oL ( x[/-1.5e1] y[/+.25] )\n",
         {"A31:3114 x-15 y0.25"}},
    });
}

// Where the two grammars part ways: the same POF text, and what each
// revision's host receives.
TEST(PofMoves, RevisionDifferences) {
    const struct {
        const char* name;
        std::string pof;
        Lines current;
        Lines earlier;
    } cases[] = {
        {"axis word before the group", "31:oL x[/10]\n", {"A31:3114"}, {}},
        {"first part only", "31:oL ( x[5] )\n", {"A31:3114"}, {"A31:3114 x0"}},
        {"unknown letter", "31:oL ( q[/1] )\n", {"A31:3114"}, {}},
        {"o word after oL", "31:oL ( o[-] x[/1] )\n", {"A31:3114 x1"},
         {"A31:3121 d1 t(1,0,0) c(0,0)"}},
        {"blanks inside words", "31:o L ( x [ 1 / 2 ] )\n", {}, {"A31:3114 x2"}},
        {"third values", "31:oL ( z[/7] )\n31:oA ( o[-] x[/10] y[/0] x[//5] )\n",
         {"A31:3114 z7", "A31:3121 d1 t(10,0,7) c(5,0,7)"},
         {"A31:3114 z7", "A31:3121 d1 t(0,0,7) c(5,0)"}},
        {"third part and fourth part", "31:oA ( o[-] x[1/2/3] y[1/2/3/4] )\n",
         {"A31:3121 d1 t(2,2,0) c(3,3,0)"}, {"A31:3121 d1 t(2,2,0) c(3,0)"}},
        {"first ) in a bracket value", "31:oL ( x[/1) y[/2] )\n31:oL ( x[/3] ) y[/4]\n",
         {"A31:3114 x1", "A31:3114 x3"}, {"A31:3114", "A31:3114 x3"}},
        {"arc codes under the ZX plane",
         "10:workplane(ZX)\n10:tr(workplane)\n31:oA ( o[-] z[/1] )\n31:oA ( o[-] y[/1] )\n",
         {"A10:301 workplane(ZX)", "A10:301 tr(workplane)", "A31:3121 d1 t(0,0,1) c(0,0,1)",
          "A31:3122 d1 t(0,1,1) c(0,1,1)"},
         {"A10:301 workplane(ZX)", "A10:301 tr(workplane)", "A31:3122 d1 t(0,0,1) c(0,0)",
          "A31:3121 d1 t(0,1,1) c(0,0)"}},
        {"o before oA, and no kind word", "31:( o[-] oA x[/1] )\n31:Kx ( x[/1] )\n", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(pofView(c.pof), kEarlierRevision ? c.earlier : c.current);
    }
}

// ---- The move form, byte by byte -----------------------------------------------

template <typename T>
T at(const SignalRecord& record, std::size_t offset) {
    T value;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(&record) + offset, sizeof value);
    return value;
}

SignalRecord onlyMove(const std::vector<testing_support::Delivery>& deliveries) {
    for (const auto& d : deliveries)
        if (d.code == 31) return d.record;
    ADD_FAILURE() << "no move delivered";
    return SignalRecord{};
}

TEST(PofMoves, ArcFieldOffsets) {
    const auto deliveries = runPof("31:oL ( x[/1] y[/2] z[/3] )\n31:oA ( o[-] x[/10/11] y[/20/21] z[/30/31] )\n");
    std::vector<SignalRecord> moves;
    for (const auto& d : deliveries)
        if (d.code == 31) moves.push_back(d.record);
    ASSERT_EQ(moves.size(), 2u);
    const SignalRecord& arc = moves[1];
    EXPECT_EQ(at<int32_t>(arc, 0), 3122);
    EXPECT_EQ(at<int32_t>(arc, 8), 1);
    EXPECT_EQ(at<double>(arc, 40), 10.0);
    EXPECT_EQ(at<double>(arc, 48), 20.0);
    EXPECT_EQ(at<double>(arc, 56), 30.0);
    EXPECT_EQ(at<double>(arc, 64), 11.0);
    EXPECT_EQ(at<double>(arc, 72), 21.0);
    if (!kEarlierRevision) {
        EXPECT_EQ(at<double>(arc, 80), 31.0);
    }
}

TEST(PofMoves, EarlierArcLeavesThirdZUnwritten) {
    if (!kEarlierRevision) GTEST_SKIP() << "earlier revision only";
    // The straight move writes w at offset 80; the arc after it does not
    // write its third z there.
    const auto deliveries = runPof("31:oM ( w[/7] )\n31:oA ( o[+] z[/1/2] )\n");
    std::vector<SignalRecord> moves;
    for (const auto& d : deliveries)
        if (d.code == 31) moves.push_back(d.record);
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(at<double>(moves[1], 56), 1.0);
    EXPECT_NE(at<double>(moves[1], 80), 2.0);
}

TEST(PofMoves, StraightFieldOffsets) {
    const SignalRecord move = onlyMove(runPof("31:oM ( x[/1.5] z[/-2] u[/0.25] w[/0.75] )\n"));
    EXPECT_EQ(at<int32_t>(move, 0), 3109);
    EXPECT_EQ(at<int32_t>(move, 8), 1);
    EXPECT_EQ(at<int32_t>(move, 12), 0);
    EXPECT_EQ(at<int32_t>(move, 16), 1);
    EXPECT_EQ(at<double>(move, 24), 1.5);
    EXPECT_EQ(at<double>(move, 40), -2.0);
    EXPECT_EQ(at<int32_t>(move, 48), 1);
    EXPECT_EQ(at<int32_t>(move, 52), 0);
    EXPECT_EQ(at<int32_t>(move, 56), 1);
    EXPECT_EQ(at<double>(move, 64), 0.25);
    EXPECT_EQ(at<double>(move, 80), 0.75);
}

}  // namespace

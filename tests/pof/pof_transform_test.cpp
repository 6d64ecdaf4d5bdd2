// Transformation and tool records end to end: what the host receives, and how
// workplanes steer the code of arcs (current revision only).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pof_run.h"

using namespace pof_testing;
using pofreader::kEarlierRevision;

namespace {

// Arcs of these tests: "y" gives a y target, "z" a z target. Only their codes
// matter here, so move lines are cut to key and code.
const char* kArcY = "31:oA ( o[+] y[/1] )\n";
const char* kArcZ = "31:oA ( o[+] z[/1] )\n";
const char* kNormal = "A31:3122";
const char* kInPlane = "A31:3121";

Lines codesOnly(Lines lines) {
    for (std::string& line : lines)
        if (line.rfind("A31:", 0) == 0) line = line.substr(0, 8);
    return lines;
}

TEST(PofTransform, RecordsReachTheHost) {
    checkCases({
        {"any name", "10:rotate(90 0 0)\n", {"A10:301 rotate(90 0 0)"}},
        {"tr with another value", "10:tr(something)\n", {"A10:301 tr(something)"}},
        {"unknown workplane values still sent", "10:workplane(YZ)\n10:workplane(xy)\n",
         {"A10:301 workplane(YZ)", "A10:301 workplane(xy)"}},
        {"capitalised name", "10:Workplane(ZX)\n", {"A10:301 Workplane(ZX)"}},
        {"no parenthesis: dropped", "10:workplane ZX\n10:(ZX)\n", {}},
        {"value cut to 519", "10:a(" + std::string(700, 'v') + ")\n",
         {"A10:301 a(" + std::string(519, 'v') + ")"}},
    }, codesOnly);
}

TEST(PofTransform, WorkplanesSteerArcs) {
    // The earlier revision codes arcs by the z target alone.
    const bool current = !kEarlierRevision;
    const char* yArcUnderZX = current ? kNormal : kInPlane;
    const char* zArcUnderZX = current ? kInPlane : kNormal;
    checkCases({
        {"workplane(ZX) without activation", std::string("10:workplane(ZX)\n") + kArcY,
         {"A10:301 workplane(ZX)", kInPlane}},
        {"ZX plane after tr(workplane)",
         std::string("10:workplane(ZX)\n10:tr(workplane)\n") + kArcY,
         {"A10:301 workplane(ZX)", "A10:301 tr(workplane)", yArcUnderZX}},
        {"z target under the ZX plane",
         std::string("10:workplane(ZX)\n10:tr(workplane)\n") + kArcZ,
         {"A10:301 workplane(ZX)", "A10:301 tr(workplane)", zArcUnderZX}},
        {"tr(workplane) first activates XY", std::string("10:tr(workplane)\n") + kArcZ,
         {"A10:301 tr(workplane)", kNormal}},
        {"back to XY", std::string("10:workplane(ZX)\n10:tr(workplane)\n10:workplane(XY)\n10:tr(workplane)\n") + kArcZ,
         {"A10:301 workplane(ZX)", "A10:301 tr(workplane)", "A10:301 workplane(XY)",
          "A10:301 tr(workplane)", kNormal}},
        {"unknown and capitalised names change nothing",
         std::string("10:workplane(ZX)\n10:workplane(YZ)\n10:Workplane(XY)\n10:tr(workplane)\n") + kArcY,
         {"A10:301 workplane(ZX)", "A10:301 workplane(YZ)", "A10:301 Workplane(XY)",
          "A10:301 tr(workplane)", yArcUnderZX}},
        {"tr(something) does not activate",
         std::string("10:workplane(ZX)\n10:tr(something)\n") + kArcY,
         {"A10:301 workplane(ZX)", "A10:301 tr(something)", kInPlane}},
        {"cycleEnd resets the active plane",
         std::string("10:workplane(ZX)\n10:tr(workplane)\n") + kArcY + "0:cycleEnd()\n" + kArcY,
         {"A10:301 workplane(ZX)", "A10:301 tr(workplane)", yArcUnderZX, "A0:104 cycleEnd()",
          kInPlane}},
        {"cycleEnd resets the pending plane",
         std::string("10:workplane(ZX)\n0:cycleEnd()\n10:tr(workplane)\n") + kArcY,
         {"A10:301 workplane(ZX)", "A0:104 cycleEnd()", "A10:301 tr(workplane)", kInPlane}},
    }, codesOnly);
}

TEST(PofTool, ToolRecordsSendNothing) {
    testing_support::TempDir dir;
    dir.write("job.pof",
              "11:o Tool [ ball  mill ] ( d[10] t[ flat ] ) v depth( 12.5 )\n"
              "11:m drill(G81)\n"
              "11:garbage ((( [[[ \x01\n"
              "11:\n"
              "2:after\n");
    EXPECT_EQ(hostView(runWithToolpaths({"job.pof"})), (Lines{"B2:1001 after", finalCycleEnd()}));
    EXPECT_FALSE(dir.exists("EDK.TXT"));
}

TEST(PofTool, MethodElementAppendsToTheReport) {
    testing_support::TempDir dir;
    dir.write("job.pof", "11:o Tool [T1] ( d[10] ) m drill ( G81 ) v x(1)\n11:m bore(G85)\n");
    EXPECT_EQ(hostView(runWithToolpaths({"job.pof"})), (Lines{finalCycleEnd()}));
    EXPECT_EQ(dir.read("EDK.TXT"), " methode = 'drill'\n");
}

}  // namespace

#!/usr/bin/env python3
"""Coverage of the library from the counters of a ./run-tests --coverage build.

Prints one table, line and branch coverage per library folder for each
revision, then every file under 95% in either, writes an HTML report of both
revisions together into BUILD/coverage/, and exits 1 when a folder falls under
its floor (100% of lines, 95% of branches; COVERAGE_LINE_FLOOR and
COVERAGE_BRANCH_FLOOR change them).

    tests/coverage/report.py BUILD
"""
import json
import os
import subprocess
import sys
import tempfile

FOLDERS = ["common", "config", "frame", "pof", "qdx"]
# The objects of each revision's library, which the tests run one way or
# another (loaded, or linked in through the static core built from them), and
# the file each leaves out: both move grammars are compiled into both
# libraries so that each can be tested on its own, but a run of one revision
# only ever reads moves with its own, so the other's counts in its own table.
REVISIONS = [("current", "pofreader_objects.dir", "pof/move_parser_700.cpp"),
             ("7.00", "pofreader_objects_700.dir", "pof/move_parser.cpp")]
LISTED_UNDER = 95.0


def percent(covered, total):
    return 100.0 if total == 0 else 100.0 * covered / total


def gcovr(root, searched, *extra):
    folders = "|".join(FOLDERS)
    command = ["gcovr", "--root", root, "--filter", f"{root}/({folders})/",
               "--exclude-unreachable-branches", "--exclude-throw-branches", *extra, *searched]
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)


def summary(root, objects, other):
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        gcovr(root, [objects], "--json-summary", out.name)
        return [f for f in json.load(open(out.name))["files"] if f["filename"] != other]


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build-coverage")
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    line_floor = float(os.environ.get("COVERAGE_LINE_FLOOR", "100"))
    branch_floor = float(os.environ.get("COVERAGE_BRANCH_FLOOR", "95"))

    rows, listed, failed = [], [], []
    for revision, objects, other in REVISIONS:
        files = summary(root, os.path.join(build, "CMakeFiles", objects), other)
        for folder in FOLDERS:
            mine = [f for f in files if f["filename"].startswith(folder + "/")]
            lines = (sum(f["line_covered"] for f in mine), sum(f["line_total"] for f in mine))
            branches = (sum(f["branch_covered"] for f in mine), sum(f["branch_total"] for f in mine))
            line_pct, branch_pct = percent(*lines), percent(*branches)
            rows.append((revision, folder, lines, line_pct, branches, branch_pct))
            if line_pct < line_floor or branch_pct < branch_floor:
                failed.append(f"{folder} ({revision})")
        for f in files:
            line_pct = percent(f["line_covered"], f["line_total"])
            branch_pct = percent(f["branch_covered"], f["branch_total"])
            if line_pct < LISTED_UNDER or branch_pct < LISTED_UNDER:
                listed.append((revision, f["filename"], line_pct, branch_pct))

    print(f"\n{'revision':9} {'folder':7} {'lines':>15} {'':>7} {'branches':>15} {'':>7}")
    for revision, folder, lines, line_pct, branches, branch_pct in rows:
        print(f"{revision:9} {folder:7} {lines[0]:>7}/{lines[1]:<7} {line_pct:6.1f}% "
              f"{branches[0]:>7}/{branches[1]:<7} {branch_pct:6.1f}%")
    if listed:
        print(f"\nfiles under {LISTED_UNDER:.0f}%:")
        for revision, name, line_pct, branch_pct in listed:
            print(f"  {revision:9} {name:34} lines {line_pct:6.1f}%  branches {branch_pct:6.1f}%")

    report = os.path.join(build, "coverage")
    os.makedirs(report, exist_ok=True)
    gcovr(root, [os.path.join(build, "CMakeFiles", objects) for _, objects, _ in REVISIONS],
          "--html-details", os.path.join(report, "index.html"))
    print(f"\nreport: {os.path.join(report, 'index.html')}")
    print(f"floors: {line_floor:g}% of lines, {branch_floor:g}% of branches in every folder")
    if failed:
        print("under the floors: " + ", ".join(failed))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

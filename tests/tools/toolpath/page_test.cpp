// The 3D page of pofhost --html, opened in headless Chromium: what it drew
// against --summary, a screenshot of it, and clicking and stepping through it.
//
// POFHOST_UPDATE_GOLDEN=1 rewrites examples/bracket-3d.png, the README's
// picture, from the current revision's screenshot.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/common.h"
#include "tools/support/host_process.h"
#include "support/temp_dir.h"

namespace {

using host_tests::HostRun;
using testing_support::TempDir;

const char* const kChromium = "/usr/bin/chromium";
constexpr int kWidth = 1200, kHeight = 800;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// The attributes of the page's ready marker, <div id="pof-ready" data-...>.
std::map<std::string, std::string> readyMarker(const std::string& dom) {
    std::map<std::string, std::string> values;
    const std::size_t start = dom.find("<div id=\"pof-ready\"");
    if (start == std::string::npos) return values;
    const std::string tag = dom.substr(start, dom.find('>', start) - start);
    for (std::size_t at = tag.find(" data-"); at != std::string::npos; at = tag.find(" data-", at + 1)) {
        const std::size_t equals = tag.find("=\"", at), close = tag.find('"', equals + 2);
        values[tag.substr(at + 6, equals - at - 6)] = tag.substr(equals + 2, close - equals - 2);
    }
    return values;
}

// A number of the one-line JSON summary, found by its member name.
long summaryCount(const std::string& json, const std::string& name) {
    const std::size_t at = json.find("\"" + name + "\":");
    return at == std::string::npos ? -1 : std::atol(json.c_str() + at + name.size() + 3);
}

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    int grey(int x, int y) const {
        const unsigned char* p = &rgb[3 * (static_cast<std::size_t>(y) * width + x)];
        return (p[0] + p[1] + p[2]) / 3;
    }
};

bool readPng(const std::string& path, Picture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    return png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) != 0;
}

// pofhost on a copy of the example job, and Chromium on the pages it writes.
class ExamplePage : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& entry :
             std::filesystem::directory_iterator(std::string(POFREADER_SOURCE_DIR) + "/examples"))
            std::filesystem::copy_file(entry.path(), dir_.file(entry.path().filename().string()));
        ASSERT_TRUE(std::filesystem::exists(kChromium))
            << kChromium << " is missing: install the Debian package chromium (.ci/install-deps)";
    }

    HostRun host(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"--library", POFREADER_LIBRARY_PATH});
        return host_tests::runProgram(POFHOST_PATH, arguments, dir_.path());
    }

    // Chromium with software WebGL, as a user's browser would draw the page;
    // `what` is "--dump-dom" or "--screenshot=FILE".
    HostRun chromium(const std::string& page, const std::string& what, bool webgl = true) const {
        std::vector<std::string> arguments = {
            "--headless", "--no-sandbox", "--disable-gpu", "--user-data-dir=" + dir_.file("profile"),
            "--window-size=" + std::to_string(kWidth) + "," + std::to_string(kHeight),
            "--hide-scrollbars", "--virtual-time-budget=10000", what, "file://" + page};
        if (webgl) {
            arguments.insert(arguments.begin(), {"--use-angle=swiftshader", "--enable-unsafe-swiftshader"});
        } else {
            arguments.insert(arguments.begin(), "--disable-webgl");
        }
        return host_tests::runProgram(kChromium, arguments, dir_.path());
    }

    // The page with a script of the test's own run after the viewer's.
    std::string withScript(const std::string& page, const std::string& script) const {
        std::string html = readFile(page);
        html.insert(html.rfind("</body>"), "<script>" + script + "</script>\n");
        const std::string path = page + ".driven.html";
        std::ofstream(path, std::ios::binary) << html;
        return path;
    }

    TempDir dir_{false};
};

TEST_F(ExamplePage, ThePageDrawsWhatTheSummaryCounts) {
    const HostRun run = host({"--html", "job.html", "--summary", "--format", "json", "-Sjob"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    const HostRun browser = chromium(dir_.file("job.html"), "--dump-dom");
    std::map<std::string, std::string> drawn = readyMarker(browser.out);
    ASSERT_EQ("ready", drawn["state"]) << browser.err.substr(0, 2000);
    EXPECT_EQ("", drawn["error"]);
    EXPECT_EQ(std::to_string(summaryCount(run.out, "rapid")), drawn["rapid"]);
    EXPECT_EQ(std::to_string(summaryCount(run.out, "feed")), drawn["feed"]);
    EXPECT_EQ(std::to_string(summaryCount(run.out, "circular")), drawn["arc"]);
    EXPECT_EQ(std::to_string(summaryCount(run.out, "chord")), drawn["chord"]);
    EXPECT_EQ(drawn["chord"], drawn["markers"]);
    EXPECT_EQ(std::to_string(summaryCount(run.out, "withToolAxis")), drawn["axes"]);
    // Every arc of the example in its workplane: the ramping corner a helix,
    // the fillets in ZX (in 7.00 round the centre z that makes them circles).
    EXPECT_EQ("6", drawn["arc"]);
    EXPECT_EQ("3", drawn["axes"]);
    EXPECT_EQ("1", drawn["draws"]);  // one frame before ready
    // The summary panel shows the summary itself.
    EXPECT_NE(std::string::npos, browser.out.find("<td>moves</td><td>18: rapid 5, feed 7, arc 6"));
}

TEST_F(ExamplePage, TheScreenshotShowsTheWholePathAndMatchesTheReadmePicture) {
    ASSERT_EQ(0, host({"--html", "job.html", "-Sjob"}).exitCode);
    const std::string shot = std::string(POFREADER_BINARY_DIR) + "/example-3d" +
                             (pofreader::kEarlierRevision ? "-7.00" : "") + ".png";
    std::remove(shot.c_str());
    chromium(dir_.file("job.html"), "--screenshot=" + shot);
    Picture picture;
    ASSERT_TRUE(readPng(shot, picture)) << shot;
    ASSERT_EQ(kWidth, picture.width);
    // The view is the page's white upper left part, up to the side panel's
    // and the step bar's borders.
    int width = 0, height = 0;
    while (width < picture.width && picture.grey(width, 5) >= 250) ++width;
    while (height < picture.height && picture.grey(5, height) >= 250) ++height;
    ASSERT_GT(width, kWidth / 2);
    ASSERT_LT(width, kWidth);
    ASSERT_GT(height, kHeight / 2);
    ASSERT_LT(height, kHeight);
    const int left = 0, top = 0;

    double sum = 0, squares = 0;
    int borderInk = 0;
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x) {
            const int grey = picture.grey(x, y);
            sum += grey;
            squares += double(grey) * grey;
            const bool border = x < left + 3 || y < top + 3 || x >= left + width - 3 || y >= top + height - 3;
            borderInk += border && grey < 250;
        }
    const double n = double(width) * height;
    EXPECT_GT(squares / n - (sum / n) * (sum / n), 20.0) << "the view is blank";
    EXPECT_EQ(0, borderInk) << "the default view does not fit the path";

    if (pofreader::kEarlierRevision) return;
    const std::string shown = std::string(POFREADER_SOURCE_DIR) + "/examples/bracket-3d.png";
    if (std::getenv("POFHOST_UPDATE_GOLDEN") != nullptr)
        std::filesystem::copy_file(shot, shown, std::filesystem::copy_options::overwrite_existing);
    Picture readme;
    ASSERT_TRUE(readPng(shown, readme)) << shown;
    ASSERT_EQ(picture.width, readme.width);
    ASSERT_EQ(picture.height, readme.height);
    // Equal but for antialiasing: few pixels differ, none of them much on average.
    long differing = 0;
    double difference = 0;
    for (std::size_t i = 0; i < picture.rgb.size(); ++i) {
        const int d = std::abs(picture.rgb[i] - readme.rgb[i]);
        difference += d;
        differing += d > 48;
    }
    EXPECT_LT(difference / picture.rgb.size(), 1.0);
    EXPECT_LT(differing, long(picture.rgb.size() / 500)) << "examples/bracket-3d.png is not what the page draws";
}

TEST_F(ExamplePage, ClickingTheFirstArcAndSteppingShowTheirMoves) {
    const HostRun run = host({"--html", "job.html", "-Sjob"});
    ASSERT_EQ(0, run.exitCode);
    // The first arc's index among the moves, from the lines pofhost prints.
    // and the delivery number of the 13th move, counting every delivery.
    int firstArc = -1, moves = 0, deliveries = 0, thirteenth = 0;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, 2, "fn") != 0) continue;
        ++deliveries;
        if (line.find(" key=31 ") == std::string::npos) continue;
        if (firstArc < 0 && line.find(" arc ") != std::string::npos) firstArc = moves;
        if (++moves == 13) thirteenth = deliveries;
    }
    ASSERT_EQ(3, firstArc);
    const struct {
        std::string script;
        std::vector<std::string> shown;
    } cases[] = {
        {"const [x, y] = pofViewer.screenPointOf(" + std::to_string(firstArc) + ");"
         "const canvas = document.querySelector('#view canvas');"
         "for (const type of ['mousedown', 'mouseup', 'click'])"
         "  canvas.dispatchEvent(new MouseEvent(type, {clientX: x, clientY: y, bubbles: true}));",
         {"<td>move</td><td>4 of 18</td>", "<td>code</td><td>3122 arc</td>", "<td>workplane</td><td>XY (17)",
          "<td>target</td><td>20 -10 -5</td>", "<td>direction</td><td>+ (counter-clockwise)</td>",
          pofreader::kEarlierRevision ? "<td>third (centre)</td><td>15 -10 z not sent</td>"
                                      : "<td>third (centre)</td><td>15 -10 -5</td>",
          pofreader::kEarlierRevision ? "<td>centre z</td><td>not sent; not needed"
                                      : "<td>rule</td><td>helix: the arc in the workplane",
          "<td>last text</td><td>\"Pocket 40 x 30, depth 5, flat end mill D10\"</td>",
          "<td>last cycle</td><td>\"Pocket 40x30\"</td>"}},
        {"const step = document.getElementById('step'); step.value = '13';"
         "step.dispatchEvent(new Event('input'));",
         {"move 13 of 18, delivery " + std::to_string(thirteenth) + "<", "<td>tool axis</td><td>0 -0.5 0.866025</td>",
          "<td>last cycle</td><td>\"Edge fillet (front", "<td>last event</td><td>\"cycle Edge fillet (front"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const std::string dom = chromium(withScript(dir_.file("job.html"), c.script), "--dump-dom").out;
        EXPECT_EQ("", readyMarker(dom)["error"]);
        for (const std::string& expected : c.shown) EXPECT_NE(std::string::npos, dom.find(expected)) << expected;
    }
}

// A job of its own, checked by pofcheck: exact values, a half circle in ZX,
// short hops, a move behind another, the delivery pane and a finding.
TEST_F(ExamplePage, RowsOfAJobTracedToItsLines) {
    std::ofstream(dir_.file("rows.pcf")) << "toolpath := rows.pof\n";
    std::ofstream pof(dir_.file("rows.pof"), std::ios::binary);
    pof << "31:oM ( x[/0] y[/5] z[/0] )\n"       // move 1, line 1
           "31:oL ( x[/1234.5678] )\n"           // 2
           "31:oL ( x[/1234.5679] )\n"           // 3
           "10:workplane(ZX)\n10:tr(workplane)\n"
           "31:oA ( o[+] x[/1254.5679/1244.5679] )\n"  // 4: a half circle along x, in ZX
           "99:not for the cycle\n"              // line 7: pofcheck's finding
           "31:oL ( y[/-5] )\n31:oL ( x[/1234.5679] )\n";  // 5, 6: back in front of move 2
    for (int i = 0; i < 20; ++i) pof << "31:oM ( z[/" << (i % 2 ? 0 : 0.2) << "] x[/" << 1234.6 + i * 0.1 << "] )\n";
    pof.close();
    const HostRun check = host_tests::runProgram(
        POFCHECK_PATH, {"--format", "json", "--lines", "-Srows"}, dir_.path());
    std::ofstream(dir_.file("rows.json")) << check.out;
    const HostRun run = host({"--html", "rows.html", "--check", "rows.json", "-Srows"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    std::vector<std::string> moveLines;
    std::istringstream printed(run.out);
    for (std::string line; std::getline(printed, line);)
        if (line.find(" key=31 ") != std::string::npos) moveLines.push_back(line);
    ASSERT_EQ(26u, moveLines.size());
    const bool earlier = pofreader::kEarlierRevision;
    const std::string pick = "pofViewer.select(%); pofViewer.afterFrame(() => {";
    const std::string done = "});";
    const auto at = [](const std::string& script, int move) {
        std::string out = script;
        for (std::size_t p = out.find('%'); p != std::string::npos; p = out.find('%')) out.replace(p, 1, std::to_string(move));
        return out;
    };
    const struct {
        std::string what, script;
        std::vector<std::string> shown;
    } cases[] = {
        {"exact values and their source", at(pick, 2) + done,
         {"<td>target</td><td>1234.5679 5 (kept) 0 (kept)</td>", "<td>source</td><td>rows.pof:3</td>",
          "<div class=\"move current\" data-move=\"2\">     3  " + moveLines[2] + "</div>",
          "data-move=\"1\">     2  " + moveLines[1] + "</div>"}},
        {"a half circle in ZX", at(pick, 3) + done,
         {"<td>workplane</td><td>ZX (18)", earlier ? "<td>rule</td><td>marked chord: no centre z was sent"
                                                   : "<td>rule</td><td>circle in the workplane"}},
        {"a click in the pane selects its move",
         at(pick, 1) + "document.querySelector('[data-move=\"3\"]').click();" + done,
         {"<td>move</td><td>4 of 26</td>"}},
        {"the finding at the path's position", "",
         {"data-findings=\"1\"", "rows.pof:7: note: record type 99"}},
        {"every short hop leaves a mark",
         "for (const id of ['show-feed', 'show-arc', 'arrows']) { const b = document.getElementById(id);"
         " b.checked = false; b.dispatchEvent(new Event('change')); }"
         "pofViewer.afterFrame(() => { let bare = 0; for (let m = 6; m < 26; m++) {"
         " const [x, y] = pofViewer.screenPointOf(m);"
         " if (pofViewer.pixelsAround(x, y, 2).every((c) => c === 0xffffff)) bare++; }"
         " document.body.dataset.bare = String(bare); });",
         {"data-bare=\"0\""}},
        // Looked for over some frames: a loaded machine may draw the view's
        // change a frame late, and a hidden pick never shows at all.
        {"the picked move over a nearer one",
         "document.querySelector('[data-view=front]').click(); pofViewer.afterFrame(() => {" + at(pick, 1) +
         " let frames = 0; const look = () => { const [x, y] = pofViewer.screenPointOf(1);"
         " const seen = pofViewer.pixelsAround(x, y, 1).some((c) =>"
         " (c >> 16) > 0xa0 && ((c >> 8) & 255) < 0x50 && (c & 255) > 0x30 && (c & 255) < 0xa0);"
         " if (seen || ++frames > 30) document.body.dataset.picked = String(seen); else pofViewer.afterFrame(look); };"
         " look(); }); });",
         {"data-picked=\"true\""}},
    };
    // Headless Chromium's software renderer now and then ends its time budget
    // before a script's later frames: a row gets three runs to show its marks,
    // and a mark the page never draws fails all three.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string dom;
        const auto showsAll = [&c](const std::string& page) {
            for (const std::string& expected : c.shown)
                if (page.find(expected) == std::string::npos) return false;
            return true;
        };
        for (int run = 0; run < 3 && (run == 0 || !showsAll(dom)); ++run)
            dom = chromium(withScript(dir_.file("rows.html"), c.script), "--dump-dom").out;
        EXPECT_EQ("", readyMarker(dom)["error"]);
        for (const std::string& expected : c.shown) EXPECT_NE(std::string::npos, dom.find(expected)) << expected;
    }
}

TEST_F(ExamplePage, PagesWithoutMovesOrWebGlSaySo) {
    // Run without the job's parameter file: the cycle reads no toolpath.
    ASSERT_EQ(0, host({"--html", "empty.html", "-Snothing"}).exitCode);
    const std::string empty = chromium(dir_.file("empty.html"), "--dump-dom").out;
    EXPECT_EQ("ready", readyMarker(empty)["state"]);
    EXPECT_EQ("", readyMarker(empty)["error"]);
    EXPECT_NE(std::string::npos, empty.find("The job has no moves"));

    ASSERT_EQ(0, host({"--html", "job.html", "-Sjob"}).exitCode);
    const std::string plain = chromium(dir_.file("job.html"), "--dump-dom", false).out;
    EXPECT_EQ("no-webgl", readyMarker(plain)["state"]);
    EXPECT_NE(std::string::npos, plain.find("This page draws with WebGL"));
    EXPECT_NE(std::string::npos, plain.find("<td>result</td><td>1</td>"));
}

}  // namespace

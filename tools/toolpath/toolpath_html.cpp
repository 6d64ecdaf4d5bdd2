#include "toolpath/toolpath_html.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "text/output_text.h"

namespace pofhost {

#ifdef POFHOST_HAS_VIEWER
std::string viewerPageHead();  // generated from viewer/page.html
std::string viewerPageTail();
bool htmlPageAvailable() { return true; }
#else
static std::string viewerPageHead() { return ""; }
static std::string viewerPageTail() { return ""; }
bool htmlPageAvailable() { return false; }
#endif

namespace {

constexpr int kCodes[] = {PFR_CODE_RAPID, PFR_CODE_RAPID_AXIS, PFR_CODE_FEED,
                          PFR_CODE_FEED_AXIS, PFR_CODE_ARC, PFR_CODE_ARC_NORMAL};
static_assert(std::size(kCodes) <= 8, "the code index has three bits");
// The page reads the arrays in the browser's byte order, which is little-endian.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the page's arrays are little-endian");

// The share of feed heights the height colours span: retract moves and
// stray points beyond it are clamped instead of squeezing the rest.
constexpr double kHeightShareLow = 0.02, kHeightShareHigh = 0.98;

void addPoint(std::vector<float>& out, const Point3& p) {
    out.push_back(static_cast<float>(p.x));
    out.push_back(static_cast<float>(p.y));
    out.push_back(static_cast<float>(p.z));
}

template <typename T>
std::string base64Of(const std::vector<T>& values) {
    return base64(values.data(), values.size() * sizeof(T));
}

// A JSON text that may stand inside a <script> element: "<" only occurs in
// strings, where \u003c means the same.
std::string scriptSafe(const std::string& json) {
    std::string out;
    out.reserve(json.size());
    for (const char c : json) {
        if (c == '<') out += "\\u003c";
        else out += c;
    }
    return out;
}

std::string markersJson(const std::vector<Marker>& markers) {
    std::string out = "[";
    for (const Marker& m : markers)
        out += (out.size() > 1 ? ",[" : "[") + std::to_string(m.movesBefore) + "," + jsonString(m.text) + "]";
    return out + "]";
}

std::string dataScript(const char* id, const std::string& base64Text) {
    return "<script type=\"application/octet-stream\" id=\"" + std::string(id) + "\">" + base64Text +
           "</script>\n";
}

}  // namespace

std::string base64(const void* data, std::size_t size) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    for (std::size_t i = 0; i < size; i += 3) {
        const unsigned n = bytes[i] << 16 | (i + 1 < size ? bytes[i + 1] << 8 : 0) |
                           (i + 2 < size ? bytes[i + 2] : 0);
        out += kDigits[n >> 18 & 63];
        out += kDigits[n >> 12 & 63];
        out += i + 1 < size ? kDigits[n >> 6 & 63] : '=';
        out += i + 2 < size ? kDigits[n & 63] : '=';
    }
    return out;
}

namespace {

void addValues(PageData& page, const Segment& m, const SpaceArc& shape) {
    if (m.kind != SegmentKind::Arc) {
        const double values[] = {m.to.x, m.to.y, m.to.z, m.axis.x, m.axis.y, m.axis.z};
        for (int i = 0; i < 6; ++i)
            if (m.given & 1 << i) page.values.push_back(values[i]);
        return;
    }
    for (const double v : {static_cast<double>(m.direction), m.to.x, m.to.y, m.to.z, m.centre.x, m.centre.y})
        page.values.push_back(v);
    if (m.centreZSent) page.values.push_back(m.centre.z);
    // + 0.0 turns a placed -0 into 0: the z is computed, and no record said -0.
    if (shape.centreZPlaced) page.values.push_back(shape.centre.z + 0.0);
}

}  // namespace

PageData pageData(const JobRecorder& job, double tolerance) {
    PageData page;
    const std::vector<Segment>& moves = job.moves();
    const std::vector<DrawnMove>& drawn = job.drawn();
    page.forms.reserve(moves.size());
    page.given.reserve(moves.size());
    page.points.reserve(3 * (moves.size() + 1));
    std::vector<double> feedHeights, allHeights;
    std::vector<Point3> arc;
    long expected = 1;  // the delivery number that needs no entry in `sequence`
    int workplane = kWorkplaneXY;
    for (std::size_t i = 0; i < moves.size(); ++i) {
        const Segment& m = moves[i];
        if (m.workplane != workplane) {
            workplane = m.workplane;
            page.workplanes.push_back(static_cast<uint32_t>(i));
            page.workplanes.push_back(static_cast<uint32_t>(workplane));
        }
        const long delivery = job.moveDeliveries()[i];
        if (delivery != expected) {
            page.sequence.push_back(static_cast<uint32_t>(i));
            page.sequence.push_back(static_cast<uint32_t>(delivery));
        }
        expected = delivery + 1;
        const SpaceArc& shape = drawn[i].arc;
        page.given.push_back(static_cast<uint8_t>((m.given & 63) | (m.function - 'A') << 6));
        addValues(page, m, shape);
        if (m.kind == SegmentKind::Arc)
            page.arcs.push_back(static_cast<uint8_t>(static_cast<int>(shape.rule) |
                                                     (shape.plane == kWorkplaneZX ? kArcZX : 0) |
                                                     (shape.centreZPlaced ? kArcCentreZPlaced : 0)));

        const auto code = std::find(std::begin(kCodes), std::end(kCodes), m.code) - std::begin(kCodes);
        uint8_t form = static_cast<uint8_t>((code & 7) << kFormCodeShift);
        if (m.nonFinite) {
            page.forms.push_back(form | kPageSkipped);
            continue;
        }
        if (m.hasAxis) {
            form |= kFormToolAxis;
            addPoint(page.axes, m.axis);
        }
        if (m.kind == SegmentKind::Arc) {
            addPoint(page.centres, shape.centre);
            if (m.direction == 1) form |= kFormClockwise;
        }
        if (!m.startKnown) {
            addPoint(page.points, m.to);
            form |= kPageStart;
        } else if (m.kind == SegmentKind::Arc && shape.circular) {
            arc.clear();
            arcPoints(m, shape, tolerance, arc);
            for (const Point3& p : arc) addPoint(page.points, p);
            page.arcPoints.push_back(static_cast<uint16_t>(arc.size()));
            form |= kPageArc;
        } else {
            addPoint(page.points, m.to);
            form |= m.kind == SegmentKind::Rapid ? kPageRapid
                    : m.kind == SegmentKind::Feed ? kPageFeed
                                                  : kPageChord;
        }
        page.forms.push_back(form);
        allHeights.push_back(m.to.z);
        if (m.kind != SegmentKind::Rapid) feedHeights.push_back(m.to.z);
    }
    std::vector<double>& heights = feedHeights.empty() ? allHeights : feedHeights;
    page.heightLow = percentile(heights, kHeightShareLow);
    page.heightHigh = percentile(heights, kHeightShareHigh);
    return page;
}

bool readCheckedRun(const std::string& path, CheckedRun& checked) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    checked.given = true;
    // pofcheck writes one JSON object per line: line runs, findings, and
    // the closing counts; only their leading member tells them apart.
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, 8, "{\"lines\"") == 0) checked.lineRuns.push_back(line);
        else if (line.compare(0, 7, "{\"file\"") == 0) checked.findings.push_back(line);
        else if (line.compare(0, 11, "{\"warnings\"") == 0) {
            const std::size_t at = line.find("\"deliveries\":");
            if (at != std::string::npos) checked.deliveries = std::atol(line.c_str() + at + 13);
        }
    }
    if (checked.deliveries < 0)
        checked.error = "it holds no cycle run: write it with pofcheck --format json --lines and the cycle's arguments";
    return true;
}

std::string renderHtml(const JobRecorder& job, const JobSummary& summary, const std::string& title,
                       const CheckedRun& checked) {
    const PageData page = pageData(job, std::max(summary.figures.extent.diagonal() * 1e-3, 1e-6));
    std::string summaryObject = summaryJson(summary);
    // {"summary":{...}}\n: the inner object.
    summaryObject = summaryObject.substr(11, summaryObject.size() - 13);
    std::string checkError = checked.error;
    if (checked.given && checkError.empty() && checked.deliveries != job.deliveries())
        checkError = "it counted " + std::to_string(checked.deliveries) + " deliveries, this run " +
                     std::to_string(job.deliveries()) + ": it is the check of another run";
    std::string lineRuns = "[", findings = "[";
    if (checked.given && checkError.empty()) {
        for (const std::string& run : checked.lineRuns) lineRuns += (lineRuns.size() > 1 ? "," : "") + run;
        for (const std::string& finding : checked.findings)
            findings += (findings.size() > 1 ? "," : "") + finding;
    }
    const std::string json =
        "{\"title\":" + jsonString(title) + ",\"summary\":" + summaryObject + ",\"heightRange\":[" +
        jsonNumber(page.heightLow) + "," + jsonNumber(page.heightHigh) + "],\"texts\":" +
        markersJson(job.texts()) + ",\"events\":" + markersJson(job.events()) +
        ",\"cycles\":" + markersJson(job.cycles()) + ",\"lines\":" + markersJson(job.otherLines()) +
        ",\"earlier\":" + (job.shape().arcHasThirdZ ? "false" : "true") +
        ",\"check\":{\"given\":" + (checked.given ? "true" : "false") + ",\"error\":" + jsonString(checkError) +
        ",\"lineRuns\":" + lineRuns + "],\"findings\":" + findings + "]}}";
    std::string html = viewerPageHead();
    html += "<script type=\"application/json\" id=\"pof-job\">" + scriptSafe(json) + "</script>\n";
    html += dataScript("pof-points", base64Of(page.points));
    html += dataScript("pof-forms", base64Of(page.forms));
    html += dataScript("pof-arc-points", base64Of(page.arcPoints));
    html += dataScript("pof-axes", base64Of(page.axes));
    html += dataScript("pof-centres", base64Of(page.centres));
    html += dataScript("pof-sequence", base64Of(page.sequence));
    html += dataScript("pof-given", base64Of(page.given));
    html += dataScript("pof-arcs", base64Of(page.arcs));
    html += dataScript("pof-values", base64Of(page.values));
    html += dataScript("pof-workplanes", base64Of(page.workplanes));
    html += viewerPageTail();
    return html;
}

}  // namespace pofhost

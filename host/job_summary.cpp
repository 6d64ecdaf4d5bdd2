#include "job_summary.h"

#include <algorithm>
#include <cstdio>

#include "output_text.h"

namespace pofhost {

void JobRecorder::receive(char function, int key, const SignalRecord* record) {
    ++deliveries_;
    ++byKeyAndCode_[{key, record != nullptr ? record->code : -1}];
    if (key == PFR_KEY_TOOL) ++toolRecords_;
    if (record == nullptr) return;
    const std::size_t movesBefore = toolpath_.segments().size();
    switch (bodyFormOf(record->code)) {
    case BodyForm::Move:
    case BodyForm::Arc:
        if (key != PFR_KEY_MOVE) return;
        toolpath_.record(*record);
        moveDeliveries_.push_back(deliveries_);
        return;
    case BodyForm::Text:
        texts_.push_back({movesBefore, fieldText(record->body.text, PFR_SIGNAL_TEXT_SIZE)});
        return;
    case BodyForm::NameValue:
        break;
    case BodyForm::Unknown:
        return;
    }
    const std::string name = fieldText(record->body.nameValue.name, PFR_SIGNAL_NAME_SIZE);
    const std::string value = fieldText(record->body.nameValue.value, PFR_SIGNAL_VALUE_SIZE);
    if (key == PFR_KEY_TRANSFORM && name == "workplane") workplanes_.push_back(value);
    // Key 0 reaches functions A and B alike: one record, counted at A.
    if (key != PFR_KEY_EVENT || function != 'A' || record->code == PFR_CODE_FRAME_VALUE) return;
    ++eventCounts_[name];
    events_.push_back({movesBefore, name + " " + value});
    if (record->code == PFR_CODE_CYCLE) cycles_.push_back({movesBefore, value});
}

std::vector<std::string> reportedMethods(const std::string& appended) {
    // Lines of the form " methode = 'name'".
    static const std::string kOpen = " methode = '";
    std::vector<std::string> names;
    std::size_t at = 0;
    while (at < appended.size()) {
        std::size_t end = appended.find('\n', at);
        if (end == std::string::npos) end = appended.size();
        const std::string line = appended.substr(at, end - at);
        at = end + 1;
        if (line.size() < kOpen.size() + 1 || line.compare(0, kOpen.size(), kOpen) != 0 ||
            line.back() != '\'')
            continue;
        const std::string name = line.substr(kOpen.size(), line.size() - kOpen.size() - 1);
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    return names;
}

std::vector<DrawnMove> drawMoves(const std::vector<Segment>& moves) {
    std::vector<DrawnMove> drawn(moves.size());
    for (std::size_t i = 0; i < moves.size(); ++i) {
        const Segment& m = moves[i];
        if (m.kind == SegmentKind::Arc && !m.nonFinite)
            drawn[i].arc = spaceArc(m.from, m.to, m.centre, m.direction);
        drawn[i].length = m.nonFinite ? 0 : moveLength(m, drawn[i].arc);
    }
    return drawn;
}

JobSummary summarize(const JobRecorder& job, const std::vector<DrawnMove>& drawn, int result,
                     const std::vector<std::string>& methods) {
    JobSummary s;
    s.deliveries = job.deliveries();
    s.byKeyAndCode = job.byKeyAndCode();
    const std::vector<Segment>& moves = job.moves();
    s.moves = static_cast<long>(moves.size());
    for (std::size_t i = 0; i < moves.size(); ++i) {
        const Segment& m = moves[i];
        if (m.nonFinite) {
            ++s.nonFinite;
            continue;
        }
        s.extent.add(m.to);
        s.withToolAxis += m.hasAxis;
        if (m.kind == SegmentKind::Rapid) {
            ++s.rapid;
            s.rapidLength += drawn[i].length;
            continue;
        }
        s.feedLength += drawn[i].length;
        if (m.kind == SegmentKind::Feed) {
            ++s.feed;
        } else {
            ++s.arcs;
            ++(drawn[i].arc.circular ? s.circularArcs : s.chordArcs);
        }
    }
    s.toolRecords = job.toolRecords();
    s.methods = methods;
    s.texts = static_cast<long>(job.texts().size());
    s.events = job.eventCounts();
    s.workplanes = job.workplanes();
    for (const Marker& cycle : job.cycles()) s.cycles.push_back(cycle.text);
    s.result = result;
    return s;
}

namespace {

std::string fixed(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string quotedList(const std::vector<std::string>& items, bool json) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : json ? "," : ", ") + (json ? jsonString(item) : quoteText(item));
    return json ? "[" + out + "]" : out.empty() ? "none" : out;
}

const char* const kAxes[] = {"x", "y", "z"};

double axisOf(const Point3& p, int i) { return i == 0 ? p.x : i == 1 ? p.y : p.z; }

}  // namespace

std::string summaryText(const JobSummary& s) {
    std::string out = "summary\n";
    out += "deliveries " + std::to_string(s.deliveries) + "\n";
    for (const auto& [keyCode, count] : s.byKeyAndCode)
        out += "  key=" + std::to_string(keyCode.first) + " code=" +
               (keyCode.second < 0 ? std::string("none") : std::to_string(keyCode.second)) + " " +
               std::to_string(count) + "\n";
    out += "moves " + std::to_string(s.moves) + ": rapid " + std::to_string(s.rapid) + ", feed " +
           std::to_string(s.feed) + ", arc " + std::to_string(s.arcs) + " (circular " +
           std::to_string(s.circularArcs) + ", as chords " + std::to_string(s.chordArcs) + ")\n";
    out += "moves with tool axis " + std::to_string(s.withToolAxis) + "\n";
    out += "moves not finite (skipped) " + std::to_string(s.nonFinite) + "\n";
    if (s.extent.empty) {
        out += "extent none\n";
    } else {
        out += "extent";
        for (int i = 0; i < 3; ++i)
            out += std::string(i ? "," : "") + " " + kAxes[i] + " " + formatNumber(axisOf(s.extent.min, i)) +
                   " .. " + formatNumber(axisOf(s.extent.max, i));
        out += "\n";
    }
    out += "path length rapid " + fixed(s.rapidLength) + ", feed " + fixed(s.feedLength) + "\n";
    out += "tool records " + std::to_string(s.toolRecords) + ", methods " + quotedList(s.methods, false) + "\n";
    out += "texts " + std::to_string(s.texts) + "\n";
    out += "events";
    if (s.events.empty()) out += " none";
    bool first = true;
    for (const auto& [name, count] : s.events) {
        out += (first ? " " : ", ") + quoteText(name) + " " + std::to_string(count);
        first = false;
    }
    out += "\n";
    out += "workplanes " + std::to_string(s.workplanes.size()) + ": " + quotedList(s.workplanes, false) + "\n";
    out += "cycles " + quotedList(s.cycles, false) + "\n";
    out += "result " + std::to_string(s.result) + "\n";
    return out;
}

std::string summaryJson(const JobSummary& s) {
    std::string out = "{\"summary\":{\"deliveries\":" + std::to_string(s.deliveries) + ",\"byKeyAndCode\":[";
    bool first = true;
    for (const auto& [keyCode, count] : s.byKeyAndCode) {
        out += std::string(first ? "" : ",") + "{\"key\":" + std::to_string(keyCode.first) +
               ",\"code\":" + (keyCode.second < 0 ? "null" : std::to_string(keyCode.second)) +
               ",\"count\":" + std::to_string(count) + "}";
        first = false;
    }
    out += "],\"moves\":{\"total\":" + std::to_string(s.moves) + ",\"rapid\":" + std::to_string(s.rapid) +
           ",\"feed\":" + std::to_string(s.feed) + ",\"arc\":" + std::to_string(s.arcs) +
           ",\"circular\":" + std::to_string(s.circularArcs) + ",\"chord\":" +
           std::to_string(s.chordArcs) + ",\"withToolAxis\":" + std::to_string(s.withToolAxis) +
           ",\"nonFinite\":" + std::to_string(s.nonFinite) + "}";
    out += ",\"extent\":";
    if (s.extent.empty) {
        out += "null";
    } else {
        out += "{";
        for (int i = 0; i < 3; ++i)
            out += std::string(i ? "," : "") + "\"" + kAxes[i] + "\":[" + jsonNumber(axisOf(s.extent.min, i)) +
                   "," + jsonNumber(axisOf(s.extent.max, i)) + "]";
        out += "}";
    }
    out += ",\"length\":{\"rapid\":" + jsonNumber(s.rapidLength) + ",\"feed\":" + jsonNumber(s.feedLength) + "}";
    out += ",\"toolRecords\":" + std::to_string(s.toolRecords) + ",\"methods\":" + quotedList(s.methods, true);
    out += ",\"texts\":" + std::to_string(s.texts) + ",\"events\":{";
    first = true;
    for (const auto& [name, count] : s.events) {
        out += std::string(first ? "" : ",") + jsonString(name) + ":" + std::to_string(count);
        first = false;
    }
    out += "},\"workplanes\":" + quotedList(s.workplanes, true) + ",\"cycles\":" + quotedList(s.cycles, true) +
           ",\"result\":" + std::to_string(s.result) + "}}\n";
    return out;
}

}  // namespace pofhost

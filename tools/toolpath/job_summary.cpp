#include "toolpath/job_summary.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "text/output_text.h"

namespace pofhost {

DrawnMove drawMove(const Segment& move) {
    DrawnMove drawn;
    if (move.nonFinite) return drawn;
    if (move.kind == SegmentKind::Arc) drawn.arc = spaceArc(move);
    drawn.length = moveLength(move, drawn.arc);
    return drawn;
}

void MoveFigures::add(const Segment& move, const DrawnMove& drawn) {
    ++moves;
    if (move.nonFinite) {
        ++nonFinite;
        return;
    }
    extent.add(move.to);
    withToolAxis += move.hasAxis;
    lengthNotKnown += move.startKnown && !move.lengthKnown;
    if (move.kind == SegmentKind::Rapid) {
        ++rapid;
        rapidLength += drawn.length;
        return;
    }
    feedLength += drawn.length;
    if (move.kind == SegmentKind::Feed) {
        ++feed;
    } else {
        ++arcs;
        ++(drawn.arc.rule == ArcRule::NoStart ? startArcs : drawn.arc.circular ? circularArcs : chordArcs);
    }
}

void JobRecorder::receiveMove(char function, const SignalRecord& record) {
    Segment move;
    if (!follower_.follow(record, move)) return;
    move.function = function;
    const DrawnMove drawn = drawMove(move);
    figures_.add(move, drawn);
    if (!keepMoves_) return;
    moves_.push_back(move);
    if (!keepPage_) return;
    drawn_.push_back(drawn);
    moveDeliveries_.push_back(deliveries_);
}

void JobRecorder::receive(char function, int key, const SignalRecord* record) {
    ++deliveries_;
    ++byKeyAndCode_[{key, record != nullptr ? record->code : -1}];
    if (key == PFR_KEY_TOOL) ++toolRecords_;
    // The page lists every delivery as the host prints it; the moves' lines
    // it writes itself from their values.
    const bool isMove = record != nullptr && key == PFR_KEY_MOVE && isMoveCode(record->code);
    if (keepPage_ && !isMove)
        otherLines_.push_back({static_cast<std::size_t>(deliveries_),
                               record != nullptr ? formatDelivery(OutputFormat::Text, function, key, *record, shape_)
                                                 : std::string("fn") + function + " key=" + std::to_string(key) +
                                                       " (no record)\n"});
    if (record == nullptr) return;
    const auto movesBefore = static_cast<std::size_t>(figures_.moves);
    switch (bodyFormOf(record->code)) {
    case BodyForm::Move:
    case BodyForm::Arc:
        if (key == PFR_KEY_MOVE) receiveMove(function, *record);
        return;
    case BodyForm::Text:
        ++textCount_;
        if (keepPage_) texts_.push_back({movesBefore, fieldText(record->body.text, PFR_SIGNAL_TEXT_SIZE)});
        return;
    case BodyForm::NameValue:
        break;
    case BodyForm::Unknown:
        return;
    }
    const std::string name = fieldText(record->body.nameValue.name, PFR_SIGNAL_NAME_SIZE);
    const std::string value = fieldText(record->body.nameValue.value, PFR_SIGNAL_VALUE_SIZE);
    if (key == PFR_KEY_TRANSFORM) {
        if (name == "workplane") workplanes_.add(value);
        follower_.transformation(name, value);
    }
    if (key == PFR_KEY_EVENT && function == 'A' && record->code == PFR_CODE_CYCLE_END) follower_.cycleEnd();
    // Key 0 reaches functions A and B alike: one record, counted at A.
    if (key != PFR_KEY_EVENT || function != 'A' || record->code == PFR_CODE_FRAME_VALUE) return;
    ++eventCounts_[name];
    if (keepPage_) events_.push_back({movesBefore, name + " " + value});
    if (record->code != PFR_CODE_CYCLE) return;
    cycleTitles_.add(value);
    if (keepPage_) cycles_.push_back({movesBefore, value});
}

std::vector<std::string> reportedMethods(std::istream& appended) {
    // Lines of the form " methode = 'name'".
    static const std::string kOpen = " methode = '";
    std::vector<std::string> names;
    std::string line;
    while (std::getline(appended, line)) {
        if (line.size() < kOpen.size() + 1 || line.compare(0, kOpen.size(), kOpen) != 0 ||
            line.back() != '\'')
            continue;
        const std::string name = line.substr(kOpen.size(), line.size() - kOpen.size() - 1);
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    return names;
}

std::vector<std::string> reportedMethods(const std::string& appended) {
    std::istringstream lines(appended);
    return reportedMethods(lines);
}

JobSummary summarize(const JobRecorder& job, int result, const std::vector<std::string>& methods) {
    JobSummary s;
    s.deliveries = job.deliveries();
    s.byKeyAndCode = job.byKeyAndCode();
    s.figures = job.figures();
    s.toolRecords = job.toolRecords();
    s.methods = methods;
    s.texts = job.textCount();
    s.events = job.eventCounts();
    s.workplanes = &job.workplanes();
    s.cycles = &job.cycleTitles();
    s.result = result;
    return s;
}

namespace {

std::string fixed(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

// The texts one after another, each written as soon as it is read back.
void writeList(const TextSpool* items, bool json, const SummaryWriter& write) {
    bool first = true;
    if (json) write("[");
    if (items != nullptr)
        items->forEach([&](const std::string& item) {
            write((first ? "" : json ? "," : ", ") + (json ? jsonString(item) : quoteText(item)));
            first = false;
        });
    if (json) write("]");
    else if (first) write("none");
}

std::string quotedList(const std::vector<std::string>& items, bool json) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : json ? "," : ", ") + (json ? jsonString(item) : quoteText(item));
    return json ? "[" + out + "]" : out.empty() ? "none" : out;
}

long sizeOf(const TextSpool* items) { return items != nullptr ? items->size() : 0; }

const char* const kAxes[] = {"x", "y", "z"};

double axisOf(const Point3& p, int i) { return i == 0 ? p.x : i == 1 ? p.y : p.z; }

}  // namespace

void writeSummaryText(const JobSummary& s, const SummaryWriter& write) {
    const MoveFigures& f = s.figures;
    std::string out = "summary\n";
    out += "deliveries " + std::to_string(s.deliveries) + "\n";
    for (const auto& [keyCode, count] : s.byKeyAndCode)
        out += "  key=" + std::to_string(keyCode.first) + " code=" +
               (keyCode.second < 0 ? std::string("none") : std::to_string(keyCode.second)) + " " +
               std::to_string(count) + "\n";
    out += "moves " + std::to_string(f.moves) + ": rapid " + std::to_string(f.rapid) + ", feed " +
           std::to_string(f.feed) + ", arc " + std::to_string(f.arcs) + " (circular " +
           std::to_string(f.circularArcs) + ", as chords " + std::to_string(f.chordArcs) +
           (f.startArcs > 0 ? ", start not known " + std::to_string(f.startArcs) : std::string()) + ")\n";
    out += "moves with tool axis " + std::to_string(f.withToolAxis) + "\n";
    out += "moves not finite (skipped) " + std::to_string(f.nonFinite) + "\n";
    if (f.extent.empty) {
        out += "extent none\n";
    } else {
        out += "extent";
        for (int i = 0; i < 3; ++i)
            out += std::string(i ? "," : "") + " " + kAxes[i] + " " + formatNumber(axisOf(f.extent.min, i)) +
                   " .. " + formatNumber(axisOf(f.extent.max, i));
        out += "\n";
    }
    out += "path length rapid " + fixed(f.rapidLength) + ", feed " + fixed(f.feedLength);
    if (f.lengthNotKnown > 0)
        out += "; not known for " + std::to_string(f.lengthNotKnown) +
               " moves that start from a coordinate no move had sent";
    out += "\n";
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
    write(out + "workplanes " + std::to_string(sizeOf(s.workplanes)) + ": ");
    writeList(s.workplanes, false, write);
    write("\ncycles ");
    writeList(s.cycles, false, write);
    write("\nresult " + std::to_string(s.result) + "\n");
}

void writeSummaryJson(const JobSummary& s, const SummaryWriter& write) {
    const MoveFigures& f = s.figures;
    std::string out = "{\"summary\":{\"deliveries\":" + std::to_string(s.deliveries) + ",\"byKeyAndCode\":[";
    bool first = true;
    for (const auto& [keyCode, count] : s.byKeyAndCode) {
        out += std::string(first ? "" : ",") + "{\"key\":" + std::to_string(keyCode.first) +
               ",\"code\":" + (keyCode.second < 0 ? "null" : std::to_string(keyCode.second)) +
               ",\"count\":" + std::to_string(count) + "}";
        first = false;
    }
    out += "],\"moves\":{\"total\":" + std::to_string(f.moves) + ",\"rapid\":" + std::to_string(f.rapid) +
           ",\"feed\":" + std::to_string(f.feed) + ",\"arc\":" + std::to_string(f.arcs) +
           ",\"circular\":" + std::to_string(f.circularArcs) + ",\"chord\":" +
           std::to_string(f.chordArcs) + ",\"startNotKnown\":" + std::to_string(f.startArcs) +
           ",\"withToolAxis\":" + std::to_string(f.withToolAxis) +
           ",\"nonFinite\":" + std::to_string(f.nonFinite) + "}";
    out += ",\"extent\":";
    if (f.extent.empty) {
        out += "null";
    } else {
        out += "{";
        for (int i = 0; i < 3; ++i)
            out += std::string(i ? "," : "") + "\"" + kAxes[i] + "\":[" + jsonNumber(axisOf(f.extent.min, i)) +
                   "," + jsonNumber(axisOf(f.extent.max, i)) + "]";
        out += "}";
    }
    out += ",\"length\":{\"rapid\":" + jsonNumber(f.rapidLength) + ",\"feed\":" + jsonNumber(f.feedLength) +
           ",\"notKnown\":" + std::to_string(f.lengthNotKnown) + "}";
    out += ",\"toolRecords\":" + std::to_string(s.toolRecords) + ",\"methods\":" + quotedList(s.methods, true);
    out += ",\"texts\":" + std::to_string(s.texts) + ",\"events\":{";
    first = true;
    for (const auto& [name, count] : s.events) {
        out += std::string(first ? "" : ",") + jsonString(name) + ":" + std::to_string(count);
        first = false;
    }
    write(out + "},\"workplanes\":");
    writeList(s.workplanes, true, write);
    write(",\"cycles\":");
    writeList(s.cycles, true, write);
    write(",\"result\":" + std::to_string(s.result) + "}}\n");
}

std::string summaryText(const JobSummary& summary) {
    std::string out;
    writeSummaryText(summary, [&](const std::string& piece) { out += piece; });
    return out;
}

std::string summaryJson(const JobSummary& summary) {
    std::string out;
    writeSummaryJson(summary, [&](const std::string& piece) { out += piece; });
    return out;
}

}  // namespace pofhost

// What one run delivered, for the summary and the pictures: every delivery
// counted and the summary's figures taken as the moves arrive, in memory that
// does not grow with the file; the moves themselves, with the texts and
// events each came after, only when a picture asks for them.
#pragma once

#include <istream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "text/delivery_format.h"
#include "toolpath/toolpath.h"
#include "toolpath/text_spool.h"
#include "toolpath/toolpath_geometry.h"
#include <functional>

namespace pofhost {

// A text or event record and the number of moves delivered before it.
struct Marker {
    std::size_t movesBefore = 0;
    std::string text;
};

// How a move is drawn in space: its arc (arcs only) and its length.
struct DrawnMove {
    SpaceArc arc;
    double length = 0;
};

// The summary's figures of the moves, added up one move at a time.
struct MoveFigures {
    long moves = 0, rapid = 0, feed = 0, arcs = 0;
    long circularArcs = 0, chordArcs = 0;
    long startArcs = 0;       // the first move an arc: neither circle nor chord, its start not known
    long lengthNotKnown = 0;  // moves after the first that start from a coordinate not sent
    long withToolAxis = 0;
    long nonFinite = 0;  // moves with NaN or infinite values, not drawn
    Extent extent;       // of the targets
    double rapidLength = 0, feedLength = 0;  // arcs count as feed
    void add(const Segment& move, const DrawnMove& drawn);
};

DrawnMove drawMove(const Segment& move);

class JobRecorder {
public:
    // What a run keeps beyond its figures: nothing for the lines and the
    // summary; every move for the flat picture; for the page also each
    // move's delivery number and drawn shape, and every other delivery (its
    // line, and texts and events with the moves before them).
    enum class Keep { Nothing, Moves, Page };
    JobRecorder(const RecordShape& shape, Keep keep)
        : shape_(shape), follower_(shape.arcHasThirdZ), keepMoves_(keep != Keep::Nothing),
          keepPage_(keep == Keep::Page) {}

    // Every delivery, as the host function `function` ('A' to 'C') received
    // it under `key`; `record` may be null.
    void receive(char function, int key, const SignalRecord* record);

    long deliveries() const { return deliveries_; }
    // Deliveries by key and code; a delivery without a record counts under code -1.
    const std::map<std::pair<int, int>, long>& byKeyAndCode() const { return byKeyAndCode_; }
    const MoveFigures& figures() const { return figures_; }
    long textCount() const { return textCount_; }
    long toolRecords() const { return toolRecords_; }
    const std::map<std::string, long>& eventCounts() const { return eventCounts_; }
    // The values of "workplane" transformation records and the titles of
    // "cycle" events, in order.
    const TextSpool& workplanes() const { return workplanes_; }
    const TextSpool& cycleTitles() const { return cycleTitles_; }

    // Kept with Keep::Moves and Keep::Page, else empty.
    const std::vector<Segment>& moves() const { return moves_; }
    // From here on kept only with Keep::Page, else empty.
    const std::vector<DrawnMove>& drawn() const { return drawn_; }
    // The sequence number of each move's delivery, counted from 1 over all deliveries.
    const std::vector<long>& moveDeliveries() const { return moveDeliveries_; }
    const std::vector<Marker>& texts() const { return texts_; }
    // Records of key 0 other than frame values: "cycle", "break" and so on,
    // as "name value".
    const std::vector<Marker>& events() const { return events_; }
    const std::vector<Marker>& cycles() const { return cycles_; }
    // Every delivery that is no move, as pofhost prints it, with its
    // delivery number in `movesBefore`.
    const std::vector<Marker>& otherLines() const { return otherLines_; }
    const RecordShape& shape() const { return shape_; }

private:
    void receiveMove(char function, const SignalRecord& record);

    RecordShape shape_;
    ToolpathFollower follower_;
    bool keepMoves_;
    bool keepPage_;
    long deliveries_ = 0;
    std::map<std::pair<int, int>, long> byKeyAndCode_;
    MoveFigures figures_;
    long textCount_ = 0;
    long toolRecords_ = 0;
    std::map<std::string, long> eventCounts_;
    TextSpool workplanes_, cycleTitles_;
    std::vector<Segment> moves_;
    std::vector<DrawnMove> drawn_;
    std::vector<long> moveDeliveries_;
    std::vector<Marker> texts_, events_, cycles_, otherLines_;
};

// The method names in what the cycle appended to its method report file
// during the run, each once, in the order of first appearance; read a line
// at a time, so the report's size does not matter.
std::vector<std::string> reportedMethods(std::istream& appended);
std::vector<std::string> reportedMethods(const std::string& appended);

struct JobSummary {
    long deliveries = 0;
    std::map<std::pair<int, int>, long> byKeyAndCode;
    MoveFigures figures;
    long toolRecords = 0;
    std::vector<std::string> methods;
    long texts = 0;
    std::map<std::string, long> events;
    // The job's lists, read when the summary is written: the recorder must
    // outlive the summary.
    const TextSpool* workplanes = nullptr;
    const TextSpool* cycles = nullptr;
    int result = 0;
};

JobSummary summarize(const JobRecorder& job, int result, const std::vector<std::string>& methods);

// The summary as text lines, or as one JSON object on one line, handed to
// `write` a piece at a time; or all of it as one string.
using SummaryWriter = std::function<void(const std::string&)>;
void writeSummaryText(const JobSummary& summary, const SummaryWriter& write);
void writeSummaryJson(const JobSummary& summary, const SummaryWriter& write);
std::string summaryText(const JobSummary& summary);
std::string summaryJson(const JobSummary& summary);

}  // namespace pofhost

// What one run delivered, kept for the summary and the 3D page: every
// delivery counted, the moves followed through space, and the texts and
// events each move came after.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "delivery_format.h"
#include "toolpath_geometry.h"
#include "toolpath_svg.h"

namespace pofhost {

// A text or event record and the number of moves delivered before it.
struct Marker {
    std::size_t movesBefore = 0;
    std::string text;
};

class JobRecorder {
public:
    explicit JobRecorder(const RecordShape& shape) : toolpath_(shape.arcHasThirdZ) {}

    // Every delivery, as the host function `function` ('A' to 'C') received
    // it under `key`; `record` may be null.
    void receive(char function, int key, const SignalRecord* record);

    long deliveries() const { return deliveries_; }
    // Deliveries by key and code; a delivery without a record counts under code -1.
    const std::map<std::pair<int, int>, long>& byKeyAndCode() const { return byKeyAndCode_; }
    const std::vector<Segment>& moves() const { return toolpath_.segments(); }
    // The sequence number of each move's delivery, counted from 1 over all deliveries.
    const std::vector<long>& moveDeliveries() const { return moveDeliveries_; }
    const std::vector<Marker>& texts() const { return texts_; }
    // Records of key 0 other than frame values: "cycle", "break" and so on,
    // as "name value".
    const std::vector<Marker>& events() const { return events_; }
    const std::vector<Marker>& cycles() const { return cycles_; }
    const std::vector<std::string>& workplanes() const { return workplanes_; }
    long toolRecords() const { return toolRecords_; }
    const std::map<std::string, long>& eventCounts() const { return eventCounts_; }

private:
    ToolpathRecorder toolpath_;
    long deliveries_ = 0;
    std::map<std::pair<int, int>, long> byKeyAndCode_;
    std::vector<long> moveDeliveries_;
    std::vector<Marker> texts_, events_, cycles_;
    std::vector<std::string> workplanes_;
    long toolRecords_ = 0;
    std::map<std::string, long> eventCounts_;
};

// The method names in what the cycle appended to its method report file
// during the run, each once, in the order of first appearance.
std::vector<std::string> reportedMethods(const std::string& appended);

// How each move is drawn, and the figures of the summary.
struct DrawnMove {
    SpaceArc arc;  // arcs only
    double length = 0;
};

struct JobSummary {
    long deliveries = 0;
    std::map<std::pair<int, int>, long> byKeyAndCode;
    long moves = 0, rapid = 0, feed = 0, arcs = 0;
    long circularArcs = 0, chordArcs = 0;
    long withToolAxis = 0;
    long nonFinite = 0;  // moves with NaN or infinite values, not drawn
    Extent extent;       // of the targets
    double rapidLength = 0, feedLength = 0;  // arcs count as feed
    long toolRecords = 0;
    std::vector<std::string> methods;
    long texts = 0;
    std::map<std::string, long> events;
    std::vector<std::string> workplanes;
    std::vector<std::string> cycles;
    int result = 0;
};

JobSummary summarize(const JobRecorder& job, const std::vector<DrawnMove>& drawn, int result,
                     const std::vector<std::string>& methods);
std::vector<DrawnMove> drawMoves(const std::vector<Segment>& moves);

// The summary as text lines, or as one JSON object on one line.
std::string summaryText(const JobSummary& summary);
std::string summaryJson(const JobSummary& summary);

}  // namespace pofhost

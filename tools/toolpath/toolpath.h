// The toolpath model the pictures and the summary share: the moves of key 31
// as the host received them, each from where the previous one ended.
#pragma once

#include <vector>

#include "pofreader/pofreader.h"

namespace pofhost {

struct Point3 {
    double x = 0, y = 0, z = 0;
};

enum class SegmentKind { Rapid, Feed, Arc };

struct Segment {
    SegmentKind kind = SegmentKind::Feed;
    int code = 0;       // the record's code, 3107 to 3122
    Point3 from;
    Point3 to;
    Point3 centre;      // arcs: the third values
    int direction = 0;  // arcs: 1 for "-" (clockwise), 0 for "+"
    bool hasAxis = false;  // the move gave u, v or w
    Point3 axis;           // the tool axis after the move
    // The record held NaN or an infinite value. Such a move is not drawn and
    // leaves the position (and tool axis) where the previous move put them.
    bool nonFinite = false;
};

// An arc's third values are taken as its centre when they lie equally far
// from its start and its end: within kArcToleranceRelative of the radius, or
// kArcToleranceAbsolute for small arcs; a radius of kArcToleranceAbsolute or
// less is no circle. The flat picture, the page and the summary all use it.
inline constexpr double kArcToleranceRelative = 1e-3;
inline constexpr double kArcToleranceAbsolute = 1e-4;

// Follows the moves as the host sees them, keeping nothing but where the
// tool is. A straight move gives only some coordinates; the others stay where
// the previous move left them, starting from the origin as the reader does.
// The tool axis is followed the same way, starting along z.
class ToolpathFollower {
public:
    explicit ToolpathFollower(bool arcHasThirdZ) : arcHasThirdZ_(arcHasThirdZ) {}
    // Takes a record of key 31: false for a code that is no move, else the
    // move in `segment`.
    bool follow(const SignalRecord& record, Segment& segment);

private:
    bool arcHasThirdZ_;
    Point3 position_;
    Point3 axis_{0, 0, 1};
};

// The whole toolpath kept, for the pictures that need every move at once.
class ToolpathRecorder {
public:
    explicit ToolpathRecorder(bool arcHasThirdZ) : follower_(arcHasThirdZ) {}
    void record(const SignalRecord& record) {
        Segment segment;
        if (follower_.follow(record, segment)) segments_.push_back(segment);
    }
    const std::vector<Segment>& segments() const { return segments_; }

private:
    ToolpathFollower follower_;
    std::vector<Segment> segments_;
};

}  // namespace pofhost

// The toolpath model the pictures and the summary share: the moves of key 31
// as the host received them, each from where the previous one ended.
#pragma once

#include <string>
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
    // leaves the position (and tool axis) where the previous move put them;
    // its `to`, `axis` and `centre` hold what it delivered.
    bool nonFinite = false;
    // Straight moves: the given flags, x y z u v w from bit 0.
    unsigned char given = 0;
    char function = 'A';  // the host function it reached
    // The first move: the reader starts it from the origin, but where the
    // tool stood before it no record says, so it has no known start.
    bool startKnown = true;
    // False when the move gives a coordinate no earlier move had sent: where
    // it starts in that coordinate no record says, so neither does its length.
    bool lengthKnown = true;
    // The workplane the transformation records had made active before the
    // move: kWorkplaneXY or kWorkplaneZX.
    int workplane = 17;
    // False in the earlier revision, whose arcs do not carry a third z:
    // `centre.z` is then the start's z, a stand-in and no delivered value.
    bool centreZSent = true;
};

// The workplanes as the cycle numbers them; no record selects a third one.
inline constexpr int kWorkplaneXY = 17;
inline constexpr int kWorkplaneZX = 18;

// An arc's third values are taken as its centre when they lie equally far
// from its start and its end: within kArcToleranceRelative of the radius, or
// kArcToleranceAbsolute for small arcs; a radius of kArcToleranceAbsolute or
// less is no circle. The flat picture, the page and the summary all use it.
inline constexpr double kArcToleranceRelative = 1e-3;
inline constexpr double kArcToleranceAbsolute = 1e-4;

// Follows the moves as the host sees them, keeping nothing but where the
// tool is and which workplane is active. A straight move gives only some
// coordinates; the others stay where the previous move left them, starting
// from the origin as the reader does. The tool axis is followed the same
// way, starting along z. The workplane follows the transformation records
// the host received before the move, as the cycle's reader follows them:
// "workplane" with "XY" or "ZX" sets the pending plane, "tr" with
// "workplane" activates it, and a "cycleEnd" event returns both to XY.
class ToolpathFollower {
public:
    explicit ToolpathFollower(bool arcHasThirdZ) : arcHasThirdZ_(arcHasThirdZ) {}
    // Takes a record of key 31: false for a code that is no move, else the
    // move in `segment`.
    bool follow(const SignalRecord& record, Segment& segment);
    // A record of key 10, by its name and value.
    void transformation(const std::string& name, const std::string& value);
    // A "cycleEnd" event record.
    void cycleEnd() { pendingWorkplane_ = activeWorkplane_ = kWorkplaneXY; }

private:
    bool arcHasThirdZ_;
    bool started_ = false;
    unsigned char sent_ = 0;  // the coordinates some move has given, x y z from bit 0
    Point3 position_;
    Point3 axis_{0, 0, 1};
    int pendingWorkplane_ = kWorkplaneXY, activeWorkplane_ = kWorkplaneXY;
};

// The whole toolpath kept, for the pictures that need every move at once.
class ToolpathRecorder {
public:
    explicit ToolpathRecorder(bool arcHasThirdZ) : follower_(arcHasThirdZ) {}
    void record(const SignalRecord& record) {
        Segment segment;
        if (follower_.follow(record, segment)) segments_.push_back(segment);
    }
    ToolpathFollower& follower() { return follower_; }
    const std::vector<Segment>& segments() const { return segments_; }

private:
    ToolpathFollower follower_;
    std::vector<Segment> segments_;
};

}  // namespace pofhost

#include "toolpath/toolpath.h"

#include <cmath>

namespace pofhost {

bool ToolpathFollower::follow(const SignalRecord& record, Segment& segment) {
    segment = Segment();
    segment.code = record.code;
    segment.from = position_;
    segment.to = position_;
    segment.axis = axis_;
    segment.workplane = activeWorkplane_;
    segment.centreZSent = arcHasThirdZ_;
    double given[9];
    int count = 0;
    switch (record.code) {
    case PFR_CODE_RAPID:
    case PFR_CODE_RAPID_AXIS:
    case PFR_CODE_FEED:
    case PFR_CODE_FEED_AXIS: {
        const SignalMove& move = record.body.move;
        segment.kind = record.code == PFR_CODE_RAPID || record.code == PFR_CODE_RAPID_AXIS
                           ? SegmentKind::Rapid
                           : SegmentKind::Feed;
        if (move.xGiven) segment.to.x = given[count++] = move.targetX;
        if (move.yGiven) segment.to.y = given[count++] = move.targetY;
        if (move.zGiven) segment.to.z = given[count++] = move.targetZ;
        if (move.uGiven) segment.axis.x = given[count++] = move.u;
        if (move.vGiven) segment.axis.y = given[count++] = move.v;
        if (move.wGiven) segment.axis.z = given[count++] = move.w;
        segment.hasAxis = move.uGiven || move.vGiven || move.wGiven;
        segment.given = static_cast<unsigned char>((move.xGiven ? 1 : 0) | (move.yGiven ? 2 : 0) |
                                                   (move.zGiven ? 4 : 0) | (move.uGiven ? 8 : 0) |
                                                   (move.vGiven ? 16 : 0) | (move.wGiven ? 32 : 0));
        break;
    }
    case PFR_CODE_ARC:
    case PFR_CODE_ARC_NORMAL: {
        const SignalArc& arc = record.body.arc;
        segment.kind = SegmentKind::Arc;
        segment.to = {arc.targetX, arc.targetY, arc.targetZ};
        // The earlier revision leaves the third z unwritten; its reader keeps
        // the previous z there unless the file says otherwise.
        segment.centre = {arc.thirdX, arc.thirdY, arcHasThirdZ_ ? arc.thirdZ : position_.z};
        segment.direction = arc.direction;
        for (const double value : {segment.to.x, segment.to.y, segment.to.z, segment.centre.x,
                                   segment.centre.y, segment.centre.z})
            given[count++] = value;
        break;
    }
    default:
        return false;
    }
    for (int i = 0; i < count; ++i) segment.nonFinite |= !std::isfinite(given[i]);
    if (segment.nonFinite) return true;
    segment.startKnown = started_;
    const unsigned char moved = segment.kind == SegmentKind::Arc ? 7 : segment.given & 7;
    segment.lengthKnown = started_ && (moved & ~sent_) == 0;
    sent_ |= moved;
    started_ = true;
    position_ = segment.to;
    axis_ = segment.axis;
    return true;
}

void ToolpathFollower::transformation(const std::string& name, const std::string& value) {
    if (name == "tr") {
        if (value == "workplane") activeWorkplane_ = pendingWorkplane_;
    } else if (name == "workplane") {
        if (value == "XY") pendingWorkplane_ = kWorkplaneXY;
        else if (value == "ZX") pendingWorkplane_ = kWorkplaneZX;
    }
}

}  // namespace pofhost

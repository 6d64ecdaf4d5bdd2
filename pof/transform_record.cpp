// Transformation records (type 10): every name(value) goes to the host under
// key 10; "workplane" and "tr" also steer the plane in which arcs lie.
#include <cstring>
#include <strings.h>

#include "common/char_classes.h"

#include "common/common.h"
#include "common/diagnostics.h"
#include "common/limits.h"
#include "frame/frame.h"
#include "pof/pof.h"

namespace pofreader {

namespace {

#ifndef POFREADER_REVISION_700
// A "tr" value that is "workplane" but for blanks or case: it activates nothing.
[[gnu::cold]] void noteTrValue(const char* value) {
    const char* start = value;
    while (isBlank(*start)) ++start;
    std::size_t length = std::strlen(start);
    while (length > 0 && isBlank(start[length - 1])) --length;
    if (length == 9 && strncasecmp(start, "workplane", 9) == 0) diagnoseText(kDiagTrValue, value);
}

// Only the exact spellings select a plane; anything else leaves it.
void setPendingWorkplane(const char* value, PofReaderState& state) {
    if (std::strcmp(value, "XY") == 0) state.pendingWorkplane = kWorkplaneXY;
    else if (std::strcmp(value, "ZX") == 0) state.pendingWorkplane = kWorkplaneZX;
    else if (diagnosticSink != nullptr) diagnoseText(kDiagWorkplaneValue, value);
}
#endif

}  // namespace

// The record is sent before any workplane changes, so the host sees it ahead
// of every arc it affects. Revision 7.00 sends it and changes nothing.
void handleTransformRecord(const char* payload, PofReaderState& state) {
    char name[kSplitNameSize];
    char value[kSplitValueSize];
    if (!splitNameValue(payload, name, sizeof name, value, sizeof value))
        return diagnose(kDiagTransformNoSplit);
    sendNamedValue(state.context, name, value);
#ifndef POFREADER_REVISION_700
    if (std::strcmp(name, "tr") == 0) {
        if (std::strcmp(value, "workplane") == 0) state.activeWorkplane = state.pendingWorkplane;
        else if (diagnosticSink != nullptr) noteTrValue(value);
    } else if (std::strcmp(name, "workplane") == 0) {
        setPendingWorkplane(value, state);
    }
#endif
}

}  // namespace pofreader

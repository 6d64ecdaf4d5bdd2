// Event records (type 0): cycle start and end, breaks, errors, the message
// file and frame values, sent to the host as name and value under key 0.
#include <cstring>
#include <iterator>

#include "common/common.h"
#include "common/diagnostics.h"
#include "common/limits.h"
#include "frame/frame.h"
#include "pof/pof.h"

namespace pofreader {

namespace {

// A name the host receives, with its code. A prefix row matches every name
// that begins with it, the prefix itself included. Rows not in the earlier
// revision are dropped there like any unknown name.
struct EventName {
    const char* name;
    int32_t code;
    bool prefix;
    bool inEarlier;
};

constexpr EventName kEventNames[] = {
    {"frameCs_x", PFR_CODE_FRAME_VALUE, false, true},
    {"frameCs_y", PFR_CODE_FRAME_VALUE, false, true},
    {"frameCs_z", PFR_CODE_FRAME_VALUE, false, true},
    {"frameCs_o", PFR_CODE_FRAME_VALUE, false, true},
    {"locFrameCs_x", PFR_CODE_FRAME_VALUE, false, false},
    {"locFrameCs_y", PFR_CODE_FRAME_VALUE, false, false},
    {"locFrameCs_z", PFR_CODE_FRAME_VALUE, false, false},
    {"locFrameCs_o", PFR_CODE_FRAME_VALUE, false, false},
    {"reference_o", PFR_CODE_FRAME_VALUE, false, false},
    {"trans_", PFR_CODE_FRAME_VALUE, true, false},
    {"wpCs_", PFR_CODE_FRAME_VALUE, true, false},
    {"error", PFR_CODE_ERROR, false, true},
    {"break", PFR_CODE_BREAK, false, true},
    {"cycle", PFR_CODE_CYCLE, false, true},
    {"cycleEnd", PFR_CODE_CYCLE_END, false, true},
    {"msgFile", PFR_CODE_MSG_FILE, false, true},
};
static_assert(std::size(kEventNames) == 16);

bool nameMatchesAnyRevision(const EventName& row, const char* name) {
    if (row.prefix) return std::strncmp(name, row.name, std::strlen(row.name)) == 0;
    return std::strcmp(name, row.name) == 0;
}

bool nameMatches(const EventName& row, const char* name) {
    if (kEarlierRevision && !row.inEarlier) return false;
    return nameMatchesAnyRevision(row, name);
}

// The code of `name`, or 0 when the host does not receive it.
int32_t eventCode(const char* name) {
    for (const EventName& row : kEventNames)
        if (nameMatches(row, name)) return row.code;
    return 0;
}

// A name this revision drops: one the current revision knows is a known
// difference, any other name a likely mistake.
[[gnu::cold]] void noteUnknownEvent(const char* name) {
    if (diagnosticSink == nullptr) return;
    bool later = false;
    for (const EventName& row : kEventNames) later = later || nameMatchesAnyRevision(row, name);
    diagnoseText(later ? kDiagEventOfLaterRevision : kDiagEventUnknown, name);
}

}  // namespace

void handleEventRecord(const char* payload, PofReaderState& state) {
    char name[kSplitNameSize];
    char value[kSplitValueSize];
    if (!splitNameValue(payload, name, sizeof name, value, sizeof value))
        return diagnose(kDiagEventNoSplit);
    const int32_t code = eventCode(name);
    if (code == 0) return noteUnknownEvent(name);
#ifndef POFREADER_REVISION_700
    // A new cycle of the toolpath starts in the XY plane.
    if (code == PFR_CODE_CYCLE_END) {
        state.pendingWorkplane = kWorkplaneXY;
        state.activeWorkplane = kWorkplaneXY;
    }
#endif
    setNameValue(state.record, code, name, value);
    sendSignal(state.context, PFR_KEY_EVENT, state.record);
}

}  // namespace pofreader

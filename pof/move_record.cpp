// Move records (type 31): straight moves and arcs, completed from the
// previous position and tool axis, sent under key 31.
#include "common/common.h"
#include "common/diagnostics.h"
#include "frame/frame.h"
#include "pof/pof.h"

namespace pofreader {

namespace {

// Presets the words from the reader state: what a record does not give keeps
// its previous value.
void presetWords(const PofReaderState& state, MoveWords& words) {
    words.targetX = words.thirdX = state.x;
    words.targetY = words.thirdY = state.y;
    words.targetZ = words.thirdZ = state.z;
    words.u = state.u;
    words.v = state.v;
    words.w = state.w;
}

int32_t arcCode(const MoveWords& words, const PofReaderState& state) {
#ifdef POFREADER_REVISION_700
    (void)state;
    return words.zGiven == 1 ? PFR_CODE_ARC_NORMAL : PFR_CODE_ARC;
#else
    // The axis normal to the active workplane: y for ZX, z otherwise.
    const int32_t normalGiven = state.activeWorkplane == kWorkplaneZX ? words.yGiven : words.zGiven;
    return normalGiven == 1 ? PFR_CODE_ARC_NORMAL : PFR_CODE_ARC;
#endif
}

void writeArc(SignalRecord& record, const MoveWords& words, const PofReaderState& state) {
    record.code = arcCode(words, state);
    SignalArc& arc = record.body.arc;
    arc.direction = words.kind == kKindArcMinus ? 1 : 0;
    arc.targetX = words.targetX;
    arc.targetY = words.targetY;
    arc.targetZ = words.targetZ;
    arc.thirdX = words.thirdX;
    arc.thirdY = words.thirdY;
    if constexpr (!kEarlierRevision) arc.thirdZ = words.thirdZ;
}

// Only the given flags and the values they mark carry meaning; the rest of the
// record is left as it stands.
void writeStraight(SignalRecord& record, const MoveWords& words) {
    const bool axisGiven = words.uGiven == 1 || words.vGiven == 1 || words.wGiven == 1;
    if (words.kind == kKindRapid)
        record.code = axisGiven ? PFR_CODE_RAPID_AXIS : PFR_CODE_RAPID;
    else
        record.code = axisGiven ? PFR_CODE_FEED_AXIS : PFR_CODE_FEED;
    SignalMove& move = record.body.move;
    move.xGiven = words.xGiven;
    move.yGiven = words.yGiven;
    move.zGiven = words.zGiven;
    move.uGiven = words.uGiven;
    move.vGiven = words.vGiven;
    move.wGiven = words.wGiven;
    if (words.xGiven == 1) move.targetX = words.targetX;
    if (words.yGiven == 1) move.targetY = words.targetY;
    if (words.zGiven == 1) move.targetZ = words.targetZ;
    if (words.uGiven == 1) move.u = words.u;
    if (words.vGiven == 1) move.v = words.v;
    if (words.wGiven == 1) move.w = words.w;
}

// Why a parsed record is not sent, unless the parser already said so.
[[gnu::cold]] void noteMoveDropped(int32_t kind) {
    if (diagnosticSink == nullptr || takeRecordExplained()) return;
    diagnose(kind == kKindArcOpen ? kDiagMoveArcOpen : kDiagMoveNoKind);
}

}  // namespace

void handleMoveRecord(const char* payload, PofReaderState& state) {
    // ---- Preset and parse: a rejected record changes nothing.
    MoveWords words;
    presetWords(state, words);
    const int32_t kind = parseMove(payload, state.payloadLength, words);
    // The kind is read again from the words there, so that nothing is kept
    // aside for the rare refusal.
    if (kind < kKindRapid || kind > kKindArcPlus) return noteMoveDropped(words.kind);

    // ---- Send.
    SignalRecord& record = *state.record;
    if (kind == kKindArcMinus || kind == kKindArcPlus)
        writeArc(record, words, state);
    else
        writeStraight(record, words);
    sendSignal(state.context, PFR_KEY_MOVE, &record);

    // ---- Advance.
    state.x = words.targetX;
    state.y = words.targetY;
    state.z = words.targetZ;
    state.u = words.u;
    state.v = words.v;
    state.w = words.w;
}

}  // namespace pofreader

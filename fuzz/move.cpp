// Move payloads, one per line, through the move record handler with one
// reader state, as a POF file's moves reach it; both move grammars also run
// on every payload on their own. A line that starts with '#' is a
// transformation record instead, so that workplane changes reach the arcs.
//
// Checked: a move sends at most one signal, in the move form with a move
// code and 0/1 flags; a rejected move leaves the reader state exactly as it
// was; a sent move leaves the state at the values it sent.
#include <algorithm>
#include <cstring>

#include "common/limits.h"
#include "frame/frame.h"
#include "fuzz_support.h"
#include "pof/pof.h"
#include "tests/support/move_grammars.h"

namespace {

using namespace pofreader;

struct Seen {
    int deliveries = 0;
    SignalRecord last{};
};
Seen seen;

int receive(CycleContext*, SignalRecord* record) {
    ++seen.deliveries;
    std::memcpy(&seen.last, record, sizeof seen.last);
    return 1;
}

bool flag(int32_t given) { return given == 0 || given == 1; }
bool same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void checkWords(int32_t kind, const MoveWords& w) {
    FUZZ_CHECK(kind >= kKindArcOpen && kind <= kKindArcPlus);
    FUZZ_CHECK(flag(w.xGiven) && flag(w.yGiven) && flag(w.zGiven));
    FUZZ_CHECK(flag(w.uGiven) && flag(w.vGiven) && flag(w.wGiven));
}

// Both grammars on their own, from a preset that marks untouched values.
void parseBothGrammars(const char* payload) {
    MoveWords words{};
    words.targetX = words.targetY = words.targetZ = 1.5;
    words.thirdX = words.thirdY = words.thirdZ = 2.5;
    words.u = words.v = words.w = 3.5;
    MoveWords current = words;
    const int32_t currentKind = testing_support::parseCurrentGrammar(payload, current);
    checkWords(currentKind, current);
    if (current.xGiven == 0) FUZZ_CHECK(same(current.targetX, 1.5));
    if (current.uGiven == 0) FUZZ_CHECK(same(current.u, 3.5));
    MoveWords earlier = words;
    const int32_t earlierKind = testing_support::parseEarlierGrammar(payload, earlier);
    checkWords(earlierKind, earlier);
    if (earlier.uGiven == 0) FUZZ_CHECK(same(earlier.u, 3.5));
}

// The form first, then the values: a sent move carries the state it leaves.
void checkSent(const SignalRecord& r, const PofReaderState& s) {
    fuzz_support::checkMoveForm(r);
    if (r.code == PFR_CODE_ARC || r.code == PFR_CODE_ARC_NORMAL) {
        const SignalArc& a = r.body.arc;
        FUZZ_CHECK(same(a.targetX, s.x) && same(a.targetY, s.y) && same(a.targetZ, s.z));
        return;
    }
    const SignalMove& m = r.body.move;
    const bool axis = m.uGiven == 1 || m.vGiven == 1 || m.wGiven == 1;
    FUZZ_CHECK(axis == (r.code == PFR_CODE_RAPID_AXIS || r.code == PFR_CODE_FEED_AXIS));
    if (m.xGiven == 1) FUZZ_CHECK(same(m.targetX, s.x));
    if (m.yGiven == 1) FUZZ_CHECK(same(m.targetY, s.y));
    if (m.zGiven == 1) FUZZ_CHECK(same(m.targetZ, s.z));
    if (m.uGiven == 1) FUZZ_CHECK(same(m.u, s.u));
    if (m.vGiven == 1) FUZZ_CHECK(same(m.v, s.v));
    if (m.wGiven == 1) FUZZ_CHECK(same(m.w, s.w));
}

bool sameState(const PofReaderState& a, const PofReaderState& b) {
    return same(a.x, b.x) && same(a.y, b.y) && same(a.z, b.z) && same(a.u, b.u) &&
           same(a.v, b.v) && same(a.w, b.w)
#ifndef POFREADER_REVISION_700
           && a.pendingWorkplane == b.pendingWorkplane && a.activeWorkplane == b.activeWorkplane
#endif
        ;
}

CycleContext* movesContext() {
    static PofCycleContext record{};
    static bool registered = false;
    if (!registered) {
        registerSignal(&record.shared, PFR_KEY_TRANSFORM, receive, receive, 1);
        registerSignal(&record.shared, PFR_KEY_MOVE, receive, receive, 1);
        registered = true;
    }
    return &record.shared;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CycleContext* ctx = movesContext();
    SignalRecord record{};
    PofReaderState state = makeReaderState(ctx, &record);
    char* text = fuzz_support::terminatedCopy(data, size);
    char payload[kPayloadBufferSize];

    for (char* line = text; line != nullptr && *line != '\0';) {
        char* next = std::strchr(line, '\n');
        const size_t length = next != nullptr ? static_cast<size_t>(next - line) : std::strlen(line);
        // What the record reader hands on: at most the payload limit.
        const size_t kept = std::min(length, static_cast<size_t>(kPayloadLimit));
        std::memcpy(payload, line, kept);
        payload[kept] = '\0';
        line = next != nullptr ? next + 1 : nullptr;

        const PofReaderState before = state;
        const int deliveries = seen.deliveries;
        if (payload[0] == '#') {
            handleTransformRecord(payload + 1, state);
            FUZZ_CHECK(seen.deliveries - deliveries <= 1);
            if (seen.deliveries != deliveries) {
                FUZZ_CHECK(seen.last.code == PFR_CODE_NAMED_VALUE);
                FUZZ_CHECK(fuzz_support::terminatedWithin(seen.last.body.nameValue.name, kSignalNameSize));
                FUZZ_CHECK(fuzz_support::terminatedWithin(seen.last.body.nameValue.value, kSignalValueSize));
            }
            continue;
        }
        parseBothGrammars(payload);
        handleMoveRecord(payload, state);
        FUZZ_CHECK(seen.deliveries - deliveries <= 1);
        if (seen.deliveries == deliveries)
            FUZZ_CHECK(sameState(before, state));
        else
            checkSent(seen.last, state);
    }
    delete[] text;
    return 0;
}

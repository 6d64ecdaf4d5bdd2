// A host-built cycle record for unit tests of the frame: every phase slot is a
// scripted function that logs its call and returns the result the test chose,
// and every event goes to a log in the same order as the calls.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "frame/frame.h"

namespace frame_test {

// Slot numbers, in slot order.
enum Slot : int {
    kArguments, kStart, kConfig, kConfigCfg, kFlagV, kFlagQ, kFlagP, kFlagA, kFlagY, kFlagD,
    kMain1, kMain1Cfg, kMain2, kMain3, kMain4, kEnd, kSlotCount
};

class ScriptedCycle {
public:
    ScriptedCycle();
    ~ScriptedCycle();
    ScriptedCycle(const ScriptedCycle&) = delete;
    ScriptedCycle& operator=(const ScriptedCycle&) = delete;

    CycleContext* ctx() { return &record.shared; }

    // The record, laid out as the POF cycle's so that inherited POF phases
    // could use it too.
    PofCycleContext record{};
    int results[kSlotCount];
    // Called instead of returning results[slot] when set.
    int (*hook[kSlotCount])(CycleContext*) = {};
    // What happened, in order: "event 311", "slot 1", ...
    std::vector<std::string> trace;
    std::vector<int> slotCalls() const;
    std::vector<int> events() const;

    static ScriptedCycle* current;

private:
    static int logEvent(CycleContext* ctx, int event, void* user);
};

// Frees what a run left in a record that did not end with cleanupCycle.
void releaseRun(CycleContext* ctx);

}  // namespace frame_test

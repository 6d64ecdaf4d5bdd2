#include "scripted_cycle.h"

#include "common/common.h"
#include "config/config.h"

namespace frame_test {

ScriptedCycle* ScriptedCycle::current = nullptr;

namespace {

template <int kSlot>
int scriptedPhase(CycleContext* ctx) {
    ScriptedCycle& cycle = *ScriptedCycle::current;
    cycle.trace.push_back("slot " + std::to_string(kSlot));
    if (cycle.hook[kSlot] != nullptr) return cycle.hook[kSlot](ctx);
    return cycle.results[kSlot];
}

template <std::size_t... kSlots>
void installSlots(CycleContext& record, std::index_sequence<kSlots...>) {
    ((record.*pofreader::kPhaseSlots[kSlots] = &scriptedPhase<static_cast<int>(kSlots)>), ...);
}

}  // namespace

ScriptedCycle::ScriptedCycle() {
    current = this;
    for (int& result : results) result = 1;
    CycleContext& shared = record.shared;
    shared.inherited = 1;
    shared.interfaceNumber = 5;
    shared.title = "scripted";
    shared.firstSignalPending = 1;
    installSlots(shared, std::make_index_sequence<kSlotCount>());
    shared.eventCallback = &ScriptedCycle::logEvent;
    shared.eventUser = this;
}

ScriptedCycle::~ScriptedCycle() {
    releaseRun(ctx());
    if (current == this) current = nullptr;
}

int ScriptedCycle::logEvent(CycleContext*, int event, void* user) {
    static_cast<ScriptedCycle*>(user)->trace.push_back("event " + std::to_string(event));
    return 1;
}

std::vector<int> ScriptedCycle::slotCalls() const {
    std::vector<int> calls;
    for (const std::string& entry : trace)
        if (entry.rfind("slot ", 0) == 0) calls.push_back(std::stoi(entry.substr(5)));
    return calls;
}

std::vector<int> ScriptedCycle::events() const {
    std::vector<int> codes;
    for (const std::string& entry : trace)
        if (entry.rfind("event ", 0) == 0) codes.push_back(std::stoi(entry.substr(6)));
    return codes;
}

void releaseRun(CycleContext* ctx) {
    pofreader::releaseArguments(ctx);
    pofreader::memRelease(ctx->sourceName);
    ctx->sourceName = nullptr;
    pofreader::configFree(ctx->config);
    ctx->config = nullptr;
    pofreader::configFree(ctx->cfgEntries);
    ctx->cfgEntries = nullptr;
    pofreader::freeSignals(ctx);
}

}  // namespace frame_test

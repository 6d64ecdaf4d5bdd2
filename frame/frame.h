// Cycle frame: cycle records, preparation and phases, events, the signal
// registry and the host forwarders.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pofreader/pofreader.h"

namespace pofreader {

// ---- Static records --------------------------------------------------------
extern PofCycleContext pofCycleRecord;
extern CycleContext baseCycleRecord;

// ---- Run phases -------------------------------------------------------------
// Result codes of runPhases.
enum RunResult : uint8_t {
    kRunOk = 0,
    kRunFlagVFailed = 11,  // the information phases in bit order
    kRunFlagQFailed = 12,
    kRunFlagPFailed = 13,
    kRunFlagAFailed = 14,
    kRunFlagYFailed = 15,
    kRunFlagDFailed = 16,
    kRunMain1Failed = 21,
    kRunMain2Failed = 22,
    kRunMain3Failed = 23,
    kRunMain4Failed = 24,
    kRunEndFailed = 31,
};

// The sixteen phase slots in slot order.
inline constexpr PhaseFn CycleContext::*kPhaseSlots[] = {
    &CycleContext::argumentsPhase, &CycleContext::startPhase,    &CycleContext::configPhase,
    &CycleContext::configCfgPhase, &CycleContext::flagVPhase,    &CycleContext::flagQPhase,
    &CycleContext::flagPPhase,     &CycleContext::flagAPhase,    &CycleContext::flagYPhase,
    &CycleContext::flagDPhase,     &CycleContext::mainPhase1,    &CycleContext::mainPhase1Cfg,
    &CycleContext::mainPhase2,     &CycleContext::mainPhase3,    &CycleContext::mainPhase4,
    &CycleContext::endPhase,
};
inline constexpr std::size_t kPhaseSlotCount = 16;
static_assert(sizeof kPhaseSlots / sizeof kPhaseSlots[0] == kPhaseSlotCount);

// Sends `event` to the context's event callback, read afresh, when one is set.
void raiseEvent(CycleContext* ctx, int event);
// Calls one phase slot between its two events. An empty slot is a phase that
// succeeds without work (1).
int callPhase(CycleContext* ctx, PhaseFn CycleContext::*slot, int openEvent, int closeEvent);
int prepareCycle(CycleContext* ctx, char* const* argv, unsigned argc, int inheritOnly);
uint8_t runPhases(CycleContext* ctx);
void cleanupCycle(CycleContext* ctx);
// Releases every positional argument and the array (count 0, array null).
void releaseArguments(CycleContext* ctx);
void copyBypassFile(const char* path, int lineLength);

// ---- Signals ------------------------------------------------------------------
int registerSignal(CycleContext* ctx, uint16_t key, SignalHandlerFn pofHandler,
                   SignalHandlerFn pcfHandler, int32_t enabled);
int attachListener(CycleContext* ctx, uint16_t key, SignalListenerFn pofFn, void* pofUser,
                   SignalListenerFn pcfFn, void* pcfUser);
int sendSignal(CycleContext* ctx, uint16_t key, SignalRecord* record);
void freeSignals(CycleContext* ctx);
// Frees a detached registry: every entry with its listeners, first to last.
void freeSignalEntries(SignalEntry* first);
void reportSources(CycleContext* ctx);
int sendNamedValue(CycleContext* ctx, const char* name, const char* value);
int frameEventCallback(CycleContext* ctx, int event, void* user);

// Takes "name(value)" apart. Copies are cut to the buffer sizes (a size
// includes the terminator). 1 when a name followed by '(' was found.
int splitNameValue(const char* payload, char* name, std::size_t nameSize, char* value,
                   std::size_t valueSize);

// Fills the name/value or text form of a record, cutting each text to its
// field and terminating it.
void setNameValue(SignalRecord* record, int32_t code, const char* name, const char* value);
void setText(SignalRecord* record, int32_t code, const char* text);

// ---- Record guard -------------------------------------------------------------
// A host function may start a nested run on the same record while the outer run
// still walks the record's registry or configuration lists. While a record is
// held, releasing those structures only detaches them from the record; they are
// freed when the last hold on the record ends.
void holdRecord(CycleContext* ctx);
void releaseRecordHold(CycleContext* ctx);
// Detach and release (or defer) the registry / a configuration list.
void releaseRegistry(CycleContext* ctx);
void releaseConfigList(CycleContext* ctx, ConfigList* list);

}  // namespace pofreader

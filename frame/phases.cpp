// The run phases: the information phases chosen by options, or the main
// sequence with its end phase; then the release of what the run built.
#include <iterator>

#include "common/common.h"
#include "config/config.h"
#include "frame/frame.h"

namespace pofreader {
namespace {

struct PhaseStep {
    PhaseFn CycleContext::*slot;
    PhaseFn CycleContext::*cfgSlot;  // used instead for a .CFG source; null: same slot
    uint16_t flag;                   // information phases: the option bit
    int openEvent;
    int closeEvent;
    uint8_t failureCode;
};

// ORDER: option bits 0x01 to 0x20.
constexpr PhaseStep kInformationPhases[] = {
    {&CycleContext::flagVPhase, nullptr, PFR_FLAG_V, PFR_EVENT_FLAG_V_BEGIN, PFR_EVENT_FLAG_V_END,
     kRunFlagVFailed},
    {&CycleContext::flagQPhase, nullptr, PFR_FLAG_Q, PFR_EVENT_FLAG_Q_BEGIN, PFR_EVENT_FLAG_Q_END,
     kRunFlagQFailed},
    {&CycleContext::flagPPhase, nullptr, PFR_FLAG_P, PFR_EVENT_FLAG_P_BEGIN, PFR_EVENT_FLAG_P_END,
     kRunFlagPFailed},
    {&CycleContext::flagAPhase, nullptr, PFR_FLAG_A, PFR_EVENT_FLAG_A_BEGIN, PFR_EVENT_FLAG_A_END,
     kRunFlagAFailed},
    {&CycleContext::flagYPhase, nullptr, PFR_FLAG_Y, PFR_EVENT_FLAG_Y_BEGIN, PFR_EVENT_FLAG_Y_END,
     kRunFlagYFailed},
    {&CycleContext::flagDPhase, nullptr, PFR_FLAG_D, PFR_EVENT_FLAG_D_BEGIN, PFR_EVENT_FLAG_D_END,
     kRunFlagDFailed},
};
static_assert(std::size(kInformationPhases) == 6);

// ORDER: main 1 to main 4.
constexpr PhaseStep kMainPhases[] = {
    {&CycleContext::mainPhase1, &CycleContext::mainPhase1Cfg, 0, PFR_EVENT_MAIN1_BEGIN,
     PFR_EVENT_MAIN1_END, kRunMain1Failed},
    {&CycleContext::mainPhase2, nullptr, 0, PFR_EVENT_MAIN2_BEGIN, PFR_EVENT_MAIN2_END,
     kRunMain2Failed},
    {&CycleContext::mainPhase3, nullptr, 0, PFR_EVENT_MAIN3_BEGIN, PFR_EVENT_MAIN3_END,
     kRunMain3Failed},
    {&CycleContext::mainPhase4, nullptr, 0, PFR_EVENT_MAIN4_BEGIN, PFR_EVENT_MAIN4_END,
     kRunMain4Failed},
};
static_assert(std::size(kMainPhases) == 4);

int callStep(CycleContext* ctx, const PhaseStep& step) {
    const bool useCfgSlot = step.cfgSlot != nullptr && ctx->isCfgSource == 1;
    return callPhase(ctx, useCfgSlot ? step.cfgSlot : step.slot, step.openEvent, step.closeEvent);
}

// The start phase: the cycle's own start, then the configuration report,
// between one pair of events. The start's result is not consulted.
void runStartPhase(CycleContext* ctx) {
    raiseEvent(ctx, PFR_EVENT_START_BEGIN);
    if (PhaseFn start = ctx->startPhase) start(ctx);
#ifdef POFREADER_REVISION_700
    reportSources(ctx);
#else
    if (ctx->noSourceReport == 0) reportSources(ctx);
#endif
    raiseEvent(ctx, PFR_EVENT_START_END);
}

uint8_t runMainSequence(CycleContext* ctx) {
    runStartPhase(ctx);
    uint8_t code = kRunOk;
    for (const PhaseStep& step : kMainPhases) {
        if (callStep(ctx, step) == 0) {
            code = step.failureCode;
            break;
        }
    }
    // The end phase runs whatever the main phases gave.
    const int ended =
        callPhase(ctx, &CycleContext::endPhase, PFR_EVENT_END_BEGIN, PFR_EVENT_END_END);
    if (ended == 0 && code == kRunOk) code = kRunEndFailed;
    return code;
}

uint8_t runInformationPhases(CycleContext* ctx) {
    for (const PhaseStep& step : kInformationPhases) {
        if ((ctx->flags & step.flag) == 0) continue;
        if (callStep(ctx, step) == 0) return step.failureCode;
    }
    return kRunOk;
}

}  // namespace

void raiseEvent(CycleContext* ctx, int event) {
    if (EventCallbackFn callback = ctx->eventCallback) callback(ctx, event, ctx->eventUser);
}

int callPhase(CycleContext* ctx, PhaseFn CycleContext::*slot, int openEvent, int closeEvent) {
    raiseEvent(ctx, openEvent);
    PhaseFn phase = ctx->*slot;
    const int result = phase != nullptr ? phase(ctx) : 1;
    raiseEvent(ctx, closeEvent);
    return result;
}

// Runs the phases that the option bits choose and returns the run result code.
uint8_t runPhases(CycleContext* ctx) {
    const uint8_t code = (ctx->flags & PFR_FLAG_INFO_MASK) == 0 ? runMainSequence(ctx)
                                                                 : runInformationPhases(ctx);
    cleanupCycle(ctx);
    return code;
}

void releaseArguments(CycleContext* ctx) {
    if (ctx->arguments != nullptr)
        for (uint16_t index = 0; index < ctx->argumentCount; ++index)
            memRelease(ctx->arguments[index]);
    memRelease(ctx->arguments);
    ctx->arguments = nullptr;
    ctx->argumentCount = 0;
}

// Releases the run's arguments, source name and configuration lists.
void cleanupCycle(CycleContext* ctx) {
    raiseEvent(ctx, PFR_EVENT_CLEANUP_BEGIN);
    releaseArguments(ctx);
    memRelease(ctx->sourceName);
    ctx->sourceName = nullptr;
    releaseConfigList(ctx, &ctx->config);
    releaseConfigList(ctx, &ctx->cfgEntries);
    raiseEvent(ctx, PFR_EVENT_CLEANUP_END);
}

}  // namespace pofreader

// The base cycle's end phase: the final "cycleEnd" signal, then the registry
// goes.
#include "frame/frame.h"
#include "pof/pof.h"

namespace pofreader {

int sendCycleEnd(CycleContext* ctx) {
    SignalRecord record{};
    setNameValue(&record, PFR_CODE_CYCLE_END, "cycleEnd", ctx->title != nullptr ? ctx->title : "");
    sendSignal(ctx, PFR_KEY_EVENT, &record);
    freeSignals(ctx);
    return 1;
}

}  // namespace pofreader

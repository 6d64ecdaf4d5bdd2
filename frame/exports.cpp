// The four entry points of the library. Nothing here throws; bad input is
// answered with 0.
#include "common/common.h"
#include "common/diagnostics.h"
#include "common/limits.h"
#include "frame/frame.h"

namespace pofreader {
namespace {

// Process-wide frame state, used without locks: the host calls from one thread.
CycleContext* cachedRecord = nullptr;
int nestingDepth = 0;  // runs of qvCSexecCycle in progress

CycleContext* recordOrPofCycle(CycleContext* ctx) {
    return ctx != nullptr ? ctx : &pofCycleRecord.shared;
}

// An argument vector the frame can read: a count the 16-bit field can hold and
// a vector wherever there is something to read.
bool acceptableArguments(int argc, char* const* argv) {
    if (argc < 0) return false;
    if (argc > 0 && argv == nullptr) return false;
    return static_cast<unsigned>(argc) <= kArgumentCountMax;
}

}  // namespace
}  // namespace pofreader

using namespace pofreader;

extern "C" {

CycleContext* qvCSgetCycle(void) {
    if (cachedRecord == nullptr) cachedRecord = &pofCycleRecord.shared;
    return cachedRecord;
}

int qvCSexecCycle(CycleContext* ctx, int argc, char* const* argv, HostCallbacks* host) {
    if (!acceptableArguments(argc, argv)) {
        if (diagnosticSink != nullptr) diagnose(kDiagRunRefused, -1, -1, argc);
        return 0;
    }
    ctx = recordOrPofCycle(ctx);
    if (nestingDepth >= kNestingLimit) return 0;
    ++nestingDepth;

    int result = 0;
    if (prepareCycle(ctx, argv, static_cast<unsigned>(argc), 0) != 0) {
        ctx->eventCallback = frameEventCallback;
        ctx->eventUser = host;
        runPhases(ctx);  // the result code stays inside the frame
        ctx->eventCallback = nullptr;
        ctx->eventUser = nullptr;
        result = 1;
    }

    --nestingDepth;
    if (nestingDepth == 0) memReleaseSpare();
    return result;
}

int qvCSsetSignal(CycleContext* ctx, int value) {
    ctx = recordOrPofCycle(ctx);
    const uint32_t previous = ctx->signalIn;
    ctx->signalIn = static_cast<uint32_t>(value);
    return static_cast<int>(previous);
}

int qvCSgetSignal(CycleContext* ctx) {
    return static_cast<int>(recordOrPofCycle(ctx)->signalOut);
}

}  // extern "C"

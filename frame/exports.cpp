// The four entry points of the library. Nothing here throws; bad input is
// answered with 0.
#include <atomic>

#include "common/common.h"
#include "common/limits.h"
#include "frame/frame.h"

namespace pofreader {
namespace {

// Constant-initialised, so that qvCSgetCycle writes nothing and any thread may
// call it at any time.
CycleContext* const cachedRecord = &pofCycleRecord.shared;

// The readers keep module-wide state, so runs from two threads at once would
// corrupt each other: the thread whose run is in progress owns the frame until
// its outermost run returns, and a run from any other thread is refused like a
// ninth nested run. The owner is checked once per run, never per record.
// Only the owner touches nestingDepth; the owner's release and the next
// owner's acquire order it between threads.
std::atomic<const void*> runOwner{nullptr};
int nestingDepth = 0;  // runs of qvCSexecCycle in progress

// A thread's identity: the address of its own instance of this byte.
thread_local char threadToken;

// True when the calling thread owns the frame (it already did, for a nested
// run, or it has just taken it); false when another thread's run is in
// progress.
bool enterOwnedFrame() {
    const void* self = &threadToken;
    const void* owner = runOwner.load(std::memory_order_acquire);
    if (owner == self) return true;
    const void* none = nullptr;
    return runOwner.compare_exchange_strong(none, self, std::memory_order_acq_rel,
                                            std::memory_order_acquire);
}

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

CycleContext* qvCSgetCycle(void) { return cachedRecord; }

int qvCSexecCycle(CycleContext* ctx, int argc, char* const* argv, HostCallbacks* host) {
    if (!acceptableArguments(argc, argv)) return 0;
    if (!enterOwnedFrame()) return 0;
    if (nestingDepth >= kNestingLimit) return 0;
    ctx = recordOrPofCycle(ctx);
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
    if (nestingDepth == 0) {
        memReleaseSpare();
        runOwner.store(nullptr, std::memory_order_release);
    }
    return result;
}

// The signal words are the one part of a record that a host may use from any
// thread, also while a run is in progress: each is read and written whole.
int qvCSsetSignal(CycleContext* ctx, int value) {
    ctx = recordOrPofCycle(ctx);
    const uint32_t previous =
        __atomic_exchange_n(&ctx->signalIn, static_cast<uint32_t>(value), __ATOMIC_SEQ_CST);
    return static_cast<int>(previous);
}

int qvCSgetSignal(CycleContext* ctx) {
    return static_cast<int>(__atomic_load_n(&recordOrPofCycle(ctx)->signalOut, __ATOMIC_SEQ_CST));
}

}  // extern "C"

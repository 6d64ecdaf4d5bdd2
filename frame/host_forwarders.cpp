// The frame's event callback during a run: on the run's first signal it
// attaches the host's functions to the registry, one forwarder per key.
#include <iterator>

#include "frame/frame.h"

namespace pofreader {
namespace {

// Which host functions a forwarder calls, in this order.
enum HostTarget : unsigned { kToA = 1, kToB = 2, kToC = 4 };

int callHost(HostFn fn, CycleContext* ctx, int code, SignalRecord* record, void* user) {
    return fn != nullptr ? fn(ctx, code, record, user) : 1;
}

// Passes a signal to the host's functions under `kCode`. 0 when a called
// function returned 0, else 1 (also without a host record). A null function
// is skipped.
template <int kCode, unsigned kTargets>
int forwardToHost(CycleContext* ctx, SignalRecord* record, void* user) {
    const auto* host = static_cast<const HostCallbacks*>(user);
    if (host == nullptr) return 1;
    int result = 1;
    if ((kTargets & kToA) != 0 && callHost(host->hostFnA, ctx, kCode, record, host->hostUserA) == 0)
        result = 0;
    if ((kTargets & kToB) != 0 && callHost(host->hostFnB, ctx, kCode, record, host->hostUserB) == 0)
        result = 0;
    if ((kTargets & kToC) != 0 && callHost(host->hostFnC, ctx, kCode, record, host->hostUserC) == 0)
        result = 0;
    return result;
}

struct Forwarder {
    uint16_t key;
    SignalListenerFn forward;
};

// Key, host function(s), code passed (the key itself). Attached in this order.
constexpr Forwarder kForwarders[] = {
    /*  0 */ {0, forwardToHost<0, kToA | kToB>},
    /*  1 */ {1, forwardToHost<1, kToB>},
    /*  2 */ {2, forwardToHost<2, kToB>},
    /*  3 */ {3, forwardToHost<3, kToC>},
    /*  4 */ {10, forwardToHost<10, kToA>},
    /*  5 */ {11, forwardToHost<11, kToA>},
    /*  6 */ {12, forwardToHost<12, kToA>},
    /*  7 */ {31, forwardToHost<31, kToA>},
    /*  8 */ {35, forwardToHost<35, kToA>},
    /*  9 */ {40, forwardToHost<40, kToC>},
    /* 10 */ {41, forwardToHost<41, kToA>},
    /* 11 */ {42, forwardToHost<42, kToA>},
};
static_assert(std::size(kForwarders) == 12);

bool hasAnyFunction(const HostCallbacks* host) {
    return host != nullptr &&
           (host->hostFnA != nullptr || host->hostFnB != nullptr || host->hostFnC != nullptr);
}

}  // namespace

// Ignores every event but the first signal's; then attaches the forwarders of
// the run's host record (`user`) in POF mode. Keys without an entry get none.
int frameEventCallback(CycleContext* ctx, int event, void* user) {
    if (event != PFR_EVENT_FIRST_SIGNAL) return 0;
    auto* host = static_cast<HostCallbacks*>(user);
    if (!hasAnyFunction(host)) return 0;
    for (const Forwarder& forwarder : kForwarders)
        attachListener(ctx, forwarder.key, forwarder.forward, host, nullptr, nullptr);
    return 1;
}

}  // namespace pofreader

// A stand-in cycle library for pofhost's boundary tests: laid out as the
// earlier revision (its record ends at `signalOut`), it fails on request and
// delivers records a well-behaved cycle never sends.
#include <cmath>
#include <cstring>

// A stand-in for the library: it exports the four functions as the library does.
#define POFREADER_BUILDING
#include "pofreader/pofreader.h"

namespace {

CycleContext record = [] {
    CycleContext r{};
    r.interfaceNumber = 5;
    r.cycleId = 4711;
    r.versionMajor = 7;
    r.versionMinor = 0;
    r.versionYear = 2002;
    r.versionMonth = 8;
    r.versionDay = 5;
    r.title = "fake cycle";
    for (int i = 0; i < 16; i += 5) r.frameMatrix.m[i] = r.toolMatrix.m[i] = 1;
    return r;
}();

void deliverOddRecords(CycleContext* ctx, HostCallbacks* host) {
    SignalRecord text{};
    text.code = PFR_CODE_TEXT;
    std::strcpy(text.body.text, "\x01\xFF\"\\ end");
    host->hostFnB(ctx, PFR_KEY_TEXT, &text, host->hostUserB);

    // A name that fills its field without a terminator.
    SignalRecord named{};
    named.code = PFR_CODE_CYCLE;
    std::memset(named.body.nameValue.name, 'n', sizeof named.body.nameValue.name);
    std::strcpy(named.body.nameValue.value, "v");
    host->hostFnA(ctx, PFR_KEY_EVENT, &named, host->hostUserA);

    SignalRecord move{};
    move.code = PFR_CODE_FEED;
    move.body.move.xGiven = 1;
    move.body.move.targetX = std::nan("");
    move.body.move.yGiven = 1;
    move.body.move.targetY = -HUGE_VAL;
    host->hostFnA(ctx, PFR_KEY_MOVE, &move, host->hostUserA);

    SignalRecord unknown{};
    unknown.code = 4242;
    host->hostFnC(ctx, 40, &unknown, host->hostUserC);
    host->hostFnA(ctx, PFR_KEY_MOVE, nullptr, host->hostUserA);
}

}  // namespace

extern "C" {

POFREADER_EXPORT CycleContext* qvCSgetCycle(void) { return &record; }

POFREADER_EXPORT int qvCSexecCycle(CycleContext* ctx, int argc, char* const* argv, HostCallbacks* host) {
    if (ctx == nullptr) ctx = &record;
    const char* first = argc > 0 && argv != nullptr && argv[0] != nullptr ? argv[0] : "";
    if (std::strcmp(first, "fail") == 0) return 0;
    if (std::strcmp(first, "odd") == 0 && host != nullptr) {
        ctx->frameMatrix.m[3] = 0.1;
        deliverOddRecords(ctx, host);
    }
    return 1;
}

POFREADER_EXPORT int qvCSsetSignal(CycleContext* ctx, int value) {
    if (ctx == nullptr) ctx = &record;
    const int previous = static_cast<int>(ctx->signalIn);
    ctx->signalIn = static_cast<uint32_t>(value);
    return previous;
}

POFREADER_EXPORT int qvCSgetSignal(CycleContext* ctx) {
    return static_cast<int>((ctx != nullptr ? ctx : &record)->signalOut);
}

}  // extern "C"

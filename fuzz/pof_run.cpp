// A whole run over a fuzzed POF file: the input becomes "job.pof", named by
// the parameter file "job.pcf", and the cycle runs with -Sjob in a scratch
// directory. The host functions check every SignalRecord they receive: the
// host function and key it arrives under, a code from the known set, the
// name that belongs to the code, and every text terminated within its field.
// After the run everything per-run has been released.
#include <cstring>

#include "common/common.h"
#include "common/limits.h"
#include "config/config.h"
#include "fuzz_support.h"
#include "pof/pof.h"

namespace {

using namespace pofreader;

struct Host {
    SignalRecord pendingForB{};  // key 0 reaches A and then B with the same record
    bool bOwed = false;
    int deliveries = 0;
    int lastCode = 0;
    bool lastWasTitle = false;
};

bool terminatedNameValue(const SignalRecord& r) {
    return fuzz_support::terminatedWithin(r.body.nameValue.name, kSignalNameSize) &&
           fuzz_support::terminatedWithin(r.body.nameValue.value, kSignalValueSize);
}

bool named(const SignalRecord& r, const char* name) {
    return std::strcmp(r.body.nameValue.name, name) == 0;
}

bool startsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// The names an event record may carry under the frame-value code.
bool frameValueName(const char* name) {
    static const char* const frameNames[] = {"frameCs_x", "frameCs_y", "frameCs_z", "frameCs_o"};
    for (const char* known : frameNames)
        if (std::strcmp(name, known) == 0) return true;
    if constexpr (kEarlierRevision) return false;
    static const char* const localNames[] = {"locFrameCs_x", "locFrameCs_y", "locFrameCs_z",
                                             "locFrameCs_o", "reference_o"};
    for (const char* known : localNames)
        if (std::strcmp(name, known) == 0) return true;
    return startsWith(name, "trans_") || startsWith(name, "wpCs_");
}

void checkKeyZero(const SignalRecord& r, Host& host) {
    FUZZ_CHECK(terminatedNameValue(r));
    const char* name = r.body.nameValue.name;
    host.lastWasTitle = false;
    switch (r.code) {
    case PFR_CODE_FRAME_VALUE: FUZZ_CHECK(frameValueName(name)); break;
    case PFR_CODE_ERROR: FUZZ_CHECK(named(r, "error")); break;
    case PFR_CODE_BREAK: FUZZ_CHECK(named(r, "break")); break;
    case PFR_CODE_CYCLE: FUZZ_CHECK(named(r, "cycle")); break;
    case PFR_CODE_CYCLE_END:
        FUZZ_CHECK(named(r, "cycleEnd"));
        host.lastWasTitle = std::strcmp(r.body.nameValue.value, "quorvant POF Reading Cycle") == 0;
        break;
    case PFR_CODE_MSG_FILE: FUZZ_CHECK(named(r, "msgFile")); break;
    case PFR_CODE_CFG_SOURCE: FUZZ_CHECK(named(r, "cfgSource")); break;
    default: FUZZ_CHECK(!"a key 0 code");
    }
    // Names from the file pass the splitter's buffer.
    if (r.code != PFR_CODE_CFG_SOURCE) FUZZ_CHECK(std::strlen(name) < kSplitNameSize);
}

int hostA(CycleContext* ctx, int key, SignalRecord* record, void* user) {
    Host& host = *static_cast<Host*>(user);
    FUZZ_CHECK(ctx != nullptr && record != nullptr);
    FUZZ_CHECK(!host.bOwed);
    ++host.deliveries;
    host.lastCode = record->code;
    switch (key) {
    case PFR_KEY_EVENT:
        checkKeyZero(*record, host);
        std::memcpy(&host.pendingForB, record, sizeof *record);
        host.bOwed = true;
        break;
    case PFR_KEY_TRANSFORM:
        FUZZ_CHECK(record->code == PFR_CODE_NAMED_VALUE);
        FUZZ_CHECK(terminatedNameValue(*record));
        FUZZ_CHECK(std::strlen(record->body.nameValue.name) < kSplitNameSize);
        host.lastWasTitle = false;
        break;
    case PFR_KEY_MOVE:
        fuzz_support::checkMoveForm(*record);
        host.lastWasTitle = false;
        break;
    default: FUZZ_CHECK(!"a key that reaches host function A");
    }
    return 1;
}

int hostB(CycleContext* ctx, int key, SignalRecord* record, void* user) {
    Host& host = *static_cast<Host*>(user);
    FUZZ_CHECK(ctx != nullptr && record != nullptr);
    switch (key) {
    case PFR_KEY_EVENT:
        FUZZ_CHECK(host.bOwed);
        FUZZ_CHECK(std::memcmp(&host.pendingForB, record, sizeof *record) == 0);
        host.bOwed = false;
        break;
    case PFR_KEY_TEXT:
        FUZZ_CHECK(!host.bOwed);
        ++host.deliveries;
        host.lastCode = record->code;
        host.lastWasTitle = false;
        FUZZ_CHECK(record->code == PFR_CODE_TEXT);
        FUZZ_CHECK(fuzz_support::terminatedWithin(record->body.text, kSignalTextSize));
        break;
    default: FUZZ_CHECK(!"a key that reaches host function B");
    }
    return 1;
}

int hostC(CycleContext*, int, SignalRecord*, void*) {
    FUZZ_CHECK(!"host function C is never called by this cycle");
    return 1;
}

// Stands in for the parameter file's "toolpath" entry while the set-up does
// not read it yet; once it does, the entry is there and nothing is added.
int addToolpath(CycleContext* ctx, int event, void*) {
    if (event != PFR_EVENT_CONFIG_END) return 1;
    char* present = configGet(ctx->config, "toolpath", nullptr);
    if (present == nullptr)
        ctx->config = configAppend(ctx->config, "toolpath", "job.pof", PFR_TAG_CALL);
    memRelease(present);
    return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char parameterFile[] = "toolpath := \"job.pof\"\n";
    static bool prepared = false;
    if (!prepared) {
        fuzz_support::writeScratchFile(
            "job.pcf", reinterpret_cast<const uint8_t*>(parameterFile), sizeof parameterFile - 1);
        prepared = true;
    }
    fuzz_support::discardMethodReport();
    fuzz_support::writeScratchFile("job.pof", data, size);

    CycleContext* ctx = qvCSgetCycle();
    ctx->eventCallback = addToolpath;
    ctx->eventUser = nullptr;
    Host host;
    HostCallbacks callbacks{hostA, &host, hostB, &host, hostC, &host};
    char argument[] = "-Sjob";
    char* argv[] = {argument};
    FUZZ_CHECK(qvCSexecCycle(ctx, 1, argv, &callbacks) == 1);

    // The final signal is the end phase's "cycleEnd" with the cycle's title.
    FUZZ_CHECK(!host.bOwed);
    FUZZ_CHECK(host.deliveries >= 2);
    FUZZ_CHECK(host.lastCode == PFR_CODE_CYCLE_END && host.lastWasTitle);
    // Everything per-run is gone.
    FUZZ_CHECK(pofPart(ctx)->toolpathFile == nullptr);
    FUZZ_CHECK(ctx->signalRegistry == nullptr);
    FUZZ_CHECK(ctx->config == nullptr && ctx->cfgEntries == nullptr);
    FUZZ_CHECK(ctx->arguments == nullptr && ctx->sourceName == nullptr);
    FUZZ_CHECK(ctx->eventCallback == nullptr);
    return 0;
}

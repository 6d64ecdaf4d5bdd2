// A host that records every delivery it receives and every event it sees.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "pofreader/pofreader.h"

namespace testing_support {

struct Delivery {
    char function;  // 'A', 'B' or 'C': which host function received it
    int code;       // the code passed to the host function (the signal key)
    SignalRecord record;

    std::string name() const;   // name/value form
    std::string value() const;  // name/value form
    std::string text() const;   // text form
};

class RecordingHost {
public:
    RecordingHost();

    HostCallbacks* callbacks() { return &callbacks_; }
    // Drops one of the functions ('A', 'B' or 'C').
    void clearFunction(char function);

    std::vector<Delivery> deliveries;
    // Called after a delivery is recorded; a test may start nested runs here.
    std::function<void(CycleContext*, const Delivery&)> onDelivery;
    // The value every host function returns.
    int result = 1;

    // Deliveries received by function `function` (0 for any).
    std::vector<Delivery> received(char function = 0) const;

private:
    static int receiveA(CycleContext* ctx, int code, SignalRecord* record, void* user);
    static int receiveB(CycleContext* ctx, int code, SignalRecord* record, void* user);
    static int receiveC(CycleContext* ctx, int code, SignalRecord* record, void* user);
    int receive(char function, CycleContext* ctx, int code, const SignalRecord* record);

    HostCallbacks callbacks_{};
};

// Records the events it receives; install with `install(ctx)` before a run.
class EventLog {
public:
    void install(CycleContext* ctx) {
        ctx->eventCallback = &EventLog::receive;
        ctx->eventUser = this;
    }
    std::vector<int> events;

private:
    static int receive(CycleContext* ctx, int event, void* user);
};

}  // namespace testing_support

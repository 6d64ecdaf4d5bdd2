#include "support/recording_host.h"

#include <cstring>

namespace testing_support {

namespace {

// A field's text up to its terminator, never past the field.
std::string fieldText(const char* field, std::size_t size) {
    return std::string(field, strnlen(field, size));
}

}  // namespace

std::string Delivery::name() const {
    return fieldText(record.body.nameValue.name, sizeof record.body.nameValue.name);
}
std::string Delivery::value() const {
    return fieldText(record.body.nameValue.value, sizeof record.body.nameValue.value);
}
std::string Delivery::text() const {
    return fieldText(record.body.text, sizeof record.body.text);
}

RecordingHost::RecordingHost() {
    callbacks_.hostFnA = &RecordingHost::receiveA;
    callbacks_.hostUserA = this;
    callbacks_.hostFnB = &RecordingHost::receiveB;
    callbacks_.hostUserB = this;
    callbacks_.hostFnC = &RecordingHost::receiveC;
    callbacks_.hostUserC = this;
}

void RecordingHost::clearFunction(char function) {
    if (function == 'A') callbacks_.hostFnA = nullptr;
    if (function == 'B') callbacks_.hostFnB = nullptr;
    if (function == 'C') callbacks_.hostFnC = nullptr;
}

std::vector<Delivery> RecordingHost::received(char function) const {
    std::vector<Delivery> result;
    for (const Delivery& delivery : deliveries)
        if (function == 0 || delivery.function == function) result.push_back(delivery);
    return result;
}

int RecordingHost::receiveA(CycleContext* ctx, int code, SignalRecord* record, void* user) {
    return static_cast<RecordingHost*>(user)->receive('A', ctx, code, record);
}
int RecordingHost::receiveB(CycleContext* ctx, int code, SignalRecord* record, void* user) {
    return static_cast<RecordingHost*>(user)->receive('B', ctx, code, record);
}
int RecordingHost::receiveC(CycleContext* ctx, int code, SignalRecord* record, void* user) {
    return static_cast<RecordingHost*>(user)->receive('C', ctx, code, record);
}

int RecordingHost::receive(char function, CycleContext* ctx, int code,
                           const SignalRecord* record) {
    Delivery delivery{};
    delivery.function = function;
    delivery.code = code;
    std::memcpy(&delivery.record, record, sizeof delivery.record);
    deliveries.push_back(delivery);
    if (onDelivery) onDelivery(ctx, deliveries.back());
    return result;
}

int EventLog::receive(CycleContext*, int event, void* user) {
    static_cast<EventLog*>(user)->events.push_back(event);
    return 1;
}

}  // namespace testing_support

// The configuration report of the start phase, and named values on key 10.
#include <cstdio>

#include "frame/frame.h"

namespace pofreader {
namespace {

bool isSet(const ConfigNode* node) { return node->name != nullptr && node->value != nullptr; }

}  // namespace

// Sends the source name, then every entry of `config` ("def" or "call" by its
// tag) and of `cfgEntries` ("cfg"), in list order, reusing one record. Values
// longer than the field are cut.
void reportSources(CycleContext* ctx) {
    // The walks below must survive a nested run that releases the lists.
    holdRecord(ctx);
    // Cleared once, so that no byte of the library's stack reaches the host.
    SignalRecord record{};

    setNameValue(&record, PFR_CODE_CFG_SOURCE, "cfgSource", ctx->sourceName);
    sendSignal(ctx, PFR_KEY_EVENT, &record);

    for (const ConfigNode* node = ctx->config; node != nullptr; node = node->next) {
        if (!isSet(node)) continue;
        const bool isDefault = node->tag < PFR_TAG_CALL;
        setNameValue(&record, isDefault ? PFR_CODE_REPORT_DEF : PFR_CODE_REPORT_CALL,
                     isDefault ? "def" : "call", nullptr);
        std::snprintf(record.body.nameValue.value, sizeof record.body.nameValue.value,
                      "\"%s\":=\"%s\"", node->name, node->value);
        sendSignal(ctx, PFR_KEY_CONFIG_REPORT, &record);
    }

    for (const ConfigNode* node = ctx->cfgEntries; node != nullptr; node = node->next) {
        if (!isSet(node)) continue;
        setNameValue(&record, PFR_CODE_REPORT_CFG, "cfg", nullptr);
        if (node->value[0] != '\0')
            std::snprintf(record.body.nameValue.value, sizeof record.body.nameValue.value,
                          "%s %s", node->name, node->value);
        else
            std::snprintf(record.body.nameValue.value, sizeof record.body.nameValue.value, "%s",
                          node->name);
        sendSignal(ctx, PFR_KEY_CONFIG_REPORT, &record);
    }
    releaseRecordHold(ctx);
}

// Sends `name` and `value` with code 301 on key 10, each cut to its field.
int sendNamedValue(CycleContext* ctx, const char* name, const char* value) {
    SignalRecord record{};  // no byte of the library's stack reaches the host
    setNameValue(&record, PFR_CODE_NAMED_VALUE, name, value);
    return sendSignal(ctx, PFR_KEY_TRANSFORM, &record);
}

}  // namespace pofreader

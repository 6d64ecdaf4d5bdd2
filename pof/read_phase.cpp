// The POF cycle's own phases: the signal keys of the record types, the choice
// of the toolpath file, and the read phase that hands every record to the
// handler of its type.
#include <array>
#include <cstdio>
#include <cstring>

#include "common/common.h"
#include "common/diagnostics.h"
#include "common/limits.h"
#include "frame/frame.h"
#include "pof/pof.h"

namespace pofreader {

namespace {

// Every record type's key takes its signals; the content goes to the host
// through the listeners.
int acceptSignal(CycleContext*, SignalRecord*) { return 1; }

constexpr uint16_t kPofKeys[] = {PFR_KEY_EVENT, PFR_KEY_TEXT, PFR_KEY_TRANSFORM, PFR_KEY_TOOL,
                                 PFR_KEY_MOVE};

// Takes the POF file name from the last entry called `wanted`.
int findToolpathEntry(CycleContext* ctx, const char* wanted) {
    PofCycleContext* pof = pofPart(ctx);
    memRelease(pof->toolpathFile);
    pof->toolpathFile = nullptr;
    ctx->cycleId = kPofCycleId;
    for (ConfigNode* node = ctx->config; node != nullptr; node = node->next) {
        if (node->name == nullptr || std::strcmp(node->name, wanted) != 0) continue;
        memRelease(pof->toolpathFile);
        pof->toolpathFile = memDupString(node->value);
    }
    return 1;
}

// Record type to handler; types without an entry are read and ignored.
struct TypeHandler {
    int type;
    RecordHandlerFn handler;
};
constexpr TypeHandler kTypeHandlers[] = {
    {PFR_KEY_EVENT, handleEventRecord},
    {PFR_KEY_TEXT, handleTextRecord},
    {PFR_KEY_TRANSFORM, handleTransformRecord},
    {PFR_KEY_TOOL, handleToolRecord},
    {PFR_KEY_MOVE, handleMoveRecord},
};

constexpr int kHandledTypes = 32;  // types 0 to 31 can have a handler

constexpr std::array<RecordHandlerFn, kHandledTypes> buildDispatch() {
    std::array<RecordHandlerFn, kHandledTypes> table{};
    for (const TypeHandler& entry : kTypeHandlers) table[entry.type] = entry.handler;
    return table;
}
constexpr std::array<RecordHandlerFn, kHandledTypes> kDispatch = buildDispatch();

long recordWhere(const void* reader) {
    return recordLineOffset(*static_cast<const PofRecordReader*>(reader));
}

}  // namespace

int registerPofSignals(CycleContext* ctx) {
    for (uint16_t key : kPofKeys) registerSignal(ctx, key, acceptSignal, acceptSignal, 1);
    ctx->readerWord = 0;
    return 1;
}

int findToolpathFile(CycleContext* ctx) { return findToolpathEntry(ctx, "toolpath"); }
int findToolpathFileCfg(CycleContext* ctx) { return findToolpathEntry(ctx, "*TOOLPATH"); }

PofReaderState makeReaderState(CycleContext* ctx, SignalRecord* record) {
    PofReaderState state{};
    state.context = ctx;
#ifndef POFREADER_REVISION_700
    state.pendingWorkplane = kWorkplaneXY;
    state.activeWorkplane = kWorkplaneXY;
#endif
    state.x = state.y = state.z = 0.0;
    state.u = state.v = 0.0;
    state.w = 1.0;
    state.record = record;
    return state;
}

RecordHandlerFn recordHandler(int type) {
    if (type < 0 || type >= kHandledTypes) return nullptr;
    return kDispatch[type];
}

int readPofFile(CycleContext* ctx) {
    PofCycleContext* pof = pofPart(ctx);
    if (pof->toolpathFile == nullptr) {
        if (diagnosticSink != nullptr) diagnose(kDiagNoToolpath);
        return 1;
    }

    std::FILE* file = std::fopen(pof->toolpathFile, "rb");
    if (file == nullptr && diagnosticSink != nullptr) diagnoseText(kDiagFileNotOpened, pof->toolpathFile);
    if (file != nullptr) {
        SignalRecord record{};
        PofReaderState state = makeReaderState(ctx, &record);
        char payload[kPayloadBufferSize];
        // A directory reads as an immediate end of file.
        PofRecordReader reader;
        openRecordReader(reader, file);
        if (diagnosticSink != nullptr)
            diagnoseFileBegin(pof->toolpathFile, kDiagPofFile, recordWhere, &reader);
        for (;;) {
            const int type = readPofRecord(reader, payload, kPayloadLimit);
            if (type < 0) break;
            state.payloadLength = static_cast<std::size_t>(reader.length);
            if (RecordHandlerFn handler = recordHandler(type)) handler(payload, state);
            else diagnose(kDiagIgnoredType, -1, -1, type);
        }
        if (diagnosticSink != nullptr) diagnoseFileEnd();
        closeRecordReader(reader);
        std::fclose(file);
    }

    // Read the field afresh: a nested run started from a host function may
    // have replaced or released the name meanwhile.
    memRelease(pof->toolpathFile);
    pof->toolpathFile = nullptr;
    return 1;
}

}  // namespace pofreader

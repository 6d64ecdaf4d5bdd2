// Keeps a record's registry and configuration lists alive while the frame is
// still walking them and a nested run on the same record wants them released.
//
// A host function may call qvCSexecCycle on the record it is being called
// for. The nested run's end phase releases the registry and its cleanup the
// configuration lists, while the outer run is still inside sendSignal (walking
// an entry's listeners) or reportSources (walking `config`). While a record is
// held, a release only detaches the structure from the record, so later
// signals reach nobody as usual, and the memory is freed when the last hold on
// the record ends.
#include "common/common.h"
#include "common/limits.h"
#include "config/config.h"
#include "frame/frame.h"

namespace pofreader {
namespace {

// One structure whose release waits for the end of the holds.
struct DeferredRelease {
    SignalEntry* registry;
    ConfigNode* list;
};

struct RecordHold {
    CycleContext* ctx;  // null: the slot is free
    int holds;
    DeferredRelease* deferred;
    std::size_t deferredCount;
    std::size_t deferredCapacity;
};

// A record is held only by a run in progress on it, and at most
// kNestingLimit runs are in progress at once.
RecordHold holdTable[kNestingLimit];

// The hold of `ctx`; with null, a free slot.
RecordHold* findHold(const CycleContext* ctx) {
    for (RecordHold& hold : holdTable)
        if (hold.ctx == ctx) return &hold;
    return nullptr;
}

void releaseNow(const DeferredRelease& item) {
    freeSignalEntries(item.registry);
    configFree(item.list);
}

// Queues `item` on the hold. When the queue cannot grow the structure is left
// unreleased: a leak under exhausted memory is preferable to freeing memory
// that a caller is still walking.
void defer(RecordHold& hold, const DeferredRelease& item) {
    if (hold.deferredCount == hold.deferredCapacity) {
        const std::size_t capacity = hold.deferredCapacity == 0 ? 4 : hold.deferredCapacity * 2;
        void* grown = memResize(hold.deferred, capacity * sizeof(DeferredRelease));
        if (grown == nullptr) return;
        hold.deferred = static_cast<DeferredRelease*>(grown);
        hold.deferredCapacity = capacity;
    }
    hold.deferred[hold.deferredCount++] = item;
}

void releaseOrDefer(CycleContext* ctx, const DeferredRelease& item) {
    if (RecordHold* hold = findHold(ctx))
        defer(*hold, item);
    else
        releaseNow(item);
}

}  // namespace

void holdRecord(CycleContext* ctx) {
    if (RecordHold* hold = findHold(ctx)) {
        ++hold->holds;
        return;
    }
    if (RecordHold* unused = findHold(nullptr)) *unused = RecordHold{ctx, 1, nullptr, 0, 0};
    // A full table cannot happen while every hold belongs to a run in
    // progress; releases on an unheld record are immediate.
}

void releaseRecordHold(CycleContext* ctx) {
    RecordHold* hold = findHold(ctx);
    if (hold == nullptr || --hold->holds > 0) return;
    const RecordHold ended = *hold;
    *hold = RecordHold{};
    for (std::size_t index = 0; index < ended.deferredCount; ++index)
        releaseNow(ended.deferred[index]);
    memRelease(ended.deferred);
}

void releaseRegistry(CycleContext* ctx) {
    SignalEntry* registry = ctx->signalRegistry;
    ctx->signalRegistry = nullptr;
    if (registry != nullptr) releaseOrDefer(ctx, DeferredRelease{registry, nullptr});
}

void releaseConfigList(CycleContext* ctx, ConfigList* list) {
    ConfigNode* first = *list;
    *list = nullptr;
    if (first != nullptr) releaseOrDefer(ctx, DeferredRelease{nullptr, first});
}

}  // namespace pofreader

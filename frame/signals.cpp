// The signal registry: keys in ascending order, each with its two handlers and
// its listeners. Signals go to the handler and the listeners of the run's mode.
#include "common/common.h"
#include "frame/frame.h"

namespace pofreader {
namespace {

// The first entry whose key is not smaller than `key`, or null.
SignalEntry* firstEntryFrom(SignalEntry* entry, uint16_t key) {
    while (entry != nullptr && entry->key < key) entry = entry->next;
    return entry;
}

// The entry of `key` as a send finds it: the walk stops at the first key that
// is not smaller.
SignalEntry* findEntry(CycleContext* ctx, uint16_t key) {
    SignalEntry* entry = firstEntryFrom(ctx->signalRegistry, key);
    return entry != nullptr && entry->key == key ? entry : nullptr;
}

const SignalListener* lastListener(const SignalEntry* entry) {
    const SignalListener* listener = entry->listeners;
    while (listener != nullptr && listener->next != nullptr) listener = listener->next;
    return listener;
}

}  // namespace

// Registers `key`, or overwrites an existing entry's handlers and enabled
// value (its listeners stay). 0 when a new entry cannot be allocated.
int registerSignal(CycleContext* ctx, uint16_t key, SignalHandlerFn pofHandler,
                   SignalHandlerFn pcfHandler, int32_t enabled) {
    raiseEvent(ctx, PFR_EVENT_REGISTER_BEGIN);
    int result = 1;
    SignalEntry** link = &ctx->signalRegistry;
    while (*link != nullptr && (*link)->key < key) link = &(*link)->next;

    if (*link != nullptr && (*link)->key == key) {
        (*link)->enabled = enabled;
        (*link)->pofHandler = pofHandler;
        (*link)->pcfHandler = pcfHandler;
    } else if (auto* entry = static_cast<SignalEntry*>(memAllocZero(sizeof(SignalEntry)))) {
        entry->key = key;
        entry->enabled = enabled;
        entry->pofHandler = pofHandler;
        entry->pcfHandler = pcfHandler;
        entry->next = *link;
        *link = entry;
    } else {
        result = 0;
    }
    raiseEvent(ctx, PFR_EVENT_REGISTER_END);
    return result;
}

// Appends a listener to the entry of `key`. 0 without an entry, without any
// function, or when the listener cannot be allocated.
int attachListener(CycleContext* ctx, uint16_t key, SignalListenerFn pofFn, void* pofUser,
                   SignalListenerFn pcfFn, void* pcfUser) {
    SignalEntry* entry = ctx->signalRegistry;
    while (entry != nullptr && entry->key != key) entry = entry->next;
    if (entry == nullptr) return 0;
    if (pofFn == nullptr && pcfFn == nullptr) return 0;
    auto* listener = static_cast<SignalListener*>(memAllocZero(sizeof(SignalListener)));
    if (listener == nullptr) return 0;
    listener->pofFn = pofFn;
    listener->pofUser = pofUser;
    listener->pcfFn = pcfFn;
    listener->pcfUser = pcfUser;

    SignalListener** link = &entry->listeners;
    while (*link != nullptr) link = &(*link)->next;
    *link = listener;
    return 1;
}

// Delivers `record` on `key` to the entry's handler and then to its listeners,
// in attachment order. Returns the handler's result; 0 when nothing was
// delivered to a handler. The run's first signal raises event 312 before the
// lookup, so listeners attached on that event receive it.
int sendSignal(CycleContext* ctx, uint16_t key, SignalRecord* record) {
    if (ctx->firstSignalPending == 1) {
        ctx->firstSignalPending = 0;
        raiseEvent(ctx, PFR_EVENT_FIRST_SIGNAL);
    }
    SignalEntry* entry = findEntry(ctx, key);
    if (entry == nullptr || entry->enabled != 1) return 0;

    // A handler or listener may start a nested run on this record, whose end
    // releases the registry; the hold keeps this entry alive until we are done.
    // The signal goes to the listeners attached when it was sent: one that a
    // nested run attaches carries that run's host record, which may be gone by
    // the time the walk would reach it.
    holdRecord(ctx);
    const bool pcfMode = ctx->pcfMode != 0;
    const SignalListener* last = lastListener(entry);
    SignalHandlerFn handler = pcfMode ? entry->pcfHandler : entry->pofHandler;
    const int result = handler != nullptr ? handler(ctx, record) : 0;
    for (const SignalListener* listener = last != nullptr ? entry->listeners : nullptr;
         listener != nullptr; listener = listener->next) {
        SignalListenerFn fn = pcfMode ? listener->pcfFn : listener->pofFn;
        if (fn != nullptr) fn(ctx, record, pcfMode ? listener->pcfUser : listener->pofUser);
        if (listener == last) break;
    }
    releaseRecordHold(ctx);
    return result;
}

// Releases the registry: later signals of the run reach nobody.
void freeSignals(CycleContext* ctx) { releaseRegistry(ctx); }

void freeSignalEntries(SignalEntry* first) {
    while (first != nullptr) {
        SignalEntry* next = first->next;
        SignalListener* listener = first->listeners;
        while (listener != nullptr) {
            SignalListener* nextListener = listener->next;
            memRelease(listener);
            listener = nextListener;
        }
        memRelease(first);
        first = next;
    }
}

}  // namespace pofreader

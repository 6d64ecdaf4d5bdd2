/*
 * pofreader: the quorvant POF Reading Cycle, a cycle that a host cycle system
 * loads as a shared library.
 *
 * This header is everything a host needs: the records shared with the library,
 * the callback types, the four exported entry points and the codes that travel
 * through them. It is valid C (C99 or later) and C++.
 *
 * Revisions. The library ships in two revisions: the current one (9.50) and the
 * earlier one (7.00). Their records differ only at the tail of the cycle
 * record. A host built against the earlier revision defines
 * POFREADER_REVISION_700 before including this header; everything up to and
 * including `signalOut` has the same layout in both.
 *
 * Layout. Every offset below is pinned at compile time. With 4-byte pointers the
 * offsets are exactly the documented ones; with 8-byte pointers the fields keep
 * their order and widths and the offsets move with the pointer size only.
 *
 * Texts that do not fit. A `SignalRecord` field holds at most its size minus
 * one characters (name 255, value 519, text 775). Every sender of the library
 * cuts a longer text to the field and terminates it; it never drops the record
 * for that reason.
 *
 * Argument vectors. `qvCSexecCycle` returns 0 at once for a negative count, a
 * null vector with a non-zero count, or a count above 16383 (the record keeps
 * the count in 16 bits); it then raises no event and does not read the vector.
 * A null entry inside the vector is skipped as if it were not there.
 *
 * Threads. The library starts none and takes no lock. One run at a time per
 * process: the cycle records are static, and the readers keep module-wide
 * state, so two threads must never be inside the library at once (serialise
 * the calls of all four entry points, or keep the library on one thread). A
 * run may start a nested run only from within one of its host callbacks, on
 * the same thread, at most eight deep; each reader finishes before control
 * returns to the host, so nesting is safe where concurrency is not.
 */
#ifndef POFREADER_POFREADER_H
#define POFREADER_POFREADER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The library is built with POFREADER_BUILDING; a host imports. */
#if defined(_WIN32) && defined(POFREADER_BUILDING)
#define POFREADER_EXPORT __declspec(dllexport)
#elif defined(_WIN32)
#define POFREADER_EXPORT __declspec(dllimport)
#else
#define POFREADER_EXPORT __attribute__((visibility("default")))
#endif

typedef struct CycleContext CycleContext;
typedef struct SignalRecord SignalRecord;
typedef struct SignalEntry SignalEntry;
typedef struct SignalListener SignalListener;
typedef struct ConfigNode ConfigNode;

/* --- Source tags of configuration entries ------------------------------- */

typedef uint16_t ConfigTag;
enum {
    PFR_TAG_BUILTIN = 2,        /* built-in default of the run ("tempMem") */
    PFR_TAG_DEFAULTS_FILE = 13, /* the cycle's "%s.def" file */
    PFR_TAG_CALL = 21,          /* parameter file, standard input or .CFG file */
    PFR_TAG_DERIVED = 31        /* derived during set-up */
};

/* One named text value. A list is a pointer to its first node; hosts and
 * derived cycles walk it through `next`. */
struct ConfigNode {
    char *name;
    char *value;
    ConfigTag tag;
    ConfigNode *next;
};
typedef ConfigNode *ConfigList;

/* A frame: 16 doubles, row-major (element 4 * row + column). Columns 0 to 2
 * hold the axis vectors, column 3 the origin, row 3 is 0 0 0 1. */
typedef struct FrameMatrix {
    double m[16];
} FrameMatrix;

/* --- Callback types ---------------------------------------------------- */

/* A phase slot: non-zero for success, 0 for failure. */
typedef int (*PhaseFn)(CycleContext *ctx);
/* Receives the frame's events; the result is not used. */
typedef int (*EventCallbackFn)(CycleContext *ctx, int event, void *user);
/* A host function: receives a signal under a fixed code (the key it forwards). */
typedef int (*HostFn)(CycleContext *ctx, int code, SignalRecord *record, void *user);
/* A signal handler registered on a key. */
typedef int (*SignalHandlerFn)(CycleContext *ctx, SignalRecord *record);
/* A signal listener attached to a key; its result is not used. */
typedef int (*SignalListenerFn)(CycleContext *ctx, SignalRecord *record, void *user);

/* The host's three callback functions, each with its user pointer. */
typedef struct HostCallbacks {
    HostFn hostFnA;
    void *hostUserA;
    HostFn hostFnB;
    void *hostUserB;
    HostFn hostFnC;
    void *hostUserC;
} HostCallbacks;

/* --- Signal registry (owned by the run; hosts only look) ---------------- */

struct SignalListener {
    SignalListenerFn pofFn;
    void *pofUser;
    SignalListenerFn pcfFn;
    void *pcfUser;
    SignalListener *next;
};

struct SignalEntry {
    uint16_t key;
    int32_t enabled; /* delivered only when exactly 1 */
    SignalHandlerFn pofHandler;
    SignalHandlerFn pcfHandler;
    SignalListener *listeners;
    SignalEntry *next;
};

/* --- The cycle record ---------------------------------------------------- */

/* The fields both revisions share, in order. Implicit padding follows the
 * platform's natural alignment. */
#define POFREADER_SHARED_CONTEXT_FIELDS                                        \
    CycleContext *parent;                                                      \
    int32_t inherited;                                                         \
    int16_t interfaceNumber;                                                   \
    int32_t cycleId;                                                           \
    uint16_t versionMajor;                                                     \
    uint16_t versionMinor;                                                     \
    uint16_t versionYear;                                                      \
    uint16_t versionMonth;                                                     \
    uint16_t versionDay;                                                       \
    const char *title;                                                         \
    const char *shortName;                                                     \
    char **arguments;                                                          \
    uint16_t argumentCount;                                                    \
    char *sourceName;                                                          \
    uint16_t flags;                                                            \
    int16_t mNumber;                                                           \
    int32_t pcfMode;                                                           \
    int32_t firstSignalPending;                                                \
    SignalEntry *signalRegistry;                                               \
    ConfigList config;                                                         \
    int32_t isCfgSource;                                                       \
    ConfigList cfgEntries;                                                     \
    int32_t readerWord;                                                        \
    FrameMatrix frameMatrix;                                                   \
    FrameMatrix toolMatrix;                                                    \
    PhaseFn argumentsPhase;                                                    \
    PhaseFn startPhase;                                                        \
    PhaseFn configPhase;                                                       \
    PhaseFn configCfgPhase;                                                    \
    PhaseFn flagVPhase;                                                        \
    PhaseFn flagQPhase;                                                        \
    PhaseFn flagPPhase;                                                        \
    PhaseFn flagAPhase;                                                        \
    PhaseFn flagYPhase;                                                        \
    PhaseFn flagDPhase;                                                        \
    PhaseFn mainPhase1;                                                        \
    PhaseFn mainPhase1Cfg;                                                     \
    PhaseFn mainPhase2;                                                        \
    PhaseFn mainPhase3;                                                        \
    PhaseFn mainPhase4;                                                        \
    PhaseFn endPhase;                                                          \
    EventCallbackFn eventCallback;                                             \
    void *eventUser;                                                           \
    uint32_t signalIn;                                                         \
    uint32_t signalOut;

/* The part of the record that every cycle shares with the host. */
struct CycleContext {
    POFREADER_SHARED_CONTEXT_FIELDS
#ifndef POFREADER_REVISION_700
    int32_t reserved;
    int32_t noSourceReport; /* non-zero: the start phase sends no configuration report */
#endif
};

/* The POF reading cycle's whole record. A cycle that names the POF reading
 * cycle as its parent inherits its phases and must therefore be laid out as
 * this record too. */
typedef struct PofCycleContext {
    CycleContext shared;
#ifndef POFREADER_REVISION_700
    FrameMatrix referenceMatrix;
    double pofValues[5]; /* held with their initial values 0, 0, 0, 1, 0 */
#endif
    char *toolpathFile;
    int32_t reserved;
} PofCycleContext;

/* --- The signal record --------------------------------------------------- */

enum {
    PFR_SIGNAL_NAME_SIZE = 256,
    PFR_SIGNAL_VALUE_SIZE = 520,
    PFR_SIGNAL_TEXT_SIZE = 776
};

typedef struct SignalNameValue {
    char name[PFR_SIGNAL_NAME_SIZE];
    char value[PFR_SIGNAL_VALUE_SIZE];
} SignalNameValue;

/* Straight moves (codes 3107, 3109, 3114, 3118). A value is meaningful only
 * when its given flag is 1. */
typedef struct SignalMove {
    int32_t xGiven;
    int32_t yGiven;
    int32_t zGiven;
    int32_t reserved20;
    double targetX;
    double targetY;
    double targetZ;
    int32_t uGiven;
    int32_t vGiven;
    int32_t wGiven;
    int32_t reserved60;
    double u;
    double v;
    double w;
} SignalMove;

/* Arcs (codes 3121, 3122). */
typedef struct SignalArc {
    int32_t direction; /* 1 for "-", 0 for "+" */
    unsigned char reserved12[28];
    double targetX;
    double targetY;
    double targetZ;
    double thirdX;
    double thirdY;
    double thirdZ;
} SignalArc;

/* Every signal travels in this record. The code says which body form holds;
 * bytes that the form does not name carry no meaning. */
struct SignalRecord {
    int32_t code;
    int32_t reserved;
    union {
        SignalNameValue nameValue;
        char text[PFR_SIGNAL_TEXT_SIZE];
        SignalMove move;
        SignalArc arc;
    } body;
};

/* --- Codes ----------------------------------------------------------------- */

/* Option bits in `flags`. */
enum {
    PFR_FLAG_V = 0x01,
    PFR_FLAG_Q = 0x02,
    PFR_FLAG_P = 0x04,
    PFR_FLAG_A = 0x08,
    PFR_FLAG_Y = 0x10,
    PFR_FLAG_D = 0x20,
    PFR_FLAG_INFO_MASK = 0x3F,
    PFR_FLAG_SOURCE = 0x100
};

/* Events: the opening code ends in 1, the closing code in 9. */
enum {
    PFR_EVENT_ARGUMENTS_BEGIN = 111,
    PFR_EVENT_ARGUMENTS_END = 119,
    PFR_EVENT_CONFIG_BEGIN = 121,
    PFR_EVENT_CONFIG_END = 129,
    PFR_EVENT_REGISTER_BEGIN = 131,
    PFR_EVENT_REGISTER_END = 139,
    PFR_EVENT_FLAG_V_BEGIN = 211,
    PFR_EVENT_FLAG_V_END = 219,
    PFR_EVENT_FLAG_Q_BEGIN = 221,
    PFR_EVENT_FLAG_Q_END = 229,
    PFR_EVENT_FLAG_P_BEGIN = 231,
    PFR_EVENT_FLAG_P_END = 239,
    PFR_EVENT_FLAG_A_BEGIN = 241,
    PFR_EVENT_FLAG_A_END = 249,
    PFR_EVENT_FLAG_Y_BEGIN = 251,
    PFR_EVENT_FLAG_Y_END = 259,
    PFR_EVENT_FLAG_D_BEGIN = 261,
    PFR_EVENT_FLAG_D_END = 269,
    PFR_EVENT_START_BEGIN = 311,
    PFR_EVENT_FIRST_SIGNAL = 312,
    PFR_EVENT_START_END = 319,
    PFR_EVENT_MAIN1_BEGIN = 321,
    PFR_EVENT_MAIN1_END = 329,
    PFR_EVENT_MAIN2_BEGIN = 331,
    PFR_EVENT_MAIN2_END = 339,
    PFR_EVENT_MAIN3_BEGIN = 341,
    PFR_EVENT_MAIN3_END = 349,
    PFR_EVENT_MAIN4_BEGIN = 351,
    PFR_EVENT_MAIN4_END = 359,
    PFR_EVENT_END_BEGIN = 391,
    PFR_EVENT_END_END = 399,
    PFR_EVENT_CLEANUP_BEGIN = 411,
    PFR_EVENT_CLEANUP_END = 419
};

/* Signal keys: a POF record's type is the key its content is sent under. */
enum {
    PFR_KEY_EVENT = 0,
    PFR_KEY_CONFIG_REPORT = 1,
    PFR_KEY_TEXT = 2,
    PFR_KEY_TRANSFORM = 10,
    PFR_KEY_TOOL = 11,
    PFR_KEY_MOVE = 31
};

/* Signal codes. */
enum {
    PFR_CODE_FRAME_VALUE = 100,
    PFR_CODE_ERROR = 101,
    PFR_CODE_BREAK = 102,
    PFR_CODE_CYCLE = 103,
    PFR_CODE_CYCLE_END = 104,
    PFR_CODE_MSG_FILE = 109,
    PFR_CODE_CFG_SOURCE = 112,
    PFR_CODE_REPORT_CALL = 201,
    PFR_CODE_REPORT_DEF = 202,
    PFR_CODE_REPORT_CFG = 204,
    PFR_CODE_NAMED_VALUE = 301,
    PFR_CODE_TEXT = 1001,
    PFR_CODE_RAPID = 3107,
    PFR_CODE_RAPID_AXIS = 3109,
    PFR_CODE_FEED = 3114,
    PFR_CODE_FEED_AXIS = 3118,
    PFR_CODE_ARC = 3121,
    PFR_CODE_ARC_NORMAL = 3122
};

/* 1 when `code` is one of the six codes of key 31, whose record is in the
 * move form (straight moves and arcs); else 0. */
static inline int isMoveCode(int32_t code) {
    return code == PFR_CODE_RAPID || code == PFR_CODE_RAPID_AXIS || code == PFR_CODE_FEED ||
           code == PFR_CODE_FEED_AXIS || code == PFR_CODE_ARC || code == PFR_CODE_ARC_NORMAL;
}

/* --- Exported entry points ------------------------------------------------ */

/* Returns the POF reading cycle's static record; never null. */
POFREADER_EXPORT CycleContext *qvCSgetCycle(void);
/* Runs one cycle on `ctx` (null: the POF reading cycle); one run at a time
 * per process, nested runs only from its host callbacks. Returns 1 when the
 * cycle was prepared and its phases ran, else 0. `host` may be null. */
POFREADER_EXPORT int qvCSexecCycle(CycleContext *ctx, int argc, char *const *argv,
                                   HostCallbacks *host);
/* Stores `value` in `signalIn` and returns the previous value. */
POFREADER_EXPORT int qvCSsetSignal(CycleContext *ctx, int value);
/* Returns `signalOut`. */
POFREADER_EXPORT int qvCSgetSignal(CycleContext *ctx);

/* The entry points' types, for hosts that resolve them with dlsym. */
typedef CycleContext *(*qvCSgetCycleFn)(void);
typedef int (*qvCSexecCycleFn)(CycleContext *, int, char *const *, HostCallbacks *);
typedef int (*qvCSsetSignalFn)(CycleContext *, int);
typedef int (*qvCSgetSignalFn)(CycleContext *);

/* --- Layout pins ------------------------------------------------------------ */

#if defined(__cplusplus)
#define POFREADER_PIN(cond, msg) static_assert(cond, msg)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define POFREADER_PIN(cond, msg) _Static_assert(cond, msg)
#else
#define POFREADER_PIN_JOIN2(a, b) a##b
#define POFREADER_PIN_JOIN(a, b) POFREADER_PIN_JOIN2(a, b)
#define POFREADER_PIN(cond, msg)                                               \
    typedef char POFREADER_PIN_JOIN(pofreader_pin_, __LINE__)[(cond) ? 1 : -1]
#endif

/* P(a, b): offset a with 4-byte pointers, b with 8-byte pointers. */
#if UINTPTR_MAX == 0xFFFFFFFFu
#define POFREADER_AT(p4, p8) (p4)
#else
#define POFREADER_AT(p4, p8) (p8)
#endif
#define POFREADER_PIN_AT(type, field, p4, p8)                                  \
    POFREADER_PIN(offsetof(type, field) == POFREADER_AT(p4, p8), #type "." #field)

POFREADER_PIN_AT(CycleContext, parent, 0, 0);
POFREADER_PIN_AT(CycleContext, inherited, 4, 8);
POFREADER_PIN_AT(CycleContext, interfaceNumber, 8, 12);
POFREADER_PIN_AT(CycleContext, cycleId, 12, 16);
POFREADER_PIN_AT(CycleContext, versionMajor, 16, 20);
POFREADER_PIN_AT(CycleContext, versionMinor, 18, 22);
POFREADER_PIN_AT(CycleContext, versionYear, 20, 24);
POFREADER_PIN_AT(CycleContext, versionMonth, 22, 26);
POFREADER_PIN_AT(CycleContext, versionDay, 24, 28);
POFREADER_PIN_AT(CycleContext, title, 28, 32);
POFREADER_PIN_AT(CycleContext, shortName, 32, 40);
POFREADER_PIN_AT(CycleContext, arguments, 36, 48);
POFREADER_PIN_AT(CycleContext, argumentCount, 40, 56);
POFREADER_PIN_AT(CycleContext, sourceName, 44, 64);
POFREADER_PIN_AT(CycleContext, flags, 48, 72);
POFREADER_PIN_AT(CycleContext, mNumber, 50, 74);
POFREADER_PIN_AT(CycleContext, pcfMode, 52, 76);
POFREADER_PIN_AT(CycleContext, firstSignalPending, 56, 80);
POFREADER_PIN_AT(CycleContext, signalRegistry, 60, 88);
POFREADER_PIN_AT(CycleContext, config, 64, 96);
POFREADER_PIN_AT(CycleContext, isCfgSource, 68, 104);
POFREADER_PIN_AT(CycleContext, cfgEntries, 72, 112);
POFREADER_PIN_AT(CycleContext, readerWord, 76, 120);
POFREADER_PIN_AT(CycleContext, frameMatrix, 80, 128);
POFREADER_PIN_AT(CycleContext, toolMatrix, 208, 256);
POFREADER_PIN_AT(CycleContext, argumentsPhase, 336, 384);
POFREADER_PIN_AT(CycleContext, startPhase, 340, 392);
POFREADER_PIN_AT(CycleContext, configPhase, 344, 400);
POFREADER_PIN_AT(CycleContext, configCfgPhase, 348, 408);
POFREADER_PIN_AT(CycleContext, flagVPhase, 352, 416);
POFREADER_PIN_AT(CycleContext, flagQPhase, 356, 424);
POFREADER_PIN_AT(CycleContext, flagPPhase, 360, 432);
POFREADER_PIN_AT(CycleContext, flagAPhase, 364, 440);
POFREADER_PIN_AT(CycleContext, flagYPhase, 368, 448);
POFREADER_PIN_AT(CycleContext, flagDPhase, 372, 456);
POFREADER_PIN_AT(CycleContext, mainPhase1, 376, 464);
POFREADER_PIN_AT(CycleContext, mainPhase1Cfg, 380, 472);
POFREADER_PIN_AT(CycleContext, mainPhase2, 384, 480);
POFREADER_PIN_AT(CycleContext, mainPhase3, 388, 488);
POFREADER_PIN_AT(CycleContext, mainPhase4, 392, 496);
POFREADER_PIN_AT(CycleContext, endPhase, 396, 504);
POFREADER_PIN_AT(CycleContext, eventCallback, 400, 512);
POFREADER_PIN_AT(CycleContext, eventUser, 404, 520);
POFREADER_PIN_AT(CycleContext, signalIn, 408, 528);
POFREADER_PIN_AT(CycleContext, signalOut, 412, 532);
#ifndef POFREADER_REVISION_700
POFREADER_PIN_AT(CycleContext, reserved, 416, 536);
POFREADER_PIN_AT(CycleContext, noSourceReport, 420, 540);
POFREADER_PIN(sizeof(CycleContext) == POFREADER_AT(424, 544), "CycleContext size");
POFREADER_PIN_AT(PofCycleContext, referenceMatrix, 424, 544);
POFREADER_PIN_AT(PofCycleContext, pofValues, 552, 672);
POFREADER_PIN_AT(PofCycleContext, toolpathFile, 592, 712);
POFREADER_PIN_AT(PofCycleContext, reserved, 596, 720);
POFREADER_PIN(sizeof(PofCycleContext) == POFREADER_AT(600, 728), "PofCycleContext size");
#else
POFREADER_PIN(sizeof(CycleContext) == POFREADER_AT(416, 536), "CycleContext size");
POFREADER_PIN_AT(PofCycleContext, toolpathFile, 416, 536);
POFREADER_PIN_AT(PofCycleContext, reserved, 420, 544);
POFREADER_PIN(sizeof(PofCycleContext) == POFREADER_AT(424, 552), "PofCycleContext size");
#endif

POFREADER_PIN_AT(HostCallbacks, hostFnA, 0, 0);
POFREADER_PIN_AT(HostCallbacks, hostUserA, 4, 8);
POFREADER_PIN_AT(HostCallbacks, hostFnB, 8, 16);
POFREADER_PIN_AT(HostCallbacks, hostUserB, 12, 24);
POFREADER_PIN_AT(HostCallbacks, hostFnC, 16, 32);
POFREADER_PIN_AT(HostCallbacks, hostUserC, 20, 40);
POFREADER_PIN(sizeof(HostCallbacks) == POFREADER_AT(24, 48), "HostCallbacks size");

POFREADER_PIN(sizeof(SignalRecord) == 784, "SignalRecord size");
POFREADER_PIN(offsetof(SignalRecord, code) == 0, "SignalRecord.code");
POFREADER_PIN(offsetof(SignalRecord, body) == 8, "SignalRecord.body");
POFREADER_PIN(offsetof(SignalRecord, body.nameValue.name) == 8, "name field");
POFREADER_PIN(offsetof(SignalRecord, body.nameValue.value) == 264, "value field");
POFREADER_PIN(offsetof(SignalRecord, body.text) == 8, "text field");
POFREADER_PIN(offsetof(SignalRecord, body.move.xGiven) == 8, "move x given");
POFREADER_PIN(offsetof(SignalRecord, body.move.yGiven) == 12, "move y given");
POFREADER_PIN(offsetof(SignalRecord, body.move.zGiven) == 16, "move z given");
POFREADER_PIN(offsetof(SignalRecord, body.move.targetX) == 24, "move target x");
POFREADER_PIN(offsetof(SignalRecord, body.move.targetY) == 32, "move target y");
POFREADER_PIN(offsetof(SignalRecord, body.move.targetZ) == 40, "move target z");
POFREADER_PIN(offsetof(SignalRecord, body.move.uGiven) == 48, "move u given");
POFREADER_PIN(offsetof(SignalRecord, body.move.vGiven) == 52, "move v given");
POFREADER_PIN(offsetof(SignalRecord, body.move.wGiven) == 56, "move w given");
POFREADER_PIN(offsetof(SignalRecord, body.move.u) == 64, "move u");
POFREADER_PIN(offsetof(SignalRecord, body.move.v) == 72, "move v");
POFREADER_PIN(offsetof(SignalRecord, body.move.w) == 80, "move w");
POFREADER_PIN(offsetof(SignalRecord, body.arc.direction) == 8, "arc direction");
POFREADER_PIN(offsetof(SignalRecord, body.arc.targetX) == 40, "arc target x");
POFREADER_PIN(offsetof(SignalRecord, body.arc.targetY) == 48, "arc target y");
POFREADER_PIN(offsetof(SignalRecord, body.arc.targetZ) == 56, "arc target z");
POFREADER_PIN(offsetof(SignalRecord, body.arc.thirdX) == 64, "arc third x");
POFREADER_PIN(offsetof(SignalRecord, body.arc.thirdY) == 72, "arc third y");
POFREADER_PIN(offsetof(SignalRecord, body.arc.thirdZ) == 80, "arc third z");

POFREADER_PIN_AT(ConfigNode, name, 0, 0);
POFREADER_PIN_AT(ConfigNode, value, 4, 8);
POFREADER_PIN_AT(ConfigNode, tag, 8, 16);
POFREADER_PIN_AT(ConfigNode, next, 12, 24);
POFREADER_PIN(sizeof(FrameMatrix) == 128, "FrameMatrix size");

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* POFREADER_POFREADER_H */

/*
 * pofreader: the quorvant POF Reading Cycle, a cycle that a host cycle system
 * loads as a shared library (libpofreader.so, or libpofreader-7.00.so for the
 * earlier revision). pofreader(3) is the same contract as a manual page.
 *
 * This header is everything a host needs: the records shared with the library,
 * the callback types, the four exported entry points and the codes that travel
 * through them. It is valid C (C99 or later) and C++.
 *
 * A run, in short. The host loads the library, takes the cycle's record from
 * qvCSgetCycle, checks that it is the revision this header describes
 * (pofreaderRevisionMatches), and calls qvCSexecCycle with the cycle's
 * arguments ("-Sjob") and its HostCallbacks. The run reads the cycle's
 * configuration and its POF toolpath file and delivers every record it reads,
 * in file order, to the host's functions as a SignalRecord; it returns when the
 * file is read. Nothing is held between runs but the static records.
 *
 * Revisions. The library ships in two revisions: the current one (9.50) and the
 * earlier one (7.00). Their records differ only at the tail of the cycle
 * record. A host built against the earlier revision defines
 * POFREADER_REVISION_700 before including this header; everything up to and
 * including `signalOut` has the same layout in both, so the version fields can
 * be read from either library's record. The CMake targets and pkg-config
 * files that link a revision define POFREADER_REVISION_950 or
 * POFREADER_REVISION_700 for the host; a host built with both stops at compile
 * time (it would read one revision's record with the other's layout).
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
 * state. While a run is in progress on one thread, a
 * qvCSexecCycle from any other thread returns 0 at once, raises no event and
 * touches no record (as a ninth nested run does); once the running thread's
 * outermost run has returned, any thread may run. A run may start a nested run
 * only from within one of its host callbacks, on the same thread, at most
 * eight runs at once; each reader finishes before control returns to the
 * host, so nesting is safe. Meanwhile qvCSgetCycle, qvCSsetSignal and
 * qvCSgetSignal work from any thread: the first returns the constant record
 * pointer, the other two read or write their one word whole. Every other field
 * of a record in use by a run belongs to the running thread until it returns.
 *
 * Host functions return normally. A host function (and an event callback)
 * must return to the library: leaving a run by a C++ exception, longjmp or
 * thread cancellation leaves the toolpath file open, its block allocated and
 * the frame taken by that thread, so no other thread's run can start. The
 * record is the host's only channel: what a host function returns is not
 * used, and a host cannot stop or shorten a run; a host that wants no more
 * simply ignores the rest of the deliveries.
 */
#ifndef POFREADER_POFREADER_H
#define POFREADER_POFREADER_H

#include <stddef.h>
#include <stdint.h>

/* --- Version ---------------------------------------------------------------- */

/* The revision this header describes: 9.50, or 7.00 with
 * POFREADER_REVISION_700. The loaded library's record carries its own in
 * `versionMajor` and `versionMinor` (9 and 50, or 7 and 0); see
 * pofreaderRevisionMatches below. */
#ifdef POFREADER_REVISION_700
#define POFREADER_VERSION_MAJOR 7
#define POFREADER_VERSION_MINOR 0
#define POFREADER_VERSION_STRING "7.00"
#else
#define POFREADER_VERSION_MAJOR 9
#define POFREADER_VERSION_MINOR 50
#define POFREADER_VERSION_STRING "9.50"
#endif

#if defined(POFREADER_REVISION_700) && defined(POFREADER_REVISION_950)
#error "pofreader: this host is built for both revisions (POFREADER_REVISION_700 and POFREADER_REVISION_950): link one of pofreader::pofreader and pofreader::pofreader700, or use one of pofreader.pc and pofreader-7.00.pc"
#endif

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
/* Receives the frame's events (PFR_EVENT_*); the result is not used. */
typedef int (*EventCallbackFn)(CycleContext *ctx, int event, void *user);
/* A host function. `ctx` is the record of the run, `code` the signal key the
 * record was sent on (PFR_KEY_*; the record's own code says what it holds),
 * `user` the function's user pointer. The result is not used. */
typedef int (*HostFn)(CycleContext *ctx, int code, SignalRecord *record, void *user);
/* A signal handler registered on a key. */
typedef int (*SignalHandlerFn)(CycleContext *ctx, SignalRecord *record);
/* A signal listener attached to a key; its result is not used. */
typedef int (*SignalListenerFn)(CycleContext *ctx, SignalRecord *record, void *user);

/* The host's three callback functions, each with its user pointer, passed to
 * qvCSexecCycle; the host owns the record, and it must stay valid until that
 * call returns. Any function may be null: it is skipped. A run attaches the
 * functions at its first signal and calls them synchronously, on the running
 * thread, in the order the records are read; each call must return normally
 * (see "Host functions return normally" above). Which keys reach which
 * function, with the `code` argument each receives:
 *
 *   hostFnA  key 0 (code 0): events and frame values, codes 100 to 112
 *            key 10 (code 10): named values, code 301 (transformation records)
 *            key 31 (code 31): moves, codes 3107 to 3122
 *            keys 11, 12, 35, 41, 42 (the code is the key)
 *   hostFnB  key 0 (code 0), after hostFnA, with the same record
 *            key 1 (code 1): the configuration report, codes 201, 202, 204
 *            key 2 (code 2): text records, code 1001
 *   hostFnC  keys 3 and 40 (the code is the key)
 *
 * A key reaches the host only when the running cycle registered it. The POF
 * reading cycle registers keys 0, 2, 10, 11 and 31 and sends nothing on key
 * 11, so its configuration report (key 1) reaches nobody and hostFnC is never
 * called: hostFnC and the other keys serve cycles built on this record that
 * register them. hostFnA and hostFnB receive the very same record on key 0:
 * what hostFnA writes into it is what hostFnB reads. A host function may
 * write into the record it receives; the library does not read it back. The
 * record is valid only during the call: copy what is kept. A function may
 * call qvCSexecCycle (a nested run), qvCSsetSignal, qvCSgetSignal and
 * qvCSgetCycle. Its result is not used: 0 refuses nothing and stops nothing. */
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
 * platform's natural alignment.
 *
 * What a host may do with the fields of the record from qvCSgetCycle:
 * - Read at any time: `cycleId` (1100), `interfaceNumber` (5), the version
 *   (`versionMajor`, `versionMinor`: 9 and 50 in the current revision, of 2
 *   December 2008; 7 and 0 in the earlier one, of 5 August 2002; `versionYear`,
 *   `versionMonth`, `versionDay`), `title` ("quorvant POF Reading Cycle"),
 *   `shortName` ("pofreader", the base name of the defaults file), `parent`
 *   (the base cycle "Grundwerk", version 5.00).
 * - Read from within a host function or an event callback during a run:
 *   `arguments` and `argumentCount` (copies of the positional arguments),
 *   `sourceName` (copy of the text of -S), `flags` (PFR_FLAG_*), `mNumber`,
 *   `pcfMode`, `isCfgSource`, and the lists `config` and `cfgEntries`, walked
 *   through `next` and never changed. The lists, `arguments` and
 *   `sourceName` are released at the end of the run (null afterwards); the
 *   others keep their values until the next run's preparation.
 * - Read from the first delivery of a run on, and after the run until the
 *   next one: `frameMatrix`, `toolMatrix` and, in the current revision,
 *   `referenceMatrix` of PofCycleContext (identity before the first run).
 * - Write before a run: `eventCallback` and `eventUser`, which then receive the
 *   preparation's events (111 and 119 with positional arguments, 121 and 129;
 *   411 and 419 when the configuration fails); the run replaces them with its
 *   own for its phases and leaves both null. In the current revision,
 *   `noSourceReport`: non-zero, and the run sends no "cfgSource" signal and no
 *   configuration report.
 * - The signal words `signalIn` and `signalOut` are the host's: use
 *   qvCSsetSignal and qvCSgetSignal, from any thread at any time. The library
 *   never reads `signalIn` and never writes `signalOut`.
 * - Everything else (the slots, `inherited`, `firstSignalPending`,
 *   `signalRegistry`, `readerWord`, the per-run fields) belongs to the
 *   library: a host only looks. A host that defines a cycle of its own puts it
 *   in a record of its own, with `parent` set, `inherited` 0, the same
 *   `interfaceNumber` and null slots where it inherits; a record that names
 *   the POF reading cycle as its parent is laid out as PofCycleContext.
 *
 * A record of the earlier revision ends after `signalOut`: a host built for
 * the current revision that writes `noSourceReport` into it writes past the
 * record. Check the revision first (pofreaderRevisionMatches). */
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

/* Every delivery is one 784-byte SignalRecord: `code` says which form the body
 * has, and only the fields of that form carry meaning; other bytes are left as
 * the sender found them. The forms:
 * - name/value (SignalNameValue): key 0 codes 100 frame value (frameCs_*,
 *   locFrameCs_*, reference_o, trans_*, wpCs_*; the earlier revision sends
 *   frameCs_* only), 101 "error", 102 "break", 103 "cycle", 104
 *   "cycleEnd" (from the file, and one at the end of every run with the
 *   cycle's title), 109 "msgFile", 112 "cfgSource" (the value is the -S
 *   text); key 1 codes 201 "call", 202 "def", 204 "cfg"; key 10 code 301 (a
 *   transformation record's name and value). The name is the record's
 *   name, the value its text; both are NUL-terminated.
 * - text: key 2 code 1001, the text record's payload, NUL-terminated.
 * - straight move (SignalMove): key 31 codes 3107 (rapid), 3109 (rapid with a
 *   tool axis component), 3114 (feed), 3118 (feed with a tool axis
 *   component). A coordinate or component whose given flag is 0 holds no
 *   meaning: it was neither in the record nor written, so read targetX only
 *   when xGiven is 1. Coordinates not given stay where the previous move left
 *   them.
 * - arc (SignalArc): key 31 codes 3121, and 3122 when the axis normal to the
 *   active workplane was given (the earlier revision: when z was given). The
 *   direction, the targets and the third values are always written, completed
 *   from the previous position; the earlier revision does not write thirdZ.
 * isMoveCode tells the move codes apart. */

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
 * when its given flag is 1; otherwise it holds no meaning. */
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

/* --- Checking the loaded revision --------------------------------------------- */

/* 1 when `cycle` (the record from qvCSgetCycle) is of the revision this header
 * describes, else 0 (also for null). The version fields lie in the part both
 * revisions share, so the test is safe on either library's record; a host
 * that gets 0 must not touch the fields past `signalOut`, nor read the
 * record's tail with this header's layout. The library itself never refuses a
 * host of the other revision. */
static inline int pofreaderRevisionMatches(const CycleContext *cycle) {
    return cycle != NULL && cycle->versionMajor == POFREADER_VERSION_MAJOR &&
           cycle->versionMinor == POFREADER_VERSION_MINOR;
}

/* --- Exported entry points ------------------------------------------------ */

/* qvCSgetCycle returns the POF reading cycle's static record: never null,
 * the same pointer on every call, from any thread, also from a callback. Cast
 * it to PofCycleContext to reach the cycle's own fields. The record lives as
 * long as the library is loaded; nothing is allocated. */
POFREADER_EXPORT CycleContext *qvCSgetCycle(void);

/* qvCSexecCycle runs the cycle of `ctx` once (null: the POF reading cycle)
 * with the `argc` arguments of `argv` (no program name before them) and
 * delivers what it reads to `host` (null: to nobody). It returns when the run
 * is over:
 *   1  the cycle was prepared and its phases ran, whatever they found: a
 *      missing parameter or toolpath file, a dropped record or a failed
 *      information option still gives 1;
 *   0  nothing ran: a bad argument vector (see "Argument vectors"), eight
 *      runs already in progress, a run in progress on another thread, or a
 *      record whose `interfaceNumber` differs from its parent's.
 * The vector is copied; the library keeps no pointer into it, nor to `host`,
 * after the call. Everything the run allocates (argument copies, the source
 * name, the configuration lists, the signal registry, the toolpath file name)
 * is released before it returns; the matrices stay in the record.
 *
 * The cycle's own options (the letter after "-" or "/"):
 *   -S<name>  the source: the parameter file <name>.pcf (".pcf" added unless
 *             the name ends in it, case ignored), "-S| stdin" reads it from
 *             standard input, and a name ending in ".CFG" (case ignored) is a
 *             .CFG line file read instead. With -S and no information option
 *             the run reads the toolpath file; without -S it reads none.
 *   -M<n>     stores the decimal number n in `mNumber`; nothing else uses it.
 *   -PCF      PCF mode: the handlers' PCF variants run, the host receives
 *             nothing, and "POFbypass" is not copied. -POF (the default) sets
 *             POF mode back. After the capital P, the letters' case is ignored.
 *   -IPC...   accepted and ignored.
 *   -V, -?    information options that do nothing in this cycle; a run given
 *             neither -S nor a single-letter option runs these two. An argument that begins with "?"
 *             drops the option bits given before it and stands for -?.
 *   -P, -A, -Y  check the section file named by the configuration value
 *             "parameters", "algorithm" or "layers" for the language named by
 *             "SystemLanguage"; nothing is delivered or printed.
 *   -D        does nothing.
 * The single letters take either case. Any information option (-V, -?, -P,
 * -A, -Y, -D) replaces reading the toolpath. Every other argument, -S or -M
 * without text included, is positional: kept in `arguments` for the run.
 *
 * Files a run reads and writes (relative names are relative to the process's
 * current directory; no search path):
 *   pofreader.def  the defaults file (from `shortName`), a key file; its
 *                  entries are tagged 13 and any entry of the parameter file
 *                  overrides them. Not read for a .CFG source.
 *   <name>.pcf     the parameter file, a key file (name := value), tag 21.
 *                  The current revision tries a key-file path with '/'
 *                  turned into '\' first, then as written (so "-Ssub/job"
 *                  reads sub/job.pcf); the earlier revision opens it as
 *                  written. A leading '~' stands for $HOME.
 *   <name>.CFG     a .CFG source, a line file, into `cfgEntries`.
 *   the toolpath   the POF file named by the configuration value "toolpath"
 *                  (".CFG" runs: "*TOOLPATH" in `config`).
 *   section files  for -P, -A and -Y.
 *   "POFbypass"    the file this configuration value names is copied to
 *                  standard output before the run (not in PCF mode).
 *   EDK.TXT        in the current directory: one line " methode = '<name>'"
 *                  appended for each method element of a tool record; never
 *                  read or truncated.
 * A file that cannot be opened is passed over silently; the run goes on with
 * what it has. Nothing else is written.
 *
 * Events go to `ctx->eventCallback`, if the host set one, during the
 * preparation only (see the record's fields). From a host function: a nested
 * run on any record (at most eight runs at once; a ninth returns 0 and raises
 * nothing). A nested run on the record that is delivering shares that run's
 * registry: the host functions are attached a second time, so each of the
 * nested run's records reaches them twice, and the nested run releases the
 * registry and lists, so the outer run goes on and ends normally but its
 * later records reach nobody. A nested run on a record of its own (a copy of
 * the record taken before the run) has neither effect. */
POFREADER_EXPORT int qvCSexecCycle(CycleContext *ctx, int argc, char *const *argv,
                                   HostCallbacks *host);

/* qvCSsetSignal stores `value` in `signalIn` of `ctx` (null: the POF reading
 * cycle's record) and returns the value it held before (0 on a fresh record).
 * The library never reads the word: it is for the host and the cycles built
 * on the record. Any thread, any time, also during a run. */
POFREADER_EXPORT int qvCSsetSignal(CycleContext *ctx, int value);

/* qvCSgetSignal returns `signalOut` of `ctx` (null: the POF reading cycle's
 * record). The library never writes the word, so for its own records it is 0
 * unless the host stored something there. Any thread, any time. */
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

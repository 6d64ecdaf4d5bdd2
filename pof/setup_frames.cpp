// Cycle set-up: the configuration phases that load the defaults, parameter or
// .CFG file and build the frame, tool and reference matrices from the
// configured axis and origin triples.
#include <cmath>
#include <cstring>

#include "common/common.h"
#include "common/limits.h"
#include "config/config.h"
#include "frame/frame.h"
#include "pof/pof.h"

namespace pofreader {

namespace {

// An axis this short has no direction worth keeping.
constexpr double kUnitAxisThreshold = 1e-8;

constexpr char kStdinSource[] = "| stdin";
constexpr char kParameterExtension[] = ".pcf";
constexpr char kCfgExtension[] = ".CFG";
constexpr char kDefaultsExtension[] = ".def";

// The four configuration names of one frame: three axes and the origin, in
// column order.
struct FrameNames {
    const char* axis[3];
    const char* origin;
};

constexpr FrameNames kFrameCs = {{"frameCs_x", "frameCs_y", "frameCs_z"}, "frameCs_o"};
constexpr FrameNames kToolCs = {{"toolCs_x", "toolCs_y", "toolCs_z"}, "toolCs_o"};
constexpr FrameNames kCfgFrameCs = {{"*NCKO_X", "*NCKO_Y", "*NCKO_Z"}, "*NCKO_O"};
constexpr FrameNames kCfgToolCs = {{"*WZKO_X", "*WZKO_Y", "*WZKO_Z"}, "*WZKO_O"};
#ifndef POFREADER_REVISION_700
constexpr FrameNames kLocFrameCs = {{"locFrameCs_x", "locFrameCs_y", "locFrameCs_z"},
                                    "locFrameCs_o"};
#endif

// Entries of a .CFG source that the set-up copies into `config` under a name of
// its own. ORDER: the last matching line of the file wins for each.
struct DerivedEntry {
    const char* cfgName;
    const char* configName;
    bool escaped;  // passed through escapeText first
};

constexpr DerivedEntry kDerivedEntries[] = {
    {"*APT", "pofFilename", false},
    {"*FRAME_ID", "zeroPointID", false},
#ifndef POFREADER_REVISION_700
    {"*FRAME_COMMENT", "frameComment", true},
#endif
};

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// True when `text` is at least as long as `suffix` and ends in it, case
// ignored.
bool endsWithIgnoringCase(const char* text, const char* suffix) {
    const std::size_t textLength = std::strlen(text);
    const std::size_t suffixLength = std::strlen(suffix);
    if (textLength < suffixLength) return false;
    const char* tail = text + (textLength - suffixLength);
    for (std::size_t i = 0; i < suffixLength; ++i)
        if (asciiLower(tail[i]) != asciiLower(suffix[i])) return false;
    return true;
}

// Writes `base` followed by `extension` into `out` (`outSize` bytes). With
// `keepExisting`, a base that already ends in the extension (case ignored) is
// taken as it is. Returns false, leaving nothing to open, when the name does
// not fit: a cut name could name a different file.
bool composeFileName(const char* base, const char* extension, bool keepExisting, char* out,
                     std::size_t outSize) {
    const std::size_t baseLength = std::strlen(base);
    const std::size_t extensionLength =
        (keepExisting && endsWithIgnoringCase(base, extension)) ? 0 : std::strlen(extension);
    if (baseLength + extensionLength >= outSize) return false;
    std::memcpy(out, base, baseLength);
    std::memcpy(out + baseLength, extension, extensionLength);
    out[baseLength + extensionLength] = '\0';
    return true;
}

// Reads the matching entries of `list` into three places; `unit` makes them an
// axis of length one and drops a (near) zero vector.
void readTriple(ConfigNode* list, const char* name, MatchMode mode, bool unit, double* x,
                double* y, double* z) {
    for (ConfigNode* node = list; node != nullptr; node = node->next) {
        if (node->name == nullptr || std::strcmp(node->name, name) != 0) continue;
        double a = 0, b = 0, c = 0;
        if (parseTriple(node->value, &a, &b, &c) == 3) {
            if (!unit) {
                *x = a;
                *y = b;
                *z = c;
            } else {
                const double length = std::hypot(std::hypot(a, b), c);
                if (length > kUnitAxisThreshold) {
                    if constexpr (kEarlierRevision) {
                        *x = a / length;
                        *y = b / length;
                        *z = c / length;
                    } else {
                        const double reciprocal = 1.0 / length;
                        *x = a * reciprocal;
                        *y = b * reciprocal;
                        *z = c * reciprocal;
                    }
                }
            }
        }
        if (mode == kFirstMatch) return;
    }
}

// Column `column` of a frame: rows 0 to 2.
double* columnRow(FrameMatrix* matrix, int column, int row) { return &matrix->m[4 * row + column]; }

// Fills the axis columns and the origin column of `matrix` from the entries
// named by `names`; what is not configured keeps its value.
void readFrame(ConfigNode* list, const FrameNames& names, MatchMode mode, FrameMatrix* matrix) {
    for (int column = 0; column < 3; ++column)
        readUnitAxis(list, names.axis[column], mode, columnRow(matrix, column, 0),
                     columnRow(matrix, column, 1), columnRow(matrix, column, 2));
    readPoint(list, names.origin, mode, columnRow(matrix, 3, 0), columnRow(matrix, 3, 1),
              columnRow(matrix, 3, 2));
}

// Loads the parameter file named by the source: "| stdin" as it is, any other
// name with ".pcf" unless it has it. A name too long for its buffer is not
// opened.
ConfigNode* loadParameterFile(ConfigNode* config, const char* source) {
    if (std::strcmp(source, kStdinSource) == 0)
        return configLoadKeyFile(config, kStdinSource, PFR_TAG_CALL);
    char path[kParameterNameSize];
    if (!composeFileName(source, kParameterExtension, true, path, sizeof path)) return config;
    return configLoadKeyFile(config, path, PFR_TAG_CALL);
}

#ifndef POFREADER_REVISION_700
// True when `ctx` is laid out as the POF cycle's record. The read phase takes
// any record that runs it for one, so a record holding that phase is one
// here too: a host's copy of the record, whose parent is the base cycle, gets
// its reference matrix like the record itself. So does a cycle built on the
// record before its first run has filled its slots. The base cycle and its
// other children end at the shared part and have no reference matrix. A
// looping parent chain counts as no.
bool hasPofPart(const CycleContext* ctx) {
    if (ctx->mainPhase4 == readPofFile) return true;
    const CycleContext* pof = &pofCycleRecord.shared;
    const CycleContext* slow = ctx;
    const CycleContext* fast = ctx;
    while (fast != nullptr) {
        if (fast == pof) return true;
        fast = fast->parent;
        if (fast == nullptr) return false;
        if (fast == pof) return true;
        fast = fast->parent;
        slow = slow->parent;
        if (fast == slow) return false;
    }
    return false;
}
#endif

// Copies the .CFG entries that the cycle knows under names of its own into
// `config`, tag 31.
ConfigNode* deriveCfgEntries(ConfigNode* config, ConfigNode* cfgEntries) {
    for (ConfigNode* node = cfgEntries; node != nullptr; node = node->next) {
        if (node->name == nullptr || node->name[0] != '*') continue;
        for (const DerivedEntry& entry : kDerivedEntries) {
            if (std::strcmp(node->name, entry.cfgName) != 0) continue;
#ifndef POFREADER_REVISION_700
            if (entry.escaped) {
                // A comment that escapes to more than the buffer holds is cut
                // after the last whole escaped character that fits.
                char comment[kFrameCommentSize];
                escapeText(comment, sizeof comment, node->value);
                config = configSet(config, entry.configName, comment, PFR_TAG_DERIVED);
                continue;
            }
#endif
            config = configSet(config, entry.configName, node->value, PFR_TAG_DERIVED);
        }
    }
    return config;
}

}  // namespace

// Reads the axis `name` from `list` into x, y, z scaled to length one. A value
// that is not three numbers, or whose length is 1e-8 or less, stores nothing.
// First match: only the first entry of the name counts; all matches: the last
// usable one wins.
void readUnitAxis(ConfigNode* list, const char* name, MatchMode mode, double* x, double* y,
                  double* z) {
    readTriple(list, name, mode, true, x, y, z);
}

// As readUnitAxis, the numbers stored as they are.
void readPoint(ConfigNode* list, const char* name, MatchMode mode, double* x, double* y,
               double* z) {
    readTriple(list, name, mode, false, x, y, z);
}

// Gives every tool entry that `config` lacks the value of its frame entry,
// tag 31: the tool system defaults to the frame system.
void defaultToolAxes(CycleContext* ctx) {
    constexpr int kPairs = 4;
    const char* frameNames[kPairs] = {kFrameCs.axis[0], kFrameCs.axis[1], kFrameCs.axis[2],
                                      kFrameCs.origin};
    const char* toolNames[kPairs] = {kToolCs.axis[0], kToolCs.axis[1], kToolCs.axis[2],
                                     kToolCs.origin};
    const char* frameValue[kPairs] = {};
    bool toolPresent[kPairs] = {};

    for (ConfigNode* node = ctx->config; node != nullptr; node = node->next) {
        if (node->name == nullptr) continue;
        for (int i = 0; i < kPairs; ++i) {
            if (std::strcmp(node->name, toolNames[i]) == 0) toolPresent[i] = true;
            if (std::strcmp(node->name, frameNames[i]) == 0) frameValue[i] = node->value;
        }
    }
    // configSet copies the value and only prepends here (the tool name is
    // new), so the frame values noted above stay valid.
    for (int i = 0; i < kPairs; ++i)
        if (!toolPresent[i] && frameValue[i] != nullptr)
            ctx->config = configSet(ctx->config, toolNames[i], frameValue[i], PFR_TAG_DERIVED);
}

// configPhase of the base cycle: the defaults file "<shortName>.def" (tag 13),
// the parameter file (tag 21), then the frames. Always succeeds.
int setupFramesFromDefaults(CycleContext* ctx) {
    // ---- configuration sources
    if (ctx->shortName != nullptr) {
        // The defaults name has the parameter name's bound; longer is not opened.
        char path[kParameterNameSize];
        if (composeFileName(ctx->shortName, kDefaultsExtension, false, path, sizeof path))
            ctx->config = configLoadKeyFile(ctx->config, path, PFR_TAG_DEFAULTS_FILE);
    }
    if (ctx->sourceName != nullptr) ctx->config = loadParameterFile(ctx->config, ctx->sourceName);

    // ---- frame system, then the tool system starting from it
    frameIdentity(&ctx->frameMatrix);
    readFrame(ctx->config, kFrameCs, kFirstMatch, &ctx->frameMatrix);

    frameCopy(&ctx->toolMatrix, &ctx->frameMatrix);
    defaultToolAxes(ctx);
    readFrame(ctx->config, kToolCs, kFirstMatch, &ctx->toolMatrix);

#ifndef POFREADER_REVISION_700
    // ---- reference system: the local frame seen from the frame system
    if (hasPofPart(ctx)) {
        FrameMatrix local;
        frameIdentity(&local);
        readFrame(ctx->config, kLocFrameCs, kFirstMatch, &local);
        FrameMatrix inverse;
        frameInvert(&inverse, &ctx->frameMatrix);
        frameMultiply(&pofPart(ctx)->referenceMatrix, &inverse, &local);
    }
#endif
    return 1;
}

// configCfgPhase of the base cycle: the .CFG source into `cfgEntries` (tag 21),
// the derived entries, then the frames from "*NCKO_*" in the file and
// "*WZKO_*" in `config`. The reference matrix is left as it is. Always
// succeeds.
int setupFramesFromCfg(CycleContext* ctx) {
    // ---- configuration source
    if (ctx->sourceName != nullptr) {
        char path[kCfgNameSize];
        if (composeFileName(ctx->sourceName, kCfgExtension, true, path, sizeof path))
            ctx->cfgEntries = configLoadLineFile(ctx->cfgEntries, path, PFR_TAG_CALL);
    }
    ctx->config = deriveCfgEntries(ctx->config, ctx->cfgEntries);

    // ---- frame system from the file, tool system from the configuration
    frameIdentity(&ctx->frameMatrix);
    readFrame(ctx->cfgEntries, kCfgFrameCs, kAllMatches, &ctx->frameMatrix);

    frameCopy(&ctx->toolMatrix, &ctx->frameMatrix);
    readFrame(ctx->config, kCfgToolCs, kAllMatches, &ctx->toolMatrix);
    return 1;
}

}  // namespace pofreader

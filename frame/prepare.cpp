// Preparation of a run: inheritance from the parent cycle, the argument
// vector, the configuration phase and the two fixed configuration rules.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "common/common.h"
#include "common/diagnostics.h"
#include "common/limits.h"
#include "config/config.h"
#include "frame/frame.h"

namespace pofreader {
namespace {

// ---- Inheritance --------------------------------------------------------------

// Fills every empty slot from the parent, once per record. 0 when the parent
// speaks another frame interface; the record is then left as it was.
int inheritFromParent(CycleContext* ctx) {
    if (ctx->inherited != 0) return 1;
    CycleContext* parent = ctx->parent;
    if (parent != nullptr && parent->interfaceNumber != ctx->interfaceNumber) return 0;
    // Marked before the parent is prepared, so that a chain of parents that
    // leads back to this record ends instead of recursing for ever.
    ctx->inherited = 1;
    if (parent == nullptr) return 1;
    prepareCycle(parent, nullptr, 0, 1);
    for (PhaseFn CycleContext::*slot : kPhaseSlots)
        if (ctx->*slot == nullptr) ctx->*slot = parent->*slot;
    return 1;
}

// ---- Arguments ------------------------------------------------------------------

bool isOptionPrefix(char c) { return c == '-' || c == '/'; }

// The bit of a one-letter option, or 0 for any other letter.
uint16_t singleLetterBit(char letter) {
    switch (letter) {
        case '?': return PFR_FLAG_Q;
        case 'A': case 'a': return PFR_FLAG_A;
        case 'D': case 'd': return PFR_FLAG_D;
        case 'P': case 'p': return PFR_FLAG_P;
        case 'V': case 'v': return PFR_FLAG_V;
        case 'Y': case 'y': return PFR_FLAG_Y;
        default: return 0;
    }
}

// The standard decimal conversion of `text`, kept in 16 bits. strtol saturates
// instead of overflowing; the low 16 bits are then taken without relying on a
// narrowing conversion of an out-of-range value.
int16_t decimal16(const char* text) {
    const int savedErrno = errno;
    const long value = std::strtol(text, nullptr, 10);
    errno = savedErrno;
    const unsigned low = static_cast<unsigned>(static_cast<unsigned long>(value) & 0xFFFFu);
    return static_cast<int16_t>(low >= 0x8000u ? static_cast<int>(low) - 0x10000
                                               : static_cast<int>(low));
}

enum class Outcome { kDone, kPositional, kOutOfMemory };

// Options with text after the letter: -IPC..., -M<n>, -PCF, -POF, -S<name>.
Outcome classifyLongOption(CycleContext* ctx, const char* afterPrefix) {
    const char letter = afterPrefix[0];
    const char* text = afterPrefix + 1;
    switch (letter) {
        case 'I': case 'i':
            return strncasecmp(afterPrefix, "IPC", 3) == 0 ? Outcome::kDone : Outcome::kPositional;
        case 'M': case 'm':
            ctx->mNumber = decimal16(text);
            return Outcome::kDone;
        case 'P':
            if (strcasecmp(afterPrefix, "PCF") == 0) {
                ctx->pcfMode = 1;
                return Outcome::kDone;
            }
            if (strcasecmp(afterPrefix, "POF") == 0) {
                ctx->pcfMode = 0;
                return Outcome::kDone;
            }
            return Outcome::kPositional;
        case 'S': case 's': {
            char* copy = memDupString(text);
            if (copy == nullptr) return Outcome::kOutOfMemory;
            memRelease(ctx->sourceName);
            ctx->sourceName = copy;
            ctx->flags |= PFR_FLAG_SOURCE;
            return Outcome::kDone;
        }
        default:
            return Outcome::kPositional;
    }
}

Outcome classifyArgument(CycleContext* ctx, const char* argument) {
    if (argument[0] == '?') {
        ctx->flags = PFR_FLAG_Q;
        return Outcome::kDone;
    }
    if (!isOptionPrefix(argument[0])) return Outcome::kPositional;

    const char* afterPrefix = argument + 1;
    if (afterPrefix[0] == '\0') return Outcome::kPositional;
    if (afterPrefix[1] != '\0') return classifyLongOption(ctx, afterPrefix);
    const uint16_t bit = singleLetterBit(afterPrefix[0]);
    if (bit == 0) return Outcome::kPositional;
    ctx->flags |= bit;
    return Outcome::kDone;
}

// Parses the vector into the record. False when memory ran out.
bool parseArguments(CycleContext* ctx, char* const* argv, unsigned argc) {
    if (argc == 0) return true;
    ctx->arguments = static_cast<char**>(memAllocZero(argc * sizeof(char*)));
    if (ctx->arguments == nullptr) return false;

    for (unsigned index = 0; index < argc; ++index) {
        const char* argument = argv[index];
        if (argument == nullptr) continue;  // a hole in the vector is skipped
        switch (classifyArgument(ctx, argument)) {
            case Outcome::kDone:
                break;
            case Outcome::kOutOfMemory:
                return false;
            case Outcome::kPositional: {
                char* copy = memDupString(argument);
                if (copy == nullptr) return false;
                ctx->arguments[ctx->argumentCount++] = copy;
                break;
            }
        }
    }
    return true;
}

// ---- Configuration ----------------------------------------------------------------

bool namesCfgSource(const char* sourceName) {
    if (sourceName == nullptr) return false;
    const std::size_t length = std::strlen(sourceName);
    return length > 4 && strcasecmp(sourceName + length - 4, ".CFG") == 0;
}

constexpr const char* kTempMemValue = "128";

// The run's built-in default and the bypass copy, applied after the
// configuration phase whatever it gave.
// A configured value the frame replaces never takes effect.
[[gnu::cold]] void noteOverridden(ConfigNode* list, const char* name, const char* fixed) {
    ConfigTag tag = 0;
    char* value = configGet(list, name, &tag);
    if (value != nullptr && std::strcmp(value, fixed) != 0) diagnoseText(kDiagValueOverridden, name, -1, -1, tag);
    memRelease(value);
}

void applyFixedConfiguration(CycleContext* ctx) {
    const char* const tempMem = ctx->isCfgSource ? "*TEMP_MEM" : "tempMem";
    if (diagnosticSink != nullptr) noteOverridden(ctx->config, tempMem, kTempMemValue);
    ctx->config = configSet(ctx->config, tempMem, kTempMemValue, PFR_TAG_BUILTIN);
    char* bypass = configGet(ctx->config, "POFbypass", nullptr);
    if (bypass != nullptr && ctx->pcfMode == 0) copyBypassFile(bypass, kBypassLineLength);
    memRelease(bypass);
}

}  // namespace

// Prepares `ctx` for a run: non-zero when it may run. With `inheritOnly` the
// record only completes its slots from its parent.
int prepareCycle(CycleContext* ctx, char* const* argv, unsigned argc, int inheritOnly) {
    // ---- Inherit ----
    if (inheritFromParent(ctx) == 0) return 0;
    if (inheritOnly != 0) return 1;

    // ---- Reset ----
    releaseArguments(ctx);
    ctx->mNumber = 0;
    ctx->flags = 0;
    ctx->pcfMode = 0;
    ctx->firstSignalPending = 1;

    // ---- Arguments ----
    if (!parseArguments(ctx, argv, argc)) {
        cleanupCycle(ctx);
        return 0;
    }
    if (ctx->argumentCount > 0) {
        callPhase(ctx, &CycleContext::argumentsPhase, PFR_EVENT_ARGUMENTS_BEGIN,
                  PFR_EVENT_ARGUMENTS_END);
    } else {
        memRelease(ctx->arguments);
        ctx->arguments = nullptr;
    }
    if (ctx->flags == 0) ctx->flags = PFR_FLAG_V | PFR_FLAG_Q;

    // ---- Configure ----
    ctx->isCfgSource = namesCfgSource(ctx->sourceName) ? 1 : 0;
    const int configured =
        callPhase(ctx, ctx->isCfgSource ? &CycleContext::configCfgPhase : &CycleContext::configPhase,
                  PFR_EVENT_CONFIG_BEGIN, PFR_EVENT_CONFIG_END);
    applyFixedConfiguration(ctx);

    if (configured == 0) {
        cleanupCycle(ctx);
        return 0;
    }
    return configured;
}

}  // namespace pofreader

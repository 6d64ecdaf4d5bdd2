// POF reading: the phase functions of the cycle, the record reader, the record
// handlers, the move parser and the set-up of frames and configuration.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "pofreader/pofreader.h"

namespace pofreader {

// The POF cycle's own part of a record.
inline PofCycleContext* pofPart(CycleContext* ctx) {
    return reinterpret_cast<PofCycleContext*>(ctx);
}

// ---- Phase functions --------------------------------------------------------
int registerPofSignals(CycleContext* ctx);   // startPhase
int findToolpathFile(CycleContext* ctx);     // mainPhase1: "toolpath"
int findToolpathFileCfg(CycleContext* ctx);  // mainPhase1Cfg: "*TOOLPATH"
int readPofFile(CycleContext* ctx);          // mainPhase4
int sendCycleEnd(CycleContext* ctx);         // endPhase of the base cycle
int setupFramesFromDefaults(CycleContext* ctx);  // configPhase of the base cycle
int setupFramesFromCfg(CycleContext* ctx);       // configCfgPhase of the base cycle
int showParameters(CycleContext* ctx);  // flagPPhase: "parameters"
int showAlgorithm(CycleContext* ctx);   // flagAPhase: "algorithm"
int showLayers(CycleContext* ctx);      // flagYPhase: "layers"

// ---- Record reader -------------------------------------------------------------
// Reads the next record line into `buffer` (at most `limit` bytes plus NUL).
// Returns the record number, or -1 at the end of the file.
int readPofRecord(std::FILE* file, char* buffer, int limit);

// What the handlers share during one read phase.
struct PofReaderState {
    CycleContext* context;
#ifndef POFREADER_REVISION_700
    int32_t pendingWorkplane;
    int32_t activeWorkplane;
#endif
    double x, y, z;  // target of the last move sent
    double u, v, w;  // tool axis of the last move sent
};

inline constexpr int32_t kWorkplaneXY = 17;
inline constexpr int32_t kWorkplaneZX = 18;

void handleEventRecord(const char* payload, PofReaderState& state);
void handleTextRecord(const char* payload, PofReaderState& state);
void handleMoveRecord(const char* payload, PofReaderState& state);
void handleTransformRecord(const char* payload, PofReaderState& state);
void handleToolRecord(const char* payload, PofReaderState& state);

// ---- Moves ---------------------------------------------------------------------
inline constexpr int32_t kKindNone = -1;
inline constexpr int32_t kKindArcOpen = -2;
inline constexpr int32_t kKindRapid = 0;
inline constexpr int32_t kKindFeed = 1;
inline constexpr int32_t kKindArcMinus = 2;
inline constexpr int32_t kKindArcPlus = 3;

struct MoveWords {
    int32_t kind;
    int32_t xGiven, yGiven, zGiven;
    int32_t uGiven, vGiven, wGiven;
    double targetX, targetY, targetZ;
    double thirdX, thirdY, thirdZ;
    double u, v, w;
};

// Parses a move payload into `words`, whose values the handler has preset.
// Returns the kind.
int32_t parseMove(const char* payload, MoveWords& words);

// ---- Set-up helpers ---------------------------------------------------------
enum MatchMode : int { kFirstMatch = 0, kAllMatches = 1 };
void readUnitAxis(ConfigNode* list, const char* name, MatchMode mode, double* x, double* y,
                  double* z);
void readPoint(ConfigNode* list, const char* name, MatchMode mode, double* x, double* y,
               double* z);
void defaultToolAxes(CycleContext* ctx);
int showLanguageSection(CycleContext* ctx, const char* name);

}  // namespace pofreader

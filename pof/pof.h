// POF reading: the phase functions of the cycle, the record reader, the record
// handlers, the move parser and the set-up of frames and configuration.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "common/limits.h"
#include "pofreader/pofreader.h"

namespace pofreader {

// The POF cycle's identifier: in its static record, and set again by its
// toolpath phase.
inline constexpr int32_t kPofCycleId = 1100;

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
// Reads a toolpath file in blocks. The block is allocated once per file (a
// small one of the reader's own stands in without memory), never per record.
struct PofRecordReader {
    std::FILE* file;
    char* block;         // owned or inlineBlock, with a byte for a sentinel
    std::size_t capacity;
    const char* at;      // the next unread byte of the block
    const char* end;     // the end of what the block holds
    long base;           // the file offset of the block's first byte
    bool ended;          // end of file, read error or control-Z: final
    int length;          // payload bytes of the last record returned
    char* owned;
    char inlineBlock[kRecordInlineBlockSize + 1];
};
// The block is kRecordBlockSize, or less for a regular file that is smaller.
// The file stays the caller's.
void openRecordReader(PofRecordReader& reader, std::FILE* file);
void closeRecordReader(PofRecordReader& reader);
// Reads the next record line into `buffer` (at most `limit` bytes plus NUL).
// Returns the record number, or -1 at the end of the file.
int readPofRecord(PofRecordReader& reader, char* buffer, int limit);
// The file offset of a byte of the line that the last record came from (its
// line end, or its last byte at the end of the file); -1 before any.
long recordLineOffset(const PofRecordReader& reader);

// What the handlers share during one read phase.
struct PofReaderState {
    CycleContext* context;
#ifndef POFREADER_REVISION_700
    int32_t pendingWorkplane;
    int32_t activeWorkplane;
#endif
    double x, y, z;  // target of the last move sent
    double u, v, w;  // tool axis of the last move sent
    std::size_t payloadLength;  // bytes of the record being handled, 0 if not known
    // The record every handler fills and sends: zeroed once per read phase and
    // reused, each handler writing only the fields of its form.
    SignalRecord* record;
};

// The fresh state of a read phase, sending through `record`.
PofReaderState makeReaderState(CycleContext* ctx, SignalRecord* record);

// The handler of a record type, or null for a type that is read and ignored.
using RecordHandlerFn = void (*)(const char* payload, PofReaderState& state);
RecordHandlerFn recordHandler(int type);

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
// Returns the kind. parseMove uses the grammar of the revision being built;
// both grammars are always compiled so that each can be tested on its own.
// `length` counts the payload's bytes as read (any NUL among them ends it);
// 0 when not known, and the terminator is sought.
int32_t parseMove(const char* payload, std::size_t length, MoveWords& words);
int32_t parseMoveCurrent(const char* payload, std::size_t length, MoveWords& words);
int32_t parseMoveEarlier(const char* payload, std::size_t length, MoveWords& words);  // 7.00

// Decimal text to double whatever the process's locale: leading white space
// skipped, then the longest prefix of sign, digits, '.', exponent; 0 when no
// number starts there. Reads at most `length` characters.
double parseNumber(const char* text, std::size_t length);
// The common case of parseNumber in one pass: no white space first, sign,
// digits, point, digits, no exponent, few enough digits to be exact. True with
// the value and the first character not taken in `stop`; false when
// parseNumber's general rule must decide.
bool parseShortDecimal(const char* text, const char* end, double& value, const char*& stop);

// ---- Set-up helpers ---------------------------------------------------------
enum MatchMode : int { kFirstMatch = 0, kAllMatches = 1 };
void readUnitAxis(ConfigNode* list, const char* name, MatchMode mode, double* x, double* y,
                  double* z);
void readPoint(ConfigNode* list, const char* name, MatchMode mode, double* x, double* y,
               double* z);
void defaultToolAxes(CycleContext* ctx);
int showLanguageSection(CycleContext* ctx, const char* name);

}  // namespace pofreader

// Configuration store and frame mathematics: configuration lists, key files,
// line files, section files, text escaping and 4x4 frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "pofreader/pofreader.h"

namespace pofreader {

// ---- Configuration lists ---------------------------------------------------
// Operations that can change a list take its first node and return the new
// first node, which the caller stores back.

// One freshly read entry; either string may be missing. `configMerge` takes
// strings out of it by clearing its pointers.
struct ConfigPair {
    char* name;
    char* value;
};

ConfigNode* configSet(ConfigNode* list, const char* name, const char* value, ConfigTag tag);
char* configGet(ConfigNode* list, const char* name, ConfigTag* tag);
ConfigNode* configMerge(ConfigNode* list, ConfigPair* pair, ConfigTag tag);
ConfigNode* configAppend(ConfigNode* list, const char* name, const char* value, ConfigTag tag);
void configFree(ConfigNode* list);

// A lookup side table for merging many entries into one list in linear time:
// configMergeIndexed does exactly what configMerge does. The table must see
// every change of the list's names, so only configMergeIndexed may change the
// list while it is in use. Without memory for the table the merges fall back
// to configMerge's walk.
struct ConfigIndex {
    ConfigNode** slots;  // the first node of each name, or null
    std::size_t mask;    // slot count - 1
    std::size_t count;
};
void configIndexInit(ConfigIndex& index, ConfigNode* list);
ConfigNode* configMergeIndexed(ConfigIndex& index, ConfigNode* list, ConfigPair* pair,
                               ConfigTag tag);
void configIndexRelease(ConfigIndex& index);

// ---- Key files -------------------------------------------------------------
// An entry whose name or value passes kKeyFileTokenMax characters, or whose
// buffer cannot grow, is refused whole. Paths that do not fit kKeyPathSize
// (after '/' becomes '\') or kHomePathSize (after "HOME" expansion) are
// not opened. The standard input, named kStdinSource, is never closed.
inline constexpr char kStdinSource[] = "| stdin";
ConfigNode* configLoadKeyFile(ConfigNode* list, const char* path, ConfigTag tag);
std::FILE* keyFileOpen(const char* path);
int keyFileNextPair(std::FILE* stream, ConfigPair* pair);
void keyFileClose(std::FILE* stream);

// ---- Line files (.CFG) -----------------------------------------------------
// Names and values are cut to kLineNameSize - 1 and kLineValueSize - 1
// characters; character 26 ends the file.
ConfigNode* configLoadLineFile(ConfigNode* list, const char* path, ConfigTag tag);
// 1 with `name` and `value` pointing into the reader's buffers (valid until
// the next call), 0 at the end.
int lineFileNextEntry(std::FILE* stream, const char** name, const char** value);

// Writes the escaped copy of `text` into `output` of `outputSize` bytes,
// always terminated. The earlier revision holds no definition: it never calls
// it.
void escapeText(char* output, std::size_t outputSize, const char* text);

// ---- Section files ---------------------------------------------------------
// Handles 123 to 126; -1 when four files are open, -2 when the file cannot
// be opened. Words past kSectionWordMax letters are no keywords; argument
// words past kSectionArgumentMax characters match nothing.
int sectionFileOpen(const char* path, const char* language);
// `buffer` of `bufferSize` bytes (at least one) always starts as an empty
// string.
int sectionFileNext(int handle, char* buffer, std::size_t bufferSize);
void sectionFileClose(int handle);
int sectionFileCheck(const char* path, const char* language);

// ---- Frame mathematics -----------------------------------------------------
// Every matrix argument must be given; a result may be an operand.
inline constexpr FrameMatrix kIdentity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
void frameCopy(FrameMatrix* destination, const FrameMatrix* source);
void frameIdentity(FrameMatrix* matrix);
#ifndef POFREADER_REVISION_700
void frameMultiply(FrameMatrix* result, const FrameMatrix* left, const FrameMatrix* right);
double frameCofactor(const FrameMatrix* matrix, uint16_t row, uint16_t column);
void frameInvert(FrameMatrix* result, const FrameMatrix* source);
#endif
// A numeric run is converted from its first kTripleRunMax characters. A null
// text holds no number; the three places must be given.
int parseTriple(const char* text, double* first, double* second, double* third);

}  // namespace pofreader

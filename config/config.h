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

// ---- Key files -------------------------------------------------------------
ConfigNode* configLoadKeyFile(ConfigNode* list, const char* path, ConfigTag tag);
std::FILE* keyFileOpen(const char* path);
int keyFileNextPair(std::FILE* stream, ConfigPair* pair);
void keyFileClose(std::FILE* stream);

// ---- Line files (.CFG) -----------------------------------------------------
ConfigNode* configLoadLineFile(ConfigNode* list, const char* path, ConfigTag tag);
// 1 with `name` and `value` pointing into the reader's buffers (valid until
// the next call), 0 at the end.
int lineFileNextEntry(std::FILE* stream, const char** name, const char** value);

#ifndef POFREADER_REVISION_700
// Writes the escaped copy of `text` into `output` of `outputSize` bytes,
// always terminated.
void escapeText(char* output, std::size_t outputSize, const char* text);
#endif

// ---- Section files ---------------------------------------------------------
int sectionFileOpen(const char* path, const char* language);
// `buffer` of `bufferSize` bytes always starts as an empty string.
int sectionFileNext(int handle, char* buffer, std::size_t bufferSize);
void sectionFileClose(int handle);
int sectionFileCheck(const char* path, const char* language);

// ---- Frame mathematics -----------------------------------------------------
void frameCopy(FrameMatrix* destination, const FrameMatrix* source);
void frameIdentity(FrameMatrix* matrix);
#ifndef POFREADER_REVISION_700
void frameMultiply(FrameMatrix* result, const FrameMatrix* left, const FrameMatrix* right);
double frameCofactor(const FrameMatrix* matrix, uint16_t row, uint16_t column);
void frameInvert(FrameMatrix* result, const FrameMatrix* source);
#endif
int parseTriple(const char* text, double* first, double* second, double* third);

}  // namespace pofreader

// Section files: sections between "start" and "end" lines, chosen by the
// keywords "default" and "language", read entry by entry through handles.
//
// One scanner of six states serves every handle: an open runs the keyword
// scanner until a "start" line matches, a read runs the entry reader until an
// entry line has been copied. Opens and reads run one at a time.
//
// Bounds: a word of the keyword scanner or the entry reader longer than
// kSectionWordMax letters is no keyword at all (an open then fails, a read
// skips the line); an argument word longer than kSectionArgumentMax
// characters never matches a language or the selection and never becomes the
// selection. An entry is cut to the caller's buffer.
#include <cstring>
#include <iterator>

#include "common/char_classes.h"
#include "common/common.h"
#include "common/limits.h"
#include "config/config.h"

namespace pofreader {

namespace {

constexpr int kEnd = -1;         // end of the stream or character 26
constexpr int kSucceeded = -1;   // returned by a state: the phase succeeded
constexpr int kFailed = -2;      // returned by state 0: the phase failed

enum Keyword { kNoKeyword, kDefault, kLanguage, kStart, kEndKeyword };

struct Slot {
    std::FILE* stream;
    int status;  // 1: a section is started and may be read
};

// ---- Handle table ------------------------------------------------------------
Slot slots[kSectionSlots];
int openCount = 0;

// ---- Module-wide scanner state -----------------------------------------------
std::FILE* input = nullptr;
const char* requestedLanguage = nullptr;  // during an open
char* selection = nullptr;                // owned; only during an open
char* entryBuffer = nullptr;              // during a read
std::size_t entrySize = 0;
bool reading = false;
Keyword kind = kNoKeyword;
int returnState = 1;
int afterSkipState = 1;

char word[kSectionWordMax + 1];
std::size_t wordLength = 0;  // counts on past the bound: then no keyword
char argument[kSectionArgumentMax + 1];
std::size_t argumentLength = 0;  // likewise: then it matches nothing

int readNext() {
    const int c = std::fgetc(input);
    return isEndOfInput(c) ? kEnd : c;
}

void resetWord() {
    wordLength = 0;
    word[0] = '\0';
}

void addToWord(int c) {
    if (wordLength < kSectionWordMax) {
        word[wordLength] = static_cast<char>(c);
        word[wordLength + 1] = '\0';
    }
    if (wordLength <= kSectionWordMax) ++wordLength;
}

bool wordIs(const char* keyword) {
    return wordLength <= kSectionWordMax && std::strcmp(word, keyword) == 0;
}

bool argumentUsable() { return argumentLength <= kSectionArgumentMax; }

void releaseSelection() {
    memRelease(selection);
    selection = nullptr;
}

void setSelection() {
    char* copy = memDupString(argument);
    if (copy == nullptr) return;
    releaseSelection();
    selection = copy;
}

int skipTo(int state) {
    afterSkipState = state;
    return 4;
}

// Skips to a line end, the end or a NUL character, without failing at the end.
void skipRestOfLine() {
    int c = readNext();
    while (c != kEnd && c != '\0' && !isLineEnd(c)) c = readNext();
}

// ---- States ----------------------------------------------------------------
int failed() { return kFailed; }

bool isKeywordLetter(int c) { return c > 0 && c < 128 && std::strchr("adefglnrstu", c) != nullptr; }

int keywordScanner() {
    resetWord();
    for (;;) {
        const int c = readNext();
        if (c == kEnd) return 0;
        if (isLineEnd(c)) {
            resetWord();
            continue;
        }
        if (isBlank(c)) {
            if (wordLength == 0) continue;
            if (wordIs("default")) kind = kDefault;
            else if (wordIs("language")) kind = kLanguage;
            else if (wordIs("start")) kind = kStart;
            else if (wordIs("end")) kind = kEndKeyword;
            else return 0;
            returnState = 1;
            return 2;
        }
        if (isKeywordLetter(c)) {
            addToWord(c);
            continue;
        }
        return skipTo(1);
    }
}

int argumentReader() {
    argumentLength = 0;
    argument[0] = '\0';
    int c = readNext();
    for (;; c = readNext()) {
        if (c == kEnd) return 0;
        if (isBlank(c) && argumentLength == 0) continue;
        if (isLineEnd(c) && argumentLength == 0) return returnState;
        if (c == ';' && argumentLength == 0) return skipTo(returnState);
        if (isBlank(c) || isLineEnd(c) || c == ';') break;
        if (argumentLength < kSectionArgumentMax) {
            argument[argumentLength] = static_cast<char>(c);
            argument[argumentLength + 1] = '\0';
        }
        if (argumentLength <= kSectionArgumentMax) ++argumentLength;
    }

    int next = returnState;
    switch (kind) {
        case kDefault:
            if (selection == nullptr && argumentUsable()) setSelection();
            break;
        case kLanguage:
            if (requestedLanguage != nullptr && argumentUsable() &&
                std::strcmp(argument, requestedLanguage) == 0) {
                setSelection();
            }
            break;
        case kStart:
            if (selection == nullptr || (argumentUsable() && std::strcmp(argument, selection) == 0)) {
                next = kSucceeded;
            }
            break;
        case kEndKeyword:
            if (reading) next = 0;
            break;
        case kNoKeyword:
            break;
    }
    if (c == ';') skipRestOfLine();
    return next;
}

int lineCopy() {
    std::size_t length = 0;
    for (;;) {
        const int c = readNext();
        if (c == kEnd || isLineEnd(c)) {
            if (entryBuffer != nullptr && entrySize > 0) entryBuffer[length] = '\0';
            return c == kEnd ? 0 : kSucceeded;
        }
        if (entryBuffer != nullptr && length + 1 < entrySize) entryBuffer[length++] = static_cast<char>(c);
    }
}

int skipLine() {
    for (;;) {
        const int c = readNext();
        if (c == kEnd) return 0;
        if (isLineEnd(c)) return afterSkipState;
    }
}

int entryReader() {
    resetWord();
    for (;;) {
        const int c = readNext();
        if (c == kEnd) return 0;
        if (c == ':') return 3;
        if (isLineEnd(c)) {
            resetWord();
            continue;
        }
        if (isBlank(c)) {
            if (wordLength == 0) continue;
            if (!wordIs("end")) return skipTo(5);
            kind = kEndKeyword;
            returnState = 5;
            return 2;
        }
        if (c == 'd' || c == 'e' || c == 'n') {
            addToWord(c);
            continue;
        }
        return skipTo(5);
    }
}

using StateFn = int (*)();
constexpr StateFn kStates[] = {
    /* 0 failed */ failed,
    /* 1 keyword scanner */ keywordScanner,
    /* 2 argument reader */ argumentReader,
    /* 3 line copy */ lineCopy,
    /* 4 skip the line */ skipLine,
    /* 5 entry reader */ entryReader,
};
static_assert(std::size(kStates) == 6);

// Runs the scanner from `state` until a phase ends; 1 for success.
int runPhase(std::FILE* stream, int state) {
    input = stream;
    while (state >= 0) state = kStates[state]();
    input = nullptr;
    return state == kSucceeded ? 1 : 0;
}

bool validHandle(int handle) {
    return handle >= kSectionFirstHandle && handle < kSectionFirstHandle + kSectionSlots;
}

}  // namespace

int sectionFileOpen(const char* path, const char* language) {
    if (openCount == 0) {
        for (Slot& slot : slots) slot = Slot{nullptr, 0};
    }
    if (openCount >= kSectionSlots) return -1;
    int index = 0;
    while (index < kSectionSlots && slots[index].stream != nullptr) ++index;
    if (index == kSectionSlots) return -1;
    if (path == nullptr) return -2;
    std::FILE* stream = std::fopen(path, "rb");
    if (stream == nullptr) return -2;

    releaseSelection();
    requestedLanguage = language;
    reading = false;
    kind = kNoKeyword;
    const int opened = runPhase(stream, 1);
    requestedLanguage = nullptr;
    releaseSelection();

    slots[index] = Slot{stream, opened};
    ++openCount;
    return kSectionFirstHandle + index;
}

int sectionFileNext(int handle, char* buffer, std::size_t bufferSize) {
    if (buffer != nullptr && bufferSize > 0) buffer[0] = '\0';
    if (!validHandle(handle)) return 0;
    Slot& slot = slots[handle - kSectionFirstHandle];
    if (slot.stream == nullptr || slot.status != 1) return 0;

    entryBuffer = buffer;
    entrySize = buffer != nullptr ? bufferSize : 0;
    reading = true;
    kind = kNoKeyword;
    slot.status = runPhase(slot.stream, 5);
    reading = false;
    entryBuffer = nullptr;
    entrySize = 0;
    return slot.status;
}

void sectionFileClose(int handle) {
    if (!validHandle(handle)) return;
    Slot& slot = slots[handle - kSectionFirstHandle];
    if (slot.stream == nullptr) return;
    std::fclose(slot.stream);
    slot = Slot{nullptr, 0};
    --openCount;
}

int sectionFileCheck(const char* path, const char* language) {
    const int handle = sectionFileOpen(path, language);
    if (handle <= 0) return 0;
    char entry[kSectionEntrySize];
    const int result = sectionFileNext(handle, entry, sizeof entry);
    while (sectionFileNext(handle, entry, sizeof entry) == 1) {
    }
    sectionFileClose(handle);
    return result;
}

}  // namespace pofreader

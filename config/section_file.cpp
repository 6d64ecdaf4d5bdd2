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
#include "common/diagnostics.h"
#include "common/limits.h"
#include "config/config.h"

namespace pofreader {

namespace {

constexpr int kEnd = -1;  // end of the stream or character 26

// ORDER: the scanner's states, indices of kStates; then the ends of a phase.
enum State : int {
    kFailedState = 0,
    kKeywordScanner = 1,
    kArgumentReader = 2,
    kLineCopy = 3,
    kSkipLine = 4,
    kEntryReader = 5,
    kSucceeded = -1,  // the phase succeeded
    kFailed = -2,     // the phase failed (from kFailedState)
};

enum Keyword { kNoKeyword, kDefault, kLanguage, kStart, kEndKeyword };

struct Slot {
    std::FILE* stream;
    int status;  // 1: a section is started and may be read
};

// ---- Handle table ------------------------------------------------------------
Slot slots[kSectionSlots];
int openCount = 0;

// ---- Module-wide scanner state -----------------------------------------------
struct Scanner {
    std::FILE* input = nullptr;
    const char* requestedLanguage = nullptr;  // during an open
    char* selection = nullptr;                // owned; only during an open
    char* entryBuffer = nullptr;              // during a read
    std::size_t entrySize = 0;
    bool reading = false;
    Keyword kind = kNoKeyword;
    State returnState = kKeywordScanner;  // after the argument reader
    State afterSkipState = kKeywordScanner;

    char word[kSectionWordMax + 1] = {};
    std::size_t wordLength = 0;  // counts on past the bound: then no keyword
    char argument[kSectionArgumentMax + 1] = {};
    std::size_t argumentLength = 0;  // likewise: then it matches nothing
    bool faultReported = false;      // an open's failure was explained
};
Scanner scanner;

int readNext() {
    const int c = std::fgetc(scanner.input);
    return isEndOfInput(c) ? kEnd : c;
}

void resetWord() {
    scanner.wordLength = 0;
    scanner.word[0] = '\0';
}

void addToWord(int c) {
    if (scanner.wordLength < kSectionWordMax) {
        scanner.word[scanner.wordLength] = static_cast<char>(c);
        scanner.word[scanner.wordLength + 1] = '\0';
    }
    if (scanner.wordLength <= kSectionWordMax) ++scanner.wordLength;
}

bool wordIs(const char* keyword) {
    return scanner.wordLength <= kSectionWordMax && std::strcmp(scanner.word, keyword) == 0;
}

bool argumentUsable() { return scanner.argumentLength <= kSectionArgumentMax; }

void releaseSelection() {
    memRelease(scanner.selection);
    scanner.selection = nullptr;
}

void setSelection() {
    char* copy = memDupString(scanner.argument);
    if (copy == nullptr) return;
    releaseSelection();
    scanner.selection = copy;
}

// A word of keyword letters that is no keyword: the open fails on it.
[[gnu::cold]] State refuseWord() {
    if (diagnosticSink != nullptr) {
        scanner.faultReported = true;
        diagnose(kDiagSectionNotKeyword, streamWhere(scanner.input), -1, 0, scanner.word,
                 std::strlen(scanner.word));
    }
    return kFailedState;
}

// A line inside a section that is neither an entry nor its "end": skipped. A
// line that opens with ';' is a comment by convention.
[[gnu::cold]] void noteNotEntry(int c) {
    if (diagnosticSink != nullptr && c != ';') diagnose(kDiagSectionNotEntry, streamWhere(scanner.input));
}

// The rest of the line is passed over; reading then goes on in `state`.
State skipLineThen(State state) {
    scanner.afterSkipState = state;
    return kSkipLine;
}

// Skips to a line end, the end or a NUL character, without failing at the end.
void skipRestOfLine() {
    int c = readNext();
    while (c != kEnd && c != '\0' && !isLineEnd(c)) c = readNext();
}

// ---- States ----------------------------------------------------------------
State failed() { return kFailed; }

// Not NUL: strchr would find the terminator.
bool isKeywordLetter(int c) { return c != '\0' && std::strchr("adefglnrstu", c) != nullptr; }

State keywordScanner() {
    resetWord();
    for (;;) {
        const int c = readNext();
        if (c == kEnd) return kFailedState;
        if (isLineEnd(c)) {
            resetWord();
            continue;
        }
        if (isBlank(c)) {
            if (scanner.wordLength == 0) continue;
            if (wordIs("default")) scanner.kind = kDefault;
            else if (wordIs("language")) scanner.kind = kLanguage;
            else if (wordIs("start")) scanner.kind = kStart;
            else if (wordIs("end")) scanner.kind = kEndKeyword;
            else return refuseWord();
            scanner.returnState = kKeywordScanner;
            return kArgumentReader;
        }
        if (isKeywordLetter(c)) {
            addToWord(c);
            continue;
        }
        return skipLineThen(kKeywordScanner);
    }
}

State argumentReader() {
    scanner.argumentLength = 0;
    scanner.argument[0] = '\0';
    int c = readNext();
    for (;; c = readNext()) {
        if (c == kEnd) return kFailedState;
        if (isBlank(c) && scanner.argumentLength == 0) continue;
        if (isLineEnd(c) && scanner.argumentLength == 0) return scanner.returnState;
        if (c == ';' && scanner.argumentLength == 0) return skipLineThen(scanner.returnState);
        if (isBlank(c) || isLineEnd(c) || c == ';') break;
        if (scanner.argumentLength < kSectionArgumentMax) {
            scanner.argument[scanner.argumentLength] = static_cast<char>(c);
            scanner.argument[scanner.argumentLength + 1] = '\0';
        }
        if (scanner.argumentLength <= kSectionArgumentMax) ++scanner.argumentLength;
    }

    State next = scanner.returnState;
    switch (scanner.kind) {
        case kDefault:
            if (scanner.selection == nullptr && argumentUsable()) setSelection();
            break;
        case kLanguage:
            if (scanner.requestedLanguage != nullptr && argumentUsable() &&
                std::strcmp(scanner.argument, scanner.requestedLanguage) == 0) {
                setSelection();
            }
            break;
        case kStart:
            if (scanner.selection == nullptr ||
                (argumentUsable() && std::strcmp(scanner.argument, scanner.selection) == 0)) {
                next = kSucceeded;
            }
            break;
        default:  // kEndKeyword: no other kind leads here
            if (scanner.reading) next = kFailedState;
            break;
    }
    if (c == ';') skipRestOfLine();
    return next;
}

State lineCopy() {
    std::size_t length = 0;
    for (;;) {
        const int c = readNext();
        if (c == kEnd || isLineEnd(c)) {
            scanner.entryBuffer[length] = '\0';
            return c == kEnd ? kFailedState : kSucceeded;
        }
        if (length + 1 < scanner.entrySize)
            scanner.entryBuffer[length++] = static_cast<char>(c);
    }
}

State skipLine() {
    for (;;) {
        const int c = readNext();
        if (c == kEnd) return kFailedState;
        if (isLineEnd(c)) return scanner.afterSkipState;
    }
}

State entryReader() {
    resetWord();
    for (;;) {
        const int c = readNext();
        if (c == kEnd) return kFailedState;
        if (c == ':') return kLineCopy;
        if (isLineEnd(c)) {
            resetWord();
            continue;
        }
        if (isBlank(c)) {
            if (scanner.wordLength == 0) continue;
            if (!wordIs("end")) {
                noteNotEntry(c);
                return skipLineThen(kEntryReader);
            }
            scanner.kind = kEndKeyword;
            scanner.returnState = kEntryReader;
            return kArgumentReader;
        }
        if (c == 'd' || c == 'e' || c == 'n') {
            addToWord(c);
            continue;
        }
        noteNotEntry(c);
        return skipLineThen(kEntryReader);
    }
}

using StateFn = State (*)();
constexpr StateFn kStates[] = {
    /* 0 failed */ failed,
    /* 1 keyword scanner */ keywordScanner,
    /* 2 scanner.argument reader */ argumentReader,
    /* 3 line copy */ lineCopy,
    /* 4 skip the line */ skipLine,
    /* 5 entry reader */ entryReader,
};
static_assert(std::size(kStates) == 6);

// Runs the scanner from `state` until a phase ends; 1 for success.
int runPhase(std::FILE* stream, State state) {
    scanner.input = stream;
    while (state >= 0) state = kStates[state]();
    scanner.input = nullptr;
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
    int index = 0;  // one slot is free: fewer than kSectionSlots are open
    while (slots[index].stream != nullptr) ++index;
    if (path == nullptr) return -2;
    std::FILE* stream = std::fopen(path, "rb");
    if (stream == nullptr) {
        if (diagnosticSink != nullptr) diagnoseText(kDiagFileNotOpened, path);
        return -2;
    }
    if (diagnosticSink != nullptr) diagnoseFileBegin(path, kDiagSectionFile, streamWhere, stream);

    releaseSelection();
    scanner.requestedLanguage = language;
    scanner.reading = false;
    scanner.kind = kNoKeyword;
    scanner.faultReported = false;
    const int opened = runPhase(stream, kKeywordScanner);
    if (!opened && !scanner.faultReported && diagnosticSink != nullptr)
        diagnoseText(kDiagSectionNoStart, language, streamWhere(stream));
    scanner.requestedLanguage = nullptr;
    releaseSelection();

    slots[index] = Slot{stream, opened};
    ++openCount;
    return kSectionFirstHandle + index;
}

int sectionFileNext(int handle, char* buffer, std::size_t bufferSize) {
    buffer[0] = '\0';
    if (!validHandle(handle)) return 0;
    Slot& slot = slots[handle - kSectionFirstHandle];
    if (slot.stream == nullptr || slot.status != 1) return 0;

    scanner.entryBuffer = buffer;
    scanner.entrySize = bufferSize;
    scanner.reading = true;
    scanner.kind = kNoKeyword;
    slot.status = runPhase(slot.stream, kEntryReader);
    scanner.reading = false;
    scanner.entryBuffer = nullptr;
    scanner.entrySize = 0;
    return slot.status;
}

void sectionFileClose(int handle) {
    if (!validHandle(handle)) return;
    Slot& slot = slots[handle - kSectionFirstHandle];
    if (slot.stream == nullptr) return;
    if (diagnosticSink != nullptr) diagnoseFileEnd();
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

// Line-file (.CFG) reader: one entry per line, the first word as the name and
// the rest of the line as the value, '#' starting a comment.
//
// Bounds: a name keeps its first kLineNameSize - 1 characters and a value its
// first kLineValueSize - 1; the characters behind them are dropped, and the
// entry still ends where its line ends.
#include <cstddef>

#include "common/char_classes.h"
#include "common/diagnostics.h"
#include "common/limits.h"
#include "config/config.h"

namespace pofreader {

namespace {

// The reader's buffers, overwritten by every read.
char nameBuffer[kLineNameSize];
char valueBuffer[kLineValueSize];


// Stores one character while the buffer has room; the rest is dropped. False
// for a dropped one.
bool append(char* buffer, std::size_t size, std::size_t& length, int c) {
    if (length + 1 < size) {
        buffer[length++] = static_cast<char>(c);
        return true;
    }
    return false;
}

// Reported once per entry, at the first character dropped.
[[gnu::cold]] void noteCut(std::FILE* stream, bool& reported, DiagnosticCode code, std::size_t size) {
    if (reported || diagnosticSink == nullptr) return;
    reported = true;
    diagnose(code, streamWhere(stream), -1, static_cast<long>(size - 1));
}

// A comment ended by a line end that does not end the entry: the next line's
// text joins this entry's value.
[[gnu::cold]] void noteContinued(std::FILE* stream, bool& pending, std::size_t nameLength) {
    pending = false;
    if (diagnosticSink == nullptr) return;
    diagnose(kDiagLineContinued, streamWhere(stream), -1, 0, nameBuffer,
             nameLength < sizeof nameBuffer ? nameLength : sizeof nameBuffer - 1);
}

// A NUL ends the name or value for everyone who reads it as a string.
[[gnu::cold]] void noteNulByte(std::FILE* stream) {
    if (diagnosticSink != nullptr) diagnose(kDiagNulByte, streamWhere(stream));
}

// A UTF-8 byte-order mark as the file's first bytes becomes part of the
// first name.
[[gnu::cold]] void noteByteOrderMark(std::FILE* stream) {
    if (diagnosticSink != nullptr && std::ftell(stream) == 1) diagnose(kDiagByteOrderMark, 0);
}

}  // namespace

int lineFileNextEntry(std::FILE* stream, const char** name, const char** value) {
    if (stream == nullptr) return 0;
    std::size_t nameLength = 0;
    std::size_t valueLength = 0;
    bool inValue = false;
    bool inComment = false;
    bool nameCut = false, valueCut = false;
    bool joinPending = false;  // a comment's line end let the entry go on

    for (;;) {
        const int c = std::fgetc(stream);
        if (isEndOfInput(c)) {
            if (nameLength == 0) {
                if (c == kEndOfInputMark && diagnosticSink != nullptr)
                    diagnose(kDiagControlZ, streamWhere(stream));
                return 0;
            }
            // Character 26 ends the input, not just this entry: leave it for
            // the next read to find.
            if (c == kEndOfInputMark) std::ungetc(c, stream);
            break;
        }
        if (isLineEnd(c)) {
            // With CR LF ends the CR closes a comment and the LF the entry;
            // with LF alone, a comment's LF only closes the comment.
            if (inComment) {
                inComment = false;
                joinPending = nameLength > 0;
                continue;
            }
            if (nameLength == 0) continue;
            break;
        }
        if (inComment) continue;
        if (c == '#') {
            inComment = true;
            continue;
        }
        if (isBlank(c)) {
            if (!inValue) {
                if (nameLength > 0) inValue = true;
            } else if (valueLength > 0 &&
                       !append(valueBuffer, sizeof valueBuffer, valueLength, ' ')) {
                noteCut(stream, valueCut, kDiagLineValueCut, sizeof valueBuffer);
            }
            continue;
        }
        if (joinPending) noteContinued(stream, joinPending, nameLength);
        if (c == '\0') noteNulByte(stream);
        if (c == 0xEF && nameLength == 0) noteByteOrderMark(stream);
        if (inValue) {
            if (!append(valueBuffer, sizeof valueBuffer, valueLength, c))
                noteCut(stream, valueCut, kDiagLineValueCut, sizeof valueBuffer);
        } else if (!append(nameBuffer, sizeof nameBuffer, nameLength, c)) {
            noteCut(stream, nameCut, kDiagLineNameCut, sizeof nameBuffer);
        }
    }

    nameBuffer[nameLength] = '\0';
    while (valueLength > 0 && valueBuffer[valueLength - 1] == ' ') --valueLength;
    valueBuffer[valueLength] = '\0';
    *name = nameBuffer;
    *value = valueBuffer;
    return 1;
}

ConfigNode* configLoadLineFile(ConfigNode* list, const char* path, ConfigTag tag) {
    if (path == nullptr) return list;
    std::FILE* stream = std::fopen(path, "rb");
    if (stream == nullptr) {
        if (diagnosticSink != nullptr) diagnoseText(kDiagFileNotOpened, path);
        return list;
    }
    if (diagnosticSink != nullptr) diagnoseFileBegin(path, kDiagLineFile, streamWhere, stream);
    // Appending behind the last node, rather than from the head each time,
    // keeps a long file linear; the list ends up exactly as configAppend makes it.
    ConfigNode* last = list;
    while (last != nullptr && last->next != nullptr) last = last->next;
    const char* name = nullptr;
    const char* value = nullptr;
    while (lineFileNextEntry(stream, &name, &value) == 1) {
        if (last == nullptr) {
            list = last = configAppend(nullptr, name, value, tag);
        } else {
            configAppend(last, name, value, tag);
            if (last->next != nullptr) last = last->next;
        }
    }
    if (diagnosticSink != nullptr) diagnoseFileEnd();
    std::fclose(stream);
    return list;
}

}  // namespace pofreader

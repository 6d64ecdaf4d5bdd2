// The POF record reader: one record line at a time, byte by byte.
//
// A record line is blanks and tabs, decimal digits (blanks and tabs may stand
// between them), a colon and the payload up to the line end. CR and LF both end
// a line. A line whose payload is empty does not end the record: the reader goes
// on with the next line and keeps the number read so far, so a payload-less
// record reaches its handler only when the file ends right after it.
//
// Record numbers. The digits are converted as they arrive and saturate at
// INT32_MAX; a run of more than kRecordDigitsMax digits saturates as well,
// leading zeros included. INT32_MAX is no record type, so such a line is read
// and ignored. The number is never negative.
//
// Control-Z (26) ends the file for good: the record in progress is returned,
// and the byte is pushed back so that every later call meets it first and
// returns -1 without reading anything behind it.
#include <array>
#include <cstdint>
#include <iterator>

#include "common/char_classes.h"
#include "common/limits.h"
#include "pof/pof.h"

namespace pofreader {

namespace {

// The scan of one call.
struct RecordScan {
    std::FILE* file;
    char* buffer;
    int limit;
    int length;       // payload bytes stored
    int32_t number;   // -1 until a record number was taken
    int32_t digits;   // digits of the current line's number
    int32_t pending;  // their value, saturated
};

// ORDER: the line states, indices of kLineStates.
enum LineState : int { kPrefix = 0, kPayload = 1, kSkip = 2 };

// A state handles the byte in `byte` and the bytes of its run after it, and
// leaves in `byte` the first one it did not handle: a line end or the end of
// the file always goes back to readPofRecord.
using LineStateFn = LineState (*)(RecordScan& scan, int& byte);

// Line ends and the end of the file, indexed by byte + 1 (EOF is -1).
constexpr std::array<bool, 257> buildLineEnds() {
    std::array<bool, 257> ends{};
    ends[EOF + 1] = true;
    ends['\r' + 1] = true;
    ends['\n' + 1] = true;
    ends[kEndOfInputMark + 1] = true;
    return ends;
}
constexpr std::array<bool, 257> kLineEnds = buildLineEnds();
static_assert(EOF == -1);

bool endsLine(int byte) { return kLineEnds[static_cast<std::size_t>(byte + 1)]; }

// Blanks, tabs and digits up to the colon, taken in one run; anything else
// makes the line no record line.
LineState scanPrefix(RecordScan& scan, int& byte) {
    for (;; byte = getc_unlocked(scan.file)) {
        if (isBlank(byte)) continue;
        if (!isDigit(byte)) break;
        const int32_t digit = byte - '0';
        if (++scan.digits > kRecordDigitsMax || scan.pending > (INT32_MAX - digit) / 10)
            scan.pending = INT32_MAX;
        else
            scan.pending = scan.pending * 10 + digit;
        if (scan.digits > kRecordDigitsMax) scan.digits = kRecordDigitsMax + 1;
    }
    if (endsLine(byte)) return kPrefix;
    if (byte == ':' && scan.digits > 0) {
        scan.number = scan.pending;
        byte = getc_unlocked(scan.file);
        return kPayload;
    }
    return kSkip;
}

// Every byte up to the line end, taken in one run; bytes beyond the limit are
// dropped. Kept in locals: a store through the char buffer may alias the scan.
LineState scanPayload(RecordScan& scan, int& byte) {
    std::FILE* const file = scan.file;
    char* const buffer = scan.buffer;
    const int limit = scan.limit;
    int length = scan.length;
    int c = byte;
    for (; !endsLine(c); c = getc_unlocked(file))
        if (length < limit) buffer[length++] = static_cast<char>(c);
    scan.length = length;
    byte = c;
    return kPayload;
}

// The rest of a line that is no record line.
LineState skipLine(RecordScan& scan, int& byte) {
    std::FILE* const file = scan.file;
    int c = byte;
    while (!endsLine(c)) c = getc_unlocked(file);
    byte = c;
    return kSkip;
}

constexpr LineStateFn kLineStates[] = {
    /* 0 prefix  */ scanPrefix,
    /* 1 payload */ scanPayload,
    /* 2 skip    */ skipLine,
};
static_assert(std::size(kLineStates) == 3);

}  // namespace

// Reads the next record line of `file` into `buffer` (at most `limit` bytes
// plus the terminator) and returns its number, or -1 when the file ends before
// a number was read. The caller holds the stream's lock (getc_unlocked).
int readPofRecord(std::FILE* file, char* buffer, int limit) {
    RecordScan scan{file, buffer, limit < 0 ? 0 : limit, 0, -1, 0, 0};
    LineState state = kPrefix;
    int byte = getc_unlocked(file);
    for (;;) {
        if (isEndOfInput(byte)) {
            if (byte == kEndOfInputMark) std::ungetc(kEndOfInputMark, file);
            break;
        }
        if (byte == '\r' || byte == '\n') {
            if (scan.length > 0) break;
            state = kPrefix;
            scan.digits = 0;
            scan.pending = 0;
            byte = getc_unlocked(file);
            continue;
        }
        state = kLineStates[state](scan, byte);
    }
    buffer[scan.length] = '\0';
    return scan.number;
}

}  // namespace pofreader

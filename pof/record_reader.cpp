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
#include <cstdint>
#include <iterator>

#include "common/limits.h"
#include "pof/pof.h"

namespace pofreader {

namespace {

constexpr int kControlZ = 26;

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

using LineStateFn = LineState (*)(RecordScan& scan, int byte);

// Blanks, tabs and digits up to the colon; anything else makes the line no
// record line.
LineState scanPrefix(RecordScan& scan, int byte) {
    if (byte == ' ' || byte == '\t') return kPrefix;
    if (byte >= '0' && byte <= '9') {
        const int32_t digit = byte - '0';
        if (++scan.digits > kRecordDigitsMax || scan.pending > (INT32_MAX - digit) / 10)
            scan.pending = INT32_MAX;
        else
            scan.pending = scan.pending * 10 + digit;
        if (scan.digits > kRecordDigitsMax) scan.digits = kRecordDigitsMax + 1;
        return kPrefix;
    }
    if (byte == ':' && scan.digits > 0) {
        scan.number = scan.pending;
        return kPayload;
    }
    return kSkip;
}

bool endsLine(int byte) { return byte == '\r' || byte == '\n' || byte == EOF || byte == kControlZ; }

// Every byte up to the line end; bytes beyond the limit are dropped. The run
// of payload bytes is taken here in one go, and the byte that ends it goes
// back to the stream for the caller.
LineState scanPayload(RecordScan& scan, int byte) {
    for (; !endsLine(byte); byte = getc_unlocked(scan.file))
        if (scan.length < scan.limit) scan.buffer[scan.length++] = static_cast<char>(byte);
    if (byte != EOF) std::ungetc(byte, scan.file);
    return kPayload;
}

LineState skipLine(RecordScan&, int) { return kSkip; }

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
    for (;;) {
        const int byte = getc_unlocked(file);
        if (byte == EOF || byte == kControlZ) {
            if (byte == kControlZ) std::ungetc(kControlZ, file);
            break;
        }
        if (byte == '\r' || byte == '\n') {
            if (scan.length > 0) break;
            state = kPrefix;
            scan.digits = 0;
            scan.pending = 0;
            continue;
        }
        state = kLineStates[state](scan, byte);
    }
    buffer[scan.length] = '\0';
    return scan.number;
}

}  // namespace pofreader

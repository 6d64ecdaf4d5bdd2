// The POF record reader: one record line at a time, from blocks of the file.
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
// and every later call returns -1 without reading anything behind it. The
// reader stays on the control-Z, so that positions still point into the file.
//
// Lines that are skipped, payloads that are cut and the control-Z are
// reported to a diagnostic sink from the paths that skip, cut or stop; the
// path of a record line reports nothing.
//
// The file is read in blocks into memory of the reader's own, and each state
// takes its whole run of bytes from the block at once. A line may straddle
// two blocks: every state keeps what it needs in the scan, not in the block.
#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>

#include <sys/stat.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/char_classes.h"
#include "common/common.h"
#include "common/diagnostics.h"
#include "common/limits.h"
#include "pof/pof.h"

namespace pofreader {

namespace {

// The scan of one call.
struct RecordScan {
    PofRecordReader& reader;
    char* buffer;
    int limit;
    int length;       // payload bytes stored
    int32_t number;   // -1 until a record number was taken
    int32_t digits;   // digits of the current line's number
    int32_t pending;  // their value, saturated
    bool cutReported;
};

// ORDER: the line states, indices of kLineStates.
enum LineState : int { kPrefix = 0, kPayload = 1, kSkip = 2 };

// A state takes the bytes of its run from `reader.at` on and stops at the
// first one it does not handle, or at the block's end: a line end always goes
// back to readPofRecord.
using LineStateFn = LineState (*)(RecordScan& scan);

constexpr ByteTable kLineEnds = byteTable("\r\n\x1a");
static_assert(kLineEnds[kEndOfInputMark], "control-Z ends a line as it ends the input");

bool endsLine(char c) { return kLineEnds[static_cast<unsigned char>(c)]; }

long offsetOf(const PofRecordReader& reader, const char* at) {
    return reader.base + static_cast<long>(at - reader.block);
}

// A line that is no record line, at its first byte that cannot stand there.
// A line that opens with ';' is a comment by convention and not reported.
[[gnu::cold]] void noteSkippedLine(const RecordScan& scan, const char* at) {
    if (diagnosticSink == nullptr) return;
    const long offset = offsetOf(scan.reader, at);
    if (*at == ':') return diagnose(kDiagColonWithoutNumber, offset);
    if (scan.digits > 0) return diagnose(kDiagNumberWithoutColon, offset, -1, 0, at, 1);
    if (*at != ';') diagnose(kDiagNoRecordNumber, offset, -1, 0, at, 1);
}

// A line end that ends no record: digits with no colon, or an empty payload,
// whose number the next record line replaces.
[[gnu::cold]] void noteLineEnd(const RecordScan& scan, bool inPayload) {
    if (diagnosticSink == nullptr) return;
    const long offset = offsetOf(scan.reader, scan.reader.at - 1);  // the line end
    if (inPayload) diagnose(kDiagEmptyPayload, offset, -1, scan.number);
    else diagnose(kDiagNumberWithoutColon, offset);
}

// Called before the run is taken: it is cut behind the room left. Everything
// is found from the scan, so the caller keeps nothing aside for it.
[[gnu::cold]] void notePayloadCut(RecordScan& scan) {
    if (diagnosticSink == nullptr || scan.cutReported) return;
    scan.cutReported = true;
    const char* firstDropped = scan.reader.at + (scan.limit - scan.length);
    diagnose(kDiagPayloadCut, offsetOf(scan.reader, firstDropped), -1, scan.limit);
}

[[gnu::cold]] void noteControlZ(const PofRecordReader& reader) {
    if (diagnosticSink != nullptr) diagnose(kDiagControlZ, offsetOf(reader, reader.at));
}

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr bool kLittleEndian = true;
#else
constexpr bool kLittleEndian = false;
#endif

// The bytes of `word` that are CR, LF or control-Z, as the high bit of each:
// a byte equal to the pattern's leaves a zero byte in the difference, and a
// zero byte sets its high bit in (x - 0x01..) & ~x. A borrow can mark bytes
// above a true match, never below it, so the lowest mark is exact.
uint64_t lineEndMarks(uint64_t word) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    constexpr uint64_t kHighs = 0x8080808080808080ULL;
    const uint64_t cr = word ^ (kOnes * '\r');
    const uint64_t lf = word ^ (kOnes * '\n');
    const uint64_t sub = word ^ (kOnes * kEndOfInputMark);
    return (((cr - kOnes) & ~cr) | ((lf - kOnes) & ~lf) | ((sub - kOnes) & ~sub)) & kHighs;
}

// The end of the run that starts at `at`: the first line end, or the block's
// end `end`, where a line end stands as a sentinel. Sixteen bytes at a time
// where the processor compares them at once, then eight, while they lie
// inside the block.
const char* runEnd(const char* at, const char* end) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i sub = _mm_set1_epi8(static_cast<char>(kEndOfInputMark));
    for (; end - at >= 16; at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i ends = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)),
                                          _mm_cmpeq_epi8(bytes, sub));
        const int mask = _mm_movemask_epi8(ends);
        if (mask != 0) return at + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    if constexpr (kLittleEndian) {
        for (uint64_t word; end - at >= 8; at += 8) {
            std::memcpy(&word, at, sizeof word);
            const uint64_t marks = lineEndMarks(word);
            if (marks != 0) return at + __builtin_ctzll(marks) / 8;
        }
    }
    while (!endsLine(*at)) ++at;
    return at;
}

// Blanks, tabs and digits up to the colon; anything else makes the line no
// record line.
LineState scanPrefix(RecordScan& scan) {
    PofRecordReader& reader = scan.reader;
    const char* at = reader.at;
    for (; at < reader.end; ++at) {
        const char c = *at;
        if (isBlank(c)) continue;
        if (!isDigit(c)) break;
        const int32_t digit = c - '0';
        if (++scan.digits > kRecordDigitsMax || scan.pending > (INT32_MAX - digit) / 10)
            scan.pending = INT32_MAX;
        else
            scan.pending = scan.pending * 10 + digit;
        if (scan.digits > kRecordDigitsMax) scan.digits = kRecordDigitsMax + 1;
    }
    reader.at = at;
    if (at == reader.end || endsLine(*at)) return kPrefix;
    if (*at == ':' && scan.digits > 0) {
        scan.number = scan.pending;
        reader.at = at + 1;
        return kPayload;
    }
    noteSkippedLine(scan, at);
    return kSkip;
}

// Every byte up to the line end; bytes beyond the limit are dropped.
LineState scanPayload(RecordScan& scan) {
    PofRecordReader& reader = scan.reader;
    const char* const end = runEnd(reader.at, reader.end);
    const std::size_t run = static_cast<std::size_t>(end - reader.at);
    const std::size_t room = static_cast<std::size_t>(scan.limit - scan.length);
    const std::size_t taken = run < room ? run : room;
    if (run > room) notePayloadCut(scan);
    std::memcpy(scan.buffer + scan.length, reader.at, taken);
    scan.length += static_cast<int>(taken);
    reader.at = end;
    return kPayload;
}

// The rest of a line that is no record line.
LineState skipLine(RecordScan& scan) {
    scan.reader.at = runEnd(scan.reader.at, scan.reader.end);
    return kSkip;
}

constexpr LineStateFn kLineStates[] = {
    /* 0 prefix  */ scanPrefix,
    /* 1 payload */ scanPayload,
    /* 2 skip    */ skipLine,
};
static_assert(std::size(kLineStates) == 3);

// The next block of the file; false at its end (or a read error, or after a
// control-Z), which is final.
bool refill(PofRecordReader& reader) {
    if (reader.ended) return false;
    const std::size_t got = std::fread(reader.block, 1, reader.capacity, reader.file);
    if (got == 0) {
        reader.ended = true;
        return false;
    }
    reader.base += static_cast<long>(reader.end - reader.block);
    reader.at = reader.block;
    reader.end = reader.block + got;
    reader.block[got] = '\n';  // the sentinel that ends every run
    return true;
}

// A regular file smaller than a block needs a block only its size (one byte
// for an empty one): a small toolpath then reads from the reader's own 256
// bytes without memory. 0 takes the full block. A file that grows meanwhile
// is still read to its end, in smaller blocks.
std::size_t fileBlockSize(std::FILE* file) {
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<unsigned long long>(status.st_size) >= kRecordBlockSize)
        return 0;
    return static_cast<std::size_t>(status.st_size) + 1;
}

}  // namespace

void openRecordReader(PofRecordReader& reader, std::FILE* file) {
    reader.file = file;
    reader.ended = false;
    reader.length = 0;
    reader.base = 0;
    std::size_t blockSize = fileBlockSize(file);
    if (blockSize == 0) blockSize = kRecordBlockSize;
    // Without memory for a block the reader makes do with its own small one:
    // slower, but every record still arrives.
    reader.owned = blockSize > kRecordInlineBlockSize
                       ? static_cast<char*>(memResize(nullptr, blockSize + 1))
                       : nullptr;
    reader.block = reader.owned != nullptr ? reader.owned : reader.inlineBlock;
    reader.capacity = reader.owned != nullptr ? blockSize
                      : blockSize < kRecordInlineBlockSize ? blockSize
                                                           : kRecordInlineBlockSize;
    reader.at = reader.end = reader.block;
    // The blocks are the file's only buffer: stdio reads straight into them.
    std::setvbuf(file, nullptr, _IONBF, 0);
}

void closeRecordReader(PofRecordReader& reader) {
    memRelease(reader.owned);
    reader.owned = nullptr;
    reader.block = reader.inlineBlock;
    reader.at = reader.end = reader.block;
    reader.ended = true;
}

// Reads the next record line into `buffer` (at most `limit` bytes plus the
// terminator) and returns its number, or -1 when the file ends before a number
// was read.
int readPofRecord(PofRecordReader& reader, char* buffer, int limit) {
    RecordScan scan{reader, buffer, limit < 0 ? 0 : limit, 0, -1, 0, 0, false};
    LineState state = kPrefix;
    for (;;) {
        if (reader.at == reader.end && !refill(reader)) break;
        const char c = *reader.at;
        if (static_cast<unsigned char>(c) == kEndOfInputMark) {
            if (!reader.ended) noteControlZ(reader);
            reader.ended = true;
            break;
        }
        if (c == '\r' || c == '\n') {
            ++reader.at;
            if (scan.length > 0) break;
            if (scan.digits > 0 && state != kSkip) noteLineEnd(scan, state == kPayload);
            state = kPrefix;
            scan.digits = 0;
            scan.pending = 0;
            continue;
        }
        state = kLineStates[state](scan);
    }
    buffer[scan.length] = '\0';
    reader.length = scan.length;
    return scan.number;
}

long recordLineOffset(const PofRecordReader& reader) {
    if (reader.block == nullptr || reader.at == nullptr) return -1;
    const long offset = offsetOf(reader, reader.at);
    return offset > 0 ? offset - 1 : -1;
}

}  // namespace pofreader

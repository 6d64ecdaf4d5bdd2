// The record reader on in-memory streams: each case is the file's bytes beside
// the records the reader returns, call after call, up to the first -1.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/limits.h"
#include "pof/pof.h"

using namespace pofreader;

namespace {

struct Read {
    int number;
    std::string payload;
    bool operator==(const Read& other) const {
        return number == other.number && payload == other.payload;
    }
};

std::ostream& operator<<(std::ostream& out, const Read& read) {
    return out << read.number << ":" << read.payload;
}

// A reader over `bytes` in memory, read in blocks of `blockSize` (0: the
// reader's own size). A smaller capacity than the reader chose reads the same
// block in smaller pieces, so that lines straddle blocks.
struct MemoryReader {
    std::string copy;
    std::FILE* file;
    PofRecordReader reader;
    MemoryReader(const std::string& bytes, std::size_t blockSize = 0) : copy(bytes) {
        file = copy.empty() ? std::tmpfile() : fmemopen(copy.data(), copy.size(), "rb");
        EXPECT_NE(file, nullptr);
        openRecordReader(reader, file);
        if (blockSize > 0 && blockSize < reader.capacity) reader.capacity = blockSize;
    }
    ~MemoryReader() {
        closeRecordReader(reader);
        std::fclose(file);
    }
};

// Every record of `bytes`, then checks that the reader stays at the end.
std::vector<Read> readAll(const std::string& bytes, int limit = kPayloadLimit,
                          std::size_t blockSize = 0) {
    MemoryReader memory(bytes, blockSize);
    std::vector<Read> reads;
    std::vector<char> buffer(static_cast<std::size_t>(limit) + 1, 'X');
    for (int guard = 0; guard < 1000; ++guard) {
        const int number = readPofRecord(memory.reader, buffer.data(), limit);
        if (number < 0) break;
        reads.push_back({number, std::string(buffer.data())});
    }
    // The end is final: a further call returns -1 again.
    EXPECT_EQ(readPofRecord(memory.reader, buffer.data(), limit), -1);
    return reads;
}

struct LineCase {
    const char* name;
    std::string bytes;
    std::vector<Read> expected;
};

const std::string kLong1500(1500, 'a');

std::vector<LineCase> lineCases() {
    return {
        {"empty file", "", {}},
        {"blank lines and lines without number", "\n\r\n  \t\nabc:1\n-1:x\n:x\n", {}},
        {"LF", "0:x\n2:y\n", {{0, "x"}, {2, "y"}}},
        {"CR", "0:x\r2:y\r", {{0, "x"}, {2, "y"}}},
        {"CR LF", "0:x\r\n2:y\r\n", {{0, "x"}, {2, "y"}}},
        {"mixed line ends", "0:a\r\n2:b\n10:c\r31:d", {{0, "a"}, {2, "b"}, {10, "c"}, {31, "d"}}},
        {"last line without line end", "2:abc", {{2, "abc"}}},
        {"empty payload joins the next record", "31:\n2:abc\n", {{2, "abc"}}},
        {"empty payload as last line", "2:abc\n31:\n", {{2, "abc"}, {31, ""}}},
        {"empty payload then skipped lines keeps its number", "31:\nrubbish\n", {{31, ""}}},
        {"control-Z ends the file for good", std::string("12:abc\x1a\n2:more\n0:x\n"),
         {{12, "abc"}}},
        {"control-Z in mid-line", std::string("2:ab\x1a" "cd\n2:x\n"), {{2, "ab"}}},
        {"control-Z at line start", std::string("2:a\n\x1a" "2:b\n"), {{2, "a"}}},
        {"blanks around and between digits", " 3 1 :x\n\t2\t:\ty\n", {{31, "x"}, {2, "\ty"}}},
        {"form feed is no blank before the colon", "\f2:x\n2\f:y\n2:ok\n", {{2, "ok"}}},
        {"payload keeps colons and leading blanks", "2:  a:b:c \n", {{2, "  a:b:c "}}},
        {"minus, letter and colon lines skipped", "-2:x\nA2:x\n:2:x\n2x:y\n2:ok\n", {{2, "ok"}}},
        {"line without colon skipped", "2 abc\n2:ok\n", {{2, "ok"}}},
        {"unknown types read", "7:a\n12:b\n30:c\n32:d\n", {{7, "a"}, {12, "b"}, {30, "c"}, {32, "d"}}},
        {"leading zeros", "0031:x\n", {{31, "x"}}},
        {"payload cut to 1020, next line read", "2:" + kLong1500 + "\n2:next\n",
         {{2, std::string(1020, 'a')}, {2, "next"}}},
        {"NUL and high bytes in payload", std::string("2:a\0b\x80\xff\n2:c\n", 11),
         {{2, "a"}, {2, "c"}}},
    };
}

TEST(RecordReader, LineSyntax) {
    for (const LineCase& c : lineCases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readAll(c.bytes), c.expected);
    }
}

// Lines that straddle blocks, split at every place: a prefix, a payload, a
// CR LF pair or a skipped line cut in two reads as it does in one block.
TEST(RecordReader, BlockBoundariesChangeNothing) {
    for (const std::size_t blockSize : {1u, 2u, 3u, 5u, 8u, 300u}) {
        for (const LineCase& c : lineCases()) {
            SCOPED_TRACE(std::string(c.name) + ", block " + std::to_string(blockSize));
            EXPECT_EQ(readAll(c.bytes, kPayloadLimit, blockSize), c.expected);
        }
    }
}

// The buffer keeps the NUL and the bytes 128 to 255 as they stood.
TEST(RecordReader, PayloadBytesArriveUnchanged) {
    std::string bytes = "2:";
    for (int b = 1; b < 256; ++b)
        if (b != '\r' && b != '\n' && b != 26) bytes += static_cast<char>(b);
    bytes += "\n";
    const std::vector<Read> reads = readAll(bytes);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].payload, bytes.substr(2, bytes.size() - 3));

    MemoryReader withNul(std::string("2:ab\0cd\n", 8));
    char buffer[kPayloadBufferSize];
    ASSERT_EQ(readPofRecord(withNul.reader, buffer, kPayloadLimit), 2);
    EXPECT_EQ(std::string(buffer, 6), std::string("ab\0cd\0", 6));
}

TEST(RecordReader, LimitIsRespected) {
    const std::vector<Read> reads = readAll("2:abcdefgh\n", 3);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].payload, "abc");
    // A limit of 0 stores nothing: the payload never counts, so the record
    // ends only with the file.
    EXPECT_EQ(readAll("2:abc\n", 0), (std::vector<Read>{{2, ""}}));
}

// Record numbers too large for int32, or with more digits than the reader
// keeps, saturate: no handler has that type, so the record is ignored.
TEST(RecordReader, HugeRecordNumbersSaturate) {
    const struct {
        const char* name;
        std::string digits;
        int expected;
    } cases[] = {
        {"largest int32", "2147483647", 2147483647},
        {"one above", "2147483648", INT32_MAX},
        {"twenty digits", "99999999999999999999", INT32_MAX},
        {"127 digits, leading zeros", std::string(125, '0') + "31", 31},
        {"128 digits, leading zeros", std::string(126, '0') + "31", INT32_MAX},
        {"5000 digits", std::string(5000, '9'), INT32_MAX},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readAll(c.digits + ":x\n2:y\n"),
                  (std::vector<Read>{{c.expected, "x"}, {2, "y"}}));
    }
}

TEST(RecordReader, BinaryGarbageEndsCleanly) {
    std::string garbage;
    unsigned state = 12345;
    for (int i = 0; i < 200000; ++i) {
        state = state * 1103515245u + 12345u;
        garbage += static_cast<char>((state >> 16) & 0xff);
    }
    MemoryReader memory(garbage);
    char buffer[kPayloadBufferSize];
    int calls = 0;
    for (int number; (number = readPofRecord(memory.reader, buffer, kPayloadLimit)) >= 0; ++calls) {
        EXPECT_LE(std::char_traits<char>::length(buffer), static_cast<std::size_t>(kPayloadLimit));
        ASSERT_LT(calls, 200000);
    }
}

}  // namespace

// The character classes that every reader of the system shares: blanks, line
// ends, whitespace, decimal digits and the end of input. Each takes a byte
// value or a negative end marker (EOF), as the readers hold them.
#pragma once

#include <array>

namespace pofreader {

// Ctrl-Z: every reader takes it for the end of its input, like the end of
// the stream.
inline constexpr int kEndOfInputMark = 26;

constexpr bool isBlank(int c) { return c == ' ' || c == '\t'; }
constexpr bool isLineEnd(int c) { return c == '\n' || c == '\r'; }
constexpr bool isWhitespace(int c) { return isBlank(c) || isLineEnd(c); }
constexpr bool isDigit(int c) { return c >= '0' && c <= '9'; }
constexpr bool isEndOfInput(int c) { return c < 0 || c == kEndOfInputMark; }

// Every byte table of the system is built one way: a 256-entry table indexed
// by byte value, one look-up per byte. byteTable holds each byte of
// `members` (a NUL-terminated list) and every byte from `first` to `last`
// (none when first > last); withBytes and withoutBytes add or take away.
using ByteTable = std::array<bool, 256>;

constexpr ByteTable withBytes(ByteTable table, const char* added) {
    for (; *added != '\0'; ++added) table[static_cast<unsigned char>(*added)] = true;
    return table;
}

constexpr ByteTable withoutBytes(ByteTable table, const char* removed) {
    for (; *removed != '\0'; ++removed) table[static_cast<unsigned char>(*removed)] = false;
    return table;
}

constexpr ByteTable byteTable(const char* members, int first = 1, int last = 0) {
    ByteTable table = withBytes(ByteTable{}, members);
    for (int c = first; c <= last; ++c) table[static_cast<unsigned char>(c)] = true;
    return table;
}

// True when `c` (a byte value, or a negative end marker) is in `table`.
constexpr bool inTable(const ByteTable& table, int c) { return static_cast<unsigned>(c) < 256 && table[c]; }

// The bytes that end a run of a scanner that takes a whole run at once. A
// terminated text's NUL ends every run.
using StopTable = ByteTable;

constexpr StopTable stopTable(const char* stops) {
    StopTable table = byteTable(stops);
    table[0] = true;
    return table;
}

inline bool stopsAt(const StopTable& table, char c) { return table[static_cast<unsigned char>(c)]; }

// The first byte from `at` on that ends the run.
inline const char* skipTo(const StopTable& table, const char* at) {
    while (!stopsAt(table, *at)) ++at;
    return at;
}

static_assert(isBlank('\t') && !isBlank('\n') && !isBlank('\v') && !isBlank(-1));
static_assert(isLineEnd('\r') && !isLineEnd(' ') && isWhitespace('\n') && !isWhitespace(0));
static_assert(isDigit('0') && isDigit('9') && !isDigit('/') && !isDigit(':') && !isDigit(-48));
static_assert(isEndOfInput(-1) && isEndOfInput(26) && !isEndOfInput(0) && !isEndOfInput(27));

}  // namespace pofreader

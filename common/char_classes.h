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

// The bytes that end a run of a scanner that takes a whole run at once: one
// look-up per byte. A terminated text's NUL ends every run.
using StopTable = std::array<bool, 256>;

constexpr StopTable stopTable(const char* stops) {
    StopTable table{};
    table[0] = true;
    for (; *stops != '\0'; ++stops) table[static_cast<unsigned char>(*stops)] = true;
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

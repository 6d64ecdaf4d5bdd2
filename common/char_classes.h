// The character classes that every reader of the system shares: blanks, line
// ends, whitespace, decimal digits and the end of input. Each takes a byte
// value or a negative end marker (EOF), as the readers hold them.
#pragma once

namespace pofreader {

// Ctrl-Z: every reader takes it for the end of its input, like the end of
// the stream.
inline constexpr int kEndOfInputMark = 26;

constexpr bool isBlank(int c) { return c == ' ' || c == '\t'; }
constexpr bool isLineEnd(int c) { return c == '\n' || c == '\r'; }
constexpr bool isWhitespace(int c) { return isBlank(c) || isLineEnd(c); }
constexpr bool isDigit(int c) { return c >= '0' && c <= '9'; }
constexpr bool isEndOfInput(int c) { return c < 0 || c == kEndOfInputMark; }

static_assert(isBlank('\t') && !isBlank('\n') && !isBlank('\v') && !isBlank(-1));
static_assert(isLineEnd('\r') && !isLineEnd(' ') && isWhitespace('\n') && !isWhitespace(0));
static_assert(isDigit('0') && isDigit('9') && !isDigit('/') && !isDigit(':') && !isDigit(-48));
static_assert(isEndOfInput(-1) && isEndOfInput(26) && !isEndOfInput(0) && !isEndOfInput(27));

}  // namespace pofreader

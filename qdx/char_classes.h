// The three character classes of the qDX notation, as 256-entry tables
// indexed by byte value. Whitespace, brackets, the comment mark and the escape
// mark are handled by the states before a class is consulted; a class decides
// only the rest. Bytes 128 to 255 belong to no class.
#pragma once

#include <array>

#include "common/common.h"

namespace pofreader {

using CharClass = std::array<bool, 256>;

// A class holding every character of `members` (a NUL-terminated list) and
// every byte from `rangeFirst` to `rangeLast` (none when first > last).
constexpr CharClass makeCharClass(const char* members, int rangeFirst = 1, int rangeLast = 0) {
    CharClass table{};
    for (const char* c = members; *c != '\0'; ++c) table[static_cast<unsigned char>(*c)] = true;
    for (int c = rangeFirst; c <= rangeLast; ++c) table[c] = true;
    return table;
}

constexpr CharClass withChars(CharClass table, const char* added) {
    for (const char* c = added; *c != '\0'; ++c) table[static_cast<unsigned char>(*c)] = true;
    return table;
}

constexpr CharClass withoutChars(CharClass table, const char* removed) {
    for (const char* c = removed; *c != '\0'; ++c) table[static_cast<unsigned char>(*c)] = false;
    return table;
}

// Element names, attribute names and the bracket texts of `o` and `m`
// elements. The earlier revision does not know the backslash here.
inline constexpr CharClass kNameChars = makeCharClass(
    kEarlierRevision ? "#$%&-0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz"
                     : "#$%&-0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ\\_abcdefghijklmnopqrstuvwxyz");

// `v` values and attribute values: printable characters except the square
// brackets and the back quote, and the control character 21.
inline constexpr CharClass kValueChars = withoutChars(makeCharClass("\x15", '!', '~'), "[]`");

// Method bodies: tab and the printable characters from space on, except the
// parentheses and the back quote.
inline constexpr CharClass kBodyChars = withoutChars(makeCharClass("\t", ' ', '~'), "()`");

// Runs the text source stores in one go (the reader's fast path): a `v` name,
// whose full stop the current revision allows, and the plain characters of a
// `v` value, without the escape mark and the closing parenthesis.
inline constexpr CharClass kValueNameChars = kEarlierRevision ? kNameChars : withChars(kNameChars, ".");
inline constexpr CharClass kPlainValueChars = withoutChars(kValueChars, "\\)");

// True when `c` (a byte value, or a negative end marker) is in `table`.
constexpr bool inClass(const CharClass& table, int c) { return static_cast<unsigned>(c) < 256 && table[c]; }

static_assert(inClass(kNameChars, '_') && !inClass(kNameChars, '.') && !inClass(kNameChars, ' '));
static_assert(inClass(kNameChars, '\\') != kEarlierRevision);
static_assert(inClass(kValueChars, ';') && inClass(kValueChars, 21) && !inClass(kValueChars, '`'));
static_assert(!inClass(kValueChars, ' ') && !inClass(kValueChars, '[') && !inClass(kValueChars, 127));
static_assert(inClass(kBodyChars, ' ') && inClass(kBodyChars, '\t') && !inClass(kBodyChars, '('));
static_assert(inClass(kValueNameChars, '.') != kEarlierRevision && inClass(kValueNameChars, '_'));
static_assert(!inClass(kPlainValueChars, ')') && !inClass(kPlainValueChars, '\\') && inClass(kPlainValueChars, '('));
static_assert(!inClass(kBodyChars, '\n') && !inClass(kBodyChars, 200) && !inClass(kBodyChars, -1));

}  // namespace pofreader

// The three character classes of the qDX notation, as 256-entry tables
// indexed by byte value. Whitespace, brackets, the comment mark and the escape
// mark are handled by the states before a class is consulted; a class decides
// only the rest. Bytes 128 to 255 belong to no class.
#pragma once

#include "common/char_classes.h"
#include "common/common.h"

namespace pofreader {

// The classes are byte tables (common/char_classes.h).
using CharClass = ByteTable;

// Element names, attribute names and the bracket texts of `o` and `m`
// elements. The earlier revision does not know the backslash here.
inline constexpr CharClass kNameChars = byteTable(
    kEarlierRevision ? "#$%&-0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz"
                     : "#$%&-0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ\\_abcdefghijklmnopqrstuvwxyz");

// `v` values and attribute values: printable characters except the square
// brackets and the back quote, and the control character 21.
inline constexpr CharClass kValueChars = withoutBytes(byteTable("\x15", '!', '~'), "[]`");

// Method bodies: tab and the printable characters from space on, except the
// parentheses and the back quote.
inline constexpr CharClass kBodyChars = withoutBytes(byteTable("\t", ' ', '~'), "()`");

// Runs the text source stores in one go (the reader's fast path): a `v` name,
// whose full stop the current revision allows, and the plain characters of a
// `v` value, without the escape mark and the closing parenthesis.
inline constexpr CharClass kValueNameChars = kEarlierRevision ? kNameChars : withBytes(kNameChars, ".");
inline constexpr CharClass kPlainValueChars = withoutBytes(kValueChars, "\\)");

constexpr bool inClass(const CharClass& table, int c) { return inTable(table, c); }

static_assert(inClass(kNameChars, '_') && !inClass(kNameChars, '.') && !inClass(kNameChars, ' '));
static_assert(inClass(kNameChars, '\\') != kEarlierRevision);
static_assert(inClass(kValueChars, ';') && inClass(kValueChars, 21) && !inClass(kValueChars, '`'));
static_assert(!inClass(kValueChars, ' ') && !inClass(kValueChars, '[') && !inClass(kValueChars, 127));
static_assert(inClass(kBodyChars, ' ') && inClass(kBodyChars, '\t') && !inClass(kBodyChars, '('));
static_assert(inClass(kValueNameChars, '.') != kEarlierRevision && inClass(kValueNameChars, '_'));
static_assert(!inClass(kPlainValueChars, ')') && !inClass(kPlainValueChars, '\\') && inClass(kPlainValueChars, '('));
static_assert(!inClass(kBodyChars, '\n') && !inClass(kBodyChars, 200) && !inClass(kBodyChars, -1));

}  // namespace pofreader

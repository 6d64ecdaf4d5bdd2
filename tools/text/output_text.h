// Turning what the host receives into printable text: quoted strings with the
// bytes a terminal or a JSON reader cannot take escaped, and doubles written so
// that they read back to the same value.
#pragma once

#include <cstddef>
#include <string>

namespace pofhost {

// The shortest decimal text that reads back to exactly `value` ("0.1", "-0",
// "1e+300"); "inf", "-inf" or "nan" for the values that have no such text.
std::string formatNumber(double value);

// `value` as a JSON value: the shortest round-trip number, or for a value that
// JSON numbers cannot hold, the string "inf", "-inf" or "nan".
std::string jsonNumber(double value);

// The bytes of `text` up to its NUL, but never more than `size` bytes (a field
// that the sender did not terminate is read to its end and no further).
std::string fieldText(const char* text, std::size_t size);

// `text` in double quotes for the text output: printable ASCII as it is,
// backslash and double quote with a backslash, every other byte as \xHH.
std::string quoteText(const std::string& text);

// `text` as a JSON string. The texts are 8-bit, not UTF-8, so every byte
// outside printable ASCII becomes \u00HH: a JSON reader sees the byte's value
// as its code point, and the output is plain ASCII.
std::string jsonString(const std::string& text);

}  // namespace pofhost

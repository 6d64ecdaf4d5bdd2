// Escaping of free text for the quoted key syntax: safe characters stay,
// every other byte becomes "\%03d".
//
// When the output is too small, the copy stops before the first character
// (plain or escaped) that does not fit whole; an escape is never split.
#ifndef POFREADER_REVISION_700

#include <array>
#include <cstdio>

#include "common/char_classes.h"
#include "config/config.h"

namespace pofreader {

namespace {

constexpr ByteTable kSafeChars =
    withBytes(byteTable(" !#$%&*+,-.=@_", '0', '9'), "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
constexpr std::size_t kEscapeLength = 4;  // backslash and three digits

}  // namespace

void escapeText(char* output, std::size_t outputSize, const char* text) {
    if (output == nullptr || outputSize == 0) return;
    std::size_t used = 0;
    if (text != nullptr) {
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
            if (kSafeChars[*p]) {
                if (used + 1 >= outputSize) break;
                output[used++] = static_cast<char>(*p);
            } else {
                if (used + kEscapeLength >= outputSize) break;
                std::snprintf(output + used, kEscapeLength + 1, "\\%03d", *p);
                used += kEscapeLength;
            }
        }
    }
    output[used] = '\0';
}

}  // namespace pofreader

#endif  // POFREADER_REVISION_700

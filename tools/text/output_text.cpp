#include "text/output_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace pofhost {

std::string formatNumber(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char digits[64];
    // Without a precision, to_chars writes the shortest text that round-trips.
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    return std::string(digits, result.ptr);
}

std::string jsonNumber(double value) {
    if (std::isfinite(value)) return formatNumber(value);
    return "\"" + formatNumber(value) + "\"";
}

std::string fieldText(const char* text, std::size_t size) {
    const void* end = std::memchr(text, '\0', size);
    const std::size_t length =
        end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - text) : size;
    return std::string(text, length);
}

namespace {

bool printableAscii(unsigned char byte) { return byte >= 0x20 && byte < 0x7F; }

void appendEscape(std::string& out, const char* format, unsigned char byte) {
    char escape[8];
    std::snprintf(escape, sizeof escape, format, static_cast<unsigned>(byte));
    out += escape;
}

}  // namespace

namespace {

// `text` in double quotes, with '"' and '\\' escaped by a backslash and every
// other byte outside printable ASCII written with `byteFormat`.
std::string quoted(const std::string& text, const char* byteFormat) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += c;
        } else if (printableAscii(byte)) {
            out += c;
        } else {
            appendEscape(out, byteFormat, byte);
        }
    }
    return out + "\"";
}

}  // namespace

std::string quoteText(const std::string& text) { return quoted(text, "\\x%02X"); }

std::string jsonString(const std::string& text) { return quoted(text, "\\u%04X"); }

}  // namespace pofhost

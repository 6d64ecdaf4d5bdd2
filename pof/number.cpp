// Decimal numbers of move values, read the same under every locale: a host
// running with a comma as its decimal point must read the same toolpath.
#include <charconv>
#include <cmath>

#include "pof/pof.h"

namespace pofreader {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isWhite(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

double parseNumber(const char* text, std::size_t length) {
    const char* at = text;
    const char* end = text + length;
    while (at < end && isWhite(*at)) ++at;

    // ---- The longest prefix: sign, digits, '.', digits, exponent.
    bool negative = false;
    if (at < end && (*at == '+' || *at == '-')) {
        negative = *at == '-';
        ++at;
    }
    const char* mantissa = at;  // from_chars takes no leading '+'
    std::size_t digits = 0;
    int leadingScale = 0;  // rough decimal exponent of the mantissa
    bool seenNonZero = false;
    while (at < end && isDigit(*at)) {
        if (*at != '0') seenNonZero = true;
        if (seenNonZero) ++leadingScale;
        ++digits;
        ++at;
    }
    if (at < end && *at == '.') {
        const char* afterPoint = at + 1;
        while (afterPoint < end && isDigit(*afterPoint)) {
            if (!seenNonZero) {
                if (*afterPoint != '0') seenNonZero = true;
                else --leadingScale;
            }
            ++digits;
            ++afterPoint;
        }
        if (digits > 0) at = afterPoint;
    }
    if (digits == 0) return 0.0;
    long exponent = 0;
    if (at < end && (*at == 'e' || *at == 'E')) {
        const char* e = at + 1;
        bool negativeExponent = false;
        if (e < end && (*e == '+' || *e == '-')) {
            negativeExponent = *e == '-';
            ++e;
        }
        if (e < end && isDigit(*e)) {
            while (e < end && isDigit(*e)) {
                if (exponent < 100000) exponent = exponent * 10 + (*e - '0');
                ++e;
            }
            if (negativeExponent) exponent = -exponent;
            at = e;
        }
    }

    double value = 0.0;
    const std::from_chars_result result =
        std::from_chars(mantissa, at, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // What strtod gives: infinity on overflow, zero on underflow.
        value = (leadingScale + exponent > 0) ? HUGE_VAL : 0.0;
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

}  // namespace pofreader

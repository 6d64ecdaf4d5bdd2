// Decimal numbers of move values, read the same under every locale: a host
// running with a comma as its decimal point must read the same toolpath.
//
// Toolpath numbers are short decimals. When the digits fit 2^53 exactly and
// there are at most 22 after the point, one division by an exact power of ten
// gives the correctly rounded value, the same one that from_chars gives; that
// takes one pass. Everything else (white space first, an exponent, more
// digits) goes through the general rule.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/char_classes.h"
#include "pof/pof.h"

namespace pofreader {

namespace {

bool isWhite(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The general rule: the longest prefix, converted by from_chars.
double parseNumberGeneral(const char* text, std::size_t length, const char** stop = nullptr) {
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
    if (digits == 0) {
        if (stop != nullptr) *stop = text;
        return 0.0;
    }
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

    if (stop != nullptr) *stop = at;
    // The prefix is a well-formed number: range is the only error left.
    double value = 0.0;
    const std::from_chars_result result =
        std::from_chars(mantissa, at, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // What strtod gives: infinity on overflow, zero on underflow.
        value = (leadingScale + exponent > 0) ? HUGE_VAL : 0.0;
    }
    return negative ? -value : value;
}

// Powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr std::size_t kExactPowerMax = 22;
constexpr uint64_t kExactMantissaMax = uint64_t{1} << 53;
constexpr std::size_t kGatheredDigitsMax = 19;  // fit a uint64_t

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr bool kEightAtOnce = true;
#else
constexpr bool kEightAtOnce = false;
#endif

constexpr uint64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000,
                                     100000000};

// The value of eight digit values 0..9, the first in the lowest byte: pairs,
// then fours, then all eight, each step one multiplication.
uint64_t eightDigits(uint64_t digits) {
    digits = digits * 10 + (digits >> 8);
    constexpr uint64_t kLowOfPairs = 0x000000FF000000FFULL;
    constexpr uint64_t kHundredAndMillion = 100 + (1000000ULL << 32);
    constexpr uint64_t kOneAndTenThousand = 1 + (10000ULL << 32);
    return ((digits & kLowOfPairs) * kHundredAndMillion +
            ((digits >> 16) & kLowOfPairs) * kOneAndTenThousand) >> 32;
}

// The run of digits at `at` appended to `mantissa`; returns its end. While
// eight bytes lie before `end` they are looked at together, so that the run's
// length costs no branch per digit. Longer runs wrap the mantissa; the caller
// refuses them by their count.
inline __attribute__((always_inline)) const char* takeDigits(const char* at, const char* end,
                                                            uint64_t& mantissa) {
    if constexpr (kEightAtOnce) {
        while (end - at >= 8) {
            uint64_t word;
            std::memcpy(&word, at, sizeof word);
            // Digits become 0..9; a byte whose high nibble or low nibble + 6
            // passes 15 is no digit. No step carries into the next byte.
            const uint64_t values = word ^ 0x3030303030303030ULL;
            const uint64_t nonDigits = (values & 0xF0F0F0F0F0F0F0F0ULL) |
                                       (((values & 0x0F0F0F0F0F0F0F0FULL) + 0x0606060606060606ULL) &
                                        0x1010101010101010ULL);
            const unsigned count =
                nonDigits == 0 ? 8u : static_cast<unsigned>(__builtin_ctzll(nonDigits)) / 8;
            if (count == 0) return at;
            mantissa = mantissa * kPowersOfTen[count] + eightDigits(values << (8 * (8 - count)));
            at += count;
            if (count < 8) return at;
        }
    }
    for (unsigned digit; at < end && (digit = static_cast<unsigned char>(*at - '0')) <= 9; ++at)
        mantissa = mantissa * 10 + digit;
    return at;
}

}  // namespace

bool parseShortDecimal(const char* at, const char* end, double& value, const char*& stop) {
    if (at == end || isWhite(*at)) return false;
    // Signs come and go at random in a toolpath: no branch on them, here or
    // at the end, that the processor would guess wrong half the time.
    const bool negative = *at == '-';
    at += negative || *at == '+';
    // At most 19 digits in all fit the mantissa whatever they are; longer
    // runs (even of leading zeros) are left to the general rule.
    uint64_t mantissa = 0;
    const char* const integerStart = at;
    at = takeDigits(at, end, mantissa);
    const std::size_t integerDigits = static_cast<std::size_t>(at - integerStart);
    std::size_t fractionDigits = 0;
    if (at < end && *at == '.') {
        const char* const fractionStart = ++at;
        at = takeDigits(at, end, mantissa);
        fractionDigits = static_cast<std::size_t>(at - fractionStart);
    }
    const std::size_t digits = integerDigits + fractionDigits;
    if (digits == 0 || digits > kGatheredDigitsMax) return false;
    if (at < end && (*at == 'e' || *at == 'E')) return false;
    if (mantissa > kExactMantissaMax || fractionDigits > kExactPowerMax) return false;
    const double magnitude = static_cast<double>(mantissa) / kExactPowersOfTen[fractionDigits];
    uint64_t bits;
    std::memcpy(&bits, &magnitude, sizeof bits);
    bits ^= static_cast<uint64_t>(negative) << 63;
    std::memcpy(&value, &bits, sizeof value);
    stop = at;
    return true;
}

std::size_t numberPrefixLength(const char* text, std::size_t length) {
    const char* stop = text;
    parseNumberGeneral(text, length, &stop);
    return static_cast<std::size_t>(stop - text);
}

double parseNumber(const char* text, std::size_t length) {
    double value;
    const char* stop;
    if (parseShortDecimal(text, text + length, value, stop)) return value;
    return parseNumberGeneral(text, length);
}

}  // namespace pofreader

// Golden cases for the qDX reader: a text, and the outcome of every call of
// exchangeNextFromText on it, plus the lines that must land in "EDK.TXT".
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace qdx_test {

struct Attribute {
    const char* name;   // nullptr: none
    const char* value;  // nullptr: none
};

struct Call {
    int result;
    std::int16_t kind;
    const char* name;  // nullptr: none
    const char* text;  // nullptr: none
    std::vector<Attribute> attributes;
    std::string rest;  // what the cursor still holds after the call
    int error;         // exchangeLastError() after the call
};

// An element read, leaving `rest` unread.
inline Call element(char kind, const char* name, const char* text, std::vector<Attribute> attributes,
                    std::string rest) {
    return {1, static_cast<std::int16_t>(kind), name, text, std::move(attributes), std::move(rest), 0};
}

// No element: `error` 0 for a quiet end.
inline Call nothing(std::string rest, int error) { return {0, 0, nullptr, nullptr, {}, std::move(rest), error}; }

struct Case {
    const char* label;
    std::string input;
    std::vector<Call> calls;
    std::vector<std::string> reported;  // method names, in order
};

inline void PrintTo(const Case& c, std::ostream* os) { *os << c.label; }

}  // namespace qdx_test

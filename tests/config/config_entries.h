// Helpers of the configuration reader tests: a list as (name, value) pairs,
// deterministic binary garbage, and line-end variants of a text.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "config/config.h"

namespace config_testing {

using Entries = std::vector<std::pair<std::string, std::string>>;

// The list's entries in walking order.
inline Entries entriesOf(const ConfigNode* list) {
    Entries entries;
    for (const ConfigNode* node = list; node != nullptr; node = node->next) {
        entries.emplace_back(node->name, node->value);
    }
    return entries;
}

// The same bytes on every run: a test that fails can be repeated.
inline std::string garbage(std::size_t length, uint32_t seed) {
    std::string bytes(length, '\0');
    for (char& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<char>(seed >> 24);
    }
    return bytes;
}

// `text` with every LF replaced by `lineEnd`.
inline std::string withLineEnds(const std::string& text, const std::string& lineEnd) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') out += lineEnd;
        else out += c;
    }
    return out;
}

}  // namespace config_testing

// Strict checkers for what the tools write: one JSON value per line, and an
// SVG file that is well-formed XML. Self-contained, so the tests need nothing
// outside the tree. And a record as the cycle hands it over, junk included.
#pragma once

#include <cstring>
#include <map>
#include <string>

#include "pofreader/pofreader.h"

namespace host_tests {

// True when `line` is exactly one JSON value (surrounding blanks allowed).
// Bytes outside ASCII are refused: pofhost escapes every one of them.
bool isJsonValue(const std::string& line, std::string* why = nullptr);

// True when `text` is a well-formed XML document with one root element:
// tags nest and match, attribute values are quoted and unique per element,
// '<' and '&' appear only as markup or entities. Counts elements by name.
bool isWellFormedXml(const std::string& text, std::map<std::string, int>* elements = nullptr,
                     std::string* why = nullptr);

// A record of `code` whose bytes nobody wrote carry junk, as they may in a
// record the cycle delivers.
inline SignalRecord recordWithCode(int code) {
    SignalRecord record;
    std::memset(&record, 0xAB, sizeof record);
    record.code = code;
    return record;
}

}  // namespace host_tests

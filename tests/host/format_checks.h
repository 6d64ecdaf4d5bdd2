// Strict checkers for what pofhost writes: one JSON value per line, and an
// SVG file that is well-formed XML. Self-contained, so the tests need nothing
// outside the tree.
#pragma once

#include <map>
#include <string>

namespace host_tests {

// True when `line` is exactly one JSON value (surrounding blanks allowed).
// Bytes outside ASCII are refused: pofhost escapes every one of them.
bool isJsonValue(const std::string& line, std::string* why = nullptr);

// True when `text` is a well-formed XML document with one root element:
// tags nest and match, attribute values are quoted and unique per element,
// '<' and '&' appear only as markup or entities. Counts elements by name.
bool isWellFormedXml(const std::string& text, std::map<std::string, int>* elements = nullptr,
                     std::string* why = nullptr);

}  // namespace host_tests

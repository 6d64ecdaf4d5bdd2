// The move grammar's stored tokens, read plainly: the reference that the
// one-pass parser is checked against.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

// The tokens of one payload, copied.
using TokenList = std::vector<std::string>;

// The tokens of `payload`, an open bracket value closed with "]", at any
// length.
TokenList tokenizeMove(const char* payload);

// A token taken apart: name before the first '[', value after it, every ']'
// dropped.
struct SplitToken {
    std::string name;
    std::string value;
    bool bracketed = false;  // the token held a '['
};
SplitToken splitToken(const std::string& token);

}  // namespace testing_support

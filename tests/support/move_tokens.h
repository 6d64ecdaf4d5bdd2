// The move grammars read plainly (the current one over its stored tokens): the
// references that the one-pass parsers are checked against.
#pragma once

#include <string>
#include <vector>

#include "pof/pof.h"

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

// The current revision's move grammar read plainly over the stored tokens,
// with the parser's contract: the kind, and the words from their preset.
int32_t parseMoveReference(const char* payload, pofreader::MoveWords& words);

// Revision 7.00's move grammar read plainly over the payload with its blanks
// dropped, with the same contract.
int32_t parseMoveEarlierReference(const char* payload, pofreader::MoveWords& words);

}  // namespace testing_support

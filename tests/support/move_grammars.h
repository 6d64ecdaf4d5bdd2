// Each move grammar on its own over a terminated payload, for the tests, the
// benchmark and the fuzzers; inline, so that the library holds no copy.
#pragma once

#include "pof/pof.h"

namespace testing_support {

inline int32_t parseCurrentGrammar(const char* payload, pofreader::MoveWords& words) {
    return pofreader::parseMoveCurrent(payload, 0, words);
}

inline int32_t parseEarlierGrammar(const char* payload, pofreader::MoveWords& words) {
    return pofreader::parseMoveEarlier(payload, 0, words);
}

}  // namespace testing_support

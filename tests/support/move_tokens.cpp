#include "support/move_tokens.h"

#include "pof/pof.h"

namespace testing_support {

namespace {

bool storeToken(void* context, const pofreader::MoveTokenView& token) {
    std::string text(token.text, token.length);
    if (token.closeBracket) text += ']';
    static_cast<TokenList*>(context)->push_back(text);
    return true;
}

}  // namespace

TokenList tokenizeMove(const char* payload) {
    TokenList tokens;
    if (!pofreader::scanMoveTokens(payload, storeToken, &tokens)) tokens.clear();
    return tokens;
}

SplitToken splitToken(const std::string& token) {
    SplitToken split;
    for (const char c : token) {
        if (c == ']') continue;
        if (!split.bracketed && c == '[') {
            split.bracketed = true;
            continue;
        }
        (split.bracketed ? split.value : split.name) += c;
    }
    return split;
}

}  // namespace testing_support

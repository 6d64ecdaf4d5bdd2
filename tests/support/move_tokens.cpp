#include "support/move_tokens.h"

namespace testing_support {

// The token rules written out plainly, character by character.
TokenList tokenizeMove(const char* payload) {
    TokenList tokens;
    std::string word;
    bool inWord = false, inValue = false;
    const auto finish = [&](bool closeValue) {
        if (closeValue) word += ']';
        tokens.push_back(word);
        word.clear();
        inWord = inValue = false;
    };
    for (const char* at = payload;; ++at) {
        const char c = *at;
        if (inValue) {
            if (c == ']') {
                word += c;
                finish(false);
            } else if (c == '(' || c == ')' || c == '\0') {
                finish(true);
                if (c == '\0') break;
                tokens.emplace_back(1, c);
            } else {
                word += c;
            }
            continue;
        }
        if (!inWord) {
            if (c == '\0') break;
            if (c == ' ' || c == '\t') continue;
            if (c == '(' || c == ')') {
                tokens.emplace_back(1, c);
                continue;
            }
            inWord = true;
        }
        if (c == '[') {
            word += c;
            inValue = true;
        } else if (c == ' ' || c == '\t' || c == '(' || c == '\0') {
            finish(false);
            if (c == '\0') break;
            if (c == '(') tokens.emplace_back("(");
        } else {
            word += c;
        }
    }
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

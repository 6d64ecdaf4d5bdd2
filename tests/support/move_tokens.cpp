#include "support/move_tokens.h"

#include <cstring>

#include "common/limits.h"

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

namespace {

using namespace pofreader;

int32_t kindOfWord(const char* word, int32_t kind) {
    if (word[0] != 'o' || word[1] == '\0' || word[2] != '\0') return kind;
    switch (word[1]) {
        case 'A': return kKindArcOpen;
        case 'L': return kKindFeed;
        case 'M': return kKindRapid;
        default: return kind;
    }
}

// One axis word, read from copies of its parts; only a part that is
// converted (x, y, z: second and third; u, v, w: second) is bounded.
bool takeAxis(char axis, const std::string& value, MoveWords& words) {
    std::string parts[3];
    int count = 0;
    std::size_t start = 0;
    const int converted = std::strchr("xyz", axis) != nullptr ? 2 : 1;
    for (;;) {
        const std::size_t slash = value.find('/', start);
        parts[count] = value.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (count >= 1 && count <= converted && parts[count].size() > kMovePartMax) return false;
        ++count;
        if (slash == std::string::npos || count == 3) break;
        start = slash + 1;
    }
    const bool hasTarget = count >= 2 && !parts[1].empty();
    const bool hasThird = count >= 3 && !parts[2].empty();
    const double target = hasTarget ? parseNumber(parts[1].c_str(), parts[1].size()) : 0.0;
    if (std::strchr("xyz", axis) != nullptr) {
        const int i = axis - 'x';
        int32_t* given[] = {&words.xGiven, &words.yGiven, &words.zGiven};
        double* targets[] = {&words.targetX, &words.targetY, &words.targetZ};
        double* thirds[] = {&words.thirdX, &words.thirdY, &words.thirdZ};
        if (hasTarget) *targets[i] = *thirds[i] = target, *given[i] = 1;
        if (hasThird) *thirds[i] = parseNumber(parts[2].c_str(), parts[2].size());
    } else {
        const int i = axis - 'u';
        int32_t* given[] = {&words.uGiven, &words.vGiven, &words.wGiven};
        double* components[] = {&words.u, &words.v, &words.w};
        if (hasTarget) *components[i] = target, *given[i] = 1;
    }
    return true;
}

}  // namespace

// The grammar read over the stored tokens.
int32_t parseMoveReference(const char* payload, MoveWords& words) {
    words.kind = kKindNone;
    words.xGiven = words.yGiven = words.zGiven = words.uGiven = words.vGiven = words.wGiven = 0;
    const MoveWords preset = words;
    bool inGroup = false, readable = true;
    for (const std::string& token : tokenizeMove(payload)) {
        const SplitToken split = splitToken(token);
        const std::string& name = split.name;
        const std::string& value = split.value;
        if (!split.bracketed) {
            if (name == "(") inGroup = true;
            else if (name == ")") inGroup = false;
            else words.kind = kindOfWord(name.c_str(), words.kind);
        } else if (!inGroup) {
            words.kind = kindOfWord(name.c_str(), words.kind);
        } else if (name == "o") {
            if (words.kind == kKindArcOpen && value == "-") words.kind = kKindArcMinus;
            else if (words.kind == kKindArcOpen && value == "+") words.kind = kKindArcPlus;
        } else if (name.size() == 1 && std::strchr("xyzuvw", name[0]) != nullptr) {
            readable = takeAxis(name[0], value, words);
        }
        if (!readable) break;
    }
    if (!readable) words = preset;  // an unreadable record changes nothing
    return words.kind;
}

}  // namespace testing_support

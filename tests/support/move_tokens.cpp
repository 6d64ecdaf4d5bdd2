#include "support/move_tokens.h"

#include <cstring>
#include <string>
#include <vector>

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

// Revision 7.00. Blanks and tabs count nowhere, so they are dropped first.
int32_t parseMoveEarlierReference(const char* payload, MoveWords& words) {
    words.kind = kKindNone;
    words.xGiven = words.yGiven = words.zGiven = words.uGiven = words.vGiven = words.wGiven = 0;
    std::string text;
    for (const char* at = payload; *at != '\0'; ++at)
        if (*at != ' ' && *at != '\t') text += *at;
    const auto refuse = [&] { return words.kind = kKindNone; };

    // The kind word, exactly, before the first "[" or "("; its bracket value
    // is passed over up to the group.
    std::size_t at = text.find_first_of("[(");
    const std::string kindWord = text.substr(0, at);
    if (kindWord == "oA") words.kind = kKindArcOpen;
    else if (kindWord == "oL") words.kind = kKindFeed;
    else if (kindWord == "oM") words.kind = kKindRapid;
    else return refuse();
    if (at != std::string::npos && text[at] == '[') at = text.find('(', at);
    if (at == std::string::npos) return words.kind;

    // The group: word "[" value "]" ...; the first ")" ends the parse, inside
    // a value too, and that value is not taken.
    for (++at;;) {
        const std::size_t open = text.find_first_of("[)", at);
        if (open == std::string::npos || text[open] == ')') return words.kind;
        const std::string word = text.substr(at, open - at);
        if (word.size() == 6 && word != "multax") {
            // This "[" is passed over; the next one refuses the record.
            const std::size_t next = text.find_first_of("[)", open + 1);
            if (next == std::string::npos || text[next] == ')') return words.kind;
            return refuse();
        }
        const bool axis = word.size() == 1 && std::strchr("uvwxyz", word[0]) != nullptr;
        if (!axis && word != "o" && word != "multax") return refuse();
        const std::size_t close = text.find_first_of("])", open + 1);
        if (close == std::string::npos || text[close] == ')') return words.kind;
        const std::string value = text.substr(open + 1, close - open - 1);
        at = close + 1;
        if (word == "o") words.kind = !value.empty() && value[0] == '-' ? kKindArcMinus : kKindArcPlus;
        if (!axis) continue;

        std::vector<std::string> parts(1);
        for (const char c : value) {
            if (c == '/') parts.emplace_back();
            else parts.back() += c;
        }
        // The second part, and for x, y, z a third part that is the last one,
        // are read; either over its bound refuses the record.
        const bool position = word[0] >= 'x';
        const bool hasTarget = parts.size() >= 2;
        const bool hasThird = position && parts.size() == 3;
        if (hasTarget && parts[1].size() > kMovePartMax) return refuse();
        if (hasThird && parts[2].size() > kMovePartMax) return refuse();
        const double target = hasTarget ? parseNumber(parts[1].c_str(), parts[1].size()) : 0.0;
        const double third = hasThird ? parseNumber(parts[2].c_str(), parts[2].size()) : 0.0;
        int32_t* given[] = {&words.uGiven, &words.vGiven, &words.wGiven,
                            &words.xGiven, &words.yGiven, &words.zGiven};
        double* targets[] = {&words.u, &words.v, &words.w,
                             &words.targetX, &words.targetY, &words.targetZ};
        double* thirds[] = {nullptr, nullptr, nullptr, &words.thirdX, &words.thirdY, &words.thirdZ};
        const int i = word[0] - 'u';
        *given[i] = 1;
        if (hasTarget) *targets[i] = target;
        if (hasThird) *thirds[i] = third;
    }
}

}  // namespace testing_support

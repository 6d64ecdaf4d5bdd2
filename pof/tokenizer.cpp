// The tokenizer of move payloads and the splitting of a token into name and
// bracket value.
//
// Tokens are separated by blanks and tabs; "(" and ")" are tokens of their
// own; inside a bracket value blanks are kept and a parenthesis closes the
// value as if "]" stood before it. A token whose name or value would not fit
// kMoveTokenMax characters cannot be stored, and then the whole payload counts
// as having no tokens, so the move is dropped rather than read from a cut word.
#include <cstring>
#include <iterator>

#include "common/common.h"
#include "common/limits.h"
#include "pof/pof.h"

namespace pofreader {

namespace {

// ORDER: the tokenizer modes, indices of kTokenizerModes.
enum TokenizerMode : int { kBetween = 0, kInWord = 1, kInBrackets = 2, kFailed = 3 };

struct Tokenizer {
    TokenList& list;
    const char* wordStart;  // the word in progress, inside the payload
    std::size_t wordLength;
};

// Appends one token made of `length` characters at `text` and, when
// `closeBracket`, a "]". False when it cannot be stored.
bool appendToken(TokenList& list, const char* text, std::size_t length, bool closeBracket) {
    // Name and value as splitToken will see them: ']' dropped. A token that
    // short cannot exceed either bound, so only long ones are counted.
    if (length > kMoveTokenMax) {
        std::size_t nameLength = 0, valueLength = 0;
        bool inValue = false;
        for (std::size_t i = 0; i < length; ++i) {
            if (text[i] == ']') continue;
            if (!inValue && text[i] == '[') {
                inValue = true;
                continue;
            }
            ++(inValue ? valueLength : nameLength);
        }
        if (nameLength > kMoveTokenMax || valueLength > kMoveTokenMax) return false;
    }

    if (list.count == list.capacity) {
        const std::size_t capacity = list.capacity + kTokenListStep;
        TokenEntry* grown;
        if (list.entries == list.inlineEntries) {
            grown = static_cast<TokenEntry*>(memAllocZero(capacity * sizeof(TokenEntry)));
            if (grown != nullptr)
                std::memcpy(grown, list.inlineEntries, list.count * sizeof(TokenEntry));
        } else {
            grown = static_cast<TokenEntry*>(
                memResize(list.entries, capacity * sizeof(TokenEntry)));
        }
        if (grown == nullptr) return false;
        list.entries = grown;
        list.capacity = capacity;
    }

    TokenEntry& entry = list.entries[list.count];
    const std::size_t total = length + (closeBracket ? 1 : 0);
    char* target = entry.inlineText;
    entry.heapText = nullptr;
    if (total > kInlineTokenMax) {
        target = static_cast<char*>(memAllocZero(total + 1));
        if (target == nullptr) return false;
        entry.heapText = target;
    }
    std::memcpy(target, text, length);
    if (closeBracket) target[length] = ']';
    target[total] = '\0';
    entry.length = static_cast<uint32_t>(total);
    ++list.count;
    return true;
}

TokenizerMode endWord(Tokenizer& t, bool closeBracket) {
    if (!appendToken(t.list, t.wordStart, t.wordLength, closeBracket)) return kFailed;
    return kBetween;
}

TokenizerMode parenthesisToken(Tokenizer& t, const char* at) {
    return appendToken(t.list, at, 1, false) ? kBetween : kFailed;
}

using ModeFn = TokenizerMode (*)(Tokenizer& t, const char* at);

// Blanks and tabs are skipped; parentheses are tokens; anything else starts a
// word.
TokenizerMode betweenTokens(Tokenizer& t, const char* at) {
    if (*at == ' ' || *at == '\t') return kBetween;
    if (*at == '(' || *at == ')') return parenthesisToken(t, at);
    t.wordStart = at;
    t.wordLength = 1;
    return *at == '[' ? kInBrackets : kInWord;
}

// A blank, a tab or "(" ends the word; "[" opens a bracket value; ")" is kept.
TokenizerMode inWord(Tokenizer& t, const char* at) {
    if (*at == ' ' || *at == '\t') return endWord(t, false);
    if (*at == '(') {
        if (endWord(t, false) == kFailed) return kFailed;
        return parenthesisToken(t, at);
    }
    ++t.wordLength;
    return *at == '[' ? kInBrackets : kInWord;
}

// "]" ends the word; a parenthesis ends it as if "]" stood before it.
TokenizerMode inBrackets(Tokenizer& t, const char* at) {
    if (*at == '(' || *at == ')') {
        if (endWord(t, true) == kFailed) return kFailed;
        return parenthesisToken(t, at);
    }
    ++t.wordLength;
    return *at == ']' ? endWord(t, false) : kInBrackets;
}

constexpr ModeFn kTokenizerModes[] = {
    /* 0 between tokens */ betweenTokens,
    /* 1 in word        */ inWord,
    /* 2 in brackets    */ inBrackets,
};
static_assert(std::size(kTokenizerModes) == 3);

void clearTokens(TokenList& list) {
    for (std::size_t i = 0; i < list.count; ++i) memRelease(list.entries[i].heapText);
    list.count = 0;
}

}  // namespace

void initTokenList(TokenList& list) {
    list.entries = list.inlineEntries;
    list.count = 0;
    list.capacity = kTokenListStep;
}

void releaseTokenList(TokenList& list) {
    clearTokens(list);
    if (list.entries != list.inlineEntries) memRelease(list.entries);
    initTokenList(list);
}

std::size_t tokenizeMove(const char* payload, TokenList& list) {
    clearTokens(list);
    Tokenizer t{list, nullptr, 0};
    TokenizerMode mode = kBetween;
    for (const char* at = payload; *at != '\0'; ++at) {
        mode = kTokenizerModes[mode](t, at);
        if (mode == kFailed) break;
    }
    if (mode == kInWord) mode = endWord(t, false);
    if (mode == kInBrackets) mode = endWord(t, true);
    if (mode == kFailed) {
        releaseTokenList(list);
        return 0;
    }
    return list.count;
}

void splitToken(const char* token, SplitToken& split) {
    std::size_t nameLength = 0, valueLength = 0;
    split.bracketed = 0;
    for (const char* at = token; *at != '\0'; ++at) {
        if (*at == ']') continue;
        if (!split.bracketed && *at == '[') {
            split.bracketed = 1;
            continue;
        }
        if (split.bracketed) {
            if (valueLength < kMoveTokenMax) split.value[valueLength++] = *at;
        } else {
            if (nameLength < kMoveTokenMax) split.name[nameLength++] = *at;
        }
    }
    split.name[nameLength] = '\0';
    split.value[valueLength] = '\0';
}

}  // namespace pofreader

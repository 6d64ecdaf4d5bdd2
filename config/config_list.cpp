// Configuration lists: ordered lists of named text values. Set and merge put a
// new name in front (newest first), append keeps file order; a known name is
// replaced in place so that its node never moves.
#include <cstring>

#include "common/common.h"
#include "config/config.h"

namespace pofreader {

namespace {

bool isEmpty(const char* text) { return text == nullptr || text[0] == '\0'; }

// The first node whose name equals `name` byte for byte, or null. The
// first-byte test keeps most steps to one comparison; every node made by the
// operations below has a non-empty name.
ConfigNode* findNode(ConfigNode* list, const char* name) {
    for (ConfigNode* node = list; node != nullptr; node = node->next) {
        if (node->name == nullptr || node->name[0] != name[0]) continue;
        if (std::strcmp(node->name, name) == 0) return node;
    }
    return nullptr;
}

// A zero-filled node holding copies of `name` and `value`, or null when any of
// the three allocations fails (nothing is then left allocated).
ConfigNode* newNode(const char* name, const char* value) {
    auto* node = static_cast<ConfigNode*>(memAllocZero(sizeof(ConfigNode)));
    if (node == nullptr) return nullptr;
    node->name = memDupString(name);
    node->value = memDupString(value);
    if (node->name == nullptr || node->value == nullptr) {
        memRelease(node->name);
        memRelease(node->value);
        memRelease(node);
        return nullptr;
    }
    return node;
}

}  // namespace

// Stores a copy of `value` under `name` with `tag`. An empty or missing name or
// value leaves the list as it is; so does a copy that cannot be made (no node
// is left half filled, and a replaced value stays when its successor cannot be
// copied).
ConfigNode* configSet(ConfigNode* list, const char* name, const char* value, ConfigTag tag) {
    if (isEmpty(name) || isEmpty(value)) return list;

    if (ConfigNode* node = findNode(list, name)) {
        char* copy = memDupString(value);
        if (copy == nullptr) return list;
        memRelease(node->value);
        node->value = copy;
        node->tag = tag;
        return list;
    }

    ConfigNode* node = newNode(name, value);
    if (node == nullptr) return list;
    node->tag = tag;
    node->next = list;
    return node;
}

// A fresh copy of the value stored under `name` (the caller releases it), and
// the node's tag in `*tag` when `tag` is given. Null when the name is missing
// or the copy fails; `*tag` is then untouched.
char* configGet(ConfigNode* list, const char* name, ConfigTag* tag) {
    if (name == nullptr) return nullptr;
    ConfigNode* node = findNode(list, name);
    if (node == nullptr) return nullptr;
    char* copy = memDupString(node->value);
    if (copy != nullptr && tag != nullptr) *tag = node->tag;
    return copy;
}

namespace {

// configMerge once the node of the pair's name is known (`found`, or null for
// a new name).
ConfigNode* mergeAt(ConfigNode* list, ConfigNode* found, ConfigPair* pair, ConfigTag tag) {
    if (found != nullptr) {
        memRelease(found->value);
        found->value = pair->value;
        found->tag = tag;
        pair->value = nullptr;
        return list;
    }

    ConfigNode* node = static_cast<ConfigNode*>(memAllocZero(sizeof(ConfigNode)));
    if (node == nullptr) return list;
    node->name = pair->name;
    node->value = pair->value;
    node->tag = tag;
    node->next = list;
    pair->name = nullptr;
    pair->value = nullptr;
    return node;
}

bool isMergeable(const ConfigPair* pair) {
    return pair != nullptr && !isEmpty(pair->name) && !isEmpty(pair->value);
}

}  // namespace

// Moves the pair's strings into the list. A known name takes only the value
// string (the pair keeps its name); a new name takes both. Whatever the list
// takes is cleared in the pair.
ConfigNode* configMerge(ConfigNode* list, ConfigPair* pair, ConfigTag tag) {
    if (!isMergeable(pair)) return list;
    return mergeAt(list, findNode(list, pair->name), pair, tag);
}

// ---- The lookup side table --------------------------------------------------
// Open addressing over the first node of each name, so that it answers what
// findNode would. It grows at half full; a table that cannot grow is dropped
// and the merges go on through the list itself.

namespace {

std::size_t hashName(const char* name) {
    std::size_t hash = 1469598103934665603ULL;  // FNV-1a
    for (; *name != '\0'; ++name) {
        hash ^= static_cast<unsigned char>(*name);
        hash *= 1099511628211ULL;
    }
    return hash;
}

ConfigNode** slotOf(const ConfigIndex& index, const char* name) {
    std::size_t at = hashName(name) & index.mask;
    while (index.slots[at] != nullptr && std::strcmp(index.slots[at]->name, name) != 0)
        at = (at + 1) & index.mask;
    return &index.slots[at];
}

bool growIndex(ConfigIndex& index) {
    const std::size_t capacity = index.slots == nullptr ? 64 : (index.mask + 1) * 2;
    auto* slots = static_cast<ConfigNode**>(memAllocZero(capacity * sizeof(ConfigNode*)));
    if (slots == nullptr) return false;
    ConfigIndex grown{slots, capacity - 1, index.count};
    for (std::size_t i = 0; index.slots != nullptr && i <= index.mask; ++i)
        if (index.slots[i] != nullptr) *slotOf(grown, index.slots[i]->name) = index.slots[i];
    memRelease(index.slots);
    index = grown;
    return true;
}

// Records `node` as its name's first node unless the name has one; false when
// the table had to grow and could not (it is then released).
bool indexNode(ConfigIndex& index, ConfigNode* node) {
    if ((index.count + 1) * 2 > index.mask + 1 && !growIndex(index)) {
        configIndexRelease(index);
        return false;
    }
    ConfigNode** slot = slotOf(index, node->name);
    if (*slot == nullptr) {
        *slot = node;
        ++index.count;
    }
    return true;
}

}  // namespace

void configIndexInit(ConfigIndex& index, ConfigNode* list) {
    index = ConfigIndex{nullptr, 0, 0};
    if (!growIndex(index)) return;
    for (ConfigNode* node = list; node != nullptr; node = node->next)
        if (!isEmpty(node->name) && !indexNode(index, node)) return;
}

ConfigNode* configMergeIndexed(ConfigIndex& index, ConfigNode* list, ConfigPair* pair,
                               ConfigTag tag) {
    if (index.slots == nullptr) return configMerge(list, pair, tag);
    if (!isMergeable(pair)) return list;
    ConfigNode* const found = *slotOf(index, pair->name);
    ConfigNode* const head = mergeAt(list, found, pair, tag);
    if (found == nullptr && head != list) indexNode(index, head);
    return head;
}

void configIndexRelease(ConfigIndex& index) {
    memRelease(index.slots);
    index = ConfigIndex{nullptr, 0, 0};
}

// Adds a node at the tail without looking for the name, so duplicates stay in
// the order they came. A missing or empty value is stored as an empty text.
ConfigNode* configAppend(ConfigNode* list, const char* name, const char* value, ConfigTag tag) {
    if (isEmpty(name)) return list;

    ConfigNode* node = newNode(name, isEmpty(value) ? "" : value);
    if (node == nullptr) return list;
    node->tag = tag;

    if (list == nullptr) return node;
    ConfigNode* last = list;
    while (last->next != nullptr) last = last->next;
    last->next = node;
    return list;
}

// Releases every node with its strings, first to last.
void configFree(ConfigNode* list) {
    while (list != nullptr) {
        ConfigNode* next = list->next;
        memRelease(list->name);
        memRelease(list->value);
        memRelease(list);
        list = next;
    }
}

}  // namespace pofreader

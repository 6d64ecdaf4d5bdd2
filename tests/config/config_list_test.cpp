// Configuration lists: order rules, in-place replacement, byte-exact names,
// the failure paths of every allocation, and the key-file loader's lookup side
// table, which must leave a list exactly as configMerge's walk does.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/common.h"
#include "config/config.h"

namespace pofreader {
namespace {

using Entry = std::tuple<std::string, std::string, ConfigTag>;

std::vector<Entry> walk(const ConfigNode* list) {
    std::vector<Entry> entries;
    for (const ConfigNode* node = list; node != nullptr; node = node->next)
        entries.emplace_back(node->name, node->value, node->tag);
    return entries;
}

std::string get(ConfigNode* list, const char* name, ConfigTag* tag = nullptr) {
    char* copy = configGet(list, name, tag);
    if (copy == nullptr) return "<none>";
    std::string value = copy;
    memRelease(copy);
    return value;
}

struct ListFixture : ::testing::Test {
    ConfigNode* list = nullptr;
    void TearDown() override {
        memInjectFailure(0);
        configFree(list);
    }
};

using ConfigListTest = ListFixture;

TEST_F(ConfigListTest, SetPrependsNewNamesAndReplacesKnownOnesInPlace) {
    list = configSet(list, "a", "1", 13);
    list = configSet(list, "b", "x", 13);
    list = configSet(list, "c", "y", 13);
    list = configSet(list, "a", "2", 21);
    EXPECT_EQ(walk(list), (std::vector<Entry>{{"c", "y", 13}, {"b", "x", 13}, {"a", "2", 21}}));
}

TEST_F(ConfigListTest, SetRefusesEmptyOrMissingNameAndValue) {
    list = configSet(list, "keep", "1", 2);
    ConfigNode* before = list;
    const std::pair<const char*, const char*> refused[] = {
        {"", "v"}, {nullptr, "v"}, {"n", ""}, {"n", nullptr}, {"keep", ""}};
    for (const auto& [name, value] : refused) list = configSet(list, name, value, 31);
    EXPECT_EQ(list, before);
    EXPECT_EQ(walk(list), (std::vector<Entry>{{"keep", "1", 2}}));
}

TEST_F(ConfigListTest, GetReturnsACopyAndTheTagAndComparesNamesByteForByte) {
    list = configSet(list, "name", "v1", 13);
    list = configSet(list, "nAme", "v2", 21);
    ConfigTag tag = 999;
    EXPECT_EQ(get(list, "name", &tag), "v1");
    EXPECT_EQ(tag, 13);
    EXPECT_EQ(get(list, "nAme", &tag), "v2");
    EXPECT_EQ(tag, 21);

    tag = 999;
    const char* missing[] = {"Name", "nam", "names", "", "NAME"};
    for (const char* name : missing) {
        EXPECT_EQ(get(list, name, &tag), "<none>") << name;
        EXPECT_EQ(tag, 999) << name;
    }
    EXPECT_EQ(configGet(list, nullptr, &tag), nullptr);
    EXPECT_EQ(configGet(nullptr, "name", &tag), nullptr);
    EXPECT_EQ(tag, 999);

    char* copy = configGet(list, "name", nullptr);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, list->next->value);
    memRelease(copy);
}

TEST_F(ConfigListTest, AppendKeepsFileOrderDuplicatesAndEmptyValues) {
    list = configAppend(list, "a", "1", 21);
    list = configAppend(list, "b", nullptr, 21);
    list = configAppend(list, "c", "", 21);
    list = configAppend(list, "a", "2", 21);
    list = configAppend(list, "", "refused", 21);
    list = configAppend(list, nullptr, "refused", 21);
    EXPECT_EQ(walk(list), (std::vector<Entry>{
                              {"a", "1", 21}, {"b", "", 21}, {"c", "", 21}, {"a", "2", 21}}));
    EXPECT_EQ(get(list, "a"), "1");  // the first of the duplicates
}

TEST_F(ConfigListTest, MergeTakesStringsOutOfThePair) {
    list = configSet(list, "old", "1", 13);

    ConfigPair known{memDupString("old"), memDupString("2")};
    char* knownValue = known.value;
    list = configMerge(list, &known, 21);
    EXPECT_EQ(known.value, nullptr);
    ASSERT_NE(known.name, nullptr);  // the list keeps its own name
    EXPECT_EQ(list->value, knownValue);
    memRelease(known.name);

    ConfigPair fresh{memDupString("new"), memDupString("3")};
    char* freshName = fresh.name;
    list = configMerge(list, &fresh, 31);
    EXPECT_EQ(fresh.name, nullptr);
    EXPECT_EQ(fresh.value, nullptr);
    EXPECT_EQ(list->name, freshName);

    ConfigPair empty{memDupString("e"), memDupString("")};
    list = configMerge(list, &empty, 21);
    EXPECT_NE(empty.name, nullptr);
    EXPECT_NE(empty.value, nullptr);
    memRelease(empty.name);
    memRelease(empty.value);

    EXPECT_EQ(walk(list), (std::vector<Entry>{{"new", "3", 31}, {"old", "2", 21}}));
}

// Every allocation of every operation is failed in turn: the list must come
// back exactly as it was and nothing may leak (the sanitizer build checks).
TEST_F(ConfigListTest, AllocationFailuresLeaveTheListUnchanged) {
    list = configSet(list, "a", "1", 13);
    list = configAppend(list, "b", "2", 21);
    const std::vector<Entry> before = walk(list);

    for (long failAt = 1; failAt <= 3; ++failAt) {
        memInjectFailure(failAt);
        list = configSet(list, "n", "v", 2);
        memInjectFailure(0);
        EXPECT_EQ(walk(list), before) << "set, allocation " << failAt;

        memInjectFailure(failAt);
        list = configAppend(list, "n", "v", 2);
        memInjectFailure(0);
        EXPECT_EQ(walk(list), before) << "append, allocation " << failAt;
    }

    memInjectFailure(1);
    list = configSet(list, "a", "9", 31);  // the replacement copy fails
    memInjectFailure(0);
    EXPECT_EQ(walk(list), before);

    ConfigPair pair{memDupString("m"), memDupString("v")};
    memInjectFailure(1);
    list = configMerge(list, &pair, 21);
    memInjectFailure(0);
    EXPECT_EQ(walk(list), before);
    EXPECT_NE(pair.name, nullptr);
    EXPECT_NE(pair.value, nullptr);
    memRelease(pair.name);
    memRelease(pair.value);

    memInjectFailure(1);
    ConfigTag tag = 7;
    EXPECT_EQ(configGet(list, "a", &tag), nullptr);
    memInjectFailure(0);
    EXPECT_EQ(tag, 7);
}

// ---- The lookup side table --------------------------------------------------

ConfigPair pairOf(const std::string& name, const std::string& value) {
    return {name.empty() ? nullptr : memDupString(name.c_str()),
            value.empty() ? nullptr : memDupString(value.c_str())};
}

// How the table is made to fail, if at all.
enum class Failure { none, atInit, atGrowth };

// Merges the same random entries (names from a small pool, so that many
// repeat, some empty values) into two copies of a list that already holds
// duplicate names, once through the table and once through the walk.
void mergeBoth(uint32_t seed, Failure failure) {
    std::mt19937 random(seed);
    ConfigNode* walked = nullptr;
    ConfigNode* indexed = nullptr;
    for (const char* name : {"a", "b", "a", "c"}) {
        walked = configAppend(walked, name, "old", PFR_TAG_DEFAULTS_FILE);
        indexed = configAppend(indexed, name, "old", PFR_TAG_DEFAULTS_FILE);
    }
    ConfigIndex index;
    if (failure == Failure::atInit) memInjectFailure(1);
    configIndexInit(index, indexed);
    memInjectFailure(0);
    bool grew = false;
    for (int i = 0; i < 400; ++i) {
        const std::string name = i % 50 == 0 ? "a"
                                 : std::string(1, static_cast<char>('a' + random() % 7)) +
                                       std::to_string(random() % 40);
        const std::string value = random() % 10 == 0 ? "" : std::to_string(i);
        const ConfigTag tag = static_cast<ConfigTag>(PFR_TAG_CALL + i % 2);
        ConfigPair first = pairOf(name, value);
        ConfigPair second = pairOf(name, value);
        walked = configMerge(walked, &first, tag);
        // The table grows after the new node is made: its allocation is the
        // merge's second.
        const bool mayGrow = index.slots != nullptr && (index.count + 1) * 2 > index.mask + 1;
        if (failure == Failure::atGrowth && mayGrow && !grew) memInjectFailure(2);
        indexed = configMergeIndexed(index, indexed, &second, tag);
        grew = grew || (mayGrow && index.slots == nullptr);
        memInjectFailure(0);
        for (ConfigPair* pair : {&first, &second}) {
            memRelease(pair->name);
            memRelease(pair->value);
        }
    }
    if (failure != Failure::none) {
        EXPECT_EQ(index.slots, nullptr);
    }
    configIndexRelease(index);
    EXPECT_EQ(walk(indexed), walk(walked)) << "seed " << seed;
    configFree(walked);
    configFree(indexed);
}

TEST(ConfigIndexTest, MergesAsTheWalkDoes) {
    for (uint32_t seed = 1; seed <= 20; ++seed) mergeBoth(seed, Failure::none);
}

TEST(ConfigIndexTest, ATableWithoutMemoryFallsBackToTheWalk) {
    mergeBoth(7, Failure::atInit);
    mergeBoth(7, Failure::atGrowth);
}

}  // namespace
}  // namespace pofreader

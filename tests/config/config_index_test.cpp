// The key-file loader's lookup side table: every merge through it leaves the
// list exactly as configMerge's walk does, also when the table cannot grow.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
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

// Line files (.CFG): names, values, '#' comments, the three line ends, the
// buffer bounds and bad bytes.
#include <gtest/gtest.h>

#include <string>

#include "common/limits.h"
#include "config/config.h"
#include "config_entries.h"
#include "support/temp_dir.h"

using namespace pofreader;
using config_testing::Entries;
using config_testing::entriesOf;
using testing_support::TempDir;

namespace {

Entries loadText(const TempDir& dir, const std::string& content) {
    dir.write("job.CFG", content);
    ConfigNode* list = configLoadLineFile(nullptr, "job.CFG", PFR_TAG_CALL);
    for (const ConfigNode* node = list; node != nullptr; node = node->next) {
        EXPECT_EQ(node->tag, PFR_TAG_CALL);
    }
    Entries entries = entriesOf(list);
    configFree(list);
    return entries;
}

struct LineFileCase {
    const char* label;
    std::string content;
    Entries expected;
};

const LineFileCase kCases[] = {
    {"name and value", "*APT   part 7   \n", {{"*APT", "part 7"}}},
    {"name alone", "*NAME\n", {{"*NAME", ""}}},
    {"duplicates in file order", "X 1\nX 2\n", {{"X", "1"}, {"X", "2"}}},
    {"tabs become spaces", "\tA\tb\t\tc\t\n", {{"A", "b  c"}}},
    {"blank lines", "\n\n  \nA 1\n\n", {{"A", "1"}}},
    {"CR line ends", "A 1\rB 2\r", {{"A", "1"}, {"B", "2"}}},
    {"CR LF line ends", "A 1\r\nB 2\r\n", {{"A", "1"}, {"B", "2"}}},
    {"no final line end", "A 1", {{"A", "1"}}},
    {"comment line with CR LF", "# note\r\nB 2\r\n", {{"B", "2"}}},
    {"comment after value with CR LF", "A 1 # c\r\nB 2\r\n", {{"A", "1"}, {"B", "2"}}},
    // With LF alone, the LF that ends a comment does not end the entry.
    {"comment after value with LF", "A 1 # c\nB 2\n", {{"A", "1 B 2"}}},
    {"comment line with LF", "# note\nB 2\n", {{"B", "2"}}},
    {"'#' inside a word", "A x#y\r\n", {{"A", "x"}}},
    {"control-Z ends the input", "A 1\x1a" "B 2\n", {{"A", "1"}}},
    {"control-Z before a name", "A 1\n\x1a" "B 2\n", {{"A", "1"}}},
    {"empty file", "", {}},
};

TEST(LineFile, Cases) {
    TempDir dir;
    for (const LineFileCase& c : kCases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(loadText(dir, c.content), c.expected);
    }
}

TEST(LineFile, NamesAndValuesAreCutAtTheirBuffers) {
    TempDir dir;
    const std::size_t nameMax = kLineNameSize - 1;
    const std::size_t valueMax = kLineValueSize - 1;
    struct Bound {
        std::size_t nameLength, valueLength, keptName, keptValue;
    };
    const Bound bounds[] = {
        {nameMax - 1, valueMax - 1, nameMax - 1, valueMax - 1},
        {nameMax, valueMax, nameMax, valueMax},
        {nameMax + 1, valueMax + 1, nameMax, valueMax},
        {5000, 5000, nameMax, valueMax},
    };
    for (const Bound& b : bounds) {
        SCOPED_TRACE(b.nameLength);
        const std::string name(b.nameLength, 'N');
        const std::string value(b.valueLength, 'v');
        EXPECT_EQ(loadText(dir, name + " " + value + "\nZ 1\n"),
                  (Entries{{name.substr(0, b.keptName), value.substr(0, b.keptValue)}, {"Z", "1"}}));
    }
    // Blanks cut off at the bound leave no trailing space behind.
    const std::string value(valueMax - 1, 'v');
    EXPECT_EQ(loadText(dir, "A " + value + "   tail\n"), (Entries{{"A", value}}));
}

TEST(LineFile, BinaryGarbageStaysWithinTheBuffers) {
    TempDir dir;
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        for (const auto& [name, value] : loadText(dir, config_testing::garbage(20000, seed))) {
            EXPECT_LE(name.size(), kLineNameSize - 1);
            EXPECT_LE(value.size(), kLineValueSize - 1);
        }
    }
}

TEST(LineFile, NulBytesDoNotEndTheReading) {
    TempDir dir;
    EXPECT_EQ(loadText(dir, std::string("A 1\0\nB 2\n", 9)), (Entries{{"A", "1"}, {"B", "2"}}));
}

TEST(LineFile, MissingFileLeavesTheListUnchanged) {
    TempDir dir;
    ConfigNode* list = configAppend(nullptr, "A", "1", PFR_TAG_CALL);
    EXPECT_EQ(configLoadLineFile(list, "absent.CFG", PFR_TAG_CALL), list);
    EXPECT_EQ(configLoadLineFile(list, nullptr, PFR_TAG_CALL), list);
    EXPECT_EQ(entriesOf(list), (Entries{{"A", "1"}}));
    configFree(list);
}

TEST(LineFile, EntriesFollowWhatTheListAlreadyHolds) {
    TempDir dir;
    dir.write("job.CFG", "*A 1\n*B 2\n*A 3\n");
    ConfigNode* list = configAppend(nullptr, "X", "0", PFR_TAG_CALL);
    list = configAppend(list, "Y", "", PFR_TAG_CALL);
    list = configLoadLineFile(list, "job.CFG", PFR_TAG_CALL);
    EXPECT_EQ(entriesOf(list),
              (Entries{{"X", "0"}, {"Y", ""}, {"*A", "1"}, {"*B", "2"}, {"*A", "3"}}));
    configFree(list);
}

TEST(LineFile, PathsAreOpenedUnchanged) {
    TempDir dir;
    dir.write("a\\b.CFG", "BACKSLASH 1\n");
    ConfigNode* list = configLoadLineFile(nullptr, "a/b.CFG", PFR_TAG_CALL);
    EXPECT_EQ(list, nullptr);
    list = configLoadLineFile(list, "a\\b.CFG", PFR_TAG_CALL);
    EXPECT_EQ(entriesOf(list), (Entries{{"BACKSLASH", "1"}}));
    configFree(list);
}

TEST(LineFile, NextEntryHandsOutTheReaderBuffers) {
    TempDir dir;
    dir.write("job.CFG", "A 1\n");
    std::FILE* stream = std::fopen("job.CFG", "rb");
    ASSERT_NE(stream, nullptr);
    const char* name = nullptr;
    const char* value = nullptr;
    ASSERT_EQ(lineFileNextEntry(stream, &name, &value), 1);
    EXPECT_STREQ(name, "A");
    EXPECT_STREQ(value, "1");
    EXPECT_EQ(lineFileNextEntry(stream, &name, &value), 0);
    EXPECT_EQ(lineFileNextEntry(stream, &name, &value), 0);
    std::fclose(stream);
    EXPECT_EQ(lineFileNextEntry(nullptr, &name, &value), 0);
}

}  // namespace

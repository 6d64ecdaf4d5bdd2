// Section files: section selection by language, entry reading, the handle
// table, the word bounds and bad bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/limits.h"
#include "config/config.h"
#include "config_entries.h"
#include "support/temp_dir.h"

using namespace pofreader;
using testing_support::TempDir;

namespace {

using Lines = std::vector<std::string>;

// Every entry of the section that `language` selects; {"<open failed>"} when
// the open found no section.
Lines readAll(const std::string& path, const char* language, std::size_t bufferSize = kSectionEntrySize) {
    const int handle = sectionFileOpen(path.c_str(), language);
    EXPECT_GE(handle, kSectionFirstHandle);
    EXPECT_LT(handle, kSectionFirstHandle + kSectionSlots);
    Lines entries;
    std::vector<char> buffer(bufferSize + 1, '#');
    while (sectionFileNext(handle, buffer.data(), bufferSize) == 1) {
        EXPECT_EQ(buffer[bufferSize], '#');  // nothing written past the buffer
        entries.emplace_back(buffer.data());
        if (entries.size() > 1000) break;
    }
    EXPECT_EQ(sectionFileNext(handle, buffer.data(), bufferSize), 0);  // stays finished
    if (bufferSize > 0) {
        EXPECT_STREQ(buffer.data(), "");
    }
    sectionFileClose(handle);
    return entries;
}

Lines readText(const TempDir& dir, const std::string& content, const char* language) {
    dir.write("s.txt", content);
    return readAll(dir.file("s.txt"), language);
}

const std::string kEightLines =
    "language english\ndefault deutsch\nstart deutsch\n:d1\nend deutsch\n"
    "start english\n:e1\nend english\n";

struct SectionCase {
    const char* label;
    std::string content;
    const char* language;
    Lines expected;
};

const SectionCase kCases[] = {
    {"requested language", kEightLines, "english", {"e1"}},
    {"other language falls back to the default", kEightLines, "french", {"d1"}},
    {"no language", kEightLines, nullptr, {"d1"}},
    {"last line with its line end", "start x\n:a\n", "english", {"a"}},
    {"last line without line end", "start x\n:a", "english", {}},
    {"keyword letters that are no keyword", "date x\nstart x\n:a\n", "english", {}},
    {"capital skips the line", "Date x\nstart x\n:a\n", "english", {"a"}},
    {"first start without selection", "start one\n:1\nend one\nstart two\n:2\n", "x", {"1"}},
    {"entries up to end", "start x\n:a\n  : b c \nend x\n:c\n", "x", {"a", " b c "}},
    {"end without word continues", "start x\n:a\nend\n:b\nend \n:c\nend x\n:d\n", "x", {"a", "b", "c"}},
    {"other lines are skipped", "start x\nno colon\n;c\n:a\nden: b\nother: c\n", "x", {"a", " b"}},
    {"comment behind start", "start x;c\n:a\n", "x", {"a"}},
    {"comment instead of argument", "start ;x\nstart y\n:a\n", "x", {"a"}},
    {"end with comment ends", "start x\n:a\nend x;c\n:b\n", "x", {"a"}},
    {"start at the end of the file", "start x", "x", {}},
    {"control-Z is the end", "start x\n:a\n\x1a:b\n", "x", {"a"}},
    {"blanks before keyword and argument", "  start \t x\n:a\n", "x", {"a"}},
    {"end before any start is passed over", "end x\nstart x\n:a\n", "x", {"a"}},
    {"later language replaces the default", "default a\nlanguage x\nstart a\n:1\nstart x\n:2\n", "x", {"2"}},
};

class SectionFileTable : public ::testing::TestWithParam<const char*> {};

TEST_P(SectionFileTable, EveryCaseWithEveryLineEnd) {
    TempDir dir;
    const std::string lineEnd = GetParam();
    for (const SectionCase& c : kCases) {
        SCOPED_TRACE(c.label);
        const std::string content = config_testing::withLineEnds(c.content, lineEnd);
        EXPECT_EQ(readText(dir, content, c.language), c.expected);
        EXPECT_EQ(sectionFileCheck(dir.file("s.txt").c_str(), c.language), c.expected.empty() ? 0 : 1);
    }
}

INSTANTIATE_TEST_SUITE_P(LineEnds, SectionFileTable, ::testing::Values("\n", "\r", "\r\n"));

TEST(SectionFile, HandlesAndSlots) {
    TempDir dir;
    const std::string path = dir.write("s.txt", "start x\n:a\n:b\n");
    EXPECT_EQ(sectionFileOpen("absent.txt", "x"), -2);
    EXPECT_EQ(sectionFileOpen(nullptr, "x"), -2);
    EXPECT_EQ(sectionFileCheck("absent.txt", "x"), 0);

    int handles[4];
    for (int i = 0; i < 4; ++i) {
        handles[i] = sectionFileOpen(path.c_str(), "x");
        EXPECT_EQ(handles[i], kSectionFirstHandle + i);
    }
    EXPECT_EQ(sectionFileOpen(path.c_str(), "x"), -1);
    EXPECT_EQ(sectionFileCheck(path.c_str(), "x"), 0);  // no free handle

    char buffer[16] = "junk";
    for (const int bad : {0, -1, 122, 127, 1000}) {
        EXPECT_EQ(sectionFileNext(bad, buffer, sizeof buffer), 0);
        EXPECT_STREQ(buffer, "");
        sectionFileClose(bad);  // ignored
    }
    EXPECT_EQ(sectionFileOpen(path.c_str(), "x"), -1);  // bad closes freed nothing

    // Freeing the second slot makes it the next one taken.
    sectionFileClose(handles[1]);
    sectionFileClose(handles[1]);  // no longer open: ignored
    EXPECT_EQ(sectionFileNext(handles[1], buffer, sizeof buffer), 0);
    EXPECT_EQ(sectionFileOpen(path.c_str(), "x"), handles[1]);
    EXPECT_EQ(sectionFileOpen(path.c_str(), "x"), -1);

    // Handles read independently of each other.
    ASSERT_EQ(sectionFileNext(handles[0], buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "a");
    ASSERT_EQ(sectionFileNext(handles[3], buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "a");
    ASSERT_EQ(sectionFileNext(handles[0], buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "b");
    for (const int handle : handles) sectionFileClose(handle);
    EXPECT_EQ(sectionFileOpen(path.c_str(), "x"), kSectionFirstHandle);
    sectionFileClose(kSectionFirstHandle);
}

TEST(SectionFile, FailedOpenStillTakesAHandle) {
    TempDir dir;
    const std::string path = dir.write("s.txt", "date x\nstart x\n:a\n");
    const int handle = sectionFileOpen(path.c_str(), "x");
    EXPECT_EQ(handle, kSectionFirstHandle);
    char buffer[8];
    EXPECT_EQ(sectionFileNext(handle, buffer, sizeof buffer), 0);
    sectionFileClose(handle);
}

TEST(SectionFile, EntriesAreCutToTheBuffer) {
    TempDir dir;
    const std::string longEntry(5000, 'e');
    const std::string path = dir.write("s.txt", "start x\n:abcdef\n:" + longEntry + "\n:z\n");
    EXPECT_EQ(readAll(path, "x", 4), (Lines{"abc", "eee", "z"}));
    EXPECT_EQ(readAll(path, "x", 1), (Lines{"", "", ""}));
    EXPECT_EQ(readAll(path, "x"), (Lines{"abcdef", longEntry.substr(0, kSectionEntrySize - 1), "z"}));
    EXPECT_EQ(sectionFileCheck(path.c_str(), "x"), 1);
}

TEST(SectionFile, KeywordWordsBeyondTheBoundAreNoKeywords) {
    TempDir dir;
    for (const std::size_t length : {kSectionWordMax, kSectionWordMax + 1, std::size_t{5000}}) {
        SCOPED_TRACE(length);
        // A word of keyword letters that is no keyword ends the open.
        EXPECT_EQ(readText(dir, std::string(length, 'a') + " x\nstart x\n:a\n", "x"), Lines{});
        // In a section, a long word of d, e and n is no "end".
        std::string word = "end" + std::string(length - 3, 'n');
        EXPECT_EQ(readText(dir, "start x\n:a\n" + word + " x\n:b\n", "x"), (Lines{"a", "b"}));
    }
}

TEST(SectionFile, ArgumentWordsBeyondTheBoundMatchNothing) {
    TempDir dir;
    for (const std::size_t length : {kSectionArgumentMax - 1, kSectionArgumentMax,
                                     kSectionArgumentMax + 1, std::size_t{5000}}) {
        SCOPED_TRACE(length);
        const std::string word(length, 'q');
        const bool usable = length <= kSectionArgumentMax;
        // A usable default word selects its own section; a longer one sets
        // no selection, so the first "start" wins.
        EXPECT_EQ(readText(dir, "default " + word + "\nstart other\n:b\nend other\nstart " + word + "\n:a\n",
                           "x"),
                  usable ? Lines{"a"} : Lines{"b"});
        // The same for a requested language.
        EXPECT_EQ(readText(dir, "language " + word + "\nstart other\n:b\nend other\nstart " + word + "\n:a\n",
                           word.c_str()),
                  usable ? Lines{"a"} : Lines{"b"});
        // A long word behind "end" still ends the section.
        EXPECT_EQ(readText(dir, "start x\n:a\nend " + word + "\n:b\n", "x"), Lines{"a"});
    }
}

TEST(SectionFile, BinaryGarbageNeitherCrashesNorHangs) {
    TempDir dir;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        const std::string noise = config_testing::garbage(20000, seed);
        for (const std::string& content : {noise, "start x\n" + noise}) {
            const Lines entries = readText(dir, content, "x");
            for (const std::string& entry : entries) EXPECT_LT(entry.size(), kSectionEntrySize);
        }
    }
}

TEST(SectionFile, NulBytesInLines) {
    TempDir dir;
    EXPECT_EQ(readText(dir, std::string("start x\n:a\0b\n:c\n", 16), "x"), (Lines{"a", "c"}));
    // A NUL ends the comment skip behind an argument word; the line goes on.
    EXPECT_EQ(readText(dir, std::string("start x;\0:a\n:b\n", 15), "x"), (Lines{"a", "b"}));
    // A NUL is no keyword letter: its line is skipped.
    EXPECT_EQ(readText(dir, std::string("s\0tart y\nstart x\n:a\n", 20), "x"), (Lines{"a"}));
}

}  // namespace

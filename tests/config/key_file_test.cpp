// Key files: the lexer's entry syntax, the loader's path rules ("| stdin",
// '~', separators, path bounds), the token bound and allocation failures.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/common.h"
#include "common/limits.h"
#include "config/config.h"
#include "config_entries.h"
#include "support/temp_dir.h"

using namespace pofreader;
using config_testing::Entries;
using config_testing::entriesOf;
using testing_support::TempDir;

namespace {

// Loads `path` into a fresh list and returns the entries in file order.
Entries load(const std::string& path, ConfigTag tag = PFR_TAG_CALL) {
    ConfigNode* list = configLoadKeyFile(nullptr, path.c_str(), tag);
    Entries entries = entriesOf(list);
    std::reverse(entries.begin(), entries.end());  // merged entries come newest first
    configFree(list);
    return entries;
}

Entries loadText(const TempDir& dir, const std::string& content) {
    dir.write("k.pcf", content);
    return load("k.pcf");
}

struct KeyFileCase {
    const char* label;
    std::string content;  // LF line ends; each case also runs with CR and CR LF
    Entries expected;
};

const KeyFileCase kCases[] = {
    {"bare", "a := 1\n", {{"a", "1"}}},
    {"quoted with escapes", "\"b c\" := \"x \\\"y\\\"\\tz\"\n", {{"b c", "x \"y\"\tz"}}},
    {"comment after value", "d := 4 ; note\n", {{"d", "4"}}},
    {"quoted continuation", "e := \"part one \" >\n\"part two\"\n", {{"e", "part one part two"}}},
    {"'>' ends a bare value", "e := one>\ntwo := 2\n", {{"e", "one"}, {"two", "2"}}},
    {"':' and '=' apart", "f : = 1\n", {}},
    {"no value", "g :=\n", {}},
    {"empty quoted value", "h := \"\"\n", {}},
    {"comment line", "; a comment line\ni := 5\n", {{"i", "5"}}},
    // Further consequences of the states.
    {"blanks before ':'", "  j \t := \t 7\n", {{"j", "7"}}},
    {"garbage after value keeps entry", "k := 1 x y\nl := 2\n", {{"k", "1"}, {"l", "2"}}},
    {"';' directly after bare value", "m := 4;note\n", {{"m", "4"}}},
    {"bare continuation", "n := ab > ; c\n   cd\n", {{"n", "abcd"}}},
    {"continuation to quoted", "o := ab >\n \"c d\"\n", {{"o", "abc d"}}},
    {"continued line ends in a comment", "a := b >\n  c ; note\nd := e\n", {{"a", "bc"}, {"d", "e"}}},
    {"continued line ends in a blank", "a := b >\n  c \nd := e\n", {{"a", "bc"}, {"d", "e"}}},
    {"escapes b n r and other", "p := \"\\b\\n\\r\\q\"\n", {{"p", "\b\n\rq"}}},
    {"backslash at line end", "q := \"ab\\\nr := 1\n", {{"q", "ab"}, {"r", "1"}}},
    {"unterminated quoted value", "s := \"ab\nt := 1\n", {{"s", "ab"}, {"t", "1"}}},
    {"quoted name broken by line end", "\"u\nv := 1\n", {{"v", "1"}}},
    {"name without ':'", "w\nx := 1\n", {{"x", "1"}}},
    {"later value replaces earlier", "y := 1\ny := 2\n", {{"y", "2"}}},
    {"no final line end", "z := 9", {{"z", "9"}}},
    {"closing quote at the end", "z := \"9\"", {{"z", "9"}}},
    {"backslash at the end", "z := \"9\\", {{"z", "9"}}},
    {"continuation line at the end", "z := 9 >\n", {{"z", "9"}}},
};

class KeyFileTable : public ::testing::TestWithParam<const char*> {};

TEST_P(KeyFileTable, EveryCaseWithEveryLineEnd) {
    TempDir dir;
    const std::string lineEnd = GetParam();
    for (const KeyFileCase& c : kCases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(loadText(dir, config_testing::withLineEnds(c.content, lineEnd)), c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(LineEnds, KeyFileTable, ::testing::Values("\n", "\r", "\r\n"));

TEST(KeyFile, MergesWithTheGivenTag) {
    TempDir dir;
    dir.write("k.pcf", "a := 1\nb := 2\n");
    ConfigNode* list = configSet(nullptr, "a", "0", PFR_TAG_BUILTIN);
    list = configLoadKeyFile(list, "k.pcf", PFR_TAG_DEFAULTS_FILE);
    ConfigTag tag = 0;
    char* value = configGet(list, "a", &tag);
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "1");
    EXPECT_EQ(tag, PFR_TAG_DEFAULTS_FILE);
    memRelease(value);
    configFree(list);
}

TEST(KeyFile, ControlZEndsAnEntryAndTheLoaderReadsOn) {
    TempDir dir;
    EXPECT_EQ(loadText(dir, std::string("a := 1\x1a") + "b := 2\n"),
              (Entries{{"a", "1"}, {"b", "2"}}));
    EXPECT_EQ(loadText(dir, std::string("a := \"x\x1a") + "b := 2\n"),
              (Entries{{"a", "x"}, {"b", "2"}}));
}

TEST(KeyFile, NulBytesNeverMakeAnEmptyName) {
    TempDir dir;
    EXPECT_EQ(loadText(dir, std::string("\0 := 1\nb := 2\n", 14)), (Entries{{"b", "2"}}));
}

TEST(KeyFile, BinaryGarbageGivesOnlyWellFormedEntries) {
    TempDir dir;
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        const Entries entries = loadText(dir, config_testing::garbage(20000, seed));
        for (const auto& [name, value] : entries) {
            EXPECT_FALSE(name.empty());
            EXPECT_FALSE(value.empty());
        }
    }
}

TEST(KeyFile, MissingFileLeavesTheListUnchanged) {
    TempDir dir;
    ConfigNode* list = configSet(nullptr, "a", "1", PFR_TAG_BUILTIN);
    EXPECT_EQ(configLoadKeyFile(list, "absent.pcf", PFR_TAG_CALL), list);
    EXPECT_EQ(configLoadKeyFile(list, nullptr, PFR_TAG_CALL), list);
    // A directory opens but fails at the first read: the loader stops there.
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("dir.pcf")));
    EXPECT_EQ(configLoadKeyFile(list, "dir.pcf", PFR_TAG_CALL), list);
    EXPECT_EQ(configLoadKeyFile(list, std::string(kKeyPathSize, 'p').c_str(), PFR_TAG_CALL), list);
    EXPECT_EQ(entriesOf(list), (Entries{{"a", "1"}}));
    configFree(list);
}

// ---- Token bound -------------------------------------------------------------

TEST(KeyFile, NamesAndValuesUpToTheBoundAreKeptLongerOnesRefused) {
    TempDir dir;
    for (const std::size_t length : {kKeyFileTokenMax - 1, kKeyFileTokenMax, kKeyFileTokenMax + 1,
                                     std::size_t{70000}}) {
        SCOPED_TRACE(length);
        const std::string longText(length, 'v');
        const bool kept = length <= kKeyFileTokenMax;

        Entries expected;
        if (kept) expected.push_back({"a", longText});
        expected.push_back({"z", "1"});
        EXPECT_EQ(loadText(dir, "a := " + longText + "\nz := 1\n"), expected);
        EXPECT_EQ(loadText(dir, "a := \"" + longText + "\"\nz := 1\n"), expected);

        expected.clear();
        if (kept) expected.push_back({longText, "1"});
        expected.push_back({"z", "1"});
        EXPECT_EQ(loadText(dir, longText + " := 1\nz := 1\n"), expected);
        EXPECT_EQ(loadText(dir, "\"" + longText + "\" := 1\nz := 1\n"), expected);
    }
}

TEST(KeyFile, ContinuationCountsTowardsTheBound) {
    TempDir dir;
    const std::string half(kKeyFileTokenMax / 2 + 1, 'h');
    EXPECT_EQ(loadText(dir, "a := " + half + " >\n" + half + "\nz := 1\n"),
              (Entries{{"z", "1"}}));
}

TEST(KeyFile, BufferThatCannotGrowRefusesOnlyItsEntry) {
    TempDir dir;
    const std::string longValue(100, 'x');
    dir.write("k.pcf", "a := " + longValue + "\nb := 2\n");
    bool sawRefusal = false;
    for (long countdown = 1; countdown < 64; ++countdown) {
        memInjectFailure(countdown);
        ConfigNode* list = configLoadKeyFile(nullptr, "k.pcf", PFR_TAG_CALL);
        const long made = memInjectFailure(0);
        const Entries entries = entriesOf(list);
        configFree(list);
        for (const auto& [name, value] : entries) {
            if (name == "a") {
                EXPECT_EQ(value, longValue) << "cut value at countdown " << countdown;
            }
            if (name == "b") {
                EXPECT_EQ(value, "2");
            }
        }
        const bool hasA = std::any_of(entries.begin(), entries.end(), [](const auto& e) { return e.first == "a"; });
        const bool hasB = std::any_of(entries.begin(), entries.end(), [](const auto& e) { return e.first == "b"; });
        if (!hasA && hasB) sawRefusal = true;
        if (made < countdown) break;  // no allocation failed: every path has been tried
    }
    EXPECT_TRUE(sawRefusal);
}

// ---- Opening ---------------------------------------------------------------

// Which file a path with '/' opens. The current revision tries the path with
// '\\' first (a file named so still wins), then the path as written; the
// earlier revision opens it as written only.
struct SeparatorCase {
    const char* title;
    bool withSlash;      // sub/x.pcf exists
    bool withBackslash;  // a file named sub\x.pcf exists
    bool absolute;       // the path names the directory in full
    const char* current;
    const char* earlier;
};

const SeparatorCase kSeparatorCases[] = {
    {"both exist", true, true, false, "backslash", "slash"},
    {"only the folder's file", true, false, false, "slash", "slash"},
    {"only the backslash name", false, true, false, "backslash", ""},
    {"absolute path", true, false, true, "slash", "slash"},
    {"neither", false, false, false, "", ""},
};

TEST(KeyFile, PathsWithSeparators) {
    for (const SeparatorCase& c : kSeparatorCases) {
        SCOPED_TRACE(c.title);
        TempDir dir;
        std::filesystem::create_directory(dir.file("sub"));
        if (c.withSlash) dir.write("sub/x.pcf", "slash := 1\n");
        if (c.withBackslash) dir.write("sub\\x.pcf", "backslash := 1\n");
        const std::string path = c.absolute ? dir.file("sub/x.pcf") : "sub/x.pcf";
        const std::string expected = kEarlierRevision ? c.earlier : c.current;
        EXPECT_EQ(load(path), expected.empty() ? Entries{} : (Entries{{expected, "1"}}));
    }
}

TEST(KeyFile, PipePathsOtherThanStdinGiveNoStream) {
    TempDir dir;
    dir.write("| other", "a := 1\n");
    dir.write("| stdin ", "a := 1\n");
    dir.write("|stdin", "a := 1\n");
    EXPECT_EQ(keyFileOpen("| other"), nullptr);
    EXPECT_EQ(load("| other"), Entries{});
    EXPECT_EQ(load("| stdin "), Entries{});
    EXPECT_EQ(load("|stdin"), Entries{});
}

// Points the process's standard input at a file for the test's lifetime.
class StdinFromFile {
public:
    explicit StdinFromFile(const std::string& path) {
        saved_ = dup(STDIN_FILENO);
        const int fd = open(path.c_str(), O_RDONLY);
        if (fd > STDIN_FILENO) {
            dup2(fd, STDIN_FILENO);
            close(fd);
        }
        std::clearerr(stdin);
    }
    ~StdinFromFile() {
        if (saved_ >= 0) {
            dup2(saved_, STDIN_FILENO);
            close(saved_);
        } else {
            close(STDIN_FILENO);
        }
        std::clearerr(stdin);
    }

private:
    int saved_ = -1;
};

TEST(KeyFile, StdinIsReadAndStaysOpen) {
    TempDir dir;
    dir.write("in.pcf", "a := 1\nb := \"two\"\n");
    StdinFromFile redirect(dir.file("in.pcf"));
    EXPECT_EQ(keyFileOpen("| stdin"), stdin);
    EXPECT_EQ(load("| stdin"), (Entries{{"a", "1"}, {"b", "two"}}));
    EXPECT_EQ(fileno(stdin), STDIN_FILENO);
    EXPECT_NE(fcntl(STDIN_FILENO, F_GETFD), -1);
    EXPECT_EQ(std::fgetc(stdin), EOF);  // the stream is still usable
}

TEST(KeyFile, CloseLeavesStreamsWithoutPositionOpen) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::FILE* stream = fdopen(fds[0], "rb");
    ASSERT_NE(stream, nullptr);
    keyFileClose(stream);
    EXPECT_NE(fcntl(fds[0], F_GETFD), -1);
    std::fclose(stream);
    close(fds[1]);
    keyFileClose(nullptr);
}

// Sets or unsets "HOME" for the test's lifetime.
class HomeSetting {
public:
    explicit HomeSetting(const char* value) {
        if (const char* old = std::getenv("HOME")) {
            saved_ = old;
            hadHome_ = true;
        }
        if (value != nullptr) setenv("HOME", value, 1);
        else unsetenv("HOME");
    }
    ~HomeSetting() {
        if (hadHome_) setenv("HOME", saved_.c_str(), 1);
        else unsetenv("HOME");
    }

private:
    std::string saved_;
    bool hadHome_ = false;
};

TEST(KeyFile, TildeExpandsHome) {
    for (const bool withBackslash : {true, false}) {
        SCOPED_TRACE(withBackslash ? "both names exist" : "only the folder's file");
        TempDir dir;
        const std::string home = dir.file("home");
        HomeSetting setting(home.c_str());
        std::filesystem::create_directories(dir.file("home/sub"));
        dir.write("home/sub/x.pcf", "slash := 1\n");
        if (withBackslash) dir.write("home\\sub\\x.pcf", "backslash := 1\n");
        const char* expected = !kEarlierRevision && withBackslash ? "backslash" : "slash";
        EXPECT_EQ(load("~/sub/x.pcf"), (Entries{{expected, "1"}}));
    }
}

TEST(KeyFile, TildeWithoutHomeCannotBeOpened) {
    TempDir dir;
    dir.write("~x.pcf", "a := 1\n");
    dir.write("x.pcf", "a := 1\n");
    HomeSetting setting(nullptr);
    EXPECT_EQ(keyFileOpen("~x.pcf"), nullptr);
    EXPECT_EQ(load("~x.pcf"), Entries{});
}

// A home directory whose expansion reaches exactly `expandedLength` bytes
// with the name "~" + 20 x's; the file that a cut expansion would name is
// created too, so that reading it would show.
TEST(KeyFile, ExpandedPathsBeyondTheirBufferAreNotOpened) {
    TempDir dir;
    const std::string tail(20, 'x');
    for (const std::size_t expandedLength : {kHomePathSize - 2, kHomePathSize - 1, kHomePathSize,
                                             kHomePathSize + 8}) {
        SCOPED_TRACE(expandedLength);
        // Directories of 100 characters lead to a last component that ends
        // the home path; the file name is that component plus the tail.
        std::string home = dir.path();
        std::string directory = "d" + std::to_string(expandedLength);
        home += "/" + directory;
        std::filesystem::create_directory(home);
        while (home.size() + 101 + 1 + 50 < expandedLength) {
            home += "/" + std::string(100, 'p');
            std::filesystem::create_directory(home);
        }
        const std::size_t lastLength = expandedLength - tail.size() - home.size() - 1;
        const std::string last(lastLength, 'q');
        const std::string parent = home;
        home += "/" + last;
        ASSERT_EQ(home.size() + tail.size(), expandedLength);

        const std::string full = parent + "/" + last + tail;
        const std::string cut = full.substr(0, kHomePathSize - 1);
        std::FILE* out = std::fopen(full.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fputs("full := 1\n", out);
        std::fclose(out);
        if (cut != full) {
            out = std::fopen(cut.c_str(), "wb");
            ASSERT_NE(out, nullptr);
            std::fputs("cut := 1\n", out);
            std::fclose(out);
        }

        HomeSetting setting(home.c_str());
        const Entries entries = load("~" + tail);
        if (expandedLength < kHomePathSize) {
            EXPECT_EQ(entries, (Entries{{"full", "1"}}));
        } else {
            EXPECT_EQ(entries, Entries{});
        }
    }
}

TEST(KeyFile, NextPairReleasesWhatThePairHeld) {
    TempDir dir;
    dir.write("k.pcf", "a := 1\n\nb :=\nb :=");
    std::FILE* stream = keyFileOpen("k.pcf");
    ASSERT_NE(stream, nullptr);
    ConfigPair pair{memDupString("old"), memDupString("old")};
    ASSERT_EQ(keyFileNextPair(stream, &pair), 1);
    EXPECT_STREQ(pair.name, "a");
    EXPECT_STREQ(pair.value, "1");
    memInjectFailure(2);  // the name's buffer, then the copy of the empty value
    EXPECT_EQ(keyFileNextPair(stream, &pair), 0);
    memInjectFailure(0);
    EXPECT_EQ(pair.name, nullptr);
    ASSERT_EQ(keyFileNextPair(stream, &pair), 1);
    EXPECT_STREQ(pair.name, "b");
    EXPECT_STREQ(pair.value, "");  // a name alone comes with an empty value
    EXPECT_EQ(keyFileNextPair(stream, &pair), 0);
    EXPECT_EQ(pair.name, nullptr);
    EXPECT_EQ(pair.value, nullptr);
    EXPECT_TRUE(std::feof(stream));
    keyFileClose(stream);
    EXPECT_EQ(keyFileNextPair(nullptr, &pair), 0);
    EXPECT_EQ(keyFileNextPair(nullptr, nullptr), 0);
}

}  // namespace

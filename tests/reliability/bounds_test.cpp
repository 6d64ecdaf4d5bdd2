// Every documented bound at its limit minus one, at the limit and one past
// it, in one table. Each row measures what a text of the given length
// becomes at the boundary where it enters: how much of it is kept, or whether
// it is refused. Up to the limit a text is kept whole; past it the row says
// whether the text is cut to the limit, refused, still taken whole (text
// without effect, passed over), or changes nothing at all (bounds that only
// guard a buffer). The sanitizer build proves that no
// length writes outside its buffer.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "common/common.h"
#include "common/limits.h"
#include "config/config.h"
#include "frame/frame.h"
#include "pof/pof.h"
#include "qdx/qdx.h"
#include "support/loaded_cycle.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

#if defined(__SANITIZE_ADDRESS__)
#define RELIABILITY_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RELIABILITY_SANITIZED 1
#endif
#endif

namespace {

using namespace pofreader;
using testing_support::Delivery;
using testing_support::TempDir;

struct Observed {
    bool accepted;
    std::size_t kept;
    bool operator==(const Observed& other) const {
        return accepted == other.accepted && kept == other.kept;
    }
};
void PrintTo(const Observed& o, std::ostream* out) {
    *out << (o.accepted ? "kept " : "refused ") << o.kept;
}
constexpr Observed kRefused{false, 0};
Observed kept(std::size_t length) { return {true, length}; }

enum class Past { Cut, Refused, Whole, Unchanged };

enum RunsIn { kBoth, kCurrentOnly, kEarlierOnly, kUnsanitizedOnly };

struct Bound {
    const char* name;
    std::size_t limit;
    Past past;
    Observed (*probe)(std::size_t length);
    RunsIn runsIn = kBoth;
};

// ---- Helpers --------------------------------------------------------------------

// Runs the loaded cycle with -Sjob on a POF text in a fresh directory.
std::vector<Delivery> runPof(const std::string& pof) {
    TempDir dir;
    dir.write("job.pcf", "toolpath := job.pof\n");
    dir.write("job.pof", pof);
    testing_support::RecordingHost host;
    EXPECT_EQ(testing_support::revisionLibrary().run({"-Sjob"}, host.callbacks()), 1);
    return host.deliveries;
}

std::optional<Delivery> firstWithCode(const std::vector<Delivery>& deliveries, int key, int code) {
    for (const Delivery& d : deliveries)
        if (d.code == key && d.record.code == code) return d;
    return std::nullopt;
}

std::optional<Delivery> firstMove(const std::vector<Delivery>& deliveries) {
    for (const Delivery& d : deliveries)
        if (d.code == PFR_KEY_MOVE) return d;
    return std::nullopt;
}

// "1" followed by zeros: a number whose digit count survives a round trip.
std::string powerOfTen(std::size_t digits) { return "1" + std::string(digits - 1, '0'); }
std::size_t digitsOf(double value) {
    return value >= 1.0 ? static_cast<std::size_t>(std::llround(std::log10(value))) + 1 : 0;
}

std::FILE* memoryStream(std::string& bytes) {
    return fmemopen(bytes.data(), bytes.size(), "rb");
}

// Creates directories below `base` so that base + "/" + ... + "/" + a file
// name of at least 8 characters is exactly `length` characters long; returns
// that path (the file itself is not created).
std::string pathOfLength(const std::string& base, std::size_t length) {
    std::string path = base;
    while (length - path.size() > 220) {
        path += "/" + std::string(150, 'd');
        mkdir(path.c_str(), 0700);
    }
    const std::size_t nameLength = length - path.size() - 1;
    return path + "/" + std::string(nameLength, 'f');
}

ConfigNode* loadKeyText(const std::string& path, const std::string& content) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return nullptr;
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
    return configLoadKeyFile(nullptr, path.c_str(), PFR_TAG_CALL);
}

Observed entryValue(ConfigNode* list, const char* name) {
    Observed observed = kRefused;
    for (ConfigNode* node = list; node != nullptr; node = node->next)
        if (std::strcmp(node->name, name) == 0) observed = kept(std::strlen(node->value));
    configFree(list);
    return observed;
}

// The first section entry of a file, read into a buffer of the check's size.
Observed firstSectionEntry(const std::string& content, const char* language) {
    TempDir dir;
    dir.write("s.txt", content);
    const int handle = sectionFileOpen("s.txt", language);
    if (handle < kSectionFirstHandle) return kRefused;
    char entry[kSectionEntrySize];
    const int read = sectionFileNext(handle, entry, sizeof entry);
    sectionFileClose(handle);
    return read == 1 ? kept(std::strlen(entry)) : kRefused;
}

// The configuration at the end of the preparation of a run with `argument`,
// seen by the host's event callback.
struct ConfigAtPreparation {
    std::string name;
    Observed observed = kRefused;
    static int receive(CycleContext* ctx, int event, void* user) {
        auto* self = static_cast<ConfigAtPreparation*>(user);
        if (event != PFR_EVENT_CONFIG_END) return 1;
        for (ConfigList list : {ctx->config, ctx->cfgEntries})
            for (ConfigNode* node = list; node != nullptr; node = node->next)
                if (node->name != nullptr && self->name == node->name)
                    self->observed = kept(std::strlen(node->value));
        return 1;
    }
};

Observed configuredValue(const std::string& argument, const char* name) {
    const testing_support::LoadedCycle& library = testing_support::revisionLibrary();
    ConfigAtPreparation seen;
    seen.name = name;
    CycleContext* ctx = library.getCycle();
    ctx->eventCallback = &ConfigAtPreparation::receive;
    ctx->eventUser = &seen;
    testing_support::RecordingHost host;
    EXPECT_EQ(library.run({argument}, host.callbacks()), 1);
    return seen.observed;
}

Observed qdxFirstElement(const std::string& text, bool bodyAttribute) {
    const char* cursor = text.c_str();
    ExchangeElement element{};
    element.bodyStart = element.bodyEnd = -1;
    Observed observed = kRefused;
    if (exchangeNextFromText(&cursor, &element) == 1) {
        if (!bodyAttribute && element.text != nullptr) observed = kept(std::strlen(element.text));
        if (bodyAttribute && element.attributes != nullptr)
            observed = kept(std::strlen(element.attributes->value));
    }
    exchangeReleaseElement(&element);
    return observed;
}

// ---- Probes ----------------------------------------------------------------------

Observed signalName(std::size_t length) {
    SignalRecord record{};
    setNameValue(&record, PFR_CODE_NAMED_VALUE, std::string(length, 'n').c_str(), "v");
    return kept(strnlen(record.body.nameValue.name, sizeof record.body.nameValue.name));
}
Observed signalValue(std::size_t length) {
    SignalRecord record{};
    setNameValue(&record, PFR_CODE_NAMED_VALUE, "n", std::string(length, 'v').c_str());
    return kept(strnlen(record.body.nameValue.value, sizeof record.body.nameValue.value));
}
Observed signalText(std::size_t length) {
    SignalRecord record{};
    setText(&record, PFR_CODE_TEXT, std::string(length, 't').c_str());
    return kept(strnlen(record.body.text, sizeof record.body.text));
}
Observed textRecord(std::size_t length) {
    const auto d = firstWithCode(runPof("2:" + std::string(length, 't') + "\n"), PFR_KEY_TEXT, PFR_CODE_TEXT);
    return d ? kept(d->text().size()) : kRefused;
}
Observed eventValue(std::size_t length) {
    const auto d = firstWithCode(runPof("0:cycle(" + std::string(length, 'v') + ")\n"), PFR_KEY_EVENT,
                                 PFR_CODE_CYCLE);
    return d ? kept(d->value().size()) : kRefused;
}
Observed transformationName(std::size_t length) {
    const auto d = firstWithCode(runPof("10:" + std::string(length, 'n') + "(v)\n"), PFR_KEY_TRANSFORM,
                                 PFR_CODE_NAMED_VALUE);
    return d ? kept(d->name().size()) : kRefused;
}
Observed payload(std::size_t length) {
    std::string bytes = "2:" + std::string(length, 'p') + "\n2:next\n";
    std::FILE* stream = memoryStream(bytes);
    PofRecordReader reader;
    openRecordReader(reader, stream);
    char buffer[kPayloadBufferSize];
    const int type = readPofRecord(reader, buffer, kPayloadLimit);
    char next[kPayloadBufferSize];
    // The cut line does not spill into the next record.
    const bool nextIntact = readPofRecord(reader, next, kPayloadLimit) == 2 && std::strcmp(next, "next") == 0;
    closeRecordReader(reader);
    std::fclose(stream);
    return type == 2 && nextIntact ? kept(std::strlen(buffer)) : kRefused;
}
// Text without effect: the move is delivered, the word after it read.
Observed moveTokenName(std::size_t length) {
    const auto d = firstMove(runPof("31:oL ( " + std::string(length, 'q') + "[1] x[/1] )\n"));
    return d && d->record.body.move.xGiven == 1 ? kept(length) : kRefused;
}
Observed moveBracketValue(std::size_t length) {
    const auto d = firstMove(runPof("31:oL ( multax[" + std::string(length, 'a') + "] x[/1] )\n"));
    return d && d->record.body.move.xGiven == 1 ? kept(length) : kRefused;
}
Observed moveFirstPart(std::size_t length) {
    const auto d = firstMove(runPof("31:oL ( x[" + std::string(length, '9') + "/5] )\n"));
    return d && d->record.body.move.targetX == 5 ? kept(length) : kRefused;
}
Observed movePart(std::size_t length) {
    const auto d = firstMove(runPof("31:oL ( x[/" + powerOfTen(length) + "] )\n"));
    if (!d || d->record.body.move.xGiven != 1) return kRefused;
    return kept(digitsOf(d->record.body.move.targetX));
}
Observed recordDigits(std::size_t length) {
    const auto d = firstWithCode(runPof(std::string(length - 1, '0') + "2:t\n"), PFR_KEY_TEXT, PFR_CODE_TEXT);
    return d ? kept(length) : kRefused;
}
Observed keyFileValue(std::size_t length) {
    TempDir dir;
    return entryValue(loadKeyText("k.pcf", "n := " + std::string(length, 'v') + "\n"), "n");
}
Observed keyFileName(std::size_t length) {
    TempDir dir;
    const std::string name(length, 'n');
    ConfigNode* list = loadKeyText("k.pcf", name + " := v\nother := w\n");
    Observed observed = kRefused;
    for (ConfigNode* node = list; node != nullptr; node = node->next)
        if (node->name[0] == 'n') observed = kept(std::strlen(node->name));
    configFree(list);
    return observed;
}
Observed lineFileName(std::size_t length) {
    std::string bytes = std::string(length, 'n') + " v\n";
    std::FILE* stream = memoryStream(bytes);
    const char* name = nullptr;
    const char* value = nullptr;
    const Observed observed = lineFileNextEntry(stream, &name, &value) == 1 ? kept(std::strlen(name)) : kRefused;
    std::fclose(stream);
    return observed;
}
Observed lineFileValue(std::size_t length) {
    std::string bytes = "n " + std::string(length, 'v') + "\n";
    std::FILE* stream = memoryStream(bytes);
    const char* name = nullptr;
    const char* value = nullptr;
    const Observed observed = lineFileNextEntry(stream, &name, &value) == 1 ? kept(std::strlen(value)) : kRefused;
    std::fclose(stream);
    return observed;
}
Observed sectionKeywordWord(std::size_t length) {
    // A word of keyword letters cut by its line end counts for nothing.
    return firstSectionEntry(std::string(length, 'a') + "\nstart x\n:e\n", nullptr);
}
Observed sectionEntryWord(std::size_t length) {
    // Inside a section a long word of entry-reader letters only skips its line.
    return firstSectionEntry("start x\n" + std::string(length, 'd') + " y\n:e\n", nullptr);
}
Observed sectionArgument(std::size_t length) {
    const std::string language(length, 'l');
    const Observed entry =
        firstSectionEntry("default other\nlanguage " + language + "\nstart " + language + "\n:e\n",
                          language.c_str());
    return entry.accepted ? kept(length) : kRefused;
}
Observed sectionEntry(std::size_t length) {
    return firstSectionEntry("start x\n:" + std::string(length, 'e') + "\n", nullptr);
}
Observed keyFilePath(std::size_t length) {
    TempDir dir;
    return entryValue(loadKeyText(pathOfLength(dir.path(), length), "n := v\n"), "n").accepted
               ? kept(length)
               : kRefused;
}
Observed homePath(std::size_t length) {
    TempDir dir;
    // HOME ends in a short component, so that the current revision's file
    // (HOME's last component, a backslash and the name, beside it) fits too.
    std::string home = dir.path() + "/" + std::string(200, 'd');
    mkdir(home.c_str(), 0700);
    home += "/" + std::string(100, 'e');
    mkdir(home.c_str(), 0700);
    home += "/h";
    mkdir(home.c_str(), 0700);
    const std::string name(length - home.size() - 1, 'f');
    const std::string file = kEarlierRevision ? home + "/" + name
                                              : home.substr(0, home.size() - 1) + "h\\" + name;
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out != nullptr) {
        std::fputs("n := v\n", out);
        std::fclose(out);
    }
    const char* previous = std::getenv("HOME");
    const std::string saved = previous != nullptr ? previous : "";
    setenv("HOME", home.c_str(), 1);
    ConfigNode* list = configLoadKeyFile(nullptr, ("~/" + name).c_str(), PFR_TAG_CALL);
    if (previous != nullptr) setenv("HOME", saved.c_str(), 1); else unsetenv("HOME");
    return entryValue(list, "n").accepted ? kept(length) : kRefused;
}
Observed parameterFileName(std::size_t length) {
    // "<source>.pcf" of the given length names the parameter file.
    TempDir dir;
    const std::string source(length - 4, 's');
    dir.write(source + ".pcf", "toolpath := job.pof\n");
    dir.write("job.pof", "2:t\n");
    testing_support::RecordingHost host;
    EXPECT_EQ(testing_support::revisionLibrary().run({"-S" + source}, host.callbacks()), 1);
    return firstWithCode(host.deliveries, PFR_KEY_TEXT, PFR_CODE_TEXT) ? kept(length) : kRefused;
}
Observed cfgFileName(std::size_t length) {
    TempDir dir;
    std::string path = pathOfLength(dir.path(), length);
    path.replace(path.size() - 4, 4, ".CFG");
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out != nullptr) {
        std::fputs("*APT part\n", out);
        std::fclose(out);
    }
    return configuredValue("-S" + path, "*APT").accepted ? kept(length) : kRefused;
}
Observed frameComment(std::size_t length) {
    TempDir dir;
    dir.write("job.CFG", "*FRAME_COMMENT " + std::string(length, 'c') + "\n");
    return configuredValue("-Sjob.CFG", "frameComment");
}
Observed qdxToken(std::size_t length) {
    return qdxFirstElement("v x(" + std::string(length, 'a') + ")", false);
}
Observed qdxMethodBody(std::size_t length) {
    return qdxFirstElement("m x(" + std::string(length, 'b') + ")", true);
}
Observed tripleRun(std::size_t length) {
    double first = -1, second = -1, third = -1;
    const int found = parseTriple((powerOfTen(length) + " 2 3").c_str(), &first, &second, &third);
    return found == 3 && second == 2 && third == 3 ? kept(digitsOf(first)) : kRefused;
}

// ---- The documented numbers ------------------------------------------------------

// Each bound as the README states it, pinned once: the rows below take their
// limits from the constants, so a mistyped constant would pass them.
static_assert(kSignalNameSize == 256 && kSignalValueSize == 520 && kSignalTextSize == 776);
static_assert(kSplitNameSize == 128 && kSplitValueSize == 520);
static_assert(kPayloadLimit == 1020 && kRecordDigitsMax == 127);
static_assert(kMoveTokenMax == 255 && kMovePartMax == 79);
static_assert(kKeyFileTokenMax == 32751 && kKeyPathSize == 516 && kHomePathSize == 512);
static_assert(kLineNameSize == 280 && kLineValueSize == 520);
static_assert(kSectionWordMax == 39 && kSectionArgumentMax == 259 && kSectionEntrySize == 260);
static_assert(kParameterNameSize == 256 && kCfgNameSize == 512 && kFrameCommentSize == 512);
static_assert(kTripleRunMax == 79);
static_assert(kQdxTokenMax == 1u << 20 && kQdxLongBodyCapacity == 4096);
static_assert(kArgumentCountMax == 16383 && kNestingLimit == 8);

// ---- The table ------------------------------------------------------------------

const Bound kBounds[] = {
    {"SignalRecord name field", kSignalNameSize - 1, Past::Cut, signalName},
    {"SignalRecord value field", kSignalValueSize - 1, Past::Cut, signalValue},
    {"SignalRecord text field", kSignalTextSize - 1, Past::Cut, signalText},
    {"text record through a run", kSignalTextSize - 1, Past::Cut, textRecord},
    {"event value through a run", kSplitValueSize - 1, Past::Cut, eventValue},
    {"transformation name through a run", kSplitNameSize - 1, Past::Cut, transformationName},
    {"POF payload", static_cast<std::size_t>(kPayloadLimit), Past::Cut, payload},
    {"record number digits", static_cast<std::size_t>(kRecordDigitsMax), Past::Refused, recordDigits},
    {"move token name", kMoveTokenMax, Past::Whole, moveTokenName, kCurrentOnly},
    {"move bracket value", kMoveTokenMax, Past::Whole, moveBracketValue},
    {"move first value part", kMovePartMax, Past::Whole, moveFirstPart},
    {"move value part", kMovePartMax, Past::Refused, movePart},
    {"key-file value", kKeyFileTokenMax, Past::Refused, keyFileValue},
    {"key-file name", kKeyFileTokenMax, Past::Refused, keyFileName},
    {"line-file name", kLineNameSize - 1, Past::Cut, lineFileName},
    {"line-file value", kLineValueSize - 1, Past::Cut, lineFileValue},
    {"section keyword word", kSectionWordMax, Past::Unchanged, sectionKeywordWord},
    {"section entry-reader word", kSectionWordMax, Past::Unchanged, sectionEntryWord},
    {"section argument word", kSectionArgumentMax, Past::Refused, sectionArgument},
    {"section entry", kSectionEntrySize - 1, Past::Cut, sectionEntry},
    // The current revision turns every '/' into a backslash, so a path this long can
    // never name a file here; the earlier revision opens paths as given, of
    // any length. Either way the converted-path buffer holds.
    // A path longer than the current revision's buffer opens in neither form;
    // the earlier revision has no buffer and opens it as written.
    {"key-file path", kKeyPathSize - 1, kEarlierRevision ? Past::Unchanged : Past::Refused, keyFilePath},
    {"HOME-expanded path", kHomePathSize - 1, Past::Refused, homePath},
    {"parameter file name", kParameterNameSize - 1, Past::Refused, parameterFileName},
    {".CFG file name", kCfgNameSize - 1, Past::Refused, cfgFileName},
    {"frame comment", kFrameCommentSize - 1, Past::Cut, frameComment, kCurrentOnly},
    // A token of a million characters grows 16 bytes at a time; under the
    // sanitizer's allocator every growth moves the whole token, which takes
    // minutes. The qDX fuzz target covers the growth under the sanitizers.
    {"qDX token", kQdxTokenMax, Past::Refused, qdxToken, kUnsanitizedOnly},
    {"qDX method body kept in memory", kQdxLongBodyCapacity + 255, Past::Refused, qdxMethodBody},
    {"parseTriple numeric run", kTripleRunMax, Past::Cut, tripleRun},
};

class Bounds : public testing::TestWithParam<Bound> {};

TEST_P(Bounds, LimitMinusOneLimitAndPast) {
    const Bound& bound = GetParam();
    if ((bound.runsIn == kCurrentOnly && kEarlierRevision) ||
        (bound.runsIn == kEarlierOnly && !kEarlierRevision))
        GTEST_SKIP() << "not a bound of this revision";
#ifdef RELIABILITY_SANITIZED
    if (bound.runsIn == kUnsanitizedOnly) GTEST_SKIP() << "too slow under the sanitizers";
#endif
    TempDir dir;  // the probes that run the cycle work below it
    const Observed below = bound.probe(bound.limit - 1);
    const Observed at = bound.probe(bound.limit);
    const Observed past = bound.probe(bound.limit + 1);
    switch (bound.past) {
    case Past::Cut:
    case Past::Refused:
        EXPECT_EQ(below, kept(bound.limit - 1));
        EXPECT_EQ(at, kept(bound.limit));
        EXPECT_EQ(past, bound.past == Past::Cut ? kept(bound.limit) : kRefused);
        break;
    case Past::Whole:
        EXPECT_EQ(below, kept(bound.limit - 1));
        EXPECT_EQ(at, kept(bound.limit));
        EXPECT_EQ(past, kept(bound.limit + 1));
        break;
    case Past::Unchanged:
        EXPECT_EQ(at.accepted, below.accepted);
        EXPECT_EQ(past.accepted, below.accepted);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Bounds, testing::ValuesIn(kBounds),
                         [](const testing::TestParamInfo<Bound>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c != '\0'; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

}  // namespace

// Allocation failures: every run is repeated with its N-th allocation failing,
// for every N up to the number of allocations the run makes. Nothing crashes
// or leaks (LeakSanitizer in the sanitizer build), the run still returns 1
// (or 0 when the preparation itself failed, having delivered nothing), the
// record holds nothing per-run afterwards, and the host receives the clean
// run's deliveries with some left out: a record that cannot be handled is
// dropped, never delivered damaged.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/common.h"
#include "config/config.h"
#include "frame/frame.h"
#include "qdx/qdx.h"
#include "reliability/scenarios.h"
#include "support/sanitizer.h"

namespace {

using pofreader::memInjectFailure;
using reliability::Outcome;

// Arms the failure of the `countdown`-th allocation for the lifetime of the
// object; `made()` tells how many allocations happened since.
class FailingAllocation {
public:
    explicit FailingAllocation(long countdown) { memInjectFailure(countdown); }
    ~FailingAllocation() {
        if (!ended_) memInjectFailure(0);
    }
    long made() {
        ended_ = true;
        return memInjectFailure(0);
    }

private:
    bool ended_ = false;
};

long countAllocations(const std::vector<std::string>& arguments, Outcome& clean) {
    FailingAllocation counting(0);
    clean = reliability::runCycle(arguments);
    return counting.made();
}

class EndToEndAllocationFailure : public testing::TestWithParam<reliability::Scenario> {};

TEST_P(EndToEndAllocationFailure, EveryAllocationMayFail) {
    testing_support::TempDir dir;
    reliability::writeJobFiles(dir);
    const std::vector<std::string>& arguments = GetParam().arguments;

    Outcome clean;
    const long count = countAllocations(arguments, clean);
    ASSERT_EQ(clean.result, 1);
    ASSERT_GT(count, 0);
    RecordProperty("allocations", static_cast<int>(count));
    std::printf("%s: %ld allocations, %zu deliveries\n", GetParam().name, count, clean.lines.size());

    int refused = 0, dropping = 0;
    for (long n = 1; n <= count; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(count) + " fails");
        FailingAllocation failing(n);
        const Outcome faulted = reliability::runCycle(arguments);
        // The failure was reached: the run made at least n allocations.
        ASSERT_GE(failing.made(), n);
        if (faulted.result == 0) {
            ++refused;
            EXPECT_TRUE(faulted.lines.empty());
        } else {
            EXPECT_EQ(faulted.result, 1);
            EXPECT_TRUE(reliability::isSubsequence(faulted.lines, clean.lines));
            if (faulted.lines.size() < clean.lines.size()) ++dropping;
        }
        if (testing::Test::HasFailure()) break;
    }
    std::printf("  %d failed preparations, %d runs with deliveries left out\n", refused, dropping);
    // The preparation copies the arguments first: failing one of those copies
    // is a failed preparation.
    EXPECT_GT(refused, 0);
    // A clean run afterwards is the clean run again: no state was left behind.
    const Outcome again = reliability::runCycle(arguments);
    EXPECT_EQ(again.result, 1);
    EXPECT_EQ(again.lines, clean.lines);
}

INSTANTIATE_TEST_SUITE_P(Jobs, EndToEndAllocationFailure, testing::ValuesIn(reliability::scenarios()),
                         [](const testing::TestParamInfo<reliability::Scenario>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c != '\0'; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

// ---- qDX: a failed growth is kQdxErrorMemory and ends the read -------------

struct ReadElements {
    std::vector<std::string> elements;
    int lastError = 0;
};

ReadElements readAll(const char* text) {
    ReadElements read;
    const char* cursor = text;
    pofreader::ExchangeElement element{};
    element.bodyStart = element.bodyEnd = -1;
    while (pofreader::exchangeNextFromText(&cursor, &element) == 1) {
        std::string line(1, static_cast<char>(element.kind));
        if (element.name != nullptr) line += std::string(" ") + element.name;
        if (element.text != nullptr) line += std::string(" [") + element.text + "]";
        for (auto* a = element.attributes; a != nullptr; a = a->next)
            line += std::string(" ") + (a->name ? a->name : "-") + "=" + (a->value ? a->value : "-");
        read.elements.push_back(line);
    }
    read.lastError = pofreader::exchangeLastError();
    pofreader::exchangeReleaseElement(&element);
    return read;
}

// A zero size still gives a block: realloc(p, 0) may free p and return null,
// which a caller would take for a failure and free p again.
TEST(MemoryHelpers, ZeroSizeIsABlockAndNullCopiesToNull) {
    memInjectFailure(0);
    void* block = pofreader::memAllocZero(0);
    ASSERT_NE(block, nullptr);
    void* resized = pofreader::memResize(block, 0);
    ASSERT_NE(resized, nullptr);
    pofreader::memRelease(resized);
    EXPECT_EQ(pofreader::memDupString(nullptr), nullptr);
    EXPECT_EQ(memInjectFailure(0), 2);  // the null copy allocated nothing
}

// Blocks of the common capacities are kept for reuse and grow in place:
// whichever way a block goes (in place, into a fresh block, through realloc)
// it keeps its bytes, a kept block comes back zeroed, and a size no block can
// hold fails with the block left as it was (the C library's refusal only
// outside the sanitizer, which stops the process instead).
TEST(MemoryHelpers, BlocksKeepTheirBytesComeBackZeroedAndRefuseImpossibleSizes) {
    memInjectFailure(0);
    unsigned char* block = nullptr;
    std::size_t held = 0;
    for (const std::size_t size : {1, 20, 36, 48, 49, 260, 272, 273, 30, 4096, 10, 47}) {
        block = static_cast<unsigned char*>(pofreader::memResize(block, size));
        ASSERT_NE(block, nullptr) << size;
        for (std::size_t i = 0; i < std::min(held, size); ++i)
            ASSERT_EQ(block[i], static_cast<unsigned char>(i * 7 + 1)) << "byte " << i << " at " << size;
        for (std::size_t i = 0; i < size; ++i) block[i] = static_cast<unsigned char>(i * 7 + 1);
        held = size;
    }
    pofreader::memRelease(block);
    for (const std::size_t size : {40, 200}) {
        void* dirty = pofreader::memAllocZero(size);
        std::memset(dirty, 0xAB, size);
        pofreader::memRelease(dirty);
        auto* zeroed = static_cast<unsigned char*>(pofreader::memAllocZero(size));
        EXPECT_EQ(std::count(zeroed, zeroed + size, 0), static_cast<long>(size)) << size;
        pofreader::memRelease(zeroed);
    }
    pofreader::memReleaseSpare();

    std::vector<std::size_t> impossible = {SIZE_MAX};
    if (!testing_support::kAddressSanitizer) impossible.push_back(SIZE_MAX / 2);
    for (const std::size_t size : impossible) {
        EXPECT_EQ(pofreader::memAllocZero(size), nullptr);
        EXPECT_EQ(pofreader::memResize(nullptr, size), nullptr);
        for (const std::size_t kept : {5, 500}) {
            auto* text = static_cast<char*>(pofreader::memAllocZero(kept));
            std::memcpy(text, "kept", 5);
            EXPECT_EQ(pofreader::memResize(text, size), nullptr) << kept;
            EXPECT_STREQ(text, "kept");
            pofreader::memRelease(text);
        }
    }
}

TEST(QdxAllocationFailure, AFailedGrowthIsAMemoryErrorAndKeepsWhatWasRead) {
    testing_support::TempDir dir;  // method report lines land here
    const std::string text = "v depth( 12.5 ) o Tool [ ball  mill ] ( d[10] t[ flat ] ) {"
                             " m drill ( G81 ) v " + std::string(100, 'n') + "(" +
                             std::string(300, 'x') + ") m long (" + std::string(5000, 'b') +
                             ") }";
    ReadElements clean;
    long count = 0;
    {
        FailingAllocation counting(0);
        clean = readAll(text.c_str());
        count = counting.made();
    }
    ASSERT_EQ(clean.elements.size(), 7u);
    ASSERT_EQ(clean.lastError, pofreader::kQdxErrorNone);

    for (long n = 1; n <= count; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " fails");
        FailingAllocation failing(n);
        const ReadElements faulted = readAll(text.c_str());
        ASSERT_GE(failing.made(), n);
        // The read stops at the element whose allocation failed.
        ASSERT_LT(faulted.elements.size(), clean.elements.size());
        EXPECT_TRUE(std::equal(faulted.elements.begin(), faulted.elements.end(), clean.elements.begin()));
        EXPECT_EQ(faulted.lastError, pofreader::kQdxErrorMemory);
    }
}

// ---- Lists: a failed allocation leaves a list as it was ----------------------

using Snapshot = std::vector<std::string>;

Snapshot snapshot(const ConfigNode* list) {
    Snapshot nodes;
    for (const ConfigNode* node = list; node != nullptr; node = node->next) {
        char pointer[32];
        std::snprintf(pointer, sizeof pointer, "%p", static_cast<const void*>(node));
        nodes.push_back(std::string(pointer) + " " + (node->name ? node->name : "-") + "=" +
                        (node->value ? node->value : "-") + "/" + std::to_string(node->tag));
    }
    return nodes;
}

ConfigNode* sampleList() {
    ConfigNode* list = nullptr;
    list = pofreader::configAppend(list, "a", "1", PFR_TAG_DEFAULTS_FILE);
    list = pofreader::configAppend(list, "b", "2", PFR_TAG_CALL);
    list = pofreader::configAppend(list, "c", "3", PFR_TAG_CALL);
    return list;
}

struct ListOperation {
    const char* name;
    ConfigNode* (*apply)(ConfigNode* list, pofreader::ConfigPair* pair);
};

// The pair a merge takes its strings from is made before the failure is armed.
const ListOperation kListOperations[] = {
    {"set a new name",
     [](ConfigNode* l, pofreader::ConfigPair*) { return pofreader::configSet(l, "d", "4", PFR_TAG_CALL); }},
    {"set an existing name",
     [](ConfigNode* l, pofreader::ConfigPair*) { return pofreader::configSet(l, "b", "22", PFR_TAG_CALL); }},
    {"append",
     [](ConfigNode* l, pofreader::ConfigPair*) { return pofreader::configAppend(l, "a", "5", PFR_TAG_CALL); }},
    {"merge a new name",
     [](ConfigNode* l, pofreader::ConfigPair* pair) { return pofreader::configMerge(l, pair, PFR_TAG_CALL); }},
};

TEST(ListAllocationFailure, AFailedOperationLeavesTheListAsItWas) {
    for (const ListOperation& operation : kListOperations) {
        SCOPED_TRACE(operation.name);
        long count = 0;
        {
            ConfigNode* list = sampleList();
            pofreader::ConfigPair pair{pofreader::memDupString("e"), pofreader::memDupString("6")};
            FailingAllocation counting(0);
            list = operation.apply(list, &pair);
            count = counting.made();
            EXPECT_EQ(snapshot(list).size(), std::strncmp(operation.name, "set an", 6) == 0 ? 3u : 4u);
            pofreader::memRelease(pair.name);
            pofreader::memRelease(pair.value);
            pofreader::configFree(list);
        }
        ASSERT_GT(count, 0);
        for (long n = 1; n <= count; ++n) {
            ConfigNode* list = sampleList();
            pofreader::ConfigPair pair{pofreader::memDupString("e"), pofreader::memDupString("6")};
            const Snapshot before = snapshot(list);
            FailingAllocation failing(n);
            list = operation.apply(list, &pair);
            EXPECT_GE(failing.made(), n);
            EXPECT_EQ(snapshot(list), before) << "allocation " << n << " failed";
            pofreader::memRelease(pair.name);
            pofreader::memRelease(pair.value);
            pofreader::configFree(list);
        }
    }
}

TEST(RegistryAllocationFailure, AFailedRegistrationOrAttachmentChangesNothing) {
    CycleContext ctx{};
    ASSERT_EQ(pofreader::registerSignal(&ctx, 5, nullptr, nullptr, 1), 1);
    const SignalEntry* first = ctx.signalRegistry;
    {
        FailingAllocation failing(1);
        EXPECT_EQ(pofreader::registerSignal(&ctx, 9, nullptr, nullptr, 1), 0);
    }
    EXPECT_EQ(ctx.signalRegistry, first);
    EXPECT_EQ(ctx.signalRegistry->next, nullptr);
    {
        FailingAllocation failing(1);
        EXPECT_EQ(pofreader::attachListener(&ctx, 5, [](CycleContext*, SignalRecord*, void*) { return 1; },
                                            nullptr, nullptr, nullptr),
                  0);
    }
    EXPECT_EQ(ctx.signalRegistry->listeners, nullptr);
    pofreader::freeSignals(&ctx);
    EXPECT_EQ(ctx.signalRegistry, nullptr);
}

// ---- File loaders: an entry that cannot be stored is left out -----------------

std::vector<std::string> entries(const ConfigNode* list) {
    std::vector<std::string> lines;
    for (const ConfigNode* node = list; node != nullptr; node = node->next)
        lines.push_back(std::string(node->name) + "=" + node->value);
    return lines;
}

TEST(LoaderAllocationFailure, KeyAndLineFilesKeepEveryOtherEntry) {
    testing_support::TempDir dir;
    dir.write("keys.pcf", "a := 1\nb := \"two words\"\nc := 3 ; note\nd := \"x\" >\n \"y\"\n");
    dir.write("lines.CFG", "*A one\n*B two words\n# note\n*C\n");
    using Loader = ConfigNode* (*)(ConfigNode*, const char*, ConfigTag);
    const std::pair<Loader, const char*> loaders[] = {
        {pofreader::configLoadKeyFile, "keys.pcf"},
        {pofreader::configLoadLineFile, "lines.CFG"},
    };
    for (const auto& [load, path] : loaders) {
        SCOPED_TRACE(path);
        ConfigNode* cleanList = nullptr;
        long count = 0;
        {
            FailingAllocation counting(0);
            cleanList = load(nullptr, path, PFR_TAG_CALL);
            count = counting.made();
        }
        const std::vector<std::string> clean = entries(cleanList);
        pofreader::configFree(cleanList);
        ASSERT_GE(clean.size(), 3u);
        long lost = 0;
        for (long n = 1; n <= count; ++n) {
            FailingAllocation failing(n);
            ConfigNode* list = load(nullptr, path, PFR_TAG_CALL);
            EXPECT_GE(failing.made(), n);
            const std::vector<std::string> faulted = entries(list);
            // An entry whose copy fails is lost; the key-file loader's lookup
            // table failing loses none (the merges walk the list instead).
            EXPECT_LE(faulted.size(), clean.size()) << n;
            EXPECT_TRUE(reliability::isSubsequence(faulted, clean)) << n;
            lost += faulted.size() < clean.size() ? 1 : 0;
            pofreader::configFree(list);
        }
        EXPECT_GE(lost, count - 1);
    }
}

}  // namespace

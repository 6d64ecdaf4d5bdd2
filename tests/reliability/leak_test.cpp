// Leaks: after a run everything per-run has been released. Each end-to-end
// job runs through the loaded library. Under AddressSanitizer LeakSanitizer
// looks for unreachable blocks right after the runs (and again at exit);
// elsewhere this binary counts the blocks in use itself, by standing in for
// the C library's allocation functions, and the count must not grow. Files
// opened by a run must be closed by its end.
#include <gtest/gtest.h>

#include <dirent.h>

#include <string>
#include <vector>

#include "reliability/scenarios.h"
#include "support/loaded_cycle.h"

#if defined(__SANITIZE_ADDRESS__)
#define RELIABILITY_WITH_LSAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RELIABILITY_WITH_LSAN 1
#endif
#endif

#ifdef RELIABILITY_WITH_LSAN
#include <sanitizer/lsan_interface.h>
#endif

#ifndef RELIABILITY_WITH_LSAN
// Blocks in use, counted by the stand-ins below; the library's calls reach
// them too, since the executable's definitions come first.
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);

static long blocksInUse = 0;

void* malloc(size_t size) {
    void* block = __libc_malloc(size);
    if (block != nullptr) ++blocksInUse;
    return block;
}
void* calloc(size_t count, size_t size) {
    void* block = __libc_calloc(count, size);
    if (block != nullptr) ++blocksInUse;
    return block;
}
void* realloc(void* old, size_t size) {
    void* block = __libc_realloc(old, size);
    if (old == nullptr && block != nullptr) ++blocksInUse;
    return block;
}
void free(void* block) {
    if (block != nullptr) --blocksInUse;
    __libc_free(block);
}
}
#endif

namespace {

int runThroughLibrary(const std::vector<std::string>& arguments) {
    testing_support::RecordingHost host;
    return testing_support::revisionLibrary().run(arguments, host.callbacks());
}

// Open file descriptors of the process: every file a run opens it closes.
int openDescriptors() {
    int count = 0;
    if (DIR* fds = opendir("/proc/self/fd")) {
        while (readdir(fds) != nullptr) ++count;
        closedir(fds);
    }
    return count;
}

class Leaks : public testing::TestWithParam<reliability::Scenario> {};

TEST_P(Leaks, RepeatedRunsLeaveTheHeapAsTheyFoundIt) {
    const testing_support::LoadedCycle& library = testing_support::revisionLibrary();
    ASSERT_TRUE(library.loaded()) << library.error();
    testing_support::TempDir dir;
    reliability::writeJobFiles(dir);
    const std::vector<std::string>& arguments = GetParam().arguments;

    // The first run settles what stays for the process (stream buffers, the
    // locale): not per-run, not counted.
    ASSERT_EQ(runThroughLibrary(arguments), 1);
    const int descriptors = openDescriptors();
#ifdef RELIABILITY_WITH_LSAN
    for (int i = 0; i < 3; ++i) ASSERT_EQ(runThroughLibrary(arguments), 1);
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "LeakSanitizer found leaks: see above";
#else
    const long before = blocksInUse;
    for (int i = 0; i < 5; ++i) ASSERT_EQ(runThroughLibrary(arguments), 1);
    EXPECT_EQ(blocksInUse, before) << "blocks in use grew over five runs";
#endif
    EXPECT_EQ(openDescriptors(), descriptors) << "files left open";
}

INSTANTIATE_TEST_SUITE_P(Jobs, Leaks, testing::ValuesIn(reliability::scenarios()),
                         [](const testing::TestParamInfo<reliability::Scenario>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c != '\0'; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

}  // namespace

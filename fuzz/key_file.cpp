// The key-file lexer over any bytes, driven the way the loader drives it:
// every pair it hands over has a non-empty name within the bound, the lexer
// ends, and merging the pairs into a list leaks nothing.
#include <cstdio>
#include <cstring>

#include "common/common.h"
#include "common/limits.h"
#include "config/config.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;  // fmemopen refuses an empty buffer
    // A NUL byte read into a name hides the rest of it from strlen.
    const bool hasNul = std::memchr(data, '\0', size) != nullptr;
    std::FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    FUZZ_CHECK(stream != nullptr);

    ConfigNode* list = nullptr;
    pofreader::ConfigPair pair{nullptr, nullptr};
    size_t rounds = 0;
    for (;;) {
        // Each round consumes at least one byte, or the stream has ended.
        FUZZ_CHECK(++rounds <= size + 2);
        if (pofreader::keyFileNextPair(stream, &pair) == 1) {
            FUZZ_CHECK(pair.name != nullptr && (hasNul || pair.name[0] != '\0'));
            FUZZ_CHECK(pair.value != nullptr);
            FUZZ_CHECK(std::strlen(pair.name) <= pofreader::kKeyFileTokenMax);
            FUZZ_CHECK(std::strlen(pair.value) <= pofreader::kKeyFileTokenMax);
            list = pofreader::configMerge(list, &pair, PFR_TAG_CALL);
        } else {
            FUZZ_CHECK(pair.name == nullptr && pair.value == nullptr);
        }
        if (std::feof(stream) || std::ferror(stream)) break;
    }
    pofreader::memRelease(pair.name);
    pofreader::memRelease(pair.value);
    for (const ConfigNode* node = list; node != nullptr; node = node->next) {
        FUZZ_CHECK(node->name != nullptr && node->value != nullptr);
        FUZZ_CHECK(node->tag == PFR_TAG_CALL);
    }
    pofreader::configFree(list);
    std::fclose(stream);
    return 0;
}

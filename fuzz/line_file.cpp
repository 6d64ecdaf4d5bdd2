// The line-file reader over any bytes: every entry fits its bounds, values
// carry no trailing spaces, and the reader always comes to an end.
#include <cstdio>
#include <cstring>

#include "common/limits.h"
#include "config/config.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;  // fmemopen refuses an empty buffer
    const bool hasNul = std::memchr(data, '\0', size) != nullptr;
    std::FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    FUZZ_CHECK(stream != nullptr);

    size_t entries = 0;
    const char* name = nullptr;
    const char* value = nullptr;
    while (pofreader::lineFileNextEntry(stream, &name, &value) == 1) {
        // Every entry takes at least one byte of its own.
        FUZZ_CHECK(++entries <= size);
        FUZZ_CHECK(name != nullptr && value != nullptr);
        FUZZ_CHECK(std::strlen(name) <= pofreader::kLineNameSize - 1);
        const size_t valueLength = std::strlen(value);
        FUZZ_CHECK(valueLength <= pofreader::kLineValueSize - 1);
        // A NUL byte read into a text hides the rest of it from strlen.
        if (!hasNul) {
            FUZZ_CHECK(name[0] != '\0');
            FUZZ_CHECK(valueLength == 0 || value[valueLength - 1] != ' ');
            FUZZ_CHECK(value[0] != ' ' && value[0] != '\t');
            FUZZ_CHECK(std::strchr(value, '\t') == nullptr);
            FUZZ_CHECK(std::strpbrk(name, " \t\r\n#") == nullptr);
        }
    }
    std::fclose(stream);
    return 0;
}

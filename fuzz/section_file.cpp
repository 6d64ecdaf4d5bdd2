// Section files over any bytes: open, read every entry into buffers of many
// sizes, check, close. Entries are terminated within their buffers, a handle
// stops reading once a read reports nothing, and the four slots are always
// free again afterwards.
#include <cstring>
#include <string>

#include "common/limits.h"
#include "config/config.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Byte 0: the entry buffer's size (0: the size the check uses). Then the
    // requested language up to the first line feed (none when that line is
    // empty), then the file.
    if (size < 1) return 0;
    const size_t bufferSize = data[0] == 0 ? pofreader::kSectionEntrySize : data[0];
    const uint8_t* rest = data + 1;
    size_t restSize = size - 1;
    const uint8_t* lineEnd = static_cast<const uint8_t*>(std::memchr(rest, '\n', restSize));
    std::string language;
    if (lineEnd != nullptr) {
        language.assign(reinterpret_cast<const char*>(rest), lineEnd - rest);
        restSize -= (lineEnd - rest) + 1;
        rest = lineEnd + 1;
    }
    const char* requested = language.empty() ? nullptr : language.c_str();
    const std::string& path = fuzz_support::writeScratchFile("sections.txt", rest, restSize);

    const int handle = pofreader::sectionFileOpen(path.c_str(), requested);
    FUZZ_CHECK(handle >= pofreader::kSectionFirstHandle &&
               handle < pofreader::kSectionFirstHandle + pofreader::kSectionSlots);
    char* buffer = new char[bufferSize];
    size_t reads = 0;
    int first = -1;
    for (;;) {
        std::memset(buffer, 'B', bufferSize);
        const int read = pofreader::sectionFileNext(handle, buffer, bufferSize);
        FUZZ_CHECK(read == 0 || read == 1);
        FUZZ_CHECK(fuzz_support::terminatedWithin(buffer, bufferSize));
        if (first < 0) first = read;
        if (read == 0) break;
        // Every entry takes a line of its own.
        FUZZ_CHECK(++reads <= restSize);
    }
    // Once a read reported nothing, the handle reads nothing more.
    std::memset(buffer, 'B', bufferSize);
    FUZZ_CHECK(pofreader::sectionFileNext(handle, buffer, bufferSize) == 0);
    FUZZ_CHECK(buffer[0] == '\0');
    delete[] buffer;

    // The check sees what the first read saw, and opening more files than
    // there are slots is refused while this one is open. The other slots
    // take an empty file: scanning the input once more per slot finds
    // nothing the check has not, at three times the cost.
    FUZZ_CHECK(pofreader::sectionFileCheck(path.c_str(), requested) == first);
    static const std::string& empty = fuzz_support::writeScratchFile("empty.txt", nullptr, 0);
    int extra[pofreader::kSectionSlots];
    for (int i = 0; i < pofreader::kSectionSlots - 1; ++i) {
        extra[i] = pofreader::sectionFileOpen(empty.c_str(), requested);
        FUZZ_CHECK(extra[i] >= pofreader::kSectionFirstHandle);
    }
    FUZZ_CHECK(pofreader::sectionFileOpen(path.c_str(), requested) == -1);
    for (int i = 0; i < pofreader::kSectionSlots - 1; ++i) pofreader::sectionFileClose(extra[i]);
    pofreader::sectionFileClose(handle);
    pofreader::sectionFileClose(handle);  // a second close is ignored
    return 0;
}

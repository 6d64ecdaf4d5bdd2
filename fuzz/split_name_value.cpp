// splitNameValue over any payload and any buffer sizes: nothing is written
// outside the buffers, and a success leaves a terminated, non-empty name and
// a terminated value.
#include <cstring>

#include "common/limits.h"
#include "frame/frame.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Two leading bytes choose the buffer sizes; 0 picks the size the record
    // handlers use.
    if (size < 2) return 0;
    const size_t nameSize = data[0] == 0 ? pofreader::kSplitNameSize : data[0];
    const size_t valueSize = data[1] == 0 ? pofreader::kSplitValueSize : 1 + data[1] * 3u;
    char* payload = fuzz_support::terminatedCopy(data + 2, size - 2);
    char* name = new char[nameSize];
    char* value = new char[valueSize];
    std::memset(name, 'N', nameSize);
    std::memset(value, 'V', valueSize);

    const int split = pofreader::splitNameValue(payload, name, nameSize, value, valueSize);
    FUZZ_CHECK(split == 0 || split == 1);
    if (split == 1) {
        FUZZ_CHECK(fuzz_support::terminatedWithin(name, nameSize));
        FUZZ_CHECK(fuzz_support::terminatedWithin(value, valueSize));
        // A name is found only before an opening parenthesis.
        FUZZ_CHECK(std::strchr(payload, '(') != nullptr);
        if (nameSize > 1) FUZZ_CHECK(name[0] != '\0');
    }
    delete[] value;
    delete[] name;
    delete[] payload;
    return 0;
}

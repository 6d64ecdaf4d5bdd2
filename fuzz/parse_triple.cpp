// parseTriple over any text: a count from 0 to 3, and the places behind the
// count left exactly as they were.
#include <cstring>

#include "config/config.h"
#include "fuzz_support.h"

namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* text = fuzz_support::terminatedCopy(data, size);
    const double sentinel = -7.25e300;
    double places[3] = {sentinel, sentinel, sentinel};
    const int found = pofreader::parseTriple(text, &places[0], &places[1], &places[2]);
    FUZZ_CHECK(found >= 0 && found <= 3);
    for (int i = found; i < 3; ++i) FUZZ_CHECK(sameBits(places[i], sentinel));
    delete[] text;
    return 0;
}

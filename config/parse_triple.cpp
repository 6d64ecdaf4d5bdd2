// Up to three numbers from a configuration value such as "1 2 3",
// "1,2,3" or "x=1;y=2;z=3".
//
// A numeric run is converted from its first kTripleRunMax characters; the
// rest of a longer run is passed over, and the next number starts behind it.
#include <clocale>
#include <cstdlib>
#include <cstring>

#include "common/limits.h"
#include "config/config.h"

namespace pofreader {

namespace {

bool isNumberChar(char c) { return c != '\0' && std::strchr("+-.0123456789eE", c) != nullptr; }

// The decimal point that strtod expects under the current numeric locale
// (localeconv always names one).
char localeDecimalPoint() { return std::localeconv()->decimal_point[0]; }

}  // namespace

int parseTriple(const char* text, double* first, double* second, double* third) {
    if (text == nullptr) return 0;
    const char decimalPoint = localeDecimalPoint();
    double* const places[3] = {first, second, third};
    const char* p = text;
    for (int found = 0; found < 3; ++found) {
        while (*p != '\0' && std::strchr("+-.0123456789", *p) == nullptr) ++p;
        if (*p == '\0') return found;

        char run[kTripleRunMax + 1];
        std::size_t length = 0;
        for (; isNumberChar(*p); ++p) {
            if (length < kTripleRunMax) run[length++] = *p == '.' ? decimalPoint : *p;
        }
        run[length] = '\0';
        const double number = std::strtod(run, nullptr);
        *places[found] = number;
    }
    return 3;
}

}  // namespace pofreader

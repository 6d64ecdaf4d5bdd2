// Whether the tests run under AddressSanitizer: its allocator copies on every
// resize, keeps no block for reuse and stops the process on a request no
// machine could meet, where the C library answers null.
#pragma once

namespace testing_support {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

}  // namespace testing_support

// Whether the tests run under AddressSanitizer, which reserves terabytes of address space:
// a test that limits the address space (`ulimit -v`) cannot run then.
#ifndef LANZHOU_TESTS_SUPPORT_SANITIZERS_H_
#define LANZHOU_TESTS_SUPPORT_SANITIZERS_H_

namespace lanzhou {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

}  // namespace lanzhou

#endif  // LANZHOU_TESTS_SUPPORT_SANITIZERS_H_

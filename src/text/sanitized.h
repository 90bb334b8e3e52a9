#pragma once
// Whether this build runs under AddressSanitizer: its programs reserve terabytes of
// address space for themselves, so no address-space limit can be set on them, and they
// report on standard error, which must then be kept.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

#pragma once

// Whether this build runs under AddressSanitizer: GCC says so with a macro,
// Clang with __has_feature. Code that works differently under it (memory
// limits, allocators of its own, time allowed) asks VIDLUME_ASAN or
// builtWithSanitizer(), never the compilers' own spellings.
#if defined(__SANITIZE_ADDRESS__)
#define VIDLUME_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VIDLUME_ASAN 1
#endif
#endif

namespace vidlume::platform {

/// True in a build with AddressSanitizer: its programs run several times
/// slower, and reserve too much address space for a memory limit.
constexpr bool builtWithSanitizer()
{
#ifdef VIDLUME_ASAN
    return true;
#else
    return false;
#endif
}

} // namespace vidlume::platform

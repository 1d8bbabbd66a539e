#pragma once
// Helpers of the row loops that the compiler vectorises.

#include <cstdint>

// Row loops that pay for wider vectors are compiled twice on x86-64, for AVX2
// and for plain x86-64; the loader picks the first the processor supports.
// Only with GCC: clang 14 leaves some of the versions unbuilt or unlinked, and
// its builds (the fuzz targets) get the plain versions alone.
#if defined(__x86_64__) && !defined(__clang__)
#define KAVRO_MULTIVERSIONED 1
#else
#define KAVRO_MULTIVERSIONED 0
#endif

#if KAVRO_MULTIVERSIONED
#define KAVRO_WITH_AVX2 __attribute__((target_clones("avx2", "default")))
#else
#define KAVRO_WITH_AVX2
#endif

// Loops written with AVX2 intrinsics: a function marked KAVRO_AVX2_VERSION has a
// namesake marked KAVRO_DEFAULT_VERSION, and the loader picks between them the
// same way. Helpers the AVX2 version calls carry KAVRO_AVX2_VERSION as well.
#if KAVRO_MULTIVERSIONED
#define KAVRO_HAS_AVX2_VERSIONS 1
#define KAVRO_AVX2_VERSION __attribute__((target("avx2")))
#define KAVRO_DEFAULT_VERSION __attribute__((target("default")))
#else
#define KAVRO_HAS_AVX2_VERSIONS 0
#define KAVRO_DEFAULT_VERSION
#endif

// condition ? ifTrue : ifFalse through bit masks. Written as a branch, the compiler
// may split the loop body around it and no longer vectorise the loop.
inline std::int32_t pick(bool condition, std::int32_t ifTrue, std::int32_t ifFalse) {
    const std::int32_t mask = -static_cast<std::int32_t>(condition);
    return (ifTrue & mask) | (ifFalse & ~mask);
}

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

namespace kavro {

// Loops written with AVX2 intrinsics are kernels of their own, in the *_avx2.cpp
// files, chosen at run time (kernel_set.h).

// condition ? ifTrue : ifFalse through bit masks. Written as a branch, the compiler
// may split the loop body around it and no longer vectorise the loop.
inline std::int32_t pick(bool condition, std::int32_t ifTrue, std::int32_t ifFalse) {
    const std::int32_t mask = -static_cast<std::int32_t>(condition);
    return (ifTrue & mask) | (ifFalse & ~mask);
}

} // namespace kavro

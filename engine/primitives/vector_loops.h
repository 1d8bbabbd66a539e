#pragma once
// Helpers of the row loops that the compiler vectorises.

#include <cstdint>

// Row loops that pay for wider vectors are compiled twice on x86-64, for AVX2
// and for plain x86-64; the loader picks the first the processor supports.
#if defined(__x86_64__)
#define KAVRO_WITH_AVX2 __attribute__((target_clones("avx2", "default")))
#else
#define KAVRO_WITH_AVX2
#endif

// condition ? ifTrue : ifFalse through bit masks. Written as a branch, the compiler
// may split the loop body around it and no longer vectorise the loop.
inline std::int32_t pick(bool condition, std::int32_t ifTrue, std::int32_t ifFalse) {
    const std::int32_t mask = -static_cast<std::int32_t>(condition);
    return (ifTrue & mask) | (ifFalse & ~mask);
}

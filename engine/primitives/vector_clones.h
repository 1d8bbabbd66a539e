#pragma once
// Row loops that pay for wider vectors are compiled twice on x86-64, for AVX2
// and for plain x86-64; the loader picks the first the processor supports.

#if defined(__x86_64__)
#define KAVRO_WITH_AVX2 __attribute__((target_clones("avx2", "default")))
#else
#define KAVRO_WITH_AVX2
#endif

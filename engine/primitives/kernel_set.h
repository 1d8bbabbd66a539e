#pragma once
// Which hand-written kernels the engine runs. A few inner loops come twice: a
// plain version and one written with AVX2 intrinsics (in the *_avx2.cpp files,
// the only ones built for AVX2). Both give the same bytes; the AVX2 ones are
// faster. They are chosen once, at the first use: AVX2 where the build has the
// kernels and the processor runs them, unless KAVRO_KERNELS=plain is set in the
// environment. Tests flip the choice with useKernelSet.

namespace kavro {

enum class KernelSet { plain, avx2 };

// True when the build has the AVX2 kernels and this processor can run them.
bool avx2KernelsAvailable();

// The set in force.
KernelSet kernelSet();

// Asks for `wanted` and returns the set now in force: the plain kernels are
// always available, the AVX2 ones only where avx2KernelsAvailable(). Meant for
// tests and benchmarks; call it while no recognition runs on another thread.
KernelSet useKernelSet(KernelSet wanted);

// The kernel `name`Avx2 or `name`Plain, whichever the set in force names.
#if KAVRO_AVX2_KERNELS
#define KAVRO_KERNEL(name) (kernelSet() == KernelSet::avx2 ? name##Avx2 : name##Plain)
#else
#define KAVRO_KERNEL(name) name##Plain
#endif

} // namespace kavro

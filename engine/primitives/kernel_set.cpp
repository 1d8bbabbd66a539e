#include "engine/primitives/kernel_set.h"

#include <atomic>
#include <cstdlib>
#include <string_view>

namespace kavro {

namespace {

constexpr const char* choiceVariable = "KAVRO_KERNELS";
constexpr std::string_view plainChoice = "plain";

bool processorRunsAvx2() {
#if KAVRO_AVX2_KERNELS
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

bool plainRequested() {
    const char* choice = std::getenv(choiceVariable);
    return choice != nullptr && std::string_view(choice) == plainChoice;
}

KernelSet initialSet() {
    return avx2KernelsAvailable() && !plainRequested() ? KernelSet::avx2 : KernelSet::plain;
}

std::atomic<KernelSet>& setInForce() {
    static std::atomic<KernelSet> set{initialSet()};
    return set;
}

} // namespace

bool avx2KernelsAvailable() {
    static const bool available = processorRunsAvx2();
    return available;
}

KernelSet kernelSet() {
    return setInForce().load(std::memory_order_relaxed);
}

KernelSet useKernelSet(KernelSet wanted) {
    const KernelSet granted =
        wanted == KernelSet::avx2 && !avx2KernelsAvailable() ? KernelSet::plain : wanted;
    setInForce().store(granted, std::memory_order_relaxed);
    return granted;
}

} // namespace kavro

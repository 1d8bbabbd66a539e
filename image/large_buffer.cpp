#include "image/large_buffer.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kavro {

namespace {

constexpr std::size_t hugePageBytes = std::size_t{2} << 20;
constexpr std::size_t smallestAdvised = 2 * hugePageBytes;

} // namespace

void adviseHugePages(void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (data == nullptr || bytes < smallestAdvised) {
        return;
    }
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + hugePageBytes - 1) & ~(hugePageBytes - 1);
    const std::uintptr_t end = (start + bytes) & ~(hugePageBytes - 1);
    if (first < end) {
        // Advice only: a kernel without transparent huge pages refuses it, which is fine.
        static_cast<void>(madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE));
    }
#else
    static_cast<void>(data);
    static_cast<void>(bytes);
#endif
}

} // namespace kavro

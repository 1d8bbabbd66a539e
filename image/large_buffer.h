#pragma once
// Buffers of picture size. Each new picture gets fresh buffers, and on a large
// picture filling them is mostly the kernel mapping in pages one at a time;
// such buffers ask for huge pages, which map in 512 times fewer steps.

#include <cstddef>
#include <memory>

namespace kavro {

// Asks the kernel to back the whole 2 MB pages inside [data, data + bytes) with huge
// pages, for buffers of 4 MB or more; nothing happens where that is not available.
void adviseHugePages(void* data, std::size_t bytes);

// `count` values, left uninitialised, with huge pages advised.
template <typename T>
std::unique_ptr<T[]> allocateLarge(std::size_t count) {
    auto buffer = std::make_unique_for_overwrite<T[]>(count);
    adviseHugePages(buffer.get(), count * sizeof(T));
    return buffer;
}

} // namespace kavro

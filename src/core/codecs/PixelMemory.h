#pragma once

// Memory for pictures and their intermediates: not cleared, and large blocks
// aligned for huge pages, which the system is asked to use for them.

#include <cstddef>
#include <cstdlib>
#include <memory>

namespace quillet {

struct FreePixelMemory {
  void operator()(void* memory) const noexcept { std::free(memory); }
};

// `bytes` of memory, not cleared; throws std::bad_alloc. Freed with free().
void* AllocatePixelMemory(std::size_t bytes);

template <typename T>
using PixelBuffer = std::unique_ptr<T[], FreePixelMemory>;

template <typename T>
PixelBuffer<T> MakePixelBuffer(std::size_t count) {
  return PixelBuffer<T>(static_cast<T*>(AllocatePixelMemory(count * sizeof(T))));
}

}  // namespace quillet

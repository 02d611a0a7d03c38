#include "core/codecs/Bitmap.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

#include "core/codecs/PixelMemory.h"

namespace quillet {

namespace {

// Blocks of this size and more are aligned to the 2 MiB of a huge page and
// ask for huge pages: a 48-megapixel picture then costs some seventy page
// faults instead of thirty-five thousand. Memory is still taken only where
// the block is written.
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kLargeBlock = 4 * kHugePage;

}  // namespace

void* AllocatePixelMemory(std::size_t bytes) {
  void* memory = nullptr;
  if (bytes >= kLargeBlock) {
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    memory = std::aligned_alloc(kHugePage, rounded);
#ifdef MADV_HUGEPAGE
    if (memory) ::madvise(memory, rounded, MADV_HUGEPAGE);
#endif
  } else {
    memory = std::malloc(bytes > 0 ? bytes : 1);
  }
  if (!memory) throw std::bad_alloc();
  return memory;
}

void Bitmap::FreePixels::operator()(std::uint8_t* pixels) const noexcept {
  std::free(pixels);
}

Bitmap::Bitmap(int width, int height, Unset) {
  if (width < 0 || height < 0) throw std::invalid_argument("negative bitmap size");
  width_ = width;
  height_ = height;
  size_ = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
  // Default-initialised: the bytes are left as the allocator gives them, and
  // a large allocation's pages are not touched here.
  if (size_ > 0) pixels_.reset(static_cast<std::uint8_t*>(AllocatePixelMemory(size_)));
}

Bitmap::Bitmap(int width, int height, Color fill) : Bitmap(width, height, Unset{}) {
  Fill(fill);
}

Bitmap Bitmap::Uninitialized(int width, int height) {
  return Bitmap(width, height, Unset{});
}

Bitmap::Bitmap(const Bitmap& other) : Bitmap(other.width_, other.height_, Unset{}) {
  if (size_ > 0) std::memcpy(pixels_.get(), other.pixels_.get(), size_);
}

Bitmap& Bitmap::operator=(const Bitmap& other) {
  if (this == &other) return *this;
  if (size_ != other.size_) {
    Bitmap copy(other);
    return *this = std::move(copy);
  }
  width_ = other.width_;
  height_ = other.height_;
  if (size_ > 0) std::memcpy(pixels_.get(), other.pixels_.get(), size_);
  return *this;
}

Bitmap::Bitmap(Bitmap&& other) noexcept
    : width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      size_(std::exchange(other.size_, 0)),
      pixels_(std::move(other.pixels_)) {}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
  width_ = std::exchange(other.width_, 0);
  height_ = std::exchange(other.height_, 0);
  size_ = std::exchange(other.size_, 0);
  pixels_ = std::move(other.pixels_);
  return *this;
}

bool Bitmap::operator==(const Bitmap& other) const {
  return width_ == other.width_ && height_ == other.height_ &&
         (size_ == 0 || std::memcmp(pixels_.get(), other.pixels_.get(), size_) == 0);
}

Color Bitmap::Pixel(int x, int y) const {
  const std::uint8_t* p = Row(y) + static_cast<std::size_t>(x) * 3;
  return MakeColor(p[0], p[1], p[2]);
}

void Bitmap::SetPixel(int x, int y, Color color) {
  std::uint8_t* p = Row(y) + static_cast<std::size_t>(x) * 3;
  p[0] = RedOf(color);
  p[1] = GreenOf(color);
  p[2] = BlueOf(color);
}

void Bitmap::Fill(Color color) {
  FillRect(Rect{0, 0, width_, height_}, color);
}

void Bitmap::FillRect(const Rect& rect, Color color) {
  int left = std::max(rect.left, 0), right = std::min(rect.right, width_);
  int top = std::max(rect.top, 0), bottom = std::min(rect.bottom, height_);
  if (left >= right || top >= bottom) return;
  const std::uint8_t r = RedOf(color), g = GreenOf(color), b = BlueOf(color);
  const std::size_t offset = static_cast<std::size_t>(left) * 3;
  const std::size_t bytes = static_cast<std::size_t>(right - left) * 3;
  if (r == g && g == b) {
    for (int y = top; y < bottom; ++y)
      std::memset(Row(y) + offset, r, bytes);
    return;
  }
  // The first row pixel by pixel, the others copied from it.
  std::uint8_t* first = Row(top) + offset;
  for (std::size_t i = 0; i < bytes; i += 3) {
    first[i] = r;
    first[i + 1] = g;
    first[i + 2] = b;
  }
  for (int y = top + 1; y < bottom; ++y)
    std::memcpy(Row(y) + offset, first, bytes);
}

}  // namespace quillet

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quillet {

// Left, top, right, bottom; right and bottom exclusive.
struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  std::int32_t Width() const { return right - left; }
  std::int32_t Height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

// A colour as a number: 0x00BBGGRR, red in the low byte.
using Color = std::uint32_t;
inline constexpr std::uint8_t RedOf(Color c) {
  return static_cast<std::uint8_t>(c & 0xFF);
}
inline constexpr std::uint8_t GreenOf(Color c) {
  return static_cast<std::uint8_t>((c >> 8) & 0xFF);
}
inline constexpr std::uint8_t BlueOf(Color c) {
  return static_cast<std::uint8_t>((c >> 16) & 0xFF);
}
inline constexpr Color MakeColor(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return static_cast<Color>(r) | (static_cast<Color>(g) << 8) | (static_cast<Color>(b) << 16);
}
inline constexpr Color kWhite = 0xFFFFFF;

// The one picture type of the program: 8-bit RGB, three bytes a pixel in the
// order R, G, B, rows top-down and packed (stride = width * 3). A QImage of
// Format_RGB888 can view the buffer without a copy.
class Bitmap {
 public:
  Bitmap() = default;
  // A width × height picture filled with `fill`.
  Bitmap(int width, int height, Color fill = kWhite);
  // A width × height picture whose pixels are not set: for a decoder that
  // writes every pixel. Pages of a large picture take memory only once they
  // are written, so a file that turns out damaged halfway has cost only the
  // rows read before.
  static Bitmap Uninitialized(int width, int height);

  Bitmap(const Bitmap& other);
  Bitmap& operator=(const Bitmap& other);
  Bitmap(Bitmap&& other) noexcept;
  Bitmap& operator=(Bitmap&& other) noexcept;
  ~Bitmap() = default;

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }
  std::size_t Stride() const { return static_cast<std::size_t>(width_) * 3; }

  std::uint8_t* Row(int y) { return pixels_.get() + static_cast<std::size_t>(y) * Stride(); }
  const std::uint8_t* Row(int y) const {
    return pixels_.get() + static_cast<std::size_t>(y) * Stride();
  }
  std::uint8_t* Data() { return pixels_.get(); }
  const std::uint8_t* Data() const { return pixels_.get(); }
  std::size_t SizeInBytes() const { return size_; }

  Color Pixel(int x, int y) const;
  void SetPixel(int x, int y, Color color);
  void Fill(Color color);
  // Fills the part of `rect` that lies inside the picture.
  void FillRect(const Rect& rect, Color color);

  bool operator==(const Bitmap& other) const;

 private:
  struct Unset {};
  Bitmap(int width, int height, Unset);

  int width_ = 0;
  int height_ = 0;
  std::size_t size_ = 0;
  struct FreePixels {
    void operator()(std::uint8_t* pixels) const noexcept;
  };
  std::unique_ptr<std::uint8_t[], FreePixels> pixels_;
};

}  // namespace quillet

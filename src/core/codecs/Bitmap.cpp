#include "core/codecs/Bitmap.h"

#include <algorithm>
#include <stdexcept>

namespace quillet {

Bitmap::Bitmap(int width, int height, Color fill) {
  if (width < 0 || height < 0) throw std::invalid_argument("negative bitmap size");
  width_ = width;
  height_ = height;
  pixels_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  Fill(fill);
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

void Bitmap::Fill(Color color) { FillRect(Rect{0, 0, width_, height_}, color); }

void Bitmap::FillRect(const Rect& rect, Color color) {
  int left = std::max(rect.left, 0), right = std::min(rect.right, width_);
  int top = std::max(rect.top, 0), bottom = std::min(rect.bottom, height_);
  if (left >= right || top >= bottom) return;
  const std::uint8_t rgb[3] = {RedOf(color), GreenOf(color), BlueOf(color)};
  for (int y = top; y < bottom; ++y) {
    std::uint8_t* p = Row(y) + static_cast<std::size_t>(left) * 3;
    for (int x = left; x < right; ++x, p += 3) std::copy(rgb, rgb + 3, p);
  }
}

}  // namespace quillet

#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "core/codecs/Bitmap.h"

namespace quillet::testing {

// Each channel the rounded mean of its 3 x 3 neighbourhood (less at the
// edges).
inline Bitmap BoxBlur3(const Bitmap& picture) {
  Bitmap blurred(picture.Width(), picture.Height());
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) {
      for (int c = 0; c < 3; ++c) {
        int sum = 0, count = 0;
        for (int yy = std::max(0, y - 1); yy <= std::min(picture.Height() - 1, y + 1); ++yy) {
          for (int xx = std::max(0, x - 1); xx <= std::min(picture.Width() - 1, x + 1); ++xx) {
            sum += picture.Row(yy)[xx * 3 + c];
            ++count;
          }
        }
        blurred.Row(y)[x * 3 + c] = static_cast<std::uint8_t>((sum + count / 2) / count);
      }
    }
  }
  return blurred;
}

// Peak signal-to-noise ratio of two pictures of one size, in dB.
inline double Psnr(const Bitmap& a, const Bitmap& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.SizeInBytes(); ++i) {
    const double d = double(a.Data()[i]) - double(b.Data()[i]);
    sum += d * d;
  }
  const double mse = sum / double(a.SizeInBytes());
  return 10 * std::log10(255.0 * 255.0 / mse);
}

// PSNR after a light blur, which forgives the dithering pattern but not
// wrong colours.
inline double BlurredPsnr(const Bitmap& original, const Bitmap& reduced) {
  return Psnr(BoxBlur3(original), BoxBlur3(reduced));
}

}  // namespace quillet::testing

#pragma once

#include <cstdint>
#include <vector>

#include "core/codecs/Bitmap.h"

namespace quillet {

// A picture reduced to a palette: one palette index a pixel, rows top-down.
struct IndexedPicture {
  int width = 0;
  int height = 0;
  std::vector<Color> palette;  // at most 2^bits entries
  std::vector<std::uint8_t> indices;
};

// Octree colour quantisation to at most 2^bits colours (bits 1..8) with
// Floyd–Steinberg error diffusion.
IndexedPicture QuantizeOctree(const Bitmap& picture, int bits);

}  // namespace quillet

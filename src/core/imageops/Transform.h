#pragma once

#include <cstdint>

#include "core/codecs/Bitmap.h"

namespace quillet {

// The transforms of mirror and rotate; rotations are clockwise.
enum class PictureTransform : std::uint8_t {
  MirrorHorizontal,  // left and right exchanged
  MirrorVertical,    // top and bottom exchanged
  Rotate90,
  Rotate180,
  Rotate270,  // a quarter turn counter-clockwise
};

// A new picture with every pixel of `picture` moved by the transform; a
// quarter turn exchanges width and height.
Bitmap TransformPicture(const Bitmap& picture, PictureTransform transform);

}  // namespace quillet

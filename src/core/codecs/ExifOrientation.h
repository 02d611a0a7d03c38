#pragma once

// The EXIF orientation of a photo: how the stored picture is to be turned
// to be seen the way it was taken.

#include <cstdint>
#include <optional>
#include <span>

namespace quillet {

// The eight values of the EXIF Orientation tag (0x0112), named by what the
// stored picture needs to be seen upright.
enum class Orientation : std::uint8_t {
  Upright = 1,
  MirroredHorizontally = 2,
  Rotated180 = 3,
  MirroredVertically = 4,
  Transposed = 5,    // mirrored along the diagonal from the top left
  RotatedRight = 6,  // turned a quarter clockwise
  Transversed = 7,   // mirrored along the diagonal from the top right
  RotatedLeft = 8,   // turned a quarter anticlockwise
};

// Whether the picture's width and height trade places.
inline bool SwapsSides(Orientation orientation) {
  return static_cast<int>(orientation) >= static_cast<int>(Orientation::Transposed);
}

// The orientation in the payload of an APP1 segment ("Exif\0\0" and a TIFF
// structure in either byte order); nothing when the segment is not EXIF, has
// no orientation, or is damaged in any way that concerns it.
std::optional<Orientation> ExifOrientation(std::span<const std::uint8_t> app1);

}  // namespace quillet

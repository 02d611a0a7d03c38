#include "core/imageops/Transform.h"

#include <algorithm>

namespace quillet {
namespace {

bool SwapsSides(PictureTransform transform) {
  return transform == PictureTransform::Rotate90 || transform == PictureTransform::Rotate270;
}

// Where source pixel (x, y) of a width × height picture lands.
void TargetOf(PictureTransform transform, int width, int height, int x, int y, int& tx, int& ty) {
  switch (transform) {
    case PictureTransform::MirrorHorizontal:
      tx = width - 1 - x, ty = y;
      return;
    case PictureTransform::MirrorVertical:
      tx = x, ty = height - 1 - y;
      return;
    case PictureTransform::Rotate90:
      tx = height - 1 - y, ty = x;
      return;
    case PictureTransform::Rotate180:
      tx = width - 1 - x, ty = height - 1 - y;
      return;
    case PictureTransform::Rotate270:
      tx = y, ty = width - 1 - x;
      return;
  }
  tx = x, ty = y;
}

}  // namespace

Bitmap TransformPicture(const Bitmap& picture, PictureTransform transform) {
  const int width = picture.Width(), height = picture.Height();
  Bitmap result = SwapsSides(transform) ? Bitmap(height, width) : Bitmap(width, height);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* from = picture.Row(y);
    for (int x = 0; x < width; ++x, from += 3) {
      int tx = 0, ty = 0;
      TargetOf(transform, width, height, x, y, tx, ty);
      std::copy(from, from + 3, result.Row(ty) + static_cast<std::size_t>(tx) * 3);
    }
  }
  return result;
}

}  // namespace quillet

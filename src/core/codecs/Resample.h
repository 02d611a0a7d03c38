#pragma once

#include "core/codecs/Bitmap.h"

namespace quillet {

// Scales the `sourceRect` part of `source` into the `destRect` part of
// `target` with a two-pass separable Mitchell–Netravali filter (B = C = 1/3,
// support 2.0, widened by the reduction factor when reducing), at every
// ratio. Parts of either rectangle outside their picture are clipped away;
// an empty rectangle does nothing.
void ResampleRect(const Bitmap& source, const Rect& sourceRect, Bitmap& target,
                  const Rect& destRect);

}  // namespace quillet

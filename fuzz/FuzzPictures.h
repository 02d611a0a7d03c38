#pragma once

// Shared by the picture fuzz targets: a lower size limit, so that a header
// announcing a huge picture is refused up front and every run stays quick.

#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "core/codecs/Codecs.h"

namespace quillet::fuzz {

inline constexpr std::int64_t kMaxFuzzPixels = std::int64_t{1} << 22;

// Runs `decode`; a PictureError is an expected outcome, anything else
// escapes and is reported by the fuzzer. Returns the picture, or an empty one.
template <typename Decode>
Bitmap DecodeOrEmpty(Decode decode, std::span<const std::uint8_t> bytes) {
  try {
    return decode(bytes, kMaxFuzzPixels);
  } catch (const PictureError&) {
    return Bitmap();
  }
}

// A lossless encoder must give back exactly the picture it was given.
template <typename Encode, typename Decode>
void CheckLosslessRoundTrip(const Bitmap& picture, Encode encode, Decode decode) {
  if (picture.Empty()) return;
  const std::vector<std::uint8_t> bytes = encode(picture);
  if (!(decode(bytes, kMaxFuzzPixels) == picture)) std::abort();
}

}  // namespace quillet::fuzz

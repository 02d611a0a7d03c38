// Feeds arbitrary bytes to the Windows bitmap reader; whatever it reads must
// survive the bitmap writer and reader unchanged.
#include <cstddef>
#include <cstdint>

#include "FuzzPictures.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto decode = [](auto bytes, std::int64_t limit) { return quillet::DecodeBmp(bytes, limit); };
  const quillet::Bitmap picture = quillet::fuzz::DecodeOrEmpty(decode, {data, size});
  quillet::fuzz::CheckLosslessRoundTrip(
      picture, [](const quillet::Bitmap& p) { return quillet::EncodeBmp(p); }, decode);
  return 0;
}

// Feeds arbitrary bytes to the PNG decoder; whatever it reads must survive
// the PNG encoder and decoder unchanged.
#include <cstddef>
#include <cstdint>

#include "FuzzPictures.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto decode = [](auto bytes, std::int64_t limit) { return quillet::DecodePng(bytes, limit); };
  const quillet::Bitmap picture = quillet::fuzz::DecodeOrEmpty(decode, {data, size});
  quillet::fuzz::CheckLosslessRoundTrip(
      picture, [](const quillet::Bitmap& p) { return quillet::EncodePng(p); }, decode);
  return 0;
}

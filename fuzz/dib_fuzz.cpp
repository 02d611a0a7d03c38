// Feeds arbitrary bytes to the packed-DIB painter, as a scanner might
// deliver them.
#include <cstddef>
#include <cstdint>

#include "FuzzPictures.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quillet::fuzz::DecodeOrEmpty(
      [](auto bytes, std::int64_t limit) { return quillet::PaintPackedDib(bytes, limit); },
      {data, size});
  return 0;
}

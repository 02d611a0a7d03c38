#include "core/codecs/ExifOrientation.h"

#include <cstring>

namespace quillet {
namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShortType = 3;
constexpr std::size_t kEntrySize = 12;

class TiffReader {
 public:
  TiffReader(std::span<const std::uint8_t> tiff, bool bigEndian)
      : tiff_(tiff), bigEndian_(bigEndian) {}

  bool Has(std::uint64_t offset, std::uint64_t count) const {
    return offset <= tiff_.size() && count <= tiff_.size() - offset;
  }
  std::uint16_t U16(std::size_t offset) const {
    const std::uint8_t* p = tiff_.data() + offset;
    return static_cast<std::uint16_t>(bigEndian_ ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0]);
  }
  std::uint32_t U32(std::size_t offset) const {
    const std::uint32_t high = U16(offset), low = U16(offset + 2);
    return bigEndian_ ? (high << 16) | low : (low << 16) | high;
  }

 private:
  std::span<const std::uint8_t> tiff_;
  bool bigEndian_;
};

}  // namespace

std::optional<Orientation> ExifOrientation(std::span<const std::uint8_t> app1) {
  static constexpr std::uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
  if (app1.size() < sizeof kExifHeader || std::memcmp(app1.data(), kExifHeader, 6) != 0)
    return std::nullopt;
  const std::span<const std::uint8_t> tiff = app1.subspan(sizeof kExifHeader);
  if (tiff.size() < 8) return std::nullopt;
  bool bigEndian = false;
  if (tiff[0] == 'M' && tiff[1] == 'M') {
    bigEndian = true;
  } else if (!(tiff[0] == 'I' && tiff[1] == 'I')) {
    return std::nullopt;
  }
  const TiffReader reader(tiff, bigEndian);
  if (reader.U16(2) != 42) return std::nullopt;
  // The first directory (IFD0) holds the orientation of the main picture.
  const std::uint64_t directory = reader.U32(4);
  if (!reader.Has(directory, 2)) return std::nullopt;
  const std::uint16_t entries = reader.U16(static_cast<std::size_t>(directory));
  const std::uint64_t first = directory + 2;
  if (!reader.Has(first, std::uint64_t{entries} * kEntrySize)) return std::nullopt;
  for (std::uint32_t i = 0; i < entries; ++i) {
    const auto at = static_cast<std::size_t>(first + std::uint64_t{i} * kEntrySize);
    if (reader.U16(at) != kOrientationTag) continue;
    if (reader.U16(at + 2) != kShortType || reader.U32(at + 4) != 1) return std::nullopt;
    const std::uint16_t value = reader.U16(at + 8);  // a short sits first in the value field
    if (value < 1 || value > 8) return std::nullopt;
    return static_cast<Orientation>(value);
  }
  return std::nullopt;
}

}  // namespace quillet

#pragma once

// The device-independent bitmap layout shared by BMP files and packed DIBs:
// the info header, the colour table and the pixel rows.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/codecs/Bitmap.h"

namespace quillet::dib {

inline constexpr std::uint32_t kBiRgb = 0;
inline constexpr std::uint32_t kBiRle8 = 1;
inline constexpr std::uint32_t kBiRle4 = 2;
inline constexpr std::uint32_t kBiBitfields = 3;
inline constexpr std::uint32_t kCoreHeaderSize = 12;

struct DibInfo {
  std::uint32_t headerSize = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;  // always positive; see topDown
  bool topDown = false;
  int bitCount = 0;
  std::uint32_t compression = kBiRgb;
  std::uint32_t colorsUsed = 0;
  // Colour masks of 16- and 32-bit pixels (red, green, blue).
  std::array<std::uint32_t, 3> masks{};
  // BI_BITFIELDS with a header too short to hold the masks: they follow it.
  bool masksFollowHeader = false;
  bool IsCore() const { return headerSize == kCoreHeaderSize; }
  std::size_t PaletteEntrySize() const { return IsCore() ? 3 : 4; }
};

// Little-endian readers; the caller has checked the bounds.
std::uint16_t ReadU16(const std::uint8_t* p);
std::uint32_t ReadU32(const std::uint8_t* p);

// Reads the info header at the start of `bytes` (which runs to the end of the
// data) and checks it: a known header, sizes above zero and at most
// `maxPixels` pixels, a depth and compression that go together. Masks that
// follow the header are read too. Throws PictureError.
DibInfo ParseDibInfo(std::span<const std::uint8_t> bytes, std::int64_t maxPixels);

// Where the colour table starts, counted from the start of the info header.
std::size_t PaletteOffset(const DibInfo& info);

// `count` table entries read from `table`; throws PictureError when it is
// too short.
std::vector<Color> ReadPalette(const DibInfo& info, std::span<const std::uint8_t> table,
                               std::size_t count);

// Decodes the pixel rows that start at `rows` (and run to the end of the
// data). An index outside the palette gives black; pixels that RLE data
// skips stay white. Throws PictureError when uncompressed rows do not fit.
Bitmap DecodeDibRows(const DibInfo& info, const std::vector<Color>& palette,
                     std::span<const std::uint8_t> rows);

}  // namespace quillet::dib

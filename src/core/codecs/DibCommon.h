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
// skips stay white. Throws PictureError when uncompressed rows do not fit, or
// when RLE data is too short to paint the picture it announces.
Bitmap DecodeDibRows(const DibInfo& info, const std::vector<Color>& palette,
                     std::span<const std::uint8_t> rows);

bool IsRle(const DibInfo& info);

// The layout of uncompressed rows: each starts `stride` bytes after the one
// before it and holds `rowBytes` bytes of pixels.
struct RowLayout {
  std::uint64_t stride = 0;
  std::uint64_t rowBytes = 0;
  // Bytes from the first row's start to the last row's end.
  std::uint64_t TotalBytes(std::int32_t height) const {
    return stride * (static_cast<std::uint64_t>(height) - 1) + rowBytes;
  }
};
RowLayout LayoutOf(const DibInfo& info);

// Turns one uncompressed row of the file into a row of the picture.
class RowDecoder {
 public:
  RowDecoder(const DibInfo& info, const std::vector<Color>& palette);
  void Decode(const std::uint8_t* in, std::uint8_t* out) const;
  // The picture row that the file's `index`-th row is.
  int PictureRow(int index) const { return topDown_ ? index : height_ - 1 - index; }

 private:
  struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t max = 0;
  };
  static Channel MakeChannel(std::uint32_t mask);
  static std::uint8_t Level(const Channel& channel, std::uint32_t pixel);

  const std::vector<Color>& palette_;
  int width_;
  int height_;
  int bitCount_;
  bool topDown_;
  Channel channels_[3];
};

}  // namespace quillet::dib

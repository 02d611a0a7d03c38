#include <algorithm>
#include <limits>

#include "core/codecs/Codecs.h"
#include "core/codecs/DibCommon.h"

namespace quillet {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;

// Palette entries a BMP file is expected to hold; colour tables beside
// 16-, 24- and 32-bit pixels are only hints and are skipped.
std::size_t ExpectedPaletteCount(const dib::DibInfo& info) {
  if (info.bitCount > 8) return 0;
  const std::size_t full = std::size_t{1} << info.bitCount;
  if (info.colorsUsed == 0) return full;
  return std::min<std::size_t>(info.colorsUsed, full);
}

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

}  // namespace

Bitmap DecodeBmp(std::span<const std::uint8_t> bytes, std::int64_t maxPixels) {
  if (bytes.size() < kFileHeaderSize + 4 || bytes[0] != 'B' || bytes[1] != 'M')
    throw PictureError("not a Windows bitmap");
  const dib::DibInfo info = dib::ParseDibInfo(bytes.subspan(kFileHeaderSize), maxPixels);
  const std::size_t paletteStart = kFileHeaderSize + dib::PaletteOffset(info);
  const std::uint32_t declaredOffset = dib::ReadU32(bytes.data() + 10);
  std::size_t rowsOffset = declaredOffset;
  std::size_t count = ExpectedPaletteCount(info);
  if (declaredOffset == 0) {
    // Some writers leave the offset out: the rows follow the table.
    rowsOffset = paletteStart + count * info.PaletteEntrySize();
  } else {
    if (declaredOffset < paletteStart || declaredOffset > bytes.size())
      throw PictureError("bitmap pixel offset lies outside the file");
    count = std::min(count, (declaredOffset - paletteStart) / info.PaletteEntrySize());
  }
  if (rowsOffset > bytes.size()) throw PictureError("bitmap colour table is cut short");
  const std::vector<Color> palette =
      dib::ReadPalette(info, bytes.subspan(paletteStart, rowsOffset - paletteStart), count);
  return dib::DecodeDibRows(info, palette, bytes.subspan(rowsOffset));
}

std::vector<std::uint8_t> EncodeBmp(const Bitmap& picture) {
  if (picture.Empty()) throw PictureError("cannot write an empty picture");
  const std::uint64_t stride = (static_cast<std::uint64_t>(picture.Width()) * 3 + 3) / 4 * 4;
  const std::uint64_t imageSize = stride * static_cast<std::uint64_t>(picture.Height());
  const std::uint64_t fileSize = kFileHeaderSize + kInfoHeaderSize + imageSize;
  if (fileSize > std::numeric_limits<std::uint32_t>::max())
    throw PictureError("picture is too large for a Windows bitmap");

  std::vector<std::uint8_t> out;
  out.reserve(static_cast<std::size_t>(fileSize));
  out.push_back('B');
  out.push_back('M');
  PutU32(out, static_cast<std::uint32_t>(fileSize));
  PutU32(out, 0);
  PutU32(out, kFileHeaderSize + kInfoHeaderSize);
  PutU32(out, kInfoHeaderSize);
  PutU32(out, static_cast<std::uint32_t>(picture.Width()));
  PutU32(out, static_cast<std::uint32_t>(picture.Height()));  // positive: bottom-up
  PutU16(out, 1);
  PutU16(out, 24);
  PutU32(out, dib::kBiRgb);
  PutU32(out, static_cast<std::uint32_t>(imageSize));
  PutU32(out, 2835);  // 72 dots per inch, in dots per metre
  PutU32(out, 2835);
  PutU32(out, 0);
  PutU32(out, 0);

  const std::size_t padding = static_cast<std::size_t>(stride) - picture.Stride();
  for (int y = picture.Height() - 1; y >= 0; --y) {
    const std::uint8_t* p = picture.Row(y);
    for (int x = 0; x < picture.Width(); ++x, p += 3) {
      out.push_back(p[2]);
      out.push_back(p[1]);
      out.push_back(p[0]);
    }
    out.insert(out.end(), padding, 0);
  }
  return out;
}

}  // namespace quillet

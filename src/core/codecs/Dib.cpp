#include <algorithm>
#include <bit>
#include <limits>

#include "core/codecs/Codecs.h"
#include "core/codecs/DibCommon.h"

namespace quillet::dib {
namespace {

// Headers longer than this are not bitmap headers of any known kind.
constexpr std::uint32_t kMaxHeaderSize = 4096;

bool KnownDepth(int bitCount) {
  return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
         bitCount == 32;
}

bool CompressionFitsDepth(std::uint32_t compression, int bitCount) {
  switch (compression) {
    case kBiRgb:
      return true;
    case kBiRle8:
      return bitCount == 8;
    case kBiRle4:
      return bitCount == 4;
    case kBiBitfields:
      return bitCount == 16 || bitCount == 32;
    default:
      return false;
  }
}

void ReadMasks(DibInfo& info, const std::uint8_t* p) {
  for (int i = 0; i < 3; ++i)
    info.masks[i] = ReadU32(p + 4 * i);
}

void SetDefaultMasks(DibInfo& info) {
  if (info.bitCount == 16) info.masks = {0x7C00, 0x03E0, 0x001F};
  if (info.bitCount == 32) info.masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
}

DibInfo ReadCoreHeader(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kCoreHeaderSize) throw PictureError("bitmap header is cut short");
  DibInfo info;
  info.headerSize = kCoreHeaderSize;
  info.width = ReadU16(bytes.data() + 4);
  info.height = ReadU16(bytes.data() + 6);
  info.bitCount = ReadU16(bytes.data() + 10);
  return info;
}

DibInfo ReadInfoHeader(std::span<const std::uint8_t> bytes, std::uint32_t headerSize) {
  if (bytes.size() < headerSize) throw PictureError("bitmap header is cut short");
  const std::uint8_t* p = bytes.data();
  DibInfo info;
  info.headerSize = headerSize;
  info.width = static_cast<std::int32_t>(ReadU32(p + 4));
  info.height = static_cast<std::int32_t>(ReadU32(p + 8));
  info.bitCount = ReadU16(p + 14);
  if (headerSize >= 20) info.compression = ReadU32(p + 16);
  if (headerSize >= 36) info.colorsUsed = ReadU32(p + 32);
  if (info.compression == kBiBitfields) {
    if (headerSize >= 52) {
      ReadMasks(info, p + 40);
    } else {
      if (bytes.size() < headerSize + 12u) throw PictureError("bitmap colour masks are missing");
      info.masksFollowHeader = true;
      ReadMasks(info, p + headerSize);
    }
  }
  return info;
}

void CheckSize(DibInfo& info, std::int64_t maxPixels) {
  if (info.width <= 0 || info.height == 0 || info.height == std::numeric_limits<int32_t>::min())
    throw PictureError("bitmap has no pixels");
  if (info.height < 0) {
    info.topDown = true;
    info.height = -info.height;
  }
  if (static_cast<std::int64_t>(info.width) * info.height > maxPixels)
    throw PictureError("bitmap is too large");
  bool rle = info.compression == kBiRle8 || info.compression == kBiRle4;
  if (rle && info.topDown) throw PictureError("compressed bitmap cannot be top-down");
}

// Brings a masked channel to 0..255, rounding.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint64_t max = 0;

  explicit Channel(std::uint32_t m) : mask(m) {
    if (mask == 0) return;
    shift = std::countr_zero(mask);
    max = (std::uint64_t{1} << std::bit_width(mask >> shift)) - 1;
  }
  std::uint8_t Of(std::uint32_t pixel) const {
    if (max == 0) return 0;
    std::uint64_t v = (pixel & mask) >> shift;
    return static_cast<std::uint8_t>(std::min<std::uint64_t>((v * 255 + max / 2) / max, 255));
  }
};

Color PaletteColor(const std::vector<Color>& palette, unsigned index) {
  return index < palette.size() ? palette[index] : 0;
}

void PutColor(std::uint8_t* out, Color c) {
  out[0] = RedOf(c);
  out[1] = GreenOf(c);
  out[2] = BlueOf(c);
}

void DecodeIndexedRow(const DibInfo& info, const std::vector<Color>& palette,
                      const std::uint8_t* in, std::uint8_t* out) {
  const int bits = info.bitCount;
  const unsigned mask = (1u << bits) - 1;
  for (int x = 0; x < info.width; ++x, out += 3) {
    std::size_t bitPos = static_cast<std::size_t>(x) * bits;
    unsigned byte = in[bitPos / 8];
    unsigned index = (byte >> (8 - bits - bitPos % 8)) & mask;
    PutColor(out, PaletteColor(palette, index));
  }
}

void DecodeMaskedRow(const DibInfo& info, const Channel (&channels)[3], const std::uint8_t* in,
                     std::uint8_t* out) {
  const bool wide = info.bitCount == 32;
  for (int x = 0; x < info.width; ++x, out += 3) {
    std::uint32_t pixel = wide ? ReadU32(in + 4 * static_cast<std::size_t>(x))
                               : ReadU16(in + 2 * static_cast<std::size_t>(x));
    for (int c = 0; c < 3; ++c)
      out[c] = channels[c].Of(pixel);
  }
}

void DecodeBgrRow(const DibInfo& info, const std::uint8_t* in, std::uint8_t* out) {
  for (int x = 0; x < info.width; ++x, in += 3, out += 3) {
    out[0] = in[2];
    out[1] = in[1];
    out[2] = in[0];
  }
}

Bitmap DecodeUncompressed(const DibInfo& info, const std::vector<Color>& palette,
                          std::span<const std::uint8_t> rows) {
  const std::uint64_t bitsPerRow = static_cast<std::uint64_t>(info.width) * info.bitCount;
  const std::uint64_t stride = (bitsPerRow + 31) / 32 * 4;
  const std::uint64_t rowBytes = (bitsPerRow + 7) / 8;
  if (stride * (static_cast<std::uint64_t>(info.height) - 1) + rowBytes > rows.size())
    throw PictureError("bitmap rows run past the end of the data");
  DibInfo masked = info;
  if (info.compression != kBiBitfields) SetDefaultMasks(masked);
  const Channel channels[3] = {Channel(masked.masks[0]), Channel(masked.masks[1]),
                               Channel(masked.masks[2])};
  Bitmap picture(info.width, info.height);
  for (int r = 0; r < info.height; ++r) {
    const std::uint8_t* in = rows.data() + stride * static_cast<std::uint64_t>(r);
    std::uint8_t* out = picture.Row(info.topDown ? r : info.height - 1 - r);
    if (info.bitCount <= 8) {
      DecodeIndexedRow(info, palette, in, out);
    } else if (info.bitCount == 24) {
      DecodeBgrRow(info, in, out);
    } else {
      DecodeMaskedRow(info, channels, in, out);
    }
  }
  return picture;
}

// Runs of RLE4/RLE8 data, bottom-up. Anything that would land outside the
// picture is dropped; the cursor is kept within reach so it cannot overflow.
class RleWriter {
 public:
  RleWriter(Bitmap& picture, const std::vector<Color>& palette)
      : picture_(picture), palette_(palette) {}

  bool Done() const { return row_ >= picture_.Height(); }
  bool OnLastRow() const { return row_ >= picture_.Height() - 1; }
  void Put(unsigned index) {
    if (column_ < picture_.Width() && !Done())
      picture_.SetPixel(column_, picture_.Height() - 1 - row_, PaletteColor(palette_, index));
    column_ = std::min(column_ + 1, picture_.Width());
  }
  void EndLine() {
    column_ = 0;
    ++row_;
  }
  void Move(int dx, int dy) {
    column_ = std::min(column_ + dx, picture_.Width());
    row_ = std::min(row_ + dy, picture_.Height());
  }

 private:
  Bitmap& picture_;
  const std::vector<Color>& palette_;
  int column_ = 0;
  int row_ = 0;
};

Bitmap DecodeRle(const DibInfo& info, const std::vector<Color>& palette,
                 std::span<const std::uint8_t> data) {
  Bitmap picture(info.width, info.height);
  RleWriter out(picture, palette);
  const bool four = info.compression == kBiRle4;
  std::size_t pos = 0;
  while (!out.Done()) {
    if (pos + 2 > data.size()) {
      // Some writers leave out the final marker once every row is there.
      if (out.OnLastRow()) break;
      throw PictureError("compressed bitmap data ends early");
    }
    unsigned count = data[pos], value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      for (unsigned i = 0; i < count; ++i)
        out.Put(four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
    } else if (value == 0) {
      out.EndLine();
    } else if (value == 1) {
      break;
    } else if (value == 2) {
      if (pos + 2 > data.size()) throw PictureError("compressed bitmap data ends early");
      out.Move(data[pos], data[pos + 1]);
      pos += 2;
    } else {
      std::size_t bytes = four ? (value + 1) / 2 : value;
      if (pos + bytes > data.size()) throw PictureError("compressed bitmap data ends early");
      for (unsigned i = 0; i < value; ++i) {
        unsigned byte = data[pos + (four ? i / 2 : i)];
        out.Put(four ? (i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte);
      }
      pos += bytes + bytes % 2;
    }
  }
  return picture;
}

}  // namespace

std::uint16_t ReadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

DibInfo ParseDibInfo(std::span<const std::uint8_t> bytes, std::int64_t maxPixels) {
  if (bytes.size() < 4) throw PictureError("bitmap header is missing");
  const std::uint32_t headerSize = ReadU32(bytes.data());
  DibInfo info;
  if (headerSize == kCoreHeaderSize) {
    info = ReadCoreHeader(bytes);
  } else if (headerSize >= 16 && headerSize <= kMaxHeaderSize) {
    info = ReadInfoHeader(bytes, headerSize);
  } else {
    throw PictureError("unknown bitmap header");
  }
  if (!KnownDepth(info.bitCount)) throw PictureError("unsupported bitmap depth");
  if (!CompressionFitsDepth(info.compression, info.bitCount))
    throw PictureError("unsupported bitmap compression");
  CheckSize(info, maxPixels);
  return info;
}

std::size_t PaletteOffset(const DibInfo& info) {
  return info.headerSize + (info.masksFollowHeader ? 12 : 0);
}

std::vector<Color> ReadPalette(const DibInfo& info, std::span<const std::uint8_t> table,
                               std::size_t count) {
  const std::size_t entry = info.PaletteEntrySize();
  if (count > table.size() / entry) throw PictureError("bitmap colour table is cut short");
  std::vector<Color> palette(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* p = table.data() + i * entry;
    palette[i] = MakeColor(p[2], p[1], p[0]);
  }
  return palette;
}

Bitmap DecodeDibRows(const DibInfo& info, const std::vector<Color>& palette,
                     std::span<const std::uint8_t> rows) {
  if (info.compression == kBiRle8 || info.compression == kBiRle4)
    return DecodeRle(info, palette, rows);
  return DecodeUncompressed(info, palette, rows);
}

}  // namespace quillet::dib

namespace quillet {

Bitmap PaintPackedDib(std::span<const std::uint8_t> dib, std::int64_t maxPixels) {
  const dib::DibInfo info = dib::ParseDibInfo(dib, maxPixels);
  // The table holds biClrUsed entries, else 2^biBitCount; a count over 256
  // means there is none.
  std::uint64_t count = info.colorsUsed != 0 ? info.colorsUsed : std::uint64_t{1} << info.bitCount;
  if (count > 256) count = 0;
  const std::size_t tableStart = dib::PaletteOffset(info);
  if (tableStart > dib.size()) throw PictureError("bitmap colour table is cut short");
  const std::vector<Color> palette = dib::ReadPalette(info, dib.subspan(tableStart), count);
  return dib::DecodeDibRows(info, palette,
                            dib.subspan(tableStart + count * info.PaletteEntrySize()));
}

}  // namespace quillet

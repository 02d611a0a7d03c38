#include <algorithm>
#include <bit>
#include <cstring>
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

Color PaletteColor(const std::vector<Color>& palette, unsigned index) {
  return index < palette.size() ? palette[index] : 0;
}

void PutColor(std::uint8_t* out, Color c) {
  out[0] = RedOf(c);
  out[1] = GreenOf(c);
  out[2] = BlueOf(c);
}

void DecodeIndexedRow(const std::vector<Color>& palette, int width, int bits,
                      const std::uint8_t* in, std::uint8_t* out) {
  const unsigned mask = (1u << bits) - 1;
  for (int x = 0; x < width; ++x, out += 3) {
    std::size_t bitPos = static_cast<std::size_t>(x) * bits;
    unsigned byte = in[bitPos / 8];
    unsigned index = (byte >> (8 - bits - bitPos % 8)) & mask;
    PutColor(out, PaletteColor(palette, index));
  }
}

// The thread sanitizer cannot run the resolvers of function clones, which run
// before it is set up.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
#define QUILLET_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define QUILLET_VECTOR_CLONES
#endif

// Blue, green, red to red, green, blue: four pixels at a time through one
// byte shuffle (a GCC and Clang extension), each step reading and writing
// sixteen bytes of which twelve are kept; the last pixels one at a time.
using Bytes16 = std::uint8_t __attribute__((vector_size(16)));

QUILLET_VECTOR_CLONES
void DecodeBgrRow(int width, const std::uint8_t* in, std::uint8_t* out) {
  int x = 0;
  for (; x + 6 <= width; x += 4, in += 12, out += 12) {
    Bytes16 v;
    std::memcpy(&v, in, 16);
#if defined(__clang__)
    v = __builtin_shufflevector(v, v, 2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15);
#else
    v = __builtin_shuffle(v, Bytes16{2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15});
#endif
    std::memcpy(out, &v, 12);
  }
  for (; x < width; ++x, in += 3, out += 3) {
    out[0] = in[2];
    out[1] = in[1];
    out[2] = in[0];
  }
}

Bitmap DecodeUncompressed(const DibInfo& info, const std::vector<Color>& palette,
                          std::span<const std::uint8_t> rows) {
  const RowLayout layout = LayoutOf(info);
  if (layout.TotalBytes(info.height) > rows.size())
    throw PictureError("bitmap rows run past the end of the data");
  const RowDecoder decoder(info, palette);
  Bitmap picture = Bitmap::Uninitialized(info.width, info.height);
  for (int r = 0; r < info.height; ++r) {
    decoder.Decode(rows.data() + layout.stride * static_cast<std::uint64_t>(r),
                   picture.Row(decoder.PictureRow(r)));
  }
  return picture;
}

// An RLE pair of bytes paints at most 255 pixels; the rest of a row, the rows
// a delta skips and those after the end marker stay white without costing
// any data. A header that announces far more pixels than its data could paint
// is refused, except for pictures small enough that filling them white is no
// burden, where such files may well be genuine.
constexpr std::int64_t kMaxRlePixelsPerByte = 128;
constexpr std::int64_t kRleBlankAllowance = std::int64_t{16} << 20;

// Runs of RLE4/RLE8 data, bottom-up. Anything that would land outside the
// picture is dropped; the cursor is kept within reach so it cannot overflow.
// The picture starts unset and every pixel the cursor passes without
// painting is made white, so rows take memory only as the data reaches them.
class RleWriter {
 public:
  RleWriter(Bitmap& picture, const std::vector<Color>& palette)
      : picture_(picture), palette_(palette) {}

  bool Done() const { return row_ >= picture_.Height(); }
  // Every row painted to its end, the last one included.
  bool LastRowComplete() const {
    return row_ >= picture_.Height() - 1 && column_ == picture_.Width();
  }
  void Put(unsigned index) {
    if (column_ < picture_.Width() && !Done())
      PutColor(Pixel(column_), PaletteColor(palette_, index));
    column_ = std::min(column_ + 1, picture_.Width());
  }
  void EndLine() { BlankTo(std::min(row_ + 1, picture_.Height()), 0); }
  void Move(int dx, int dy) {
    const int row = std::min(row_ + dy, picture_.Height());
    BlankTo(row, row == picture_.Height() ? 0 : std::min(column_ + dx, picture_.Width()));
  }
  // The end of the data: whatever has not been painted stays white.
  void Finish() { BlankTo(picture_.Height(), 0); }

 private:
  std::uint8_t* Pixel(int column) {
    return picture_.Row(picture_.Height() - 1 - row_) + static_cast<std::size_t>(column) * 3;
  }
  // Whitens everything from the cursor up to (row, column) and moves there.
  void BlankTo(int row, int column) {
    const int width = picture_.Width();
    while (row_ < row) {
      std::memset(Pixel(column_), 0xFF, static_cast<std::size_t>(width - column_) * 3);
      ++row_;
      column_ = 0;
    }
    if (row_ < picture_.Height() && column > column_) {
      std::memset(Pixel(column_), 0xFF, static_cast<std::size_t>(column - column_) * 3);
      column_ = column;
    }
  }

  Bitmap& picture_;
  const std::vector<Color>& palette_;
  int column_ = 0;
  int row_ = 0;
};

Bitmap DecodeRle(const DibInfo& info, const std::vector<Color>& palette,
                 std::span<const std::uint8_t> data) {
  const std::int64_t pixels = static_cast<std::int64_t>(info.width) * info.height;
  if (pixels >
      std::max(kRleBlankAllowance, kMaxRlePixelsPerByte * static_cast<std::int64_t>(data.size())))
    throw PictureError("bitmap: the file is too short for its picture size");
  Bitmap picture = Bitmap::Uninitialized(info.width, info.height);
  RleWriter out(picture, palette);
  const bool four = info.compression == kBiRle4;
  std::size_t pos = 0;
  while (!out.Done()) {
    if (pos + 2 > data.size()) {
      // Some writers leave out the final markers once every row is there.
      if (out.LastRowComplete()) break;
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
  out.Finish();
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
  if (IsRle(info)) return DecodeRle(info, palette, rows);
  return DecodeUncompressed(info, palette, rows);
}

bool IsRle(const DibInfo& info) {
  return info.compression == kBiRle8 || info.compression == kBiRle4;
}

RowLayout LayoutOf(const DibInfo& info) {
  const std::uint64_t bitsPerRow = static_cast<std::uint64_t>(info.width) * info.bitCount;
  return RowLayout{(bitsPerRow + 31) / 32 * 4, (bitsPerRow + 7) / 8};
}

RowDecoder::Channel RowDecoder::MakeChannel(std::uint32_t mask) {
  Channel channel;
  channel.mask = mask;
  if (mask == 0) return channel;
  channel.shift = std::countr_zero(mask);
  channel.max = (std::uint64_t{1} << std::bit_width(mask >> channel.shift)) - 1;
  return channel;
}

// Brings a masked channel to 0..255, rounding.
std::uint8_t RowDecoder::Level(const Channel& channel, std::uint32_t pixel) {
  if (channel.max == 0) return 0;
  const std::uint64_t v = (pixel & channel.mask) >> channel.shift;
  return static_cast<std::uint8_t>(
      std::min<std::uint64_t>((v * 255 + channel.max / 2) / channel.max, 255));
}

RowDecoder::RowDecoder(const DibInfo& info, const std::vector<Color>& palette)
    : palette_(palette),
      width_(info.width),
      height_(info.height),
      bitCount_(info.bitCount),
      topDown_(info.topDown) {
  DibInfo masked = info;
  if (info.compression != kBiBitfields) SetDefaultMasks(masked);
  for (int c = 0; c < 3; ++c)
    channels_[c] = MakeChannel(masked.masks[c]);
}

void RowDecoder::Decode(const std::uint8_t* in, std::uint8_t* out) const {
  if (bitCount_ <= 8) {
    DecodeIndexedRow(palette_, width_, bitCount_, in, out);
  } else if (bitCount_ == 24) {
    DecodeBgrRow(width_, in, out);
  } else {
    const bool wide = bitCount_ == 32;
    for (int x = 0; x < width_; ++x, out += 3) {
      std::uint32_t pixel = wide ? ReadU32(in + 4 * static_cast<std::size_t>(x))
                                 : ReadU16(in + 2 * static_cast<std::size_t>(x));
      for (int c = 0; c < 3; ++c)
        out[c] = Level(channels_[c], pixel);
    }
  }
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

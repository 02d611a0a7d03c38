#include <algorithm>
#include <limits>
#include <memory>

#include "core/codecs/Codecs.h"
#include "core/codecs/DibCommon.h"
#include "core/codecs/PictureFileReader.h"

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

// What precedes a bitmap file's rows: the info header, the colour table and
// where the rows start.
struct BmpHead {
  dib::DibInfo info;
  std::vector<Color> palette;
  std::uint64_t rowsOffset = 0;
};

// Reads the head from `start`, the first bytes of a file of `fileSize` bytes
// (the whole file, or at least the first kHeadBytes of it).
BmpHead ParseHead(std::span<const std::uint8_t> start, std::uint64_t fileSize,
                  std::int64_t maxPixels) {
  if (start.size() < kFileHeaderSize + 4 || start[0] != 'B' || start[1] != 'M')
    throw PictureError("not a Windows bitmap");
  BmpHead head;
  head.info = dib::ParseDibInfo(start.subspan(kFileHeaderSize), maxPixels);
  const dib::DibInfo& info = head.info;
  const std::size_t paletteStart = kFileHeaderSize + dib::PaletteOffset(info);
  const std::uint32_t declaredOffset = dib::ReadU32(start.data() + 10);
  std::uint64_t rowsOffset = declaredOffset;
  std::size_t count = ExpectedPaletteCount(info);
  if (declaredOffset == 0) {
    // Some writers leave the offset out: the rows follow the table.
    rowsOffset = paletteStart + count * info.PaletteEntrySize();
  } else {
    if (declaredOffset < paletteStart || declaredOffset > fileSize)
      throw PictureError("bitmap pixel offset lies outside the file");
    count = std::min(count, (declaredOffset - paletteStart) / info.PaletteEntrySize());
  }
  if (rowsOffset > fileSize) throw PictureError("bitmap colour table is cut short");
  // The table ends within the first kHeadBytes: headers and tables are short.
  const std::size_t tableEnd =
      static_cast<std::size_t>(std::min<std::uint64_t>(rowsOffset, start.size()));
  if (tableEnd < paletteStart) throw PictureError("bitmap colour table is cut short");
  head.palette =
      dib::ReadPalette(info, start.subspan(paletteStart, tableEnd - paletteStart), count);
  head.rowsOffset = rowsOffset;
  return head;
}

// Uncompressed rows are read from the file a slice at a time, straight into
// their place in the picture.
constexpr std::size_t kSliceBytes = 1 << 20;
constexpr std::size_t kHeadBytes = 64 * 1024;

Bitmap DecodeRowsFromFile(const PictureFileReader& file, const BmpHead& head) {
  const dib::DibInfo& info = head.info;
  const dib::RowLayout layout = dib::LayoutOf(info);
  if (layout.TotalBytes(info.height) > file.Size() - head.rowsOffset)
    throw PictureError("bitmap rows run past the end of the data");
  const dib::RowDecoder decoder(info, head.palette);
  Bitmap picture = Bitmap::Uninitialized(info.width, info.height);
  const auto stride = static_cast<std::size_t>(layout.stride);
  const std::size_t rowsPerSlice = std::max<std::size_t>(1, kSliceBytes / stride);
  std::unique_ptr<std::uint8_t[]> slice(new std::uint8_t[rowsPerSlice * stride]);
  for (std::size_t first = 0; first < static_cast<std::size_t>(info.height);) {
    const std::size_t rows = std::min(rowsPerSlice, static_cast<std::size_t>(info.height) - first);
    const std::uint64_t offset = head.rowsOffset + first * layout.stride;
    const std::size_t needed = (rows - 1) * stride + static_cast<std::size_t>(layout.rowBytes);
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(rows * stride, file.Size() - offset));
    const std::int64_t got = file.ReadAt(offset, slice.get(), wanted);
    // A file that shrinks while it is read is cut short all the same.
    if (got < 0 || static_cast<std::size_t>(got) < needed)
      throw PictureError("bitmap rows run past the end of the data");
    for (std::size_t r = 0; r < rows; ++r) {
      decoder.Decode(slice.get() + r * stride,
                     picture.Row(decoder.PictureRow(static_cast<int>(first + r))));
    }
    first += rows;
  }
  return picture;
}

}  // namespace

Bitmap DecodeBmp(std::span<const std::uint8_t> bytes, std::int64_t maxPixels) {
  const BmpHead head = ParseHead(bytes, bytes.size(), maxPixels);
  return dib::DecodeDibRows(head.info, head.palette,
                            bytes.subspan(static_cast<std::size_t>(head.rowsOffset)));
}

Bitmap DecodeBmpFile(const PictureFileReader& file, std::int64_t maxPixels) {
  const std::size_t startSize =
      static_cast<std::size_t>(std::min<std::uint64_t>(file.Size(), kHeadBytes));
  std::vector<std::uint8_t> start(startSize);
  if (file.ReadAt(0, start.data(), startSize) != static_cast<std::int64_t>(startSize))
    throw PictureError("cannot read " + file.Path());
  if (startSize == file.Size()) return DecodeBmp(start, maxPixels);
  const BmpHead head = ParseHead(start, file.Size(), maxPixels);
  if (dib::IsRle(head.info)) {
    const PictureFileReader::Contents contents = file.ReadAll();
    return DecodeBmp(contents.Span(), maxPixels);
  }
  return DecodeRowsFromFile(file, head);
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

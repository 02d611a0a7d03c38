#pragma once

// Helpers for codec tests: little-endian byte writers for hand-made bitmap
// fixtures, and pictures described by colour letters.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "core/codecs/Bitmap.h"

namespace quillet::testing {

class ByteWriter {
 public:
  ByteWriter& U8(std::uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  ByteWriter& U16(std::uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
  ByteWriter& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  ByteWriter& I32(std::int32_t v) { return U32(static_cast<std::uint32_t>(v)); }
  ByteWriter& Bytes(std::span<const std::uint8_t> more) {
    bytes_.insert(bytes_.end(), more.begin(), more.end());
    return *this;
  }
  ByteWriter& Bytes(std::initializer_list<std::uint8_t> more) {
    bytes_.insert(bytes_.end(), more.begin(), more.end());
    return *this;
  }
  ByteWriter& Zeros(std::size_t count) {
    bytes_.insert(bytes_.end(), count, 0);
    return *this;
  }
  const std::vector<std::uint8_t>& Get() const { return bytes_; }
  std::size_t Size() const { return bytes_.size(); }

 private:
  std::vector<std::uint8_t> bytes_;
};

// R red, G green, B blue, Y yellow, C cyan, M magenta, K black, W white.
inline Color ColorOfLetter(char letter) {
  switch (letter) {
    case 'R':
      return MakeColor(255, 0, 0);
    case 'G':
      return MakeColor(0, 255, 0);
    case 'B':
      return MakeColor(0, 0, 255);
    case 'Y':
      return MakeColor(255, 255, 0);
    case 'C':
      return MakeColor(0, 255, 255);
    case 'M':
      return MakeColor(255, 0, 255);
    case 'K':
      return MakeColor(0, 0, 0);
    default:
      return MakeColor(255, 255, 255);
  }
}

// A picture from rows of letters, top row first.
inline Bitmap PictureOfLetters(const std::vector<std::string>& rows) {
  Bitmap picture(static_cast<int>(rows.at(0).size()), static_cast<int>(rows.size()));
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x)
      picture.SetPixel(x, y, ColorOfLetter(rows[static_cast<std::size_t>(y)][x]));
  }
  return picture;
}

// Colours in a picture that need looking at when a comparison fails.
inline std::string Describe(const Bitmap& picture) {
  std::string text = std::to_string(picture.Width()) + "x" + std::to_string(picture.Height());
  char buffer[16];
  for (int y = 0; y < picture.Height() && y < 8; ++y) {
    text += "\n";
    for (int x = 0; x < picture.Width() && x < 8; ++x) {
      std::snprintf(buffer, sizeof buffer, " %06X", static_cast<unsigned>(picture.Pixel(x, y)));
      text += buffer;
    }
  }
  return text;
}

// The largest difference of any channel of any pixel; pictures of different
// sizes differ by 255.
inline int MaxChannelDifference(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return 255;
  int worst = 0;
  for (std::size_t i = 0; i < a.SizeInBytes(); ++i)
    worst = std::max(worst, std::abs(int{a.Data()[i]} - int{b.Data()[i]}));
  return worst;
}

}  // namespace quillet::testing

namespace quillet::testing {

// A DIB info header; masks are written into headers of 52 bytes or more and
// after a shorter header when the compression is BI_BITFIELDS (3).
struct DibHeaderSpec {
  std::uint32_t size = 40;
  std::int32_t width = 0;
  std::int32_t height = 0;
  int bits = 24;
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;
  std::uint32_t masks[3] = {0, 0, 0};
};

inline std::vector<std::uint8_t> DibHeaderBytes(const DibHeaderSpec& h) {
  ByteWriter w;
  if (h.size == 12) {
    w.U32(12).U16(static_cast<std::uint16_t>(h.width)).U16(static_cast<std::uint16_t>(h.height));
    w.U16(1).U16(static_cast<std::uint16_t>(h.bits));
    return w.Get();
  }
  w.U32(h.size).I32(h.width).I32(h.height).U16(1).U16(static_cast<std::uint16_t>(h.bits));
  w.U32(h.compression).U32(0).U32(2835).U32(2835).U32(h.colorsUsed).U32(0);
  if (h.size >= 52) w.U32(h.masks[0]).U32(h.masks[1]).U32(h.masks[2]);
  if (w.Size() < h.size) w.Zeros(h.size - w.Size());
  if (h.size < 52 && h.compression == 3) w.U32(h.masks[0]).U32(h.masks[1]).U32(h.masks[2]);
  return w.Get();
}

// Colour table entries B, G, R (and a zero byte unless `core`).
inline std::vector<std::uint8_t> PaletteBytes(const std::string& letters, bool core = false) {
  ByteWriter w;
  for (char letter : letters) {
    Color c = ColorOfLetter(letter);
    w.U8(BlueOf(c)).U8(GreenOf(c)).U8(RedOf(c));
    if (!core) w.U8(0);
  }
  return w.Get();
}

// Pixel rows of `bits` bits a pixel, padded to 4 bytes, bottom row first
// unless `topDown`. `value` gives each letter's pixel value.
template <typename ValueOf>
std::vector<std::uint8_t> RowBytes(const std::vector<std::string>& rows, int bits, ValueOf value,
                                   bool topDown = false) {
  ByteWriter w;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string& row = rows[topDown ? i : rows.size() - 1 - i];
    std::vector<std::uint8_t> packed((row.size() * bits + 31) / 32 * 4, 0);
    for (std::size_t x = 0; x < row.size(); ++x) {
      std::uint32_t v = value(row[x]);
      if (bits < 8) {
        std::size_t bit = x * bits;
        packed[bit / 8] |= static_cast<std::uint8_t>(v << (8 - bits - bit % 8));
      } else {
        for (int b = 0; b < bits / 8; ++b)
          packed[x * (bits / 8) + b] = static_cast<std::uint8_t>(v >> (8 * b));
      }
    }
    w.Bytes(packed);
  }
  return w.Get();
}

inline std::uint32_t BgrValue(char letter) {
  Color c = ColorOfLetter(letter);
  return BlueOf(c) | (GreenOf(c) << 8) | (RedOf(c) << 16);
}

// A BMP file: file header, info header (with masks), colour table, rows.
inline std::vector<std::uint8_t> BmpFile(const DibHeaderSpec& header,
                                         const std::vector<std::uint8_t>& palette,
                                         const std::vector<std::uint8_t>& rows) {
  std::vector<std::uint8_t> info = DibHeaderBytes(header);
  const std::uint32_t offset = static_cast<std::uint32_t>(14 + info.size() + palette.size());
  ByteWriter w;
  w.U8('B').U8('M').U32(static_cast<std::uint32_t>(offset + rows.size())).U32(0).U32(offset);
  return w.Bytes(info).Bytes(palette).Bytes(rows).Get();
}

// A packed DIB: info header (with masks), colour table, rows.
inline std::vector<std::uint8_t> PackedDib(const DibHeaderSpec& header,
                                           const std::vector<std::uint8_t>& palette,
                                           const std::vector<std::uint8_t>& rows) {
  ByteWriter w;
  return w.Bytes(DibHeaderBytes(header)).Bytes(palette).Bytes(rows).Get();
}

}  // namespace quillet::testing

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "core/codecs/Codecs.h"
#include "core/codecs/Quantize.h"

namespace quillet {
namespace {

constexpr int kMaxGifSide = 0xFFFF;

// LZW codes are at least 2 bits and none stands for more than 4096 pixels, so
// a byte of picture data holds at most 16384 pixels. A screen or frame larger
// than the whole file could hold that way is not a picture but a trap for
// the memory it would take.
constexpr std::int64_t kMaxPixelsPerByte = 16384;

struct MemoryReader {
  std::span<const std::uint8_t> bytes;
  std::size_t position = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int length) {
  auto* reader = static_cast<MemoryReader*>(gif->UserData);
  const std::size_t left = reader->bytes.size() - reader->position;
  const std::size_t count = std::min(static_cast<std::size_t>(std::max(length, 0)), left);
  if (count > 0) std::memcpy(out, reader->bytes.data() + reader->position, count);
  reader->position += count;
  return static_cast<int>(count);
}

[[noreturn]] void Fail(const char* what, int code) {
  const char* detail = GifErrorString(code);
  throw PictureError(std::string("GIF: ") + what + (detail ? std::string(": ") + detail : ""));
}

class GifReader {
 public:
  explicit GifReader(std::span<const std::uint8_t> bytes) {
    reader_.bytes = bytes;
    int error = 0;
    gif_ = DGifOpen(&reader_, ReadFromMemory, &error);
    if (!gif_) Fail("not a GIF picture", error);
  }
  ~GifReader() {
    int error = 0;
    DGifCloseFile(gif_, &error);
  }
  GifReader(const GifReader&) = delete;
  GifReader& operator=(const GifReader&) = delete;

  GifFileType* operator->() const { return gif_; }
  GifFileType* get() const { return gif_; }

 private:
  MemoryReader reader_;
  GifFileType* gif_ = nullptr;
};

// The transparent colour index of a graphic control extension, or -1.
int TransparentIndexOf(const GifByteType* block) {
  if (block[0] < 4) return -1;
  return (block[1] & 0x01) ? block[4] : -1;
}

// Skips records up to the first image descriptor, remembering the
// transparent index that the graphic control extension before it gives.
int SeekFirstImage(GifFileType* gif) {
  int transparent = -1;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) Fail("damaged file", gif->Error);
    if (type == IMAGE_DESC_RECORD_TYPE) return transparent;
    if (type == TERMINATE_RECORD_TYPE) throw PictureError("GIF: file holds no picture");
    if (type != EXTENSION_RECORD_TYPE) throw PictureError("GIF: damaged file");
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) Fail("damaged file", gif->Error);
    if (code == GRAPHICS_EXT_FUNC_CODE && block) transparent = TransparentIndexOf(block);
    while (block) {
      if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) Fail("damaged file", gif->Error);
    }
  }
}

// The order in which interlaced rows arrive: every 8th from 0, every 8th
// from 4, every 4th from 2, every 2nd from 1.
std::vector<int> RowOrder(int height, bool interlaced) {
  std::vector<int> order;
  order.reserve(static_cast<std::size_t>(height));
  if (!interlaced) {
    for (int y = 0; y < height; ++y)
      order.push_back(y);
    return order;
  }
  const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (int y = starts[pass]; y < height; y += steps[pass])
      order.push_back(y);
  }
  return order;
}

void DrawLine(Bitmap& screen, const GifImageDesc& frame, int frameRow, const GifPixelType* line,
              const ColorMapObject& colors, int transparent) {
  const int y = frame.Top + frameRow;
  if (y < 0 || y >= screen.Height()) return;
  std::uint8_t* out = screen.Row(y);
  for (int x = 0; x < frame.Width; ++x) {
    const int sx = frame.Left + x;
    if (sx >= screen.Width()) break;
    const int index = line[x];
    if (index == transparent) continue;
    std::uint8_t* p = out + static_cast<std::size_t>(sx) * 3;
    if (index >= colors.ColorCount) {
      p[0] = p[1] = p[2] = 0;
      continue;
    }
    const GifColorType& c = colors.Colors[index];
    p[0] = c.Red;
    p[1] = c.Green;
    p[2] = c.Blue;
  }
}

void CheckQuantized(const IndexedPicture& indexed, const Bitmap& picture, int bits) {
  const std::size_t pixels =
      static_cast<std::size_t>(picture.Width()) * static_cast<std::size_t>(picture.Height());
  const bool fits = indexed.width == picture.Width() && indexed.height == picture.Height() &&
                    indexed.indices.size() == pixels && !indexed.palette.empty() &&
                    indexed.palette.size() <= (std::size_t{1} << bits);
  if (!fits) throw PictureError("GIF: colour reduction failed");
  std::uint8_t highest = 0;  // a loop the compiler turns into vector instructions
  for (const std::uint8_t index : indexed.indices)
    highest = std::max(highest, index);
  if (highest >= (1u << bits)) throw PictureError("GIF: colour reduction failed");
}

// GIF's LZW, code for code what giflib writes: a clear code first, codes
// widened as soon as the next free code needs another bit, a clear code
// instead of the code 4095, end-of-information last. The strings are found
// in a hash table of prefix code, pixel and string code packed into one
// 32-bit slot. A dithered picture makes short strings, so whether a pixel
// extends the string or ends it is a coin toss: the loop decides it without
// a branch, writing a code of no bits when it extends, and leaves it only to
// widen the codes or to start a new table.
class LzwEncoder {
 public:
  explicit LzwEncoder(int bits) : minBits_(std::max(bits, 2)) {}

  // The packed codes of `indices` (at least one), without the sub-block
  // framing.
  std::vector<std::uint8_t> Encode(const std::uint8_t* indices, std::size_t count) {
    // At most a code a pixel, of at most 12 bits, a clear code every few
    // thousand, and room for the four bytes every code writes.
    std::vector<std::uint8_t> bytes((count + count / 1024 + 8) * kCodeBits / 8 + 16);
    std::uint8_t* out = bytes.data();
    std::uint64_t word = 0;  // the bits not written out yet, from the lowest
    int pending = 0;
    auto put = [&](std::uint32_t code, int width) {
      word |= std::uint64_t{code} << pending;
      pending += width;
      const auto low = static_cast<std::uint32_t>(word);
      for (int i = 0; i < 4; ++i)  // low byte first; compilers make it one store
        out[i] = static_cast<std::uint8_t>(low >> (8 * i));
      const int full = pending >= 32 ? 1 : 0;
      out += 4 * full;
      word >>= 32 * full;
      pending -= 32 * full;
    };
    const std::uint32_t clear = 1u << minBits_, end = clear + 1, first = clear + 2;
    std::uint32_t next = first;
    int width = minBits_ + 1;
    std::uint32_t limit = 1u << width;  // the first code that needs a wider code or a new table
    table_.fill(kEmpty);
    put(clear, width);
    std::uint32_t current = indices[0];
    for (std::size_t i = 1; i < count; ++i) {
      const std::uint32_t pixel = indices[i];
      const std::uint32_t key = (current << 8) | pixel;
      std::uint32_t slot = (current << 2) ^ mix_[pixel];
      std::uint32_t entry = table_[slot];
      // Another string in the slot: neither this string nor empty. One test
      // for both (a product of 20-bit numbers), which the compiler cannot
      // split into a branch for each.
      while (std::uint64_t{(entry >> kCodeBits) ^ key} * ((entry >> kCodeBits) ^ kNoKey) != 0) {
        slot = (slot + 1) & (kSlots - 1);
        entry = table_[slot];
      }
      // All ones when the string ends here: its code goes out, and the
      // string with this pixel gets the next code.
      const std::uint32_t ends = 0u - static_cast<std::uint32_t>(entry == kEmpty);
      put(current & ends, width & static_cast<int>(ends));
      table_[slot] = (((key << kCodeBits) | next) & ends) | (entry & ~ends);
      const std::uint32_t given = next & ends;
      next -= ends;
      current = entry == kEmpty ? pixel : entry & kCodeMask;
      if (given >= limit) {
        if (given >= kLastCode) {
          put(clear, width);
          table_.fill(kEmpty);
          next = first;
          width = minBits_ + 1;
        } else {
          ++width;
        }
        limit = width < kCodeBits ? 1u << width : kLastCode;
      }
    }
    put(current, width);
    if (width < kCodeBits && next >= (1u << width)) ++width;
    put(end, width);
    put(0, 0);  // the bits left over
    out += (pending + 7) / 8;
    bytes.resize(static_cast<std::size_t>(out - bytes.data()));
    return bytes;
  }

 private:
  static constexpr int kCodeBits = 12;
  static constexpr std::uint32_t kCodeMask = (1u << kCodeBits) - 1;
  static constexpr std::uint32_t kLastCode = kCodeMask;     // never given out, as giflib does
  static constexpr std::uint32_t kSlots = 4u << kCodeBits;  // holds (code << 2) ^ mix
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;      // prefix 4095 is never stored
  static constexpr std::uint32_t kNoKey = kEmpty >> kCodeBits;

  // The slot of a string is its prefix code shifted, mixed with a random
  // number for its last pixel: as few collisions as a multiplicative hash,
  // and two steps, not four, between one pixel's lookup and the next.
  static std::array<std::uint16_t, 256> Mix() {
    std::array<std::uint16_t, 256> mix{};
    std::uint32_t seed = 1;
    for (std::uint16_t& m : mix) {
      seed = seed * 1103515245u + 12345u;
      m = static_cast<std::uint16_t>((seed >> 12) & (kSlots - 1));
    }
    return mix;
  }

  const int minBits_;
  const std::array<std::uint16_t, 256> mix_ = Mix();
  std::array<std::uint32_t, kSlots> table_;  // 64 KiB
};

void PutU16(std::vector<std::uint8_t>& out, int value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

// The file as giflib lays it out: GIF87a, the screen with its global colour
// map of 2^bits entries (the palette padded with black), one image at 0, 0
// without a map of its own, the LZW data in sub-blocks of 255 bytes.
std::vector<std::uint8_t> WriteIndexed(const IndexedPicture& indexed, int bits) {
  const std::vector<std::uint8_t> codes =
      LzwEncoder(bits).Encode(indexed.indices.data(), indexed.indices.size());
  const std::size_t entries = std::size_t{1} << bits;
  std::vector<std::uint8_t> out;
  out.reserve(13 + 3 * entries + 11 + codes.size() + codes.size() / 255 + 3);
  for (char c : {'G', 'I', 'F', '8', '7', 'a'})
    out.push_back(static_cast<std::uint8_t>(c));
  PutU16(out, indexed.width);
  PutU16(out, indexed.height);
  out.push_back(static_cast<std::uint8_t>(0x80 | ((bits - 1) << 4) | (bits - 1)));
  out.push_back(0);  // background colour
  out.push_back(0);  // no aspect ratio
  for (std::size_t i = 0; i < entries; ++i) {
    const Color c = i < indexed.palette.size() ? indexed.palette[i] : 0;
    out.insert(out.end(), {RedOf(c), GreenOf(c), BlueOf(c)});
  }
  out.push_back(0x2C);
  PutU16(out, 0);
  PutU16(out, 0);
  PutU16(out, indexed.width);
  PutU16(out, indexed.height);
  out.push_back(0);  // no local colour map, not interlaced
  out.push_back(static_cast<std::uint8_t>(std::max(bits, 2)));
  for (std::size_t at = 0; at < codes.size(); at += 255) {
    const std::size_t length = std::min<std::size_t>(255, codes.size() - at);
    out.push_back(static_cast<std::uint8_t>(length));
    out.insert(out.end(), codes.begin() + static_cast<std::ptrdiff_t>(at),
               codes.begin() + static_cast<std::ptrdiff_t>(at + length));
  }
  out.push_back(0);     // end of the picture data
  out.push_back(0x3B);  // end of the file
  return out;
}

}  // namespace

Bitmap DecodeGif(std::span<const std::uint8_t> bytes, std::int64_t maxPixels) {
  GifReader gif(bytes);
  const int width = gif->SWidth, height = gif->SHeight;
  if (width <= 0 || height <= 0) throw PictureError("GIF: picture has no pixels");
  if (static_cast<std::int64_t>(width) * height > maxPixels)
    throw PictureError("GIF: picture is too large");
  const std::int64_t holdable = kMaxPixelsPerByte * static_cast<std::int64_t>(bytes.size());
  if (static_cast<std::int64_t>(width) * height > holdable)
    throw PictureError("GIF: the file is too short for its picture size");
  const int transparent = SeekFirstImage(gif.get());
  if (DGifGetImageDesc(gif.get()) == GIF_ERROR) Fail("damaged file", gif->Error);
  const GifImageDesc frame = gif->Image;
  if (frame.Width < 0 || frame.Height < 0 ||
      static_cast<std::int64_t>(frame.Width) * frame.Height > maxPixels)
    throw PictureError("GIF: frame is too large");
  const ColorMapObject* colors = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
  if (!colors) throw PictureError("GIF: picture has no colour map");

  if (frame.Width == 0 || frame.Height == 0) return Bitmap(width, height);
  const std::int64_t framePixels = static_cast<std::int64_t>(frame.Width) * frame.Height;
  if (framePixels > holdable) throw PictureError("GIF: the file is too short for its frame size");

  // The frame's indices are read whole first, taking memory only as its rows
  // come; the white screen is made only for a frame that was all there.
  const auto lineLength = static_cast<std::size_t>(frame.Width);
  std::unique_ptr<GifPixelType[]> indices(
      new GifPixelType[lineLength * static_cast<std::size_t>(frame.Height)]);
  for (int row : RowOrder(frame.Height, frame.Interlace)) {
    if (DGifGetLine(gif.get(), indices.get() + lineLength * static_cast<std::size_t>(row),
                    frame.Width) == GIF_ERROR)
      Fail("damaged picture data", gif->Error);
  }
  Bitmap screen(width, height);
  for (int row = 0; row < frame.Height; ++row) {
    DrawLine(screen, frame, row, indices.get() + lineLength * static_cast<std::size_t>(row),
             *colors, transparent);
  }
  return screen;
}

std::vector<std::uint8_t> EncodeGif(const Bitmap& picture, const GifEncoderSettings& settings) {
  const int bits = settings.bitsPerPixel;
  if (bits < 1 || bits > 8) throw PictureError("GIF: bits per pixel must be 1 to 8");
  if (picture.Empty()) throw PictureError("GIF: cannot write an empty picture");
  if (picture.Width() > kMaxGifSide || picture.Height() > kMaxGifSide)
    throw PictureError("GIF: picture is too large");
  try {
    const IndexedPicture indexed = QuantizeOctree(picture, bits);
    CheckQuantized(indexed, picture, bits);
    return WriteIndexed(indexed, bits);
  } catch (const std::bad_alloc&) {
    throw PictureError("GIF: out of memory");
  }
}

std::vector<std::uint8_t> EncodeGif(const Bitmap& picture, int bitsPerPixel) {
  GifEncoderSettings settings;
  settings.bitsPerPixel = bitsPerPixel;
  return EncodeGif(picture, settings);
}

}  // namespace quillet

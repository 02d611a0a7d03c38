#include <gif_lib.h>

#include <algorithm>
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

struct MemoryWriter {
  std::vector<std::uint8_t>* out;
  bool failed = false;
};

int WriteToMemory(GifFileType* gif, const GifByteType* data, int length) {
  auto* writer = static_cast<MemoryWriter*>(gif->UserData);
  try {
    writer->out->insert(writer->out->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    writer->failed = true;
    return 0;
  }
  return length;
}

void CheckQuantized(const IndexedPicture& indexed, const Bitmap& picture, int bits) {
  const std::size_t pixels =
      static_cast<std::size_t>(picture.Width()) * static_cast<std::size_t>(picture.Height());
  const bool fits = indexed.width == picture.Width() && indexed.height == picture.Height() &&
                    indexed.indices.size() == pixels && !indexed.palette.empty() &&
                    indexed.palette.size() <= (std::size_t{1} << bits);
  if (!fits) throw PictureError("GIF: colour reduction failed");
  for (std::uint8_t index : indexed.indices) {
    if (index >= (1u << bits)) throw PictureError("GIF: colour reduction failed");
  }
}

// The palette padded with black to the 2^bits entries a GIF colour map has.
ColorMapObject* MakeColorMap(const std::vector<Color>& palette, int bits) {
  ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
  if (!map) throw PictureError("GIF: out of memory");
  for (int i = 0; i < map->ColorCount; ++i) {
    const Color c = static_cast<std::size_t>(i) < palette.size() ? palette[i] : 0;
    map->Colors[i] = GifColorType{RedOf(c), GreenOf(c), BlueOf(c)};
  }
  return map;
}

void WriteIndexed(GifFileType* gif, IndexedPicture& indexed, const ColorMapObject* map, int bits) {
  if (EGifPutScreenDesc(gif, indexed.width, indexed.height, bits, 0, map) == GIF_ERROR ||
      EGifPutImageDesc(gif, 0, 0, indexed.width, indexed.height, false, nullptr) == GIF_ERROR)
    Fail("cannot write", gif->Error);
  for (int y = 0; y < indexed.height; ++y) {
    GifPixelType* row = indexed.indices.data() + static_cast<std::size_t>(y) * indexed.width;
    if (EGifPutLine(gif, row, indexed.width) == GIF_ERROR) Fail("cannot write", gif->Error);
  }
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
  IndexedPicture indexed = QuantizeOctree(picture, bits);
  CheckQuantized(indexed, picture, bits);

  std::vector<std::uint8_t> out;
  MemoryWriter writer{&out};
  int error = 0;
  GifFileType* gif = EGifOpen(&writer, WriteToMemory, &error);
  if (!gif) Fail("cannot write", error);
  ColorMapObject* map = nullptr;
  try {
    map = MakeColorMap(indexed.palette, bits);
    WriteIndexed(gif, indexed, map, bits);
  } catch (...) {
    GifFreeMapObject(map);
    EGifCloseFile(gif, &error);
    throw;
  }
  GifFreeMapObject(map);
  if (EGifCloseFile(gif, &error) == GIF_ERROR || writer.failed) Fail("cannot write", error);
  return out;
}

std::vector<std::uint8_t> EncodeGif(const Bitmap& picture, int bitsPerPixel) {
  GifEncoderSettings settings;
  settings.bitsPerPixel = bitsPerPixel;
  return EncodeGif(picture, settings);
}

}  // namespace quillet

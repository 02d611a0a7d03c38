// PNG through libpng. libpng reports fatal errors by longjmp back to the
// function that set the jump point; no object with a destructor is created
// between that setjmp and the libpng calls, so nothing is skipped.

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>

#include "core/codecs/Codecs.h"

namespace quillet {
namespace {

struct ErrorState {
  char message[256] = "";
};

void StopOnError(png_structp png, png_const_charp text) {
  auto* state = static_cast<ErrorState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", text);
  png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

struct MemoryReader {
  std::span<const std::uint8_t> bytes;
  std::size_t position = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (length > reader->bytes.size() - reader->position) png_error(png, "file ends early");
  if (length > 0) std::memcpy(out, reader->bytes.data() + reader->position, length);
  reader->position += length;
}

struct ReadSession {
  ErrorState error;
  MemoryReader reader;
  png_structp png = nullptr;
  png_infop info = nullptr;

  explicit ReadSession(std::span<const std::uint8_t> bytes) {
    reader.bytes = bytes;
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, StopOnError, IgnoreWarning);
    if (png) info = png_create_info_struct(png);
    if (!png || !info) throw PictureError("PNG: out of memory");
    png_set_read_fn(png, &reader, ReadFromMemory);
  }
  ~ReadSession() { png_destroy_read_struct(&png, &info, nullptr); }
  ReadSession(const ReadSession&) = delete;
  ReadSession& operator=(const ReadSession&) = delete;
};

struct Layout {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int bitsPerPixel = 8;  // as stored in the file, before any expansion
  int passes = 1;        // 7 for an interlaced picture
};

// Deflate turns one byte into at most 1032 (a 258-byte match coded in two
// bits); image data that would need more is not in the file.
constexpr std::uint64_t kMaxInflateRatio = 1032;

// Reads the header and asks libpng for 8-bit RGBA rows whatever the file holds.
bool ReadHeader(ReadSession& s, Layout& layout) {
  if (setjmp(png_jmpbuf(s.png))) return false;
  png_read_info(s.png, s.info);
  layout.width = png_get_image_width(s.png, s.info);
  layout.height = png_get_image_height(s.png, s.info);
  layout.bitsPerPixel = png_get_bit_depth(s.png, s.info) * png_get_channels(s.png, s.info);
  const int colorType = png_get_color_type(s.png, s.info);
  png_set_scale_16(s.png);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(s.png);
  if (!(colorType & PNG_COLOR_MASK_COLOR)) png_set_expand_gray_1_2_4_to_8(s.png);
  if (png_get_valid(s.png, s.info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(s.png);
  if (!(colorType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(s.png);
  png_set_add_alpha(s.png, 0xFF, PNG_FILLER_AFTER);
  // The passes of an interlaced picture are read as they are (see ReadPixels).
  layout.passes = png_get_interlace_type(s.png, s.info) == PNG_INTERLACE_ADAM7 ? 7 : 1;
  png_read_update_info(s.png, s.info);
  if (png_get_rowbytes(s.png, s.info) != static_cast<png_size_t>(layout.width) * 4)
    png_error(s.png, "unexpected row layout");
  return true;
}

std::uint8_t OverWhite(unsigned c, unsigned a) {
  return static_cast<std::uint8_t>((c * a + 255 * (255 - a) + 127) / 255);
}

void ComposeRow(const std::uint8_t* rgba, std::uint8_t* rgb, std::uint32_t width) {
  for (std::uint32_t x = 0; x < width; ++x, rgba += 4, rgb += 3) {
    for (int c = 0; c < 3; ++c)
      rgb[c] = OverWhite(rgba[c], rgba[3]);
  }
}

// Rows come one at a time into `row` and are composed over white into their
// place. An interlaced picture comes as seven smaller pictures (passes), each
// holding every pixel of its grid exactly once, so every pixel is composed as
// it arrives and no second full-size buffer is needed. With `picture` null
// the rows are only read, to learn whether the file is whole.
bool ReadPixels(ReadSession& s, const Layout& layout, Bitmap* picture, std::uint8_t* row) {
  if (setjmp(png_jmpbuf(s.png))) return false;
  if (layout.passes == 1) {
    for (std::uint32_t y = 0; y < layout.height; ++y) {
      png_read_row(s.png, row, nullptr);
      if (picture) ComposeRow(row, picture->Row(static_cast<int>(y)), layout.width);
    }
  } else {
    for (int pass = 0; pass < PNG_INTERLACE_ADAM7_PASSES; ++pass) {
      const std::uint32_t rows = PNG_PASS_ROWS(layout.height, pass);
      const std::uint32_t columns = PNG_PASS_COLS(layout.width, pass);
      if (rows == 0 || columns == 0) continue;  // libpng skips empty passes too
      for (std::uint32_t r = 0; r < rows; ++r) {
        png_read_row(s.png, row, nullptr);
        if (!picture) continue;
        std::uint8_t* out = picture->Row(static_cast<int>(PNG_ROW_FROM_PASS_ROW(r, pass)));
        const std::uint8_t* in = row;
        for (std::uint32_t c = 0; c < columns; ++c, in += 4)
          ComposeRow(in, out + std::size_t{PNG_COL_FROM_PASS_COL(c, pass)} * 3, 1);
      }
    }
  }
  png_read_end(s.png, nullptr);
  return true;
}

[[noreturn]] void Fail(const ErrorState& error) {
  throw PictureError(std::string("PNG: ") + error.message);
}

struct MemoryWriter {
  std::vector<std::uint8_t>* out;
};

void WriteToMemory(png_structp png, png_bytep data, png_size_t length) {
  auto* writer = static_cast<MemoryWriter*>(png_get_io_ptr(png));
  bool written = true;
  try {
    writer->out->insert(writer->out->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    written = false;
  }
  if (!written) png_error(png, "out of memory");
}

void FlushMemory(png_structp) {}

struct WriteSession {
  ErrorState error;
  MemoryWriter writer;
  png_structp png = nullptr;
  png_infop info = nullptr;

  explicit WriteSession(std::vector<std::uint8_t>& out) {
    writer.out = &out;
    png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, StopOnError, IgnoreWarning);
    if (png) info = png_create_info_struct(png);
    if (!png || !info) throw PictureError("PNG: out of memory");
    png_set_write_fn(png, &writer, WriteToMemory, FlushMemory);
  }
  ~WriteSession() { png_destroy_write_struct(&png, &info); }
  WriteSession(const WriteSession&) = delete;
  WriteSession& operator=(const WriteSession&) = delete;
};

bool Compress(WriteSession& s, const Bitmap& picture) {
  if (setjmp(png_jmpbuf(s.png))) return false;
  png_set_IHDR(s.png, s.info, static_cast<png_uint_32>(picture.Width()),
               static_cast<png_uint_32>(picture.Height()), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(s.png, s.info);
  for (int y = 0; y < picture.Height(); ++y)
    png_write_row(s.png, const_cast<png_bytep>(picture.Row(y)));
  png_write_end(s.png, nullptr);
  return true;
}

}  // namespace

// The passes of an interlaced picture reach every part of it from the first
// one on: a large one is read through once before its memory is taken, so
// that a file cut short or damaged halfway is refused having cost none.
constexpr std::uint64_t kCheckInterlacedAbove = 64ull << 20;

Bitmap DecodePng(std::span<const std::uint8_t> bytes, std::int64_t maxPixels) {
  ReadSession session(bytes);
  Layout layout;
  if (!ReadHeader(session, layout)) Fail(session.error);
  const std::int64_t pixels = static_cast<std::int64_t>(layout.width) * layout.height;
  if (layout.width == 0 || layout.height == 0) throw PictureError("PNG: picture has no pixels");
  if (pixels > maxPixels) throw PictureError("PNG: picture is too large");
  // A header that announces more pixels than the file can hold is refused
  // before the picture's memory is taken.
  const std::uint64_t packedBytes = (static_cast<std::uint64_t>(pixels) * layout.bitsPerPixel) / 8;
  if (packedBytes > kMaxInflateRatio * bytes.size())
    throw PictureError("PNG: the file is too short for its picture size");
  std::vector<std::uint8_t> row(static_cast<std::size_t>(layout.width) * 4);
  if (layout.passes > 1 && static_cast<std::uint64_t>(pixels) * 3 > kCheckInterlacedAbove) {
    ReadSession check(bytes);
    Layout again;
    if (!ReadHeader(check, again) || !ReadPixels(check, again, nullptr, row.data()))
      Fail(check.error);
  }
  Bitmap picture =
      Bitmap::Uninitialized(static_cast<int>(layout.width), static_cast<int>(layout.height));
  if (!ReadPixels(session, layout, &picture, row.data())) Fail(session.error);
  return picture;
}

std::vector<std::uint8_t> EncodePng(const Bitmap& picture) {
  if (picture.Empty()) throw PictureError("PNG: cannot write an empty picture");
  std::vector<std::uint8_t> out;
  WriteSession session(out);
  if (!Compress(session, picture)) Fail(session.error);
  return out;
}

}  // namespace quillet

// JPEG through libjpeg. libjpeg reports fatal errors through a callback that
// must not return; it jumps back with longjmp to the function that set the
// jump point. No object with a destructor is created between a setjmp and
// the calls that may jump, so nothing is skipped.

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "core/codecs/Codecs.h"
#include "core/codecs/ExifOrientation.h"
#include "core/codecs/PictureFileReader.h"

namespace quillet {
namespace {

// Huffman-coded data spends at least one bit on every 8 × 8 block of a scan,
// and a block of the most subsampled component covers at most 16 × 64
// pixels. Arithmetic coding has no such floor: a plain area costs next to
// nothing. Arithmetic-coded files are rare, and one whose picture is large
// for its size is far more likely a trap than a plain picture, so above
// kPlainPictureAllowance pixels they are held to the Huffman bound too.
constexpr std::int64_t kMaxHuffmanPixelsPerByte = 8 * 16 * 64;
constexpr std::int64_t kPlainPictureAllowance = std::int64_t{16} << 20;

// Rows decoded together before a turned picture spreads them over its
// columns: each column then gets a run of this many pixels at once, taken
// kTurnChunk columns at a time.
constexpr int kTurnBandRows = 128;
constexpr int kTurnChunk = 32;

struct ErrorManager {
  jpeg_error_mgr pub;  // first, so libjpeg's pointer is ours too
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JumpOnError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Warnings about the file's description of itself leave the pixels alone.
// Every other warning means that libjpeg is about to invent pixels the file
// does not hold (data cut short, a bad code, a lost restart marker), so the
// file is refused; extra bytes before a marker come after the picture's data
// and many cameras write them.
bool LeavesPixelsAlone(int code) {
  return code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM || code == JWRN_BOGUS_ICC ||
         code == JWRN_EXTRANEOUS_DATA;
}

void FilterMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // traces
  if (!LeavesPixelsAlone(cinfo->err->msg_code)) JumpOnError(cinfo);
  ++cinfo->err->num_warnings;
}

void InstallErrorManager(ErrorManager& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = JumpOnError;
  err.pub.emit_message = FilterMessage;
  err.message[0] = '\0';
}

// Reads the file as libjpeg asks for it, a buffer at a time.
struct FileSource {
  jpeg_source_mgr pub;  // first
  const PictureFileReader* file;
  std::uint64_t offset;
  JOCTET buffer[64 * 1024];
};

void InitFileSource(j_decompress_ptr) {}
void TermFileSource(j_decompress_ptr) {}

boolean FillFileSource(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<FileSource*>(cinfo->src);
  const std::int64_t got = src->file->ReadAt(src->offset, src->buffer, sizeof src->buffer);
  if (got < 0) ERREXIT(cinfo, JERR_FILE_READ);
  std::size_t count = static_cast<std::size_t>(got);
  if (count == 0) {
    // As libjpeg's own sources do: warn (which refuses the file here) and
    // end the data with an end-of-image marker.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    count = 2;
  }
  src->offset += count;
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = count;
  return TRUE;
}

void SkipFileSource(j_decompress_ptr cinfo, long count) {
  auto* src = reinterpret_cast<FileSource*>(cinfo->src);
  if (count <= 0) return;
  const auto skip = static_cast<std::size_t>(count);
  if (skip <= src->pub.bytes_in_buffer) {
    src->pub.next_input_byte += skip;
    src->pub.bytes_in_buffer -= skip;
    return;
  }
  src->offset += skip - src->pub.bytes_in_buffer;
  src->pub.bytes_in_buffer = 0;
}

// Where the compressed bytes come from: memory or a file.
struct Input {
  std::span<const std::uint8_t> bytes;
  const PictureFileReader* file = nullptr;
  std::uint64_t Size() const { return file ? file->Size() : bytes.size(); }
};

struct ReadSession {
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  FileSource source{};
  ReadSession() {
    InstallErrorManager(err);
    cinfo.err = &err.pub;
  }
  ~ReadSession() { jpeg_destroy_decompress(&cinfo); }
  ReadSession(const ReadSession&) = delete;
  ReadSession& operator=(const ReadSession&) = delete;
};

void UseFileSource(ReadSession& s, const PictureFileReader& file) {
  FileSource& src = s.source;
  src.pub.init_source = InitFileSource;
  src.pub.fill_input_buffer = FillFileSource;
  src.pub.skip_input_data = SkipFileSource;
  src.pub.resync_to_restart = jpeg_resync_to_restart;
  src.pub.term_source = TermFileSource;
  src.pub.bytes_in_buffer = 0;
  src.pub.next_input_byte = nullptr;
  src.file = &file;
  src.offset = 0;
  s.cinfo.src = &src.pub;
}

bool ReadHeader(ReadSession& s, const Input& input) {
  if (setjmp(s.err.jump)) return false;
  jpeg_create_decompress(&s.cinfo);
  if (input.file) {
    UseFileSource(s, *input.file);
  } else {
    jpeg_mem_src(&s.cinfo, input.bytes.data(), static_cast<unsigned long>(input.bytes.size()));
  }
  jpeg_save_markers(&s.cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&s.cinfo, TRUE);
  const bool inked = s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK;
  s.cinfo.out_color_space = inked ? JCS_CMYK : JCS_RGB;
  return true;
}

Orientation OrientationOf(const jpeg_decompress_struct& cinfo) {
  for (jpeg_saved_marker_ptr marker = cinfo.marker_list; marker; marker = marker->next) {
    if (marker->marker != JPEG_APP0 + 1) continue;
    if (auto orientation = ExifOrientation({marker->data, marker->data_length}))
      return *orientation;
  }
  return Orientation::Upright;
}

std::uint8_t InkToLight(unsigned ink, unsigned black, bool adobeInverted) {
  // Adobe's CMYK JPEGs store the inks inverted (255 = no ink).
  if (!adobeInverted) {
    ink = 255 - ink;
    black = 255 - black;
  }
  return static_cast<std::uint8_t>((ink * black + 127) / 255);
}

void CmykToRgb(const std::uint8_t* in, std::uint8_t* out, int width, bool adobeInverted) {
  for (int x = 0; x < width; ++x, in += 4, out += 3) {
    for (int c = 0; c < 3; ++c)
      out[c] = InkToLight(in[c], in[3], adobeInverted);
  }
}

// Buffers the decoder works in besides the picture: a row of inks for CMYK
// files, and a band of rows for pictures that are turned a quarter.
struct Scratch {
  std::vector<std::uint8_t> cmykRow;
  std::vector<std::uint8_t> band;
};

// Puts decoded rows where the orientation wants them, so that the picture is
// turned while it is decoded and never needs a second full-size copy.
class RowPlacer {
 public:
  RowPlacer(Bitmap& picture, Orientation orientation, int storedWidth, int storedHeight,
            std::uint8_t* band)
      : picture_(picture),
        orientation_(orientation),
        width_(storedWidth),
        height_(storedHeight),
        band_(band) {}

  // Where stored row `y` is to be decoded to.
  std::uint8_t* RowFor(int y) {
    if (SwapsSides(orientation_))
      return band_ + static_cast<std::size_t>(y % kTurnBandRows) * Stride();
    const bool flipped =
        orientation_ == Orientation::Rotated180 || orientation_ == Orientation::MirroredVertically;
    return picture_.Row(flipped ? height_ - 1 - y : y);
  }

  // Stored row `y` has been decoded to RowFor(y).
  void Decoded(int y) {
    if (SwapsSides(orientation_)) {
      if (y % kTurnBandRows == kTurnBandRows - 1 || y == height_ - 1)
        SpreadBand(y - y % kTurnBandRows, y % kTurnBandRows + 1);
      return;
    }
    if (orientation_ == Orientation::MirroredHorizontally ||
        orientation_ == Orientation::Rotated180)
      Mirror(RowFor(y));
  }

 private:
  std::size_t Stride() const { return static_cast<std::size_t>(width_) * 3; }

  void Mirror(std::uint8_t* row) const {
    for (int left = 0, right = width_ - 1; left < right; ++left, --right) {
      std::swap_ranges(row + 3 * left, row + 3 * left + 3, row + 3 * right);
    }
  }

  // Stored rows first..first+count, now in the band, become columns: stored
  // column x goes to picture row x (or width - 1 - x), stored row y to
  // picture column y (or height - 1 - y).
  void SpreadBand(int first, int count) {
    const bool columnsDown =
        orientation_ == Orientation::Transposed || orientation_ == Orientation::RotatedRight;
    const bool rowsLeftToRight =
        orientation_ == Orientation::Transposed || orientation_ == Orientation::RotatedLeft;
    // Each picture row gets the run of `count` pixels from `low` on. The
    // pixels are moved four bytes at a time, from the lowest address up, each
    // fourth byte overwritten by the next pixel; the last pixel of a run, whose
    // fourth byte would land on a pixel of another band, is moved alone.
    const int low = rowsLeftToRight ? first : height_ - first - count;
    const std::size_t stride = Stride();
    for (int chunk = 0; chunk < width_; chunk += kTurnChunk) {
      const int end = std::min(chunk + kTurnChunk, width_);
      for (int x = chunk; x < end; ++x) {
        std::uint8_t* out =
            picture_.Row(columnsDown ? x : width_ - 1 - x) + static_cast<std::size_t>(low) * 3;
        const std::uint8_t* in = band_ + static_cast<std::size_t>(x) * 3;
        // Band row j goes to column low + j, or low + count - 1 - j.
        const std::ptrdiff_t next =
            rowsLeftToRight ? std::ptrdiff_t(stride) : -std::ptrdiff_t(stride);
        if (!rowsLeftToRight) in += static_cast<std::size_t>(count - 1) * stride;
        for (int j = 0; j < count - 1; ++j, in += next, out += 3)
          std::memcpy(out, in, 4);
        std::memcpy(out, in, 3);
      }
    }
  }

  Bitmap& picture_;
  Orientation orientation_;
  int width_;
  int height_;
  std::uint8_t* band_;
};

bool ReadRows(ReadSession& s, RowPlacer& placer, std::uint8_t* cmykRow) {
  if (setjmp(s.err.jump)) return false;
  jpeg_start_decompress(&s.cinfo);
  const bool cmyk = s.cinfo.out_color_space == JCS_CMYK;
  const int width = static_cast<int>(s.cinfo.output_width);
  while (s.cinfo.output_scanline < s.cinfo.output_height) {
    const int y = static_cast<int>(s.cinfo.output_scanline);
    std::uint8_t* target = placer.RowFor(y);
    JSAMPROW row = cmyk ? cmykRow : target;
    if (jpeg_read_scanlines(&s.cinfo, &row, 1) != 1) {
      std::snprintf(s.err.message, sizeof s.err.message, "no rows came from the decoder");
      return false;
    }
    if (cmyk) CmykToRgb(cmykRow, target, width, s.cinfo.saw_Adobe_marker);
    placer.Decoded(y);
  }
  jpeg_finish_decompress(&s.cinfo);
  return true;
}

[[noreturn]] void Fail(const ErrorManager& err) {
  throw PictureError(std::string("JPEG: ") + err.message);
}

Bitmap Decode(const Input& input, std::int64_t maxPixels) {
  ReadSession session;
  if (!ReadHeader(session, input)) Fail(session.err);
  const jpeg_decompress_struct& cinfo = session.cinfo;
  const std::int64_t width = cinfo.image_width, height = cinfo.image_height;
  const std::int64_t pixels = width * height;
  if (width <= 0 || height <= 0) throw PictureError("JPEG: picture has no pixels");
  if (pixels > maxPixels) throw PictureError("JPEG: picture is too large");
  const bool bounded = !cinfo.arith_code || pixels > kPlainPictureAllowance;
  if (bounded && pixels > kMaxHuffmanPixelsPerByte * static_cast<std::int64_t>(input.Size()))
    throw PictureError("JPEG: the file is too short for its picture size");

  const Orientation orientation = OrientationOf(cinfo);
  const int w = static_cast<int>(width), h = static_cast<int>(height);
  Bitmap picture =
      SwapsSides(orientation) ? Bitmap::Uninitialized(h, w) : Bitmap::Uninitialized(w, h);
  Scratch scratch;
  if (cinfo.out_color_space == JCS_CMYK) scratch.cmykRow.resize(static_cast<std::size_t>(w) * 4);
  // One byte more: the last pixel of a row is read four bytes at a time too.
  if (SwapsSides(orientation))
    scratch.band.resize(static_cast<std::size_t>(w) * 3 * kTurnBandRows + 1);
  RowPlacer placer(picture, orientation, w, h, scratch.band.data());
  if (!ReadRows(session, placer, scratch.cmykRow.data())) Fail(session.err);
  if (cinfo.output_width != width || cinfo.output_height != height)
    throw PictureError("JPEG: unexpected output size");
  return picture;
}

// Collects compressed bytes in a vector that grows as needed.
struct VectorDestination {
  jpeg_destination_mgr pub;  // first
  std::vector<std::uint8_t>* out;
};

void StartDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
  dest->pub.next_output_byte = dest->out->data();
  dest->pub.free_in_buffer = dest->out->size();
}

boolean GrowDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
  const std::size_t used = dest->out->size();
  bool grown = true;
  try {
    dest->out->resize(used * 2);
  } catch (const std::bad_alloc&) {
    grown = false;
  }
  if (!grown) ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
  dest->pub.next_output_byte = dest->out->data() + used;
  dest->pub.free_in_buffer = dest->out->size() - used;
  return TRUE;
}

void FinishDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
  dest->out->resize(dest->out->size() - dest->pub.free_in_buffer);
}

struct WriteSession {
  jpeg_compress_struct cinfo{};
  ErrorManager err{};
  VectorDestination dest{};
  WriteSession(std::vector<std::uint8_t>& out) {
    InstallErrorManager(err);
    cinfo.err = &err.pub;
    dest.pub.init_destination = StartDestination;
    dest.pub.empty_output_buffer = GrowDestination;
    dest.pub.term_destination = FinishDestination;
    dest.out = &out;
  }
  ~WriteSession() { jpeg_destroy_compress(&cinfo); }
  WriteSession(const WriteSession&) = delete;
  WriteSession& operator=(const WriteSession&) = delete;
};

bool Compress(WriteSession& s, const Bitmap& picture, int quality) {
  if (setjmp(s.err.jump)) return false;
  jpeg_create_compress(&s.cinfo);
  s.cinfo.dest = &s.dest.pub;
  s.cinfo.image_width = static_cast<JDIMENSION>(picture.Width());
  s.cinfo.image_height = static_cast<JDIMENSION>(picture.Height());
  s.cinfo.input_components = 3;
  s.cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&s.cinfo);
  jpeg_set_quality(&s.cinfo, quality, TRUE);
  jpeg_start_compress(&s.cinfo, TRUE);
  while (s.cinfo.next_scanline < s.cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(picture.Row(static_cast<int>(s.cinfo.next_scanline)));
    jpeg_write_scanlines(&s.cinfo, &row, 1);
  }
  jpeg_finish_compress(&s.cinfo);
  return true;
}

}  // namespace

Bitmap DecodeJpeg(std::span<const std::uint8_t> bytes, std::int64_t maxPixels) {
  return Decode(Input{bytes, nullptr}, maxPixels);
}

Bitmap DecodeJpegFile(const PictureFileReader& file, std::int64_t maxPixels) {
  return Decode(Input{{}, &file}, maxPixels);
}

std::vector<std::uint8_t> EncodeJpeg(const Bitmap& picture, int quality) {
  if (picture.Empty()) throw PictureError("JPEG: cannot write an empty picture");
  if (picture.Width() > JPEG_MAX_DIMENSION || picture.Height() > JPEG_MAX_DIMENSION)
    throw PictureError("JPEG: picture is too large");
  std::vector<std::uint8_t> out(64 * 1024);
  WriteSession session(out);
  if (!Compress(session, picture, std::clamp(quality, 1, 100))) Fail(session.err);
  return out;
}

}  // namespace quillet

// JPEG through libjpeg. libjpeg reports fatal errors through a callback that
// must not return; it jumps back with longjmp to the function that set the
// jump point. No object with a destructor is created between a setjmp and
// the calls that may jump, so nothing is skipped.

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <new>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "core/codecs/Codecs.h"

namespace quillet {
namespace {

// Huffman-coded data spends at least one bit on every 8 × 8 block of a scan,
// and a block of the most subsampled component covers at most 16 × 64
// pixels. Arithmetic coding has no such floor and is left to the pixel limit.
constexpr std::int64_t kMaxHuffmanPixelsPerByte = 8 * 16 * 64;

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

// Warnings and traces stay quiet; only a file that ends early is an error,
// since libjpeg would otherwise invent the missing part of the picture.
void FilterMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  if (cinfo->err->msg_code == JWRN_JPEG_EOF) JumpOnError(cinfo);
  ++cinfo->err->num_warnings;
}

void InstallErrorManager(ErrorManager& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = JumpOnError;
  err.pub.emit_message = FilterMessage;
  err.message[0] = '\0';
}

struct ReadSession {
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  ReadSession() {
    InstallErrorManager(err);
    cinfo.err = &err.pub;
  }
  ~ReadSession() { jpeg_destroy_decompress(&cinfo); }
  ReadSession(const ReadSession&) = delete;
  ReadSession& operator=(const ReadSession&) = delete;
};

bool ReadHeader(ReadSession& s, std::span<const std::uint8_t> bytes) {
  if (setjmp(s.err.jump)) return false;
  jpeg_create_decompress(&s.cinfo);
  jpeg_mem_src(&s.cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&s.cinfo, TRUE);
  const bool inked = s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK;
  s.cinfo.out_color_space = inked ? JCS_CMYK : JCS_RGB;
  return true;
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

bool ReadRows(ReadSession& s, Bitmap& picture, std::uint8_t* cmykRow) {
  if (setjmp(s.err.jump)) return false;
  jpeg_start_decompress(&s.cinfo);
  const bool cmyk = s.cinfo.out_color_space == JCS_CMYK;
  while (s.cinfo.output_scanline < s.cinfo.output_height) {
    const int y = static_cast<int>(s.cinfo.output_scanline);
    JSAMPROW row = cmyk ? cmykRow : picture.Row(y);
    jpeg_read_scanlines(&s.cinfo, &row, 1);
    if (cmyk) CmykToRgb(cmykRow, picture.Row(y), picture.Width(), s.cinfo.saw_Adobe_marker);
  }
  jpeg_finish_decompress(&s.cinfo);
  return true;
}

[[noreturn]] void Fail(const ErrorManager& err) {
  throw PictureError(std::string("JPEG: ") + err.message);
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
  ReadSession session;
  if (!ReadHeader(session, bytes)) Fail(session.err);
  const std::int64_t width = session.cinfo.image_width, height = session.cinfo.image_height;
  if (width <= 0 || height <= 0) throw PictureError("JPEG: picture has no pixels");
  if (width * height > maxPixels) throw PictureError("JPEG: picture is too large");
  if (!session.cinfo.arith_code &&
      width * height > kMaxHuffmanPixelsPerByte * static_cast<std::int64_t>(bytes.size()))
    throw PictureError("JPEG: the file is too short for its picture size");
  Bitmap picture(static_cast<int>(width), static_cast<int>(height));
  std::vector<std::uint8_t> cmykRow;
  if (session.cinfo.out_color_space == JCS_CMYK)
    cmykRow.resize(static_cast<std::size_t>(width) * 4);
  if (!ReadRows(session, picture, cmykRow.data())) Fail(session.err);
  if (session.cinfo.output_width != width || session.cinfo.output_height != height)
    throw PictureError("JPEG: unexpected output size");
  return picture;
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

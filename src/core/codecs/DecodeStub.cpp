// Placeholder until the real codecs land; its owner deletes this file.
#include "core/codecs/Codecs.h"

namespace quillet {
namespace {
[[noreturn]] void NotYet() { throw PictureError("codec not built yet"); }
}  // namespace
DecoderKind DecoderForFileName(std::string_view) { return DecoderKind::General; }
Bitmap DecodeJpeg(std::span<const std::uint8_t>) { NotYet(); }
Bitmap DecodePng(std::span<const std::uint8_t>) { NotYet(); }
Bitmap DecodeGif(std::span<const std::uint8_t>) { NotYet(); }
Bitmap DecodeBmp(std::span<const std::uint8_t>) { NotYet(); }
Bitmap DecodePictureFile(const std::string&) { NotYet(); }
Bitmap PaintPackedDib(std::span<const std::uint8_t>) { NotYet(); }
std::vector<std::uint8_t> EncodeBmp(const Bitmap&) { NotYet(); }
std::vector<std::uint8_t> EncodeJpeg(const Bitmap&, int) { NotYet(); }
std::vector<std::uint8_t> EncodePng(const Bitmap&) { NotYet(); }
std::vector<std::uint8_t> EncodeGif(const Bitmap&, int) { NotYet(); }
}  // namespace quillet

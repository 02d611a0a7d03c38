#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/codecs/Bitmap.h"

namespace quillet {

// A picture that cannot be decoded or encoded; what() says why (for logs and
// tests; the user sees the caller's own message).
class PictureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The decoders refuse a picture whose header announces more than this many
// pixels before allocating anything for it.
inline constexpr std::int64_t kMaxPicturePixels = 256LL * 1024 * 1024;

// The formats the program writes; a file's format is told by its extension
// alone, letter case ignored, ".jpeg" counting as JPEG.
enum class LogoFormat : std::uint8_t { Bmp = 0, Jpg = 1, Gif = 2, Png = 3 };

// The decoder a file name selects: JPEG for ".jpg"/".jpeg", GIF, PNG, and the
// general loader (Windows bitmap) for every other extension.
enum class DecoderKind { Jpeg, Gif, Png, General };
DecoderKind DecoderForFileName(std::string_view fileName);

// Decoders over memory; each throws PictureError. Transparent pixels are
// composed over white; GIF gives its first frame on a white logical screen.
Bitmap DecodeJpeg(std::span<const std::uint8_t> bytes);
Bitmap DecodePng(std::span<const std::uint8_t> bytes);
Bitmap DecodeGif(std::span<const std::uint8_t> bytes);
Bitmap DecodeBmp(std::span<const std::uint8_t> bytes);

// Reads and decodes a file with the decoder its name selects. Throws
// PictureError (also for a file that cannot be read).
Bitmap DecodePictureFile(const std::string& path);

// A packed DIB (BITMAPINFOHEADER or the old OS/2 header, colour table, rows)
// painted 1:1 into a bitmap of its size. Throws PictureError.
Bitmap PaintPackedDib(std::span<const std::uint8_t> dib);

// Encoders; each throws PictureError.
std::vector<std::uint8_t> EncodeBmp(const Bitmap& picture);  // 24-bit
std::vector<std::uint8_t> EncodeJpeg(const Bitmap& picture, int quality);  // baseline JFIF, 1..100
std::vector<std::uint8_t> EncodePng(const Bitmap& picture);
std::vector<std::uint8_t> EncodeGif(const Bitmap& picture, int bitsPerPixel);  // 3..8 (1..8 accepted)

}  // namespace quillet

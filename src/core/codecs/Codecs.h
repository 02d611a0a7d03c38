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

// Files larger than this are refused before they are read.
inline constexpr std::int64_t kMaxPictureFileBytes = 1LL << 30;

// The formats the program writes; a file's format is told by its extension
// alone, letter case ignored, ".jpeg" counting as JPEG.
enum class LogoFormat : std::uint8_t { Bmp = 0, Jpg = 1, Gif = 2, Png = 3 };

// The format a file's extension names, letter case ignored: ".bmp", ".jpg"
// or ".jpeg", ".gif", ".png". Nothing for any other extension, which the
// logo writers then do not write.
std::optional<LogoFormat> WritableFormatOfFileName(std::string_view fileName);
// As read: ".jpg"/".jpeg" Jpg, ".gif" Gif, ".png" Png, any other extension Bmp.
LogoFormat LogoFormatOfFileName(std::string_view fileName);
// The extension a format is written with: ".bmp", ".jpg", ".gif", ".png".
std::string_view ExtensionOfFormat(LogoFormat format);

// The decoder a file name selects: JPEG for ".jpg"/".jpeg", GIF, PNG, and the
// general loader (Windows bitmap) for every other extension.
enum class DecoderKind { Jpeg, Gif, Png, General };
DecoderKind DecoderForFileName(std::string_view fileName);

// Decoders over memory; each throws PictureError. Transparent pixels are
// composed over white; GIF gives its first frame on a white logical screen;
// JPEG applies the EXIF orientation (all eight values), so that a phone photo
// taken upright comes out upright. `maxPixels` lowers the size limit (the
// fuzz targets use it to stay fast, the service to bound its work).
//
// Damaged and hostile files are refused without taking memory for the
// picture they announce: a header announcing more pixels than the file's
// data can hold is refused before anything is allocated, and a file that
// ends early or holds corrupt data is refused as soon as that shows (libjpeg's
// corrupt-data warnings included), having cost only the rows read so far.
Bitmap DecodeJpeg(std::span<const std::uint8_t> bytes, std::int64_t maxPixels = kMaxPicturePixels);
Bitmap DecodePng(std::span<const std::uint8_t> bytes, std::int64_t maxPixels = kMaxPicturePixels);
Bitmap DecodeGif(std::span<const std::uint8_t> bytes, std::int64_t maxPixels = kMaxPicturePixels);
Bitmap DecodeBmp(std::span<const std::uint8_t> bytes, std::int64_t maxPixels = kMaxPicturePixels);

// Decodes with the decoder that `kind` names (General reads Windows bitmaps).
Bitmap DecodePicture(std::span<const std::uint8_t> bytes, DecoderKind kind);
Bitmap DecodePicture(std::span<const std::uint8_t> bytes, DecoderKind kind, std::int64_t maxPixels);

// Reads and decodes a file with the decoder its name selects; the contents
// are not inspected to choose it. Throws PictureError (also for a file that
// cannot be read). A JPEG photo with an orientation tag comes out the way
// up it was taken.
Bitmap DecodePictureFile(const std::string& path);
Bitmap DecodePictureFile(const std::string& path, std::int64_t maxPixels);

// A packed DIB (BITMAPINFOHEADER or the old OS/2 header, colour table, rows)
// painted 1:1 into a bitmap of its size. Throws PictureError.
Bitmap PaintPackedDib(std::span<const std::uint8_t> dib,
                      std::int64_t maxPixels = kMaxPicturePixels);

// The process-wide GIF encoder settings; the defaults are what start-up sets:
// an optimal (octree) palette of 8 bits, Floyd–Steinberg dithering, LZW.
enum class GifColorReduction { OptimalPalette };
enum class GifDithering { FloydSteinberg };
enum class GifCompression { Lzw };
struct GifEncoderSettings {
  GifColorReduction reduction = GifColorReduction::OptimalPalette;
  int bitsPerPixel = 8;
  GifDithering dithering = GifDithering::FloydSteinberg;
  GifCompression compression = GifCompression::Lzw;
};

// Encoders; each throws PictureError.
std::vector<std::uint8_t> EncodeBmp(const Bitmap& picture);  // 24-bit, bottom-up
// Baseline JFIF; a quality outside 1..100 is taken as the nearest end.
std::vector<std::uint8_t> EncodeJpeg(const Bitmap& picture, int quality);
std::vector<std::uint8_t> EncodePng(const Bitmap& picture);  // 8-bit RGB
std::vector<std::uint8_t> EncodeGif(const Bitmap& picture, const GifEncoderSettings& settings);
// The default settings with `bitsPerPixel` (1..8) colour bits.
std::vector<std::uint8_t> EncodeGif(const Bitmap& picture, int bitsPerPixel);

// The encoder of `format`: JPEG with `jpegQuality`, GIF with `gifBits`.
std::vector<std::uint8_t> EncodePicture(const Bitmap& picture, LogoFormat format, int jpegQuality,
                                        int gifBits);

// Encodes and writes `path` whole (temporary file + rename). Throws
// PictureError when encoding fails and std::runtime_error when writing does;
// either way an older file at `path` is untouched.
void WritePictureFile(const std::string& path, const Bitmap& picture, LogoFormat format,
                      int jpegQuality, int gifBits);

}  // namespace quillet

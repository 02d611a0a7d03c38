#include <filesystem>
#include <fstream>

#include "core/codecs/Codecs.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/Text.h"

namespace quillet {
namespace {

std::vector<std::uint8_t> ReadPictureBytes(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) throw PictureError("cannot read " + path + ": " + error.message());
  if (size > static_cast<std::uintmax_t>(kMaxPictureFileBytes))
    throw PictureError("file is too large to be a picture: " + path);
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
    throw PictureError("cannot read " + path);
  return bytes;
}

}  // namespace

std::optional<LogoFormat> WritableFormatOfFileName(std::string_view fileName) {
  const std::string extension = LowerAscii(ExtensionOf(fileName));
  if (extension == ".bmp") return LogoFormat::Bmp;
  if (extension == ".jpg" || extension == ".jpeg") return LogoFormat::Jpg;
  if (extension == ".gif") return LogoFormat::Gif;
  if (extension == ".png") return LogoFormat::Png;
  return std::nullopt;
}

DecoderKind DecoderForFileName(std::string_view fileName) {
  switch (LogoFormatOfFileName(fileName)) {
    case LogoFormat::Jpg:
      return DecoderKind::Jpeg;
    case LogoFormat::Gif:
      return DecoderKind::Gif;
    case LogoFormat::Png:
      return DecoderKind::Png;
    case LogoFormat::Bmp:
      break;
  }
  return DecoderKind::General;
}

LogoFormat LogoFormatOfFileName(std::string_view fileName) {
  return WritableFormatOfFileName(fileName).value_or(LogoFormat::Bmp);
}

std::string_view ExtensionOfFormat(LogoFormat format) {
  switch (format) {
    case LogoFormat::Jpg:
      return ".jpg";
    case LogoFormat::Gif:
      return ".gif";
    case LogoFormat::Png:
      return ".png";
    case LogoFormat::Bmp:
      break;
  }
  return ".bmp";
}

Bitmap DecodePicture(std::span<const std::uint8_t> bytes, DecoderKind kind) {
  switch (kind) {
    case DecoderKind::Jpeg:
      return DecodeJpeg(bytes);
    case DecoderKind::Gif:
      return DecodeGif(bytes);
    case DecoderKind::Png:
      return DecodePng(bytes);
    case DecoderKind::General:
      break;
  }
  // The general loader knows Windows bitmaps only.
  return DecodeBmp(bytes);
}

Bitmap DecodePictureFile(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadPictureBytes(path);
  return DecodePicture(bytes, DecoderForFileName(path));
}

std::vector<std::uint8_t> EncodePicture(const Bitmap& picture, LogoFormat format, int jpegQuality,
                                        int gifBits) {
  switch (format) {
    case LogoFormat::Jpg:
      return EncodeJpeg(picture, jpegQuality);
    case LogoFormat::Gif:
      return EncodeGif(picture, gifBits);
    case LogoFormat::Png:
      return EncodePng(picture);
    case LogoFormat::Bmp:
      break;
  }
  return EncodeBmp(picture);
}

void WritePictureFile(const std::string& path, const Bitmap& picture, LogoFormat format,
                      int jpegQuality, int gifBits) {
  const std::vector<std::uint8_t> bytes = EncodePicture(picture, format, jpegQuality, gifBits);
  WriteFileAtomically(path,
                      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace quillet

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/codecs/Codecs.h"
#include "core/codecs/PictureFileReader.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/Text.h"

namespace quillet {

PictureFileReader::PictureFileReader(const std::string& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw PictureError("cannot read " + path + ": " + std::strerror(errno));
  struct stat status {};
  if (::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd_);
    throw PictureError("cannot read " + path + ": not a file");
  }
  size_ = static_cast<std::uint64_t>(status.st_size);
  if (size_ > static_cast<std::uint64_t>(kMaxPictureFileBytes)) {
    ::close(fd_);
    throw PictureError("file is too large to be a picture: " + path);
  }
}

PictureFileReader::~PictureFileReader() {
  ::close(fd_);
}

std::int64_t PictureFileReader::ReadAt(std::uint64_t offset, std::uint8_t* out,
                                       std::size_t count) const {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(fd_, out + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<std::int64_t>(done);
}

PictureFileReader::Contents PictureFileReader::ReadAll() const {
  Contents contents;
  contents.size = static_cast<std::size_t>(size_);
  contents.bytes.reset(new std::uint8_t[contents.size > 0 ? contents.size : 1]);
  const std::int64_t got = ReadAt(0, contents.bytes.get(), contents.size);
  if (got < 0 || static_cast<std::size_t>(got) != contents.size)
    throw PictureError("cannot read " + path_);
  return contents;
}

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
  return DecodePicture(bytes, kind, kMaxPicturePixels);
}

Bitmap DecodePicture(std::span<const std::uint8_t> bytes, DecoderKind kind,
                     std::int64_t maxPixels) {
  switch (kind) {
    case DecoderKind::Jpeg:
      return DecodeJpeg(bytes, maxPixels);
    case DecoderKind::Gif:
      return DecodeGif(bytes, maxPixels);
    case DecoderKind::Png:
      return DecodePng(bytes, maxPixels);
    case DecoderKind::General:
      break;
  }
  // The general loader knows Windows bitmaps only.
  return DecodeBmp(bytes, maxPixels);
}

Bitmap DecodePictureFile(const std::string& path) {
  return DecodePictureFile(path, kMaxPicturePixels);
}

Bitmap DecodePictureFile(const std::string& path, std::int64_t maxPixels) {
  const PictureFileReader file(path);
  // JPEG and bitmap files are read as they are decoded: a large one never
  // sits in memory beside its picture.
  switch (DecoderForFileName(path)) {
    case DecoderKind::Jpeg:
      return DecodeJpegFile(file, maxPixels);
    case DecoderKind::General:
      return DecodeBmpFile(file, maxPixels);
    case DecoderKind::Gif:
    case DecoderKind::Png:
      break;
  }
  const PictureFileReader::Contents contents = file.ReadAll();
  return DecodePicture(contents.Span(), DecoderForFileName(path), maxPixels);
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

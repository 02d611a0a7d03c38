#include "tools/service/PictureCheck.h"

#include <cstring>
#include <optional>
#include <span>
#include <utility>

#include "core/codecs/Codecs.h"

namespace quillet::service {
namespace {

constexpr auto kWaitForSlot = std::chrono::seconds(30);

std::uint32_t Le16(std::string_view b, std::size_t at) {
  return static_cast<std::uint8_t>(b[at]) | (static_cast<std::uint8_t>(b[at + 1]) << 8);
}
std::uint32_t Le32(std::string_view b, std::size_t at) {
  return Le16(b, at) | (Le16(b, at + 2) << 16);
}
std::uint32_t Be16(std::string_view b, std::size_t at) {
  return (static_cast<std::uint8_t>(b[at]) << 8) | static_cast<std::uint8_t>(b[at + 1]);
}
std::uint32_t Be32(std::string_view b, std::size_t at) {
  return (Be16(b, at) << 16) | Be16(b, at + 2);
}

// The size a file announces, read from its header only: enough to refuse a
// picture with a clear message before anything is decoded.
std::optional<std::pair<std::int64_t, std::int64_t>> AnnouncedSize(std::string_view b,
                                                                   LogoFormat format) {
  switch (format) {
    case LogoFormat::Png:
      if (b.size() < 24 || b.substr(12, 4) != "IHDR") return std::nullopt;
      return std::pair<std::int64_t, std::int64_t>{Be32(b, 16), Be32(b, 20)};
    case LogoFormat::Gif:
      if (b.size() < 10) return std::nullopt;
      return std::pair<std::int64_t, std::int64_t>{Le16(b, 6), Le16(b, 8)};
    case LogoFormat::Bmp: {
      if (b.size() < 26) return std::nullopt;
      const std::uint32_t headerSize = Le32(b, 14);
      // Only the header sizes of real bitmaps; anything else is left to the
      // decoder to refuse.
      if (headerSize != 12 && headerSize != 16 && headerSize != 40 && headerSize != 52 &&
          headerSize != 56 && headerSize != 64 && headerSize != 108 && headerSize != 124)
        return std::nullopt;
      if (headerSize == 12) return std::pair<std::int64_t, std::int64_t>{Le16(b, 18), Le16(b, 20)};
      const auto width = static_cast<std::int32_t>(Le32(b, 18));
      const auto height = static_cast<std::int32_t>(Le32(b, 22));
      return std::pair<std::int64_t, std::int64_t>{width < 0 ? -std::int64_t{width} : width,
                                                   height < 0 ? -std::int64_t{height} : height};
    }
    case LogoFormat::Jpg: {
      // Walk the markers up to the first start of frame.
      std::size_t at = 2;
      while (at + 4 <= b.size()) {
        if (static_cast<std::uint8_t>(b[at]) != 0xFF) return std::nullopt;
        const std::uint8_t marker = static_cast<std::uint8_t>(b[at + 1]);
        if (marker == 0xFF) {
          ++at;
          continue;
        }
        const std::uint32_t length = Be16(b, at + 2);
        const bool startOfFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (startOfFrame) {
          if (at + 9 > b.size()) return std::nullopt;
          return std::pair<std::int64_t, std::int64_t>{Be16(b, at + 7), Be16(b, at + 5)};
        }
        if (length < 2) return std::nullopt;
        at += 2 + length;
      }
      return std::nullopt;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<LogoFormat> SniffFormat(std::string_view bytes) {
  if (bytes.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8)) return LogoFormat::Png;
  if (bytes.substr(0, 3) == "\xFF\xD8\xFF") return LogoFormat::Jpg;
  if (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a") return LogoFormat::Gif;
  if (bytes.substr(0, 2) == "BM") return LogoFormat::Bmp;
  return std::nullopt;
}

std::string_view FormatName(LogoFormat format) {
  return ExtensionOfFormat(format).substr(1);
}

std::string_view ContentTypeOfFormat(std::string_view name) {
  if (name == "bmp") return "image/bmp";
  if (name == "jpg") return "image/jpeg";
  if (name == "gif") return "image/gif";
  if (name == "png") return "image/png";
  return "";
}

PictureChecker::PictureChecker(std::int64_t maxPixels, int parallel)
    : maxPixels_(maxPixels), slots_(parallel < 1 ? 1 : (parallel > 64 ? 64 : parallel)) {}

PictureVerdict PictureChecker::Check(std::string_view bytes) {
  PictureVerdict verdict;
  verdict.format = SniffFormat(bytes);
  if (!verdict.format) return verdict;
  if (auto size = AnnouncedSize(bytes, *verdict.format)) {
    if (size->first * size->second > maxPixels_) {
      verdict.kind = PictureVerdict::Kind::TooManyPixels;
      verdict.width = static_cast<int>(size->first);
      verdict.height = static_cast<int>(size->second);
      return verdict;
    }
  }
  if (!slots_.try_acquire_for(kWaitForSlot)) {
    verdict.kind = PictureVerdict::Kind::Busy;
    return verdict;
  }
  const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                           bytes.size());
  try {
    const Bitmap picture =
        DecodePicture(data, DecoderForFileName(ExtensionOfFormat(*verdict.format)), maxPixels_);
    if (!picture.Empty()) {
      verdict.kind = PictureVerdict::Kind::Picture;
      verdict.width = picture.Width();
      verdict.height = picture.Height();
    }
  } catch (const std::exception&) {
    // Not a picture the program can show: the verdict stays NotAPicture.
  }
  slots_.release();
  return verdict;
}

}  // namespace quillet::service

#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <semaphore>
#include <string>
#include <string_view>

#include "core/codecs/Codecs.h"

namespace quillet::service {

// The format of a file as its own bytes tell it; nothing for one the
// program does not keep.
std::optional<LogoFormat> SniffFormat(std::string_view bytes);
// The name a format is stored under: "bmp", "jpg", "gif", "png".
std::string_view FormatName(LogoFormat format);
std::string_view ContentTypeOfFormat(std::string_view name);  // by FormatName; "" when unknown

struct PictureVerdict {
  enum class Kind { Picture, NotAPicture, TooManyPixels, Busy } kind = Kind::NotAPicture;
  std::optional<LogoFormat> format;
  int width = 0;  // also for TooManyPixels, as the file announces it
  int height = 0;
};

// Decides whether an upload is a picture by decoding it with the program's
// own decoders, chosen by the bytes and never by the name or the declared
// type. Decoding takes memory in proportion to the pixels, so the pixel limit
// is checked first and only `parallel` decodes run at once.
class PictureChecker {
 public:
  PictureChecker(std::int64_t maxPixels, int parallel);

  PictureVerdict Check(std::string_view bytes);

 private:
  std::int64_t maxPixels_;
  std::counting_semaphore<64> slots_;
};

}  // namespace quillet::service

#pragma once

#include <sane/sane.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/acquire/TwainTypes.h"

namespace quillet {

// A scanned picture in one of the three forms a scanner delivers, rows
// top-down and packed: line art one bit a pixel, the first pixel in the
// highest bit, 1 black; grey one byte a pixel; colour three bytes R, G, B.
enum class SanePictureKind { Lineart, Gray, Rgb };

struct SanePicture {
  SanePictureKind kind = SanePictureKind::Rgb;
  int width = 0;
  int height = 0;
  int dotsPerInch = 0;  // 0 when not known
  std::vector<std::uint8_t> rows;

  std::size_t RowBytes() const;
  bool Empty() const { return width <= 0 || height <= 0; }
};

// Collects the frames of one scan, as sane_get_parameters and sane_read
// give them, into a SanePicture: one grey or colour frame, or the red, green
// and blue frames of a three-pass scanner; 1, 8 or 16 bits a sample (16-bit
// samples in the machine's byte order are cut to their high byte); a frame
// of unknown height (hand scanners) as high as the whole lines it held.
// Every method returns false with a reason in `problem` when the data cannot
// make a picture.
class SaneFrameAssembler {
 public:
  explicit SaneFrameAssembler(std::int64_t maxPixels);

  bool BeginFrame(const SANE_Parameters& parameters, std::string& problem);
  bool Append(const std::uint8_t* data, std::size_t size, std::string& problem);
  bool EndFrame(std::string& problem);
  // Whether the frame begun last was announced as the last of the scan.
  bool LastFrame() const { return lastFrame_; }
  // Bytes the current frame is expected to hold, 0 when unknown.
  std::size_t ExpectedBytes() const;
  std::size_t ReceivedBytes() const;
  // The picture, once the last frame has ended.
  bool Finish(SanePicture& picture, std::string& problem);

 private:
  struct Frame {
    SANE_Parameters parameters{};
    std::vector<std::uint8_t> data;
    int lines = 0;
  };
  std::int64_t maxPixels_;
  std::vector<Frame> frames_;
  bool open_ = false;
  bool lastFrame_ = false;
};

// The picture as a packed DIB (BITMAPINFOHEADER, colour table, rows
// bottom-up, each padded to four bytes) in a memory block of the kind a
// native transfer hands over: colour as 24 bits, grey as 8 bits with a
// 256-entry grey table, line art as 1 bit with white and black. Null when
// the picture is empty or the memory cannot be had.
TW_HANDLE PackedDibOfPicture(const SanePicture& picture);

}  // namespace quillet

#include "core/acquire/SaneFrame.h"

#include <algorithm>
#include <cstring>

namespace quillet {

namespace {

bool SeparateChannel(SANE_Frame format) {
  return format == SANE_FRAME_RED || format == SANE_FRAME_GREEN || format == SANE_FRAME_BLUE;
}

int ChannelsOf(SANE_Frame format) {
  return format == SANE_FRAME_RGB ? 3 : 1;
}

// One sample brought to 8 bits. A one-bit sample is full or nothing.
std::uint8_t Sample8(const std::uint8_t* line, std::size_t index, int depth) {
  switch (depth) {
    case 8:
      return line[index];
    case 16: {
      std::uint16_t value = 0;
      std::memcpy(&value, line + 2 * index, 2);
      return static_cast<std::uint8_t>(value >> 8);
    }
    default:
      return ((line[index / 8] >> (7 - index % 8)) & 1) != 0 ? 255 : 0;
  }
}

void Put16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::size_t SanePicture::RowBytes() const {
  const auto w = static_cast<std::size_t>(std::max(width, 0));
  switch (kind) {
    case SanePictureKind::Lineart:
      return (w + 7) / 8;
    case SanePictureKind::Gray:
      return w;
    case SanePictureKind::Rgb:
      return 3 * w;
  }
  return 0;
}

SaneFrameAssembler::SaneFrameAssembler(std::int64_t maxPixels) : maxPixels_(maxPixels) {}

bool SaneFrameAssembler::BeginFrame(const SANE_Parameters& p, std::string& problem) {
  if (open_) {
    problem = "the scanner began a frame before it ended the last one";
    return false;
  }
  // A backend of a later SANE may send kinds of frame this header does not
  // name, so the value is looked at as a number before it is taken as one.
  int format = 0;
  static_assert(sizeof format == sizeof p.format);
  std::memcpy(&format, &p.format, sizeof format);
  if (format < SANE_FRAME_GRAY || format > SANE_FRAME_BLUE) {
    problem = "the scanner delivers its picture in a form this program does not read";
    return false;
  }
  if (p.depth != 1 && p.depth != 8 && p.depth != 16) {
    problem = "the scanner delivers " + std::to_string(p.depth) +
              " bits a sample, which this program does not read";
    return false;
  }
  if (p.pixels_per_line <= 0 || p.bytes_per_line <= 0) {
    problem = "the scanner announced a picture without pixels";
    return false;
  }
  const std::uint64_t bits = static_cast<std::uint64_t>(p.pixels_per_line) *
                             static_cast<std::uint64_t>(ChannelsOf(p.format)) *
                             static_cast<std::uint64_t>(p.depth);
  if ((bits + 7) / 8 > static_cast<std::uint64_t>(p.bytes_per_line)) {
    problem = "the scanner's lines are shorter than its pixels need";
    return false;
  }
  if (p.lines > 0 && static_cast<std::int64_t>(p.pixels_per_line) * p.lines > maxPixels_) {
    problem = "the scanned picture is too large";
    return false;
  }
  if (!frames_.empty()) {
    const SANE_Parameters& first = frames_.front().parameters;
    bool fits = SeparateChannel(p.format) && SeparateChannel(first.format) &&
                p.pixels_per_line == first.pixels_per_line && p.depth == first.depth;
    for (const Frame& frame : frames_)
      fits = fits && frame.parameters.format != p.format;
    if (!fits) {
      problem = "the scanner's frames do not belong to one picture";
      return false;
    }
  }
  frames_.push_back(Frame{p, {}, 0});
  open_ = true;
  lastFrame_ = p.last_frame != SANE_FALSE;
  return true;
}

std::size_t SaneFrameAssembler::ExpectedBytes() const {
  if (frames_.empty()) return 0;
  const SANE_Parameters& p = frames_.back().parameters;
  return p.lines > 0
             ? static_cast<std::size_t>(p.lines) * static_cast<std::size_t>(p.bytes_per_line)
             : 0;
}

std::size_t SaneFrameAssembler::ReceivedBytes() const {
  return frames_.empty() ? 0 : frames_.back().data.size();
}

bool SaneFrameAssembler::Append(const std::uint8_t* data, std::size_t size, std::string& problem) {
  if (!open_) {
    problem = "the scanner sent data outside a frame";
    return false;
  }
  Frame& frame = frames_.back();
  const auto bytesPerLine = static_cast<std::size_t>(frame.parameters.bytes_per_line);
  // What a frame of known height sends past its last line is dropped.
  const std::size_t expected = ExpectedBytes();
  if (expected != 0) size = std::min(size, expected - std::min(expected, frame.data.size()));
  const std::uint64_t lines = (frame.data.size() + size) / bytesPerLine;
  if (static_cast<std::uint64_t>(frame.parameters.pixels_per_line) * lines >
      static_cast<std::uint64_t>(maxPixels_)) {
    problem = "the scanned picture is too large";
    return false;
  }
  frame.data.insert(frame.data.end(), data, data + size);
  return true;
}

bool SaneFrameAssembler::EndFrame(std::string& problem) {
  if (!open_) {
    problem = "the scanner ended a frame it had not begun";
    return false;
  }
  open_ = false;
  Frame& frame = frames_.back();
  const auto bytesPerLine = static_cast<std::size_t>(frame.parameters.bytes_per_line);
  // A scanner that stops early delivers the lines it has; a hand scanner
  // is as high as the lines it sent.
  std::size_t lines = frame.data.size() / bytesPerLine;
  if (frame.parameters.lines > 0)
    lines = std::min(lines, static_cast<std::size_t>(frame.parameters.lines));
  if (lines == 0) {
    problem = "the scanner delivered no picture";
    return false;
  }
  frame.lines = static_cast<int>(lines);
  frame.data.resize(lines * bytesPerLine);
  return true;
}

bool SaneFrameAssembler::Finish(SanePicture& picture, std::string& problem) {
  if (open_ || frames_.empty()) {
    problem = "the scanner did not finish its picture";
    return false;
  }
  const SANE_Parameters& first = frames_.front().parameters;
  const int width = first.pixels_per_line;
  const int depth = first.depth;
  SanePicture result;
  result.width = width;

  if (!SeparateChannel(first.format)) {
    const Frame& frame = frames_.front();
    const auto bytesPerLine = static_cast<std::size_t>(first.bytes_per_line);
    result.height = frame.lines;
    if (first.format == SANE_FRAME_GRAY && depth == 1) {
      result.kind = SanePictureKind::Lineart;
    } else {
      result.kind = first.format == SANE_FRAME_GRAY ? SanePictureKind::Gray : SanePictureKind::Rgb;
    }
    const std::size_t rowBytes = result.RowBytes();
    result.rows.resize(rowBytes * static_cast<std::size_t>(result.height));
    for (int y = 0; y < result.height; ++y) {
      const std::uint8_t* line = frame.data.data() + bytesPerLine * static_cast<std::size_t>(y);
      std::uint8_t* out = result.rows.data() + rowBytes * static_cast<std::size_t>(y);
      if (result.kind == SanePictureKind::Lineart) {
        std::memcpy(out, line, rowBytes);
      } else {
        for (std::size_t i = 0; i < rowBytes; ++i)
          out[i] = Sample8(line, i, depth);
      }
    }
  } else {
    const Frame* channels[3] = {nullptr, nullptr, nullptr};
    int height = 0;
    for (const Frame& frame : frames_) {
      const int index = frame.parameters.format == SANE_FRAME_RED     ? 0
                        : frame.parameters.format == SANE_FRAME_GREEN ? 1
                                                                      : 2;
      channels[index] = &frame;
      height = height == 0 ? frame.lines : std::min(height, frame.lines);
    }
    if (channels[0] == nullptr || channels[1] == nullptr || channels[2] == nullptr) {
      problem = "the scanner did not send all three colours of its picture";
      return false;
    }
    result.kind = SanePictureKind::Rgb;
    result.height = height;
    const std::size_t rowBytes = result.RowBytes();
    result.rows.resize(rowBytes * static_cast<std::size_t>(height));
    for (int c = 0; c < 3; ++c) {
      const auto bytesPerLine = static_cast<std::size_t>(channels[c]->parameters.bytes_per_line);
      for (int y = 0; y < height; ++y) {
        const std::uint8_t* line =
            channels[c]->data.data() + bytesPerLine * static_cast<std::size_t>(y);
        std::uint8_t* out = result.rows.data() + rowBytes * static_cast<std::size_t>(y);
        for (int x = 0; x < width; ++x)
          out[3 * x + c] = Sample8(line, static_cast<std::size_t>(x), depth);
      }
    }
  }
  if (static_cast<std::int64_t>(result.width) * result.height > maxPixels_) {
    problem = "the scanned picture is too large";
    return false;
  }
  picture = std::move(result);
  return true;
}

TW_HANDLE PackedDibOfPicture(const SanePicture& picture) {
  if (picture.Empty()) return nullptr;
  const int bitCount = picture.kind == SanePictureKind::Lineart ? 1
                       : picture.kind == SanePictureKind::Gray  ? 8
                                                                : 24;
  const std::size_t tableEntries = picture.kind == SanePictureKind::Lineart ? 2
                                   : picture.kind == SanePictureKind::Gray  ? 256
                                                                            : 0;
  const std::uint64_t stride =
      (static_cast<std::uint64_t>(picture.width) * static_cast<std::uint64_t>(bitCount) + 31) / 32 *
      4;
  const std::uint64_t imageBytes = stride * static_cast<std::uint64_t>(picture.height);
  const std::size_t rowBytes = picture.RowBytes();
  if (picture.rows.size() < rowBytes * static_cast<std::size_t>(picture.height) ||
      imageBytes > 0xFFFFFFFFu)
    return nullptr;
  const std::size_t tableStart = 40;
  const std::size_t rowsStart = tableStart + 4 * tableEntries;
  TW_HANDLE block = GlobalAllocBlock(rowsStart + static_cast<std::size_t>(imageBytes));
  if (block == nullptr) return nullptr;
  std::uint8_t* p = GlobalLockBlock(block).data();

  const auto pelsPerMeter = static_cast<std::uint32_t>(
      (static_cast<std::int64_t>(picture.dotsPerInch) * 10000 + 127) / 254);
  Put32(p, 40);
  Put32(p + 4, static_cast<std::uint32_t>(picture.width));
  Put32(p + 8, static_cast<std::uint32_t>(picture.height));
  Put16(p + 12, 1);
  Put16(p + 14, static_cast<std::uint16_t>(bitCount));
  Put32(p + 16, 0);  // BI_RGB
  Put32(p + 20, static_cast<std::uint32_t>(imageBytes));
  Put32(p + 24, pelsPerMeter);
  Put32(p + 28, pelsPerMeter);
  Put32(p + 32, static_cast<std::uint32_t>(tableEntries));
  Put32(p + 36, 0);

  std::uint8_t* table = p + tableStart;
  if (picture.kind == SanePictureKind::Lineart) {
    // Index 0 white, 1 black: the scanner's bits go in as they are.
    std::memset(table, 0xFF, 3);
    std::memset(table + 4, 0, 3);
  } else if (picture.kind == SanePictureKind::Gray) {
    for (std::size_t i = 0; i < 256; ++i)
      std::memset(table + 4 * i, static_cast<int>(i), 3);
  }

  for (int y = 0; y < picture.height; ++y) {
    const std::uint8_t* in = picture.rows.data() + rowBytes * static_cast<std::size_t>(y);
    std::uint8_t* out =
        p + rowsStart +
        static_cast<std::size_t>(stride) * static_cast<std::size_t>(picture.height - 1 - y);
    if (picture.kind == SanePictureKind::Rgb) {
      for (int x = 0; x < picture.width; ++x) {
        out[3 * x] = in[3 * x + 2];
        out[3 * x + 1] = in[3 * x + 1];
        out[3 * x + 2] = in[3 * x];
      }
    } else {
      std::memcpy(out, in, rowBytes);
    }
  }
  return block;
}

}  // namespace quillet

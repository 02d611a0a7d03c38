#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "core/acquire/SaneFrame.h"
#include "core/codecs/Codecs.h"

namespace quillet {
namespace {

SANE_Parameters Parameters(SANE_Frame format, int width, int lines, int bytesPerLine, int depth,
                           bool last = true) {
  SANE_Parameters p{};
  p.format = format;
  p.last_frame = last ? SANE_TRUE : SANE_FALSE;
  p.pixels_per_line = width;
  p.lines = lines;
  p.bytes_per_line = bytesPerLine;
  p.depth = depth;
  return p;
}

// Bytes of 16-bit samples in the machine's order, as SANE sends them.
std::vector<std::uint8_t> Samples16(const std::vector<std::uint16_t>& samples) {
  std::vector<std::uint8_t> bytes(samples.size() * 2);
  std::memcpy(bytes.data(), samples.data(), bytes.size());
  return bytes;
}

struct Frame {
  SANE_Parameters parameters;
  std::vector<std::uint8_t> data;
};

struct FrameCase {
  const char* name;
  std::vector<Frame> frames;
  SanePictureKind kind;
  int width;
  int height;
  std::vector<std::uint8_t> rows;
};

void PrintTo(const FrameCase& c, std::ostream* os) {
  *os << c.name;
}

std::vector<FrameCase> FrameCases() {
  return {
      {"grey, lines padded to four bytes",
       {{Parameters(SANE_FRAME_GRAY, 3, 2, 4, 8), {1, 2, 3, 0, 4, 5, 6, 0}}},
       SanePictureKind::Gray,
       3,
       2,
       {1, 2, 3, 4, 5, 6}},
      {"colour",
       {{Parameters(SANE_FRAME_RGB, 2, 1, 6, 8), {10, 20, 30, 40, 50, 60}}},
       SanePictureKind::Rgb,
       2,
       1,
       {10, 20, 30, 40, 50, 60}},
      {"line art keeps its bits, 1 black",
       {{Parameters(SANE_FRAME_GRAY, 10, 2, 3, 1), {0xA5, 0xC0, 0xFF, 0x01, 0x40, 0xFF}}},
       SanePictureKind::Lineart,
       10,
       2,
       {0xA5, 0xC0, 0x01, 0x40}},
      {"16-bit grey keeps the high byte",
       {{Parameters(SANE_FRAME_GRAY, 2, 1, 4, 16), Samples16({0x12FF, 0xAB01})}},
       SanePictureKind::Gray,
       2,
       1,
       {0x12, 0xAB}},
      {"16-bit colour",
       {{Parameters(SANE_FRAME_RGB, 1, 1, 6, 16), Samples16({0x0100, 0x8000, 0xFFFF})}},
       SanePictureKind::Rgb,
       1,
       1,
       {1, 0x80, 0xFF}},
      {"1-bit colour is full or nothing",
       {{Parameters(SANE_FRAME_RGB, 2, 1, 1, 1), {0xB0}}},
       SanePictureKind::Rgb,
       2,
       1,
       {255, 0, 255, 255, 0, 0}},
      {"three-pass in any order",
       {{Parameters(SANE_FRAME_GREEN, 2, 1, 2, 8, false), {21, 22}},
        {Parameters(SANE_FRAME_BLUE, 2, 1, 2, 8, false), {31, 32}},
        {Parameters(SANE_FRAME_RED, 2, 1, 2, 8, true), {11, 12}}},
       SanePictureKind::Rgb,
       2,
       1,
       {11, 21, 31, 12, 22, 32}},
      {"unknown height: the whole lines that came",
       {{Parameters(SANE_FRAME_GRAY, 2, -1, 2, 8), {1, 2, 3, 4, 5, 6, 7}}},
       SanePictureKind::Gray,
       2,
       3,
       {1, 2, 3, 4, 5, 6}},
      {"more than announced: cut to the announced lines",
       {{Parameters(SANE_FRAME_GRAY, 1, 2, 1, 8), {1, 2, 3, 4}}},
       SanePictureKind::Gray,
       1,
       2,
       {1, 2}},
      {"fewer than announced: the lines that came",
       {{Parameters(SANE_FRAME_GRAY, 1, 5, 1, 8), {1, 2}}},
       SanePictureKind::Gray,
       1,
       2,
       {1, 2}},
  };
}

class SaneFrameTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(SaneFrameTest, FramesBecomeOnePicture) {
  const FrameCase& c = GetParam();
  SaneFrameAssembler assembler(1000);
  std::string problem;
  for (const Frame& frame : c.frames) {
    ASSERT_TRUE(assembler.BeginFrame(frame.parameters, problem)) << problem;
    // In pieces of one and two bytes, as a slow scanner sends them.
    for (std::size_t at = 0; at < frame.data.size(); at += 2)
      ASSERT_TRUE(assembler.Append(frame.data.data() + at,
                                   std::min<std::size_t>(2, frame.data.size() - at), problem))
          << problem;
    ASSERT_TRUE(assembler.EndFrame(problem)) << problem;
    EXPECT_EQ(assembler.LastFrame(), frame.parameters.last_frame == SANE_TRUE);
  }
  SanePicture picture;
  ASSERT_TRUE(assembler.Finish(picture, problem)) << problem;
  EXPECT_EQ(picture.kind, c.kind);
  EXPECT_EQ(picture.width, c.width);
  EXPECT_EQ(picture.height, c.height);
  EXPECT_EQ(picture.rows, c.rows);
}

INSTANTIATE_TEST_SUITE_P(Cases, SaneFrameTest, ::testing::ValuesIn(FrameCases()));

// Parameters whose frame kind is a number the header does not name.
SANE_Parameters UnknownFormat(SANE_Parameters p) {
  const int format = 42;
  std::memcpy(&p.format, &format, sizeof format);
  return p;
}

struct BadCase {
  const char* name;
  std::vector<Frame> frames;
  const char* problem;
};

void PrintTo(const BadCase& c, std::ostream* os) {
  *os << c.name;
}

std::vector<BadCase> BadCases() {
  return {
      {"four bits a sample",
       {{Parameters(SANE_FRAME_GRAY, 2, 1, 1, 4), {0}}},
       "the scanner delivers 4 bits a sample, which this program does not read"},
      {"an unknown frame format",
       {{UnknownFormat(Parameters(SANE_FRAME_GRAY, 2, 1, 2, 8)), {0, 0}}},
       "the scanner delivers its picture in a form this program does not read"},
      {"lines shorter than their pixels",
       {{Parameters(SANE_FRAME_RGB, 2, 1, 5, 8), {0, 0, 0, 0, 0}}},
       "the scanner's lines are shorter than its pixels need"},
      {"no pixels",
       {{Parameters(SANE_FRAME_GRAY, 0, 1, 1, 8), {}}},
       "the scanner announced a picture without pixels"},
      {"announced larger than allowed",
       {{Parameters(SANE_FRAME_GRAY, 100, 100, 100, 8), {}}},
       "the scanned picture is too large"},
      {"of unknown height and larger than allowed",
       {{Parameters(SANE_FRAME_GRAY, 100, -1, 100, 8), std::vector<std::uint8_t>(1100)}},
       "the scanned picture is too large"},
      {"nothing came",
       {{Parameters(SANE_FRAME_GRAY, 2, 1, 2, 8), {7}}},
       "the scanner delivered no picture"},
      {"a colour frame after a red one",
       {{Parameters(SANE_FRAME_RED, 1, 1, 1, 8, false), {1}},
        {Parameters(SANE_FRAME_RGB, 1, 1, 3, 8), {1, 2, 3}}},
       "the scanner's frames do not belong to one picture"},
      {"red twice",
       {{Parameters(SANE_FRAME_RED, 1, 1, 1, 8, false), {1}},
        {Parameters(SANE_FRAME_RED, 1, 1, 1, 8), {1}}},
       "the scanner's frames do not belong to one picture"},
      {"colours of different widths",
       {{Parameters(SANE_FRAME_RED, 1, 1, 1, 8, false), {1}},
        {Parameters(SANE_FRAME_GREEN, 2, 1, 2, 8), {1, 2}}},
       "the scanner's frames do not belong to one picture"},
      {"a colour missing",
       {{Parameters(SANE_FRAME_RED, 1, 1, 1, 8, false), {1}},
        {Parameters(SANE_FRAME_BLUE, 1, 1, 1, 8), {1}}},
       "the scanner did not send all three colours of its picture"},
  };
}

class SaneBadFrameTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(SaneBadFrameTest, IsRefusedWithItsReason) {
  const BadCase& c = GetParam();
  SaneFrameAssembler assembler(1000);
  std::string problem;
  bool ok = true;
  for (const Frame& frame : c.frames) {
    ok = assembler.BeginFrame(frame.parameters, problem) &&
         assembler.Append(frame.data.data(), frame.data.size(), problem) &&
         assembler.EndFrame(problem);
    if (!ok) break;
  }
  SanePicture picture;
  if (ok) ok = assembler.Finish(picture, problem);
  EXPECT_FALSE(ok);
  EXPECT_EQ(problem, c.problem);
  EXPECT_TRUE(picture.rows.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, SaneBadFrameTest, ::testing::ValuesIn(BadCases()));

TEST(SaneFrame, DataOutsideAFrameIsRefused) {
  SaneFrameAssembler assembler(1000);
  std::string problem;
  const std::uint8_t byte = 0;
  EXPECT_FALSE(assembler.Append(&byte, 1, problem));
  EXPECT_FALSE(assembler.EndFrame(problem));
  SanePicture picture;
  EXPECT_FALSE(assembler.Finish(picture, problem));
  ASSERT_TRUE(assembler.BeginFrame(Parameters(SANE_FRAME_GRAY, 1, 1, 1, 8), problem));
  EXPECT_FALSE(assembler.BeginFrame(Parameters(SANE_FRAME_GRAY, 1, 1, 1, 8), problem));
  EXPECT_FALSE(assembler.Finish(picture, problem));
}

struct DibHeader {
  std::uint32_t size, width, height, bitCount, imageBytes, pelsPerMeter, colorsUsed;
};

DibHeader HeaderOf(TW_HANDLE dib) {
  const auto bytes = GlobalLockBlock(dib);
  auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
                                      (static_cast<std::uint32_t>(bytes[at + 3]) << 24));
  };
  return {u32(0),  u32(4),  u32(8), static_cast<std::uint32_t>(bytes[14] | (bytes[15] << 8)),
          u32(20), u32(24), u32(32)};
}

TEST(SaneDib, ColourGreyAndLineArt) {
  struct Case {
    SanePicture picture;
    std::uint32_t bitCount, colorsUsed, imageBytes;
    Bitmap expected;
  };
  Bitmap colour(3, 2);
  colour.SetPixel(0, 0, MakeColor(1, 2, 3));
  colour.SetPixel(1, 0, MakeColor(4, 5, 6));
  colour.SetPixel(2, 0, MakeColor(7, 8, 9));
  colour.SetPixel(0, 1, MakeColor(10, 11, 12));
  colour.SetPixel(1, 1, MakeColor(13, 14, 15));
  colour.SetPixel(2, 1, MakeColor(16, 17, 18));
  Bitmap grey(3, 1);
  grey.SetPixel(0, 0, MakeColor(0, 0, 0));
  grey.SetPixel(1, 0, MakeColor(128, 128, 128));
  grey.SetPixel(2, 0, MakeColor(255, 255, 255));
  Bitmap lineart(10, 1, kWhite);
  for (int x : {0, 2, 9})
    lineart.SetPixel(x, 0, MakeColor(0, 0, 0));
  Case cases[] = {
      {{SanePictureKind::Rgb,
        3,
        2,
        300,
        {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}},
       24,
       0,
       24,
       colour},
      {{SanePictureKind::Gray, 3, 1, 0, {0, 128, 255}}, 8, 256, 4, grey},
      {{SanePictureKind::Lineart, 10, 1, 0, {0xA0, 0x40}}, 1, 2, 4, lineart},
  };
  for (const Case& c : cases) {
    TW_HANDLE dib = PackedDibOfPicture(c.picture);
    ASSERT_NE(dib, nullptr);
    const DibHeader header = HeaderOf(dib);
    EXPECT_EQ(header.size, 40u);
    EXPECT_EQ(header.width, static_cast<std::uint32_t>(c.picture.width));
    EXPECT_EQ(header.height, static_cast<std::uint32_t>(c.picture.height));  // bottom-up
    EXPECT_EQ(header.bitCount, c.bitCount);
    EXPECT_EQ(header.colorsUsed, c.colorsUsed);
    EXPECT_EQ(header.imageBytes, c.imageBytes);
    EXPECT_EQ(header.pelsPerMeter, c.picture.dotsPerInch == 300 ? 11811u : 0u);
    EXPECT_EQ(GlobalLockBlock(dib).size(), 40 + 4 * c.colorsUsed + c.imageBytes);
    EXPECT_EQ(PaintPackedDib(GlobalLockBlock(dib)), c.expected);
    GlobalFreeBlock(dib);
  }
}

TEST(SaneDib, NothingForAnEmptyOrShortPicture) {
  EXPECT_EQ(PackedDibOfPicture(SanePicture{}), nullptr);
  EXPECT_EQ(PackedDibOfPicture(SanePicture{SanePictureKind::Gray, 4, 4, 0, {1, 2, 3}}), nullptr);
}

}  // namespace
}  // namespace quillet

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/codecs/Codecs.h"
#include "core/codecs/PictureBytes.h"
#include "core/platform/AtomicFile.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using namespace quillet::testing;

Bitmap Smooth(int width, int height) {
  Bitmap picture(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture.SetPixel(x, y, MakeColor(x * 255 / width, y * 255 / height, 200 - x / 2));
  return picture;
}

std::vector<std::uint8_t> AsBytes(const std::string& text) {
  return {text.begin(), text.end()};
}

// A picture made by ImageMagick, read back as bytes.
std::vector<std::uint8_t> Convert(const TempDir& dir, const std::vector<std::string>& args,
                                  const std::string& name) {
  std::vector<std::string> all = args;
  all.push_back(dir.Path() + name);
  ProcessResult result = RunProcess("/usr/bin/convert", all);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  return AsBytes(ReadWholeFile(dir.Path() + name));
}

std::size_t FindMarker(const std::vector<std::uint8_t>& bytes, std::uint8_t marker) {
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == marker) return i;
  return std::string::npos;
}

TEST(JpegCodec, RoundTripStaysClose) {
  const Bitmap picture = Smooth(64, 48);
  Bitmap decoded = DecodeJpeg(EncodeJpeg(picture, 95));
  EXPECT_LE(MaxChannelDifference(decoded, picture), 12);
}

TEST(JpegCodec, WritesBaselineJfif) {
  std::vector<std::uint8_t> bytes = EncodeJpeg(Smooth(20, 10), 75);
  ASSERT_GT(bytes.size(), 20u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xD8);
  EXPECT_EQ(std::string(bytes.begin() + 6, bytes.begin() + 10), "JFIF");
  EXPECT_NE(FindMarker(bytes, 0xC0), std::string::npos) << "baseline frame";
  EXPECT_EQ(FindMarker(bytes, 0xC2), std::string::npos) << "no progressive frame";
}

TEST(JpegCodec, QualityRunsFromOneToHundred) {
  const Bitmap picture = Smooth(64, 64);
  EXPECT_LT(EncodeJpeg(picture, 10).size(), EncodeJpeg(picture, 100).size());
  EXPECT_EQ(EncodeJpeg(picture, 0), EncodeJpeg(picture, 1));
  EXPECT_EQ(EncodeJpeg(picture, 250), EncodeJpeg(picture, 100));
  EXPECT_THROW(EncodeJpeg(Bitmap(), 90), PictureError);
}

TEST(JpegCodec, ConvertsGreyAndCmykToRgb) {
  TempDir dir;
  struct Case {
    const char* name;
    std::vector<std::string> args;
    Color expected;
  };
  const std::vector<Case> cases = {
      {"grey", {"-size", "16x16", "xc:gray50", "-colorspace", "Gray"}, MakeColor(128, 128, 128)},
      {"CMYK", {"-size", "16x16", "xc:#FF8000", "-colorspace", "CMYK"}, MakeColor(255, 128, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bitmap decoded = DecodeJpeg(Convert(dir, c.args, std::string(c.name) + ".jpg"));
    ASSERT_EQ(decoded.Width(), 16);
    const Color got = decoded.Pixel(8, 8);
    EXPECT_NEAR(RedOf(got), RedOf(c.expected), 3);
    EXPECT_NEAR(GreenOf(got), GreenOf(c.expected), 3);
    EXPECT_NEAR(BlueOf(got), BlueOf(c.expected), 3);
  }
}

std::vector<std::uint8_t> WithFrameSize(std::vector<std::uint8_t> bytes, std::uint16_t width,
                                        std::uint16_t height) {
  const std::size_t sof = FindMarker(bytes, 0xC0);
  bytes[sof + 5] = static_cast<std::uint8_t>(height >> 8);
  bytes[sof + 6] = static_cast<std::uint8_t>(height);
  bytes[sof + 7] = static_cast<std::uint8_t>(width >> 8);
  bytes[sof + 8] = static_cast<std::uint8_t>(width);
  return bytes;
}

TEST(JpegCodec, RefusesHostileFiles) {
  const std::vector<std::uint8_t> good = EncodeJpeg(Smooth(64, 64), 80);
  struct Hostile {
    const char* name;
    std::vector<std::uint8_t> bytes;
  };
  const std::vector<Hostile> cases = {
      {"empty", {}},
      {"text", AsBytes("Dear reader, this is not a photograph.\n")},
      {"start marker only", {0xFF, 0xD8}},
      {"cut in the header", {good.begin(), good.begin() + 100}},
      {"cut in the picture data", {good.begin(), good.begin() + good.size() * 2 / 3}},
      {"over the pixel limit", WithFrameSize(good, 65000, 65000)},
      {"zero width", WithFrameSize(good, 0, 64)},
  };
  for (const Hostile& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW(DecodeJpeg(c.bytes), PictureError);
  }
  EXPECT_THROW(DecodeJpeg(good, 64 * 64 - 1), PictureError);
}

// Under the pixel limit but far beyond what its few kilobytes of Huffman data
// can describe: refused from the header, before the picture's memory is taken.
TEST(JpegCodec, RefusesASizeItsDataCannotHold) {
  const std::vector<std::uint8_t> good = EncodeJpeg(Smooth(64, 64), 80);
  EXPECT_THAT([&] { DecodeJpeg(WithFrameSize(good, 16000, 16000)); },
              ::testing::ThrowsMessage<PictureError>(
                  ::testing::HasSubstr("too short for its picture size")));
}

}  // namespace
}  // namespace quillet

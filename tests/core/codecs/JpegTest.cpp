#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

// clang-format off
#include <jpeglib.h>
// clang-format on

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

// A picture with detail everywhere, so that every part of the file's data
// matters.
Bitmap Busy(int width, int height) {
  Bitmap picture(width, height);
  std::uint32_t seed = 7;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      seed = seed * 1103515245u + 12345u;
      picture.SetPixel(x, y,
                       MakeColor(static_cast<std::uint8_t>(x * 3 + (seed >> 26)),
                                 static_cast<std::uint8_t>(y * 2 + (seed >> 27)),
                                 static_cast<std::uint8_t>((x ^ y) + (seed >> 28))));
    }
  }
  return picture;
}

std::vector<std::uint8_t> CutWithEndMarker(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + bytes.size() / 3);
  cut.insert(cut.end(), {0xFF, 0xD9});
  return cut;
}

// What libjpeg's own tools write, from a picture of ours.
std::vector<std::uint8_t> Cjpeg(const TempDir& dir, const Bitmap& picture,
                                const std::vector<std::string>& options) {
  WritePictureFile(dir.Path() + "in.bmp", picture, LogoFormat::Bmp, 0, 8);
  std::vector<std::string> args = options;
  args.insert(args.end(), {"-outfile", dir.Path() + "out.jpg", dir.Path() + "in.bmp"});
  ProcessResult result = RunProcess("/usr/bin/cjpeg", args);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  return AsBytes(ReadWholeFile(dir.Path() + "out.jpg"));
}

// A file cut short and closed with an end marker: libjpeg would make up the
// missing part (in grey) and only warn.
TEST(JpegCodec, RefusesAPictureCutShortWithAnEndMarker) {
  TempDir dir;
  const Bitmap picture = Busy(256, 192);
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {"baseline", EncodeJpeg(picture, 90)},
      {"progressive", Cjpeg(dir, picture, {"-progressive"})},
      {"with restart markers", Cjpeg(dir, picture, {"-restart", "1"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(DecodeJpeg(c.bytes).Width(), 256) << "the whole file is fine";
    EXPECT_THAT([&] { DecodeJpeg(CutWithEndMarker(c.bytes)); }, ::testing::Throws<PictureError>());
  }
  EXPECT_THAT([&] { DecodeJpeg(CutWithEndMarker(cases[0].bytes)); },
              ::testing::ThrowsMessage<PictureError>(
                  ::testing::HasSubstr("premature end of data segment")));
}

// Damage that libjpeg notices and only warns about: a restart marker out of
// its order, a stray marker in the middle of the picture data.
TEST(JpegCodec, RefusesDamagedPictureData) {
  TempDir dir;
  const Bitmap picture = Busy(128, 128);
  std::vector<std::uint8_t> restarts = Cjpeg(dir, picture, {"-restart", "1"});
  const std::size_t second = FindMarker(restarts, 0xD1);
  ASSERT_NE(second, std::string::npos);
  restarts[second + 1] = 0xD5;
  std::vector<std::uint8_t> stray = EncodeJpeg(picture, 90);
  const std::size_t scan = FindMarker(stray, 0xDA);
  ASSERT_NE(scan, std::string::npos);
  const std::size_t middle = scan + (stray.size() - scan) / 2;
  stray[middle] = 0xFF;
  stray[middle + 1] = 0xD3;
  for (const auto& bytes : {restarts, stray}) {
    EXPECT_THAT([&] { DecodeJpeg(bytes); },
                ::testing::ThrowsMessage<PictureError>(::testing::HasSubstr("Corrupt JPEG data")));
  }
}

// Notes in a file about itself, and padding after the picture data, leave the
// pixels whole: such files are read.
TEST(JpegCodec, ReadsFilesWithHarmlessFlaws) {
  const std::vector<std::uint8_t> good = EncodeJpeg(Busy(64, 48), 90);
  const Bitmap expected = DecodeJpeg(good);
  std::vector<std::uint8_t> padded = good;
  padded.insert(padded.end() - 2, {0x00, 0x00, 0x00});  // before the end marker
  std::vector<std::uint8_t> futureJfif = good;
  ASSERT_EQ(futureJfif[11], 1) << "JFIF major version";
  futureJfif[11] = 2;
  for (const auto& bytes : {padded, futureJfif})
    EXPECT_EQ(DecodeJpeg(bytes), expected);
}

std::vector<std::uint8_t> WithArithmeticFrameSize(std::vector<std::uint8_t> bytes,
                                                  std::uint16_t width, std::uint16_t height) {
  const std::size_t sof = FindMarker(bytes, 0xC9);  // arithmetic, sequential
  EXPECT_NE(sof, std::string::npos);
  bytes[sof + 5] = static_cast<std::uint8_t>(height >> 8);
  bytes[sof + 6] = static_cast<std::uint8_t>(height);
  bytes[sof + 7] = static_cast<std::uint8_t>(width >> 8);
  bytes[sof + 8] = static_cast<std::uint8_t>(width);
  return bytes;
}

// Arithmetic coding spends next to nothing on a plain area, so its data puts
// no floor under the picture size; a large picture is held to the bound of
// Huffman coding all the same, a small one (here 16 megapixels) is not.
TEST(JpegCodec, BoundsArithmeticCodedPicturesByTheirData) {
  TempDir dir;
  const std::vector<std::uint8_t> small = Cjpeg(dir, Busy(64, 64), {"-arithmetic"});
  EXPECT_EQ(DecodeJpeg(small).Width(), 64);
  EXPECT_THAT([&] { DecodeJpeg(WithArithmeticFrameSize(small, 16000, 16000)); },
              ::testing::ThrowsMessage<PictureError>(
                  ::testing::HasSubstr("too short for its picture size")));

  const std::vector<std::uint8_t> plain =
      Cjpeg(dir, Bitmap(4000, 4000, MakeColor(90, 120, 150)), {"-arithmetic"});
  ASSERT_LT(plain.size(), 4000u * 4000u / 8192u) << "beyond the Huffman bound";
  const Bitmap decoded = DecodeJpeg(plain);
  EXPECT_EQ(decoded.Width(), 4000);
  EXPECT_LE(MaxChannelDifference(decoded, Bitmap(4000, 4000, MakeColor(90, 120, 150))), 2);
}

// Files are read as they are decoded; the picture is the one of the same
// bytes in memory, and a file cut short is refused all the same.
TEST(JpegCodec, FilesGiveThePictureOfTheirBytes) {
  TempDir dir;
  const Bitmap picture = Busy(300, 200);
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {"baseline", EncodeJpeg(picture, 80)},
      {"progressive", Cjpeg(dir, picture, {"-progressive", "-quality", "95"})},
      {"grey", Cjpeg(dir, picture, {"-grayscale"})},
      {"CMYK",
       Convert(dir, {"-size", "300x200", "gradient:red-blue", "-colorspace", "CMYK"}, "cmyk.jpg")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.Path() + "file.jpg";
    WriteFileAtomically(path, std::string(c.bytes.begin(), c.bytes.end()));
    EXPECT_EQ(DecodePictureFile(path), DecodeJpeg(c.bytes));
    WriteFileAtomically(path, std::string(c.bytes.begin(), c.bytes.begin() + c.bytes.size() / 2));
    EXPECT_THROW(DecodePictureFile(path), PictureError);
  }
}

}  // namespace
}  // namespace quillet

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "core/codecs/Codecs.h"
#include "core/codecs/PictureBytes.h"
#include "core/platform/AtomicFile.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using namespace quillet::testing;

const std::vector<std::string> kSix = {"RGB", "YKW"};
const std::string kSixPalette = "RGBYKW";

std::function<std::uint32_t(char)> IndexIn(const std::string& palette) {
  return [palette](char letter) { return static_cast<std::uint32_t>(palette.find(letter)); };
}

std::uint32_t Rgb555(char letter) {
  Color c = ColorOfLetter(letter);
  return ((RedOf(c) >> 3) << 10) | ((GreenOf(c) >> 3) << 5) | (BlueOf(c) >> 3);
}

std::uint32_t Rgb565(char letter) {
  Color c = ColorOfLetter(letter);
  return ((RedOf(c) >> 3) << 11) | ((GreenOf(c) >> 2) << 5) | (BlueOf(c) >> 3);
}

struct VariantCase {
  const char* name;
  std::vector<std::uint8_t> bytes;
  std::vector<std::string> expected;
};

std::vector<VariantCase> Variants() {
  std::vector<VariantCase> cases;
  auto add = [&](const char* name, DibHeaderSpec h, std::vector<std::uint8_t> palette,
                 std::vector<std::uint8_t> rows, std::vector<std::string> expected = kSix) {
    cases.push_back({name, BmpFile(h, palette, rows), expected});
  };
  add("24-bit bottom-up", {.width = 3, .height = 2, .bits = 24}, {}, RowBytes(kSix, 24, BgrValue));
  add("24-bit top-down", {.width = 3, .height = -2, .bits = 24}, {},
      RowBytes(kSix, 24, BgrValue, true));
  add("32-bit", {.width = 3, .height = 2, .bits = 32}, {}, RowBytes(kSix, 32, BgrValue));
  add("16-bit 5-5-5", {.width = 3, .height = 2, .bits = 16}, {}, RowBytes(kSix, 16, Rgb555));
  add("16-bit bitfields 5-6-5",
      {.width = 3, .height = 2, .bits = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}},
      {}, RowBytes(kSix, 16, Rgb565));
  auto rgbx = [](char letter) { return static_cast<std::uint32_t>(ColorOfLetter(letter)); };
  add("32-bit bitfields in a V4 header",
      {.size = 108,
       .width = 3,
       .height = 2,
       .bits = 32,
       .compression = 3,
       .masks = {0x000000FF, 0x0000FF00, 0x00FF0000}},
      {}, RowBytes(kSix, 32, rgbx));
  add("24-bit V5 header", {.size = 124, .width = 3, .height = 2, .bits = 24}, {},
      RowBytes(kSix, 24, BgrValue));
  add("8-bit palette", {.width = 3, .height = 2, .bits = 8}, PaletteBytes(kSixPalette + "KK"),
      RowBytes(kSix, 8, IndexIn(kSixPalette)));
  add("8-bit with 6 colours used", {.width = 3, .height = 2, .bits = 8, .colorsUsed = 6},
      PaletteBytes(kSixPalette), RowBytes(kSix, 8, IndexIn(kSixPalette)));
  add("4-bit palette", {.width = 3, .height = 2, .bits = 4, .colorsUsed = 6},
      PaletteBytes(kSixPalette), RowBytes(kSix, 4, IndexIn(kSixPalette)));
  const std::vector<std::string> twoTone = {"KWKWKWKWK", "WWKKWWKKW"};
  add("1-bit palette", {.width = 9, .height = 2, .bits = 1}, PaletteBytes("KW"),
      RowBytes(twoTone, 1, IndexIn("KW")), twoTone);
  add("OS/2 core header", {.size = 12, .width = 3, .height = 2, .bits = 4},
      PaletteBytes(kSixPalette + "KKKKKKKKKK", true), RowBytes(kSix, 4, IndexIn(kSixPalette)));
  // Palette K R G B. Bottom row: a run of four reds. Middle: three pixels
  // written absolutely, then one encoded. Top: a delta skips one pixel,
  // two blues, and the rest is left untouched (white).
  add("RLE8", {.width = 4, .height = 3, .bits = 8, .compression = 1, .colorsUsed = 4},
      PaletteBytes("KRGB"), {4, 1, 0, 0, 0, 3, 2, 3, 1, 0, 1, 2, 0, 0, 0, 2, 1, 0, 2, 3, 0, 1},
      {"WBBW", "GBRG", "RRRR"});
  add("RLE4", {.width = 4, .height = 2, .bits = 4, .compression = 2, .colorsUsed = 4},
      PaletteBytes("KRGB"), {4, 0x12, 0, 0, 0, 4, 0x33, 0x10, 0, 1}, {"BBRK", "RGRG"});
  return cases;
}

TEST(BmpDecoder, ReadsEveryVariant) {
  for (const VariantCase& c : Variants()) {
    SCOPED_TRACE(c.name);
    Bitmap decoded = DecodeBmp(c.bytes);
    Bitmap expected = PictureOfLetters(c.expected);
    EXPECT_EQ(decoded, expected) << Describe(decoded);
  }
}

TEST(BmpDecoder, RoundTripIsLossless) {
  Bitmap picture(7, 5);  // 21 bytes a row: the rows need padding
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 7; ++x)
      picture.SetPixel(x, y, MakeColor(x * 36, y * 60, (x * y * 13) & 0xFF));
  }
  std::vector<std::uint8_t> bytes = EncodeBmp(picture);
  EXPECT_EQ(bytes.size(), 14u + 40u + 24u * 5u);
  EXPECT_EQ(DecodeBmp(bytes), picture);
}

TEST(BmpEncoder, WritesBottomUp24BitRowsPaddedToFourBytes) {
  std::vector<std::uint8_t> bytes = EncodeBmp(PictureOfLetters({"R", "B"}));
  ASSERT_EQ(bytes.size(), 14u + 40u + 8u);
  EXPECT_EQ(bytes[28], 24);  // biBitCount
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 54, bytes.end()),
            (std::vector<std::uint8_t>{255, 0, 0, 0, 0, 0, 255, 0}));  // blue row first
}

TEST(BmpDecoder, ClipsRleThatOverrunsThePicture) {
  // A run longer than a row, a delta past the right edge, and more rows
  // than the picture has: everything outside is dropped.
  std::vector<std::uint8_t> rle = {255, 1, 0, 0, 0, 2, 200, 0, 3, 2, 0, 0, 0, 0, 0, 0, 5, 1, 0, 1};
  Bitmap decoded =
      DecodeBmp(BmpFile({.width = 3, .height = 2, .bits = 8, .compression = 1, .colorsUsed = 2},
                        PaletteBytes("KR"), rle));
  EXPECT_EQ(decoded, PictureOfLetters({"WWW", "RRR"})) << Describe(decoded);
}

std::vector<std::uint8_t> WithOffset(std::vector<std::uint8_t> bytes, std::uint32_t offset) {
  for (int i = 0; i < 4; ++i)
    bytes[10 + i] = static_cast<std::uint8_t>(offset >> (8 * i));
  return bytes;
}

std::vector<std::uint8_t> Cut(std::vector<std::uint8_t> bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

TEST(BmpDecoder, RefusesHostileFiles) {
  const std::vector<std::uint8_t> good =
      BmpFile({.width = 3, .height = 2, .bits = 24}, {}, RowBytes(kSix, 24, BgrValue));
  const std::string text = "This is not a picture at all, only some text.\n";
  struct Hostile {
    const char* name;
    std::vector<std::uint8_t> bytes;
  };
  const std::vector<Hostile> cases = {
      {"empty", {}},
      {"text", std::vector<std::uint8_t>(text.begin(), text.end())},
      {"signature only", {'B', 'M'}},
      {"file header only", Cut(good, 14)},
      {"header cut short", Cut(good, 30)},
      {"last row missing", Cut(good, good.size() - 12)},
      {"one byte short", Cut(good, good.size() - 4)},
      {"pixel offset past the end", WithOffset(good, 100000)},
      {"pixel offset inside the header", WithOffset(good, 20)},
      {"zero width", BmpFile({.width = 0, .height = 2}, {}, {})},
      {"zero height", BmpFile({.width = 3, .height = 0}, {}, {})},
      {"negative width", BmpFile({.width = -3, .height = 2}, {}, std::vector<std::uint8_t>(24))},
      {"most negative height", BmpFile({.width = 1, .height = INT32_MIN}, {}, {})},
      {"ten gigapixels", BmpFile({.width = 100000, .height = 100000}, {}, {})},
      {"one pixel over the limit", BmpFile({.width = 16385, .height = 16384, .bits = 1}, {}, {})},
      {"unknown depth", BmpFile({.width = 3, .height = 2, .bits = 7}, {}, {})},
      {"RLE8 on 24 bits", BmpFile({.width = 3, .height = 2, .compression = 1}, {}, {})},
      {"unknown compression", BmpFile({.width = 3, .height = 2, .compression = 4}, {}, {})},
      {"unknown header size", BmpFile({.size = 13, .width = 3, .height = 2}, {}, {})},
      {"header larger than the file", BmpFile({.size = 4000, .width = 3, .height = 2}, {}, {})},
      {"top-down RLE", BmpFile({.width = 2, .height = -2, .bits = 8, .compression = 1},
                               PaletteBytes("KR"), {2, 1, 0, 1})},
      {"RLE absolute run past the end",
       BmpFile({.width = 4, .height = 2, .bits = 8, .compression = 1}, PaletteBytes("KR"),
               {0, 40, 1, 1})},
      {"RLE without end on the first row",
       BmpFile({.width = 4, .height = 2, .bits = 8, .compression = 1}, PaletteBytes("KR"), {2, 1})},
      {"RLE delta cut short", BmpFile({.width = 4, .height = 2, .bits = 8, .compression = 1},
                                      PaletteBytes("KR"), {0, 2, 1})},
      {"bitfield masks missing",
       Cut(BmpFile({.width = 3, .height = 2, .bits = 16, .compression = 3}, {}, {}), 14 + 40 + 4)},
  };
  for (const Hostile& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW(DecodeBmp(c.bytes), PictureError);
  }
}

TEST(BmpDecoder, HonoursALowerPixelLimit) {
  const std::vector<std::uint8_t> bytes =
      BmpFile({.width = 3, .height = 2, .bits = 24}, {}, RowBytes(kSix, 24, BgrValue));
  EXPECT_NO_THROW(DecodeBmp(bytes, 6));
  EXPECT_THROW(DecodeBmp(bytes, 5), PictureError);
}

// RLE data paints at most 255 pixels with two bytes; what it skips stays
// white for free. A small picture may be mostly skipped, a large one must
// have the data to paint itself.
TEST(BmpDecoder, BoundsRlePicturesByTheirData) {
  auto endOnly = [](std::int32_t width, std::int32_t height, std::uint32_t compression) {
    return BmpFile({.width = width,
                    .height = height,
                    .bits = compression == 1 ? 8 : 4,
                    .compression = compression,
                    .colorsUsed = 2},
                   PaletteBytes("KR"), {2, 1, 0, 1});
  };
  const Bitmap white = DecodeBmp(endOnly(4000, 4000, 1));
  EXPECT_EQ(white.Width(), 4000);
  EXPECT_EQ(white.Pixel(3999, 0), kWhite);
  EXPECT_EQ(white.Pixel(1, 3999), MakeColor(255, 0, 0));
  EXPECT_EQ(white.Pixel(2, 3999), kWhite);
  for (std::uint32_t compression : {1u, 2u}) {
    SCOPED_TRACE(compression);
    EXPECT_THAT([&] { DecodeBmp(endOnly(16384, 16384, compression)); },
                ::testing::ThrowsMessage<PictureError>(
                    ::testing::HasSubstr("too short for its picture size")));
  }
  // Enough data for its size (pixels written one byte each), but it ends
  // before the picture does.
  std::vector<std::uint8_t> rows;
  for (int row = 0; row < 40; ++row) {
    for (int run = 0; run < 20; ++run) {
      rows.insert(rows.end(), {0, 250});
      rows.insert(rows.end(), 250, 1);
    }
    rows.insert(rows.end(), {0, 0});
  }
  EXPECT_THAT(
      [&] {
        DecodeBmp(
            BmpFile({.width = 5000, .height = 5000, .bits = 8, .compression = 1, .colorsUsed = 2},
                    PaletteBytes("KR"), rows));
      },
      ::testing::ThrowsMessage<PictureError>(::testing::HasSubstr("ends early")));
}

// Files are read a slice of rows at a time; the picture is that of the same
// bytes in memory, and a cut file is refused.
TEST(BmpDecoder, FilesGiveThePictureOfTheirBytes) {
  testing::TempDir dir;
  Bitmap picture(301, 1500);  // rows need padding; more than one slice of rows
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x)
      picture.SetPixel(x, y, MakeColor(x & 0xFF, (y * 3) & 0xFF, (x * y) & 0xFF));
  WritePictureFile(dir.Path() + "picture.png", picture, LogoFormat::Png, 0, 8);
  struct Case {
    const char* name;
    std::vector<std::string> args;
  };
  const std::vector<Case> cases = {
      {"24-bit", {"BMP3:"}},
      {"top-down 32-bit", {"-define", "bmp:top-down=true", "-alpha", "set", "BMP:"}},
      {"16-bit", {"-define", "bmp:subtype=RGB565", "BMP:"}},
      {"8-bit palette", {"-colors", "200", "-type", "Palette", "-compress", "None", "BMP3:"}},
      {"RLE", {"-colors", "200", "-type", "Palette", "-compress", "RLE", "BMP3:"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {dir.Path() + "picture.png"};
    args.insert(args.end(), c.args.begin(), c.args.end() - 1);
    args.push_back(c.args.back() + dir.Path() + "file.bmp");
    const testing::ProcessResult result = testing::RunProcess("/usr/bin/convert", args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string bytes = ReadWholeFile(dir.Path() + "file.bmp");
    ASSERT_GT(bytes.size(), 64u * 1024u);
    const std::vector<std::uint8_t> memory(bytes.begin(), bytes.end());
    EXPECT_EQ(DecodePictureFile(dir.Path() + "file.bmp"), DecodeBmp(memory));
    WriteFileAtomically(dir.Path() + "cut.bmp", bytes.substr(0, bytes.size() - 100));
    EXPECT_THROW(DecodePictureFile(dir.Path() + "cut.bmp"), PictureError);
  }
  EXPECT_EQ(DecodePictureFile(dir.Path() + "file.bmp").Width(), 301);
}

}  // namespace
}  // namespace quillet

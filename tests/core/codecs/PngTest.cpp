#include <png.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <csetjmp>

#include "core/codecs/Codecs.h"
#include "core/codecs/PictureBytes.h"
#include "core/platform/AtomicFile.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using namespace quillet::testing;

// What a test PNG holds: rows already in the file's sample layout.
struct PngSpec {
  int width = 1;
  int height = 1;
  int colorType = PNG_COLOR_TYPE_RGB;
  int bitDepth = 8;
  bool interlaced = false;
  std::vector<std::vector<std::uint8_t>> rows = {};
  std::vector<png_color> palette = {};
  std::vector<png_byte> paletteAlpha = {};
  std::optional<png_color_16> transparentColor = std::nullopt;
};

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

bool WritePngInto(const PngSpec& spec, png_structp png, png_infop info,
                  std::vector<std::uint8_t>* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, AppendBytes, nullptr);
  png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colorType,
               spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!spec.palette.empty())
    png_set_PLTE(png, info, spec.palette.data(), static_cast<int>(spec.palette.size()));
  if (!spec.paletteAlpha.empty())
    png_set_tRNS(png, info, spec.paletteAlpha.data(), static_cast<int>(spec.paletteAlpha.size()),
                 nullptr);
  if (spec.transparentColor) png_set_tRNS(png, info, nullptr, 0, &*spec.transparentColor);
  png_write_info(png, info);
  const int passes = spec.interlaced ? png_set_interlace_handling(png) : 1;
  for (int pass = 0; pass < passes; ++pass) {
    for (const auto& row : spec.rows)
      png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  return true;
}

std::vector<std::uint8_t> WritePng(const PngSpec& spec) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  const bool ok = WritePngInto(spec, png, info, &out);
  png_destroy_write_struct(&png, &info);
  if (!ok) ADD_FAILURE() << "could not write the test PNG";
  return out;
}

std::uint8_t OverWhite(int c, int a) {
  return static_cast<std::uint8_t>(std::lround(c * a / 255.0 + 255.0 * (255 - a) / 255.0));
}

TEST(PngCodec, RoundTripIsLossless) {
  Bitmap picture(13, 9);
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 13; ++x)
      picture.SetPixel(x, y, MakeColor(x * 19, y * 28, (x * 7 + y * 11) & 0xFF));
  }
  std::vector<std::uint8_t> bytes = EncodePng(picture);
  ASSERT_GE(bytes.size(), 8u);
  EXPECT_EQ(bytes[1], 'P');
  EXPECT_EQ(DecodePng(bytes), picture);
}

TEST(PngCodec, ComposesAlphaOverWhiteExactly) {
  const int alphas[] = {0, 1, 2, 127, 128, 129, 200, 254, 255};
  const int colours[] = {0, 1, 77, 128, 254, 255};
  PngSpec spec{.width = 9, .height = 6, .colorType = PNG_COLOR_TYPE_RGB_ALPHA};
  Bitmap expected(9, 6);
  for (int y = 0; y < 6; ++y) {
    std::vector<std::uint8_t> row;
    for (int x = 0; x < 9; ++x) {
      const int c = colours[y], a = alphas[x];
      row.insert(row.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(255 - c), 0,
                             static_cast<std::uint8_t>(a)});
      expected.SetPixel(x, y, MakeColor(OverWhite(c, a), OverWhite(255 - c, a), OverWhite(0, a)));
    }
    spec.rows.push_back(row);
  }
  EXPECT_EQ(DecodePng(WritePng(spec)), expected);
}

TEST(PngCodec, ReadsEveryColourType) {
  struct Case {
    const char* name;
    PngSpec spec;
    std::vector<Color> expected;  // one row
  };
  const std::vector<Case> cases = {
      {"grey 8",
       {.width = 3, .colorType = PNG_COLOR_TYPE_GRAY, .rows = {{0, 100, 255}}},
       {0x000000, 0x646464, 0xFFFFFF}},
      {"grey 2",
       {.width = 4, .colorType = PNG_COLOR_TYPE_GRAY, .bitDepth = 2, .rows = {{0x1B}}},
       {0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF}},
      {"grey + alpha",
       {.width = 2, .colorType = PNG_COLOR_TYPE_GRAY_ALPHA, .rows = {{0, 128, 100, 255}}},
       {MakeColor(OverWhite(0, 128), OverWhite(0, 128), OverWhite(0, 128)), 0x646464}},
      {"grey with a transparent value",
       {.width = 2,
        .colorType = PNG_COLOR_TYPE_GRAY,
        .rows = {{7, 8}},
        .transparentColor = png_color_16{0, 0, 0, 0, 7}},
       {0xFFFFFF, 0x080808}},
      {"palette with tRNS",
       {.width = 3,
        .colorType = PNG_COLOR_TYPE_PALETTE,
        .rows = {{0, 1, 2}},
        .palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}},
        .paletteAlpha = {255, 0, 128}},
       {0x0000FF, 0xFFFFFF, MakeColor(OverWhite(0, 128), OverWhite(0, 128), 255)}},
      {"palette 4-bit",
       {.width = 2,
        .colorType = PNG_COLOR_TYPE_PALETTE,
        .bitDepth = 4,
        .rows = {{0x10}},
        .palette = {{1, 2, 3}, {4, 5, 6}}},
       {MakeColor(4, 5, 6), MakeColor(1, 2, 3)}},
      {"RGB with a transparent colour",
       {.width = 2,
        .rows = {{0, 0, 255, 0, 0, 254}},
        .transparentColor = png_color_16{0, 0, 0, 255, 0}},
       {0xFFFFFF, MakeColor(0, 0, 254)}},
      // 16-bit samples are rounded, not cut: 0xFF00 gives 254, 0x00FF gives 1.
      {"RGB 16",
       {.width = 1, .bitDepth = 16, .rows = {{0xFF, 0x00, 0x00, 0xFF, 0x80, 0x80}}},
       {MakeColor(254, 1, 128)}},
      {"grey + alpha 16",
       {.width = 1,
        .colorType = PNG_COLOR_TYPE_GRAY_ALPHA,
        .bitDepth = 16,
        .rows = {{0x00, 0xFF, 0xFF, 0xFF}}},
       {0x010101}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bitmap decoded = DecodePng(WritePng(c.spec));
    ASSERT_EQ(decoded.Width(), static_cast<int>(c.expected.size()));
    for (int x = 0; x < decoded.Width(); ++x)
      EXPECT_EQ(decoded.Pixel(x, 0), c.expected[static_cast<std::size_t>(x)]) << "x " << x;
  }
}

TEST(PngCodec, ReadsInterlacedPictures) {
  PngSpec spec{
      .width = 11, .height = 10, .colorType = PNG_COLOR_TYPE_RGB_ALPHA, .interlaced = true};
  Bitmap expected(11, 10);
  for (int y = 0; y < 10; ++y) {
    std::vector<std::uint8_t> row;
    for (int x = 0; x < 11; ++x) {
      const auto r = static_cast<std::uint8_t>(x * 23), g = static_cast<std::uint8_t>(y * 25);
      const std::uint8_t a = (x + y) % 3 == 0 ? 0 : 255;
      row.insert(row.end(), {r, g, 9, a});
      expected.SetPixel(x, y, a == 0 ? kWhite : MakeColor(r, g, 9));
    }
    spec.rows.push_back(row);
  }
  std::vector<std::uint8_t> bytes = WritePng(spec);
  EXPECT_EQ(bytes[8 + 8 + 12], 1) << "the fixture is interlaced";
  EXPECT_EQ(DecodePng(bytes), expected);
}

// The seven passes of an interlaced file are put together into the picture
// of the same file written without interlacing, for every kind of pixel.
TEST(PngCodec, InterlacedFilesGiveThePictureOfPlainOnes) {
  testing::TempDir dir;
  struct Case {
    const char* name;
    std::vector<std::string> args;
  };
  const std::vector<Case> cases = {
      {"RGB", {"PNG24:"}},
      {"RGBA", {"-alpha", "set", "-channel", "A", "-fx", "(i+j)%3/2", "+channel", "PNG32:"}},
      {"16-bit RGB", {"-depth", "16", "PNG48:"}},
      {"palette", {"-colors", "13", "PNG8:"}},
      {"grey 1-bit", {"-monochrome", "PNG:"}},
      {"grey + alpha",
       {"-colorspace", "Gray", "-alpha", "set", "-channel", "A", "-fx", "i/w", "+channel", "PNG:"}},
  };
  // Odd sizes leave some passes short or empty.
  for (const char* size : {"37x23", "3x2", "1x9"}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " " + size);
      Bitmap decoded[2];
      for (int interlaced = 0; interlaced < 2; ++interlaced) {
        std::vector<std::string> args = {"-seed", "3", "-size", size, "plasma:fractal"};
        if (interlaced) args.insert(args.end(), {"-interlace", "PNG"});
        args.insert(args.end(), c.args.begin(), c.args.end() - 1);
        args.push_back(c.args.back() + dir.Path() + "file.png");
        const testing::ProcessResult result = testing::RunProcess("/usr/bin/convert", args);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const std::string bytes = ReadWholeFile(dir.Path() + "file.png");
        ASSERT_EQ(bytes[28], interlaced) << "interlace method";
        decoded[interlaced] = DecodePictureFile(dir.Path() + "file.png");
      }
      EXPECT_EQ(decoded[1], decoded[0]) << Describe(decoded[1]) << "\n" << Describe(decoded[0]);
    }
  }
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

// Signature and an IHDR chunk with a correct checksum, nothing after.
std::vector<std::uint8_t> HeaderOnly(std::uint32_t width, std::uint32_t height) {
  std::vector<std::uint8_t> bytes = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13};
  std::vector<std::uint8_t> chunk = {'I', 'H', 'D', 'R'};
  for (std::uint32_t v : {width, height})
    for (int shift : {24, 16, 8, 0})
      chunk.push_back(static_cast<std::uint8_t>(v >> shift));
  chunk.insert(chunk.end(), {8, 2, 0, 0, 0});
  const std::uint32_t crc = Crc32(chunk.data(), chunk.size());
  bytes.insert(bytes.end(), chunk.begin(), chunk.end());
  for (int shift : {24, 16, 8, 0})
    bytes.push_back(static_cast<std::uint8_t>(crc >> shift));
  return bytes;
}

TEST(PngCodec, RefusesHostileFiles) {
  Bitmap picture(40, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x)
      picture.SetPixel(x, y, MakeColor(x * 6, y * 6, x ^ y));
  const std::vector<std::uint8_t> good = EncodePng(picture);
  const std::string text = "not a PNG, just words\n";
  std::vector<std::uint8_t> badCrc = good;
  badCrc[40] ^= 0x55;  // inside the image data
  struct Hostile {
    const char* name;
    std::vector<std::uint8_t> bytes;
  };
  const std::vector<Hostile> cases = {
      {"empty", {}},
      {"text", {text.begin(), text.end()}},
      {"signature only", {good.begin(), good.begin() + 8}},
      {"cut in the image data", {good.begin(), good.begin() + good.size() / 2}},
      {"end chunk missing", {good.begin(), good.end() - 12}},
      {"damaged image data", badCrc},
      {"header only", HeaderOnly(16, 16)},
      {"zero width", HeaderOnly(0, 16)},
      {"over the pixel limit", HeaderOnly(17000, 17000)},
      {"far over the pixel limit", HeaderOnly(0x7FFFFFFF, 0x7FFFFFFF)},
  };
  for (const Hostile& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW(DecodePng(c.bytes), PictureError);
  }
  EXPECT_THROW(DecodePng(good, 40 * 40 - 1), PictureError);
  EXPECT_THROW(EncodePng(Bitmap()), PictureError);
}

// Under the pixel limit but far beyond what the file's bytes can inflate to:
// refused from the header, before 768 MB are taken for the picture.
TEST(PngCodec, RefusesASizeItsDataCannotHold) {
  // A real 40 × 40 file whose header is made to say 16000 × 16000.
  std::vector<std::uint8_t> hollow = EncodePng(Bitmap(40, 40));
  const std::vector<std::uint8_t> header = HeaderOnly(16000, 16000);
  std::copy(header.begin() + 8, header.end(), hollow.begin() + 8);
  EXPECT_THAT([&] { DecodePng(hollow); },
              ::testing::ThrowsMessage<PictureError>(
                  ::testing::HasSubstr("too short for its picture size")));
}

}  // namespace
}  // namespace quillet

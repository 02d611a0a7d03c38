#include <gif_lib.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "core/codecs/Codecs.h"
#include "core/codecs/PictureBytes.h"
#include "core/codecs/PictureQuality.h"
#include "core/codecs/Quantize.h"
#include "core/platform/AtomicFile.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using namespace quillet::testing;

struct FrameSpec {
  int left = 0;
  int top = 0;
  int width = 1;
  int height = 1;
  bool interlaced = false;
  std::vector<Color> localColors = {};
  std::vector<GifPixelType> indices = {};  // rows top-down
  int transparent = -1;
};

int AppendBytes(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

// A colour map padded to a power of two, or null for none.
ColorMapObject* MapOf(const std::vector<Color>& colors) {
  if (colors.empty()) return nullptr;
  int size = 2;
  while (size < static_cast<int>(colors.size()))
    size *= 2;
  ColorMapObject* map = GifMakeMapObject(size, nullptr);
  for (int i = 0; i < size; ++i) {
    Color c = i < static_cast<int>(colors.size()) ? colors[i] : 0;
    map->Colors[i] = GifColorType{RedOf(c), GreenOf(c), BlueOf(c)};
  }
  return map;
}

std::vector<int> InterlacedRows(int height) {
  std::vector<int> rows;
  for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
    for (int y = start; y < height; y += step)
      rows.push_back(y);
  return rows;
}

std::vector<std::uint8_t> WriteGif(int width, int height, const std::vector<Color>& globalColors,
                                   std::vector<FrameSpec> frames) {
  std::vector<std::uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, AppendBytes, &error);
  EGifSetGifVersion(gif, true);
  ColorMapObject* global = MapOf(globalColors);
  EXPECT_EQ(EGifPutScreenDesc(gif, width, height, 8, 0, global), GIF_OK);
  GifFreeMapObject(global);
  for (FrameSpec& frame : frames) {
    if (frame.transparent >= 0) {
      const GifByteType control[4] = {1, 0, 0, static_cast<GifByteType>(frame.transparent)};
      EXPECT_EQ(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control), GIF_OK);
    }
    ColorMapObject* local = MapOf(frame.localColors);
    EXPECT_EQ(EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height,
                               frame.interlaced, local),
              GIF_OK);
    GifFreeMapObject(local);
    std::vector<int> order;
    for (int y = 0; y < frame.height; ++y)
      order.push_back(y);
    if (frame.interlaced) order = InterlacedRows(frame.height);
    for (int y : order) {
      EXPECT_EQ(EGifPutLine(gif, frame.indices.data() + y * frame.width, frame.width), GIF_OK);
    }
  }
  EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
  return out;
}

const std::vector<Color> kKRGB = {0x000000, 0x0000FF, 0x00FF00, 0xFF0000};

TEST(GifDecoder, DrawsTheFirstFrameAtItsOffsetOnAWhiteScreen) {
  FrameSpec frame{.left = 2, .top = 1, .width = 3, .height = 2, .indices = {1, 2, 3, 0, 1, 2}};
  Bitmap decoded = DecodeGif(WriteGif(6, 4, kKRGB, {frame}));
  EXPECT_EQ(decoded, PictureOfLetters({"WWWWWW", "WWRGBW", "WWKRGW", "WWWWWW"}))
      << Describe(decoded);
}

TEST(GifDecoder, ShowsTransparentPixelsAsWhite) {
  FrameSpec frame{.width = 3, .indices = {1, 2, 3}, .transparent = 2};
  EXPECT_EQ(DecodeGif(WriteGif(3, 1, kKRGB, {frame})), PictureOfLetters({"RWB"}));
}

TEST(GifDecoder, PrefersTheLocalColourMap) {
  FrameSpec frame{.width = 2, .localColors = {0x00FFFF, 0xFF00FF}, .indices = {0, 1}};
  EXPECT_EQ(DecodeGif(WriteGif(2, 1, kKRGB, {frame})), PictureOfLetters({"YM"}));
}

TEST(GifDecoder, ReadsInterlacedFrames) {
  FrameSpec frame{.width = 2, .height = 11, .interlaced = true};
  std::vector<std::string> expected;
  for (int y = 0; y < 11; ++y) {
    frame.indices.push_back(static_cast<GifPixelType>(y % 4));
    frame.indices.push_back(static_cast<GifPixelType>((y / 4) % 4));
    expected.push_back({"KRGB"[y % 4], "KRGB"[(y / 4) % 4]});
  }
  EXPECT_EQ(DecodeGif(WriteGif(2, 11, kKRGB, {frame})), PictureOfLetters(expected));
}

TEST(GifDecoder, ShowsOnlyTheFirstFrameOfAnAnimation) {
  FrameSpec first{.width = 2, .indices = {1, 1}};
  FrameSpec second{.width = 2, .indices = {3, 3}};
  EXPECT_EQ(DecodeGif(WriteGif(2, 1, kKRGB, {first, second})), PictureOfLetters({"RR"}));
}

TEST(GifDecoder, ClipsAFrameThatReachesPastTheScreen) {
  FrameSpec frame{.left = 1, .top = 1, .width = 3, .height = 2, .indices = {1, 2, 3, 3, 2, 1}};
  EXPECT_EQ(DecodeGif(WriteGif(3, 2, kKRGB, {frame})), PictureOfLetters({"WWW", "WRG"}));
}

// A 1 × 1 GIF written by hand: one frame whose LZW data is clear, index 0,
// end; with or without a global colour map.
std::vector<std::uint8_t> TinyGif(bool withGlobalMap) {
  ByteWriter w;
  w.Bytes({'G', 'I', 'F', '8', '9', 'a'}).U16(1).U16(1);
  w.U8(withGlobalMap ? 0x80 : 0x00).U8(0).U8(0);
  if (withGlobalMap) w.Bytes({10, 20, 30, 40, 50, 60});
  w.U8(0x2C).U16(0).U16(0).U16(1).U16(1).U8(0);
  w.Bytes({2, 2, 0x44, 0x01, 0, 0x3B});
  return w.Get();
}

TEST(GifDecoder, NeedsAColourMap) {
  EXPECT_EQ(DecodeGif(TinyGif(true)).Pixel(0, 0), MakeColor(10, 20, 30));
  EXPECT_THROW(DecodeGif(TinyGif(false)), PictureError);
}

TEST(GifDecoder, RefusesHostileFiles) {
  std::vector<GifPixelType> noise(64 * 64);
  for (std::size_t i = 0; i < noise.size(); ++i)
    noise[i] = static_cast<GifPixelType>(i * 7 % 4);
  const std::vector<std::uint8_t> good =
      WriteGif(64, 64, kKRGB, {{.width = 64, .height = 64, .indices = noise}});
  std::vector<std::uint8_t> noFrame = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0, 0, 0, 0x3B};
  std::vector<std::uint8_t> zeroScreen = TinyGif(true);
  zeroScreen[6] = zeroScreen[8] = 0;
  std::vector<std::uint8_t> hugeScreen = TinyGif(true);
  for (int i = 6; i < 10; ++i)
    hugeScreen[static_cast<std::size_t>(i)] = 0xFF;
  const std::string text = "GIF? no, text\n";
  struct Hostile {
    const char* name;
    std::vector<std::uint8_t> bytes;
  };
  const std::vector<Hostile> cases = {
      {"empty", {}},
      {"text", {text.begin(), text.end()}},
      {"signature only", {good.begin(), good.begin() + 6}},
      {"cut in the picture data", {good.begin(), good.begin() + good.size() / 2}},
      {"no frame", noFrame},
      {"zero screen", zeroScreen},
      {"huge screen", hugeScreen},
  };
  for (const Hostile& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW(DecodeGif(c.bytes), PictureError);
  }
  EXPECT_NO_THROW(DecodeGif(good, 64 * 64));
  EXPECT_THROW(DecodeGif(good, 64 * 64 - 1), PictureError);
}

// A 35-byte file announcing a 65535 × 4096 screen (under the pixel limit) is
// refused from its header, before 800 MB are taken for the white screen.
TEST(GifDecoder, RefusesASizeItsDataCannotHold) {
  std::vector<std::uint8_t> hollow = TinyGif(true);
  hollow[6] = hollow[7] = 0xFF;
  hollow[8] = 0x00;
  hollow[9] = 0x10;
  EXPECT_THAT([&] { DecodeGif(hollow); },
              ::testing::ThrowsMessage<PictureError>(
                  ::testing::HasSubstr("too short for its picture size")));
}

TEST(GifEncoder, DefaultsAreAnOptimalEightBitPaletteWithDithering) {
  const GifEncoderSettings defaults;
  EXPECT_EQ(defaults.bitsPerPixel, 8);
  EXPECT_EQ(defaults.reduction, GifColorReduction::OptimalPalette);
  EXPECT_EQ(defaults.dithering, GifDithering::FloydSteinberg);
  EXPECT_EQ(defaults.compression, GifCompression::Lzw);
}

TEST(GifEncoder, KeepsFewColoursExactlyAndPadsThePalette) {
  const Bitmap picture = PictureOfLetters({"RGBK", "KBGR", "RRGG"});
  for (int bits : {2, 3, 8}) {
    SCOPED_TRACE(bits);
    std::vector<std::uint8_t> bytes = EncodeGif(picture, bits);
    ASSERT_GT(bytes.size(), 13u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "GIF");
    EXPECT_EQ(bytes[10] & 0x80, 0x80) << "global colour map";
    EXPECT_EQ((bytes[10] & 0x07) + 1, bits) << "2^bits entries";
    EXPECT_EQ(DecodeGif(bytes), picture);
  }
  const Bitmap twoTone = PictureOfLetters({"KWKW", "WWKK"});
  EXPECT_EQ(DecodeGif(EncodeGif(twoTone, 1)), twoTone);
}

TEST(GifEncoder, ReducesAPhotoToANearbyPicture) {
  Bitmap picture(48, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 48; ++x)
      picture.SetPixel(x, y, MakeColor(x * 5, y * 8, 128 + x - y));
  Bitmap decoded = DecodeGif(EncodeGif(picture, 8));
  ASSERT_EQ(decoded.Width(), 48);
  ASSERT_EQ(decoded.Height(), 32);
  double total = 0;
  for (std::size_t i = 0; i < decoded.SizeInBytes(); ++i)
    total += std::abs(int{decoded.Data()[i]} - int{picture.Data()[i]});
  EXPECT_LT(total / static_cast<double>(decoded.SizeInBytes()), 6.0);
}

// On photographic pictures (fractal noise has the spectrum of a photograph),
// the 8-bit GIF is at least as faithful as ImageMagick's with the same
// dithering.
TEST(GifEncoder, IsAsFaithfulAsImageMagickOnPhotographs) {
  testing::TempDir dir;
  const std::vector<std::vector<std::string>> pictures = {
      {"-seed", "21", "-size", "320x240", "plasma:fractal", "-blur", "0x1"},
      {"-seed", "22", "-size", "300x300", "plasma:fractal"},
      {"-seed", "23", "-size", "240x320", "plasma:tomato-steelblue", "-blur", "0x2"},
  };
  double ours = 0, theirs = 0;
  for (const auto& making : pictures) {
    SCOPED_TRACE(making[1]);
    std::vector<std::string> args = making;
    args.push_back(dir.Path() + "photo.png");
    testing::ProcessResult result = testing::RunProcess("/usr/bin/convert", args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Bitmap photo = DecodePictureFile(dir.Path() + "photo.png");
    result = testing::RunProcess("/usr/bin/convert",
                                 {dir.Path() + "photo.png", "-dither", "FloydSteinberg", "-colors",
                                  "256", dir.Path() + "theirs.gif"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const double mine = BlurredPsnr(photo, DecodeGif(EncodeGif(photo, 8)));
    const double reference = BlurredPsnr(photo, DecodePictureFile(dir.Path() + "theirs.gif"));
    EXPECT_GE(mine, reference - 0.1) << "ours " << mine << " dB, ImageMagick " << reference;
    ours += mine;
    theirs += reference;
  }
  EXPECT_GE(ours, theirs) << "ours " << ours / 3 << " dB, ImageMagick " << theirs / 3
                          << " on average";
}

// The file giflib writes for a picture reduced to `indexed`: the layout and
// LZW stream the encoder has always written, and that every reader takes.
std::vector<std::uint8_t> GiflibFile(IndexedPicture indexed, int bits) {
  std::vector<std::uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, AppendBytes, &error);
  ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
  for (int i = 0; i < map->ColorCount; ++i) {
    const Color c = i < static_cast<int>(indexed.palette.size()) ? indexed.palette[i] : 0;
    map->Colors[i] = GifColorType{RedOf(c), GreenOf(c), BlueOf(c)};
  }
  EXPECT_EQ(EGifPutScreenDesc(gif, indexed.width, indexed.height, bits, 0, map), GIF_OK);
  GifFreeMapObject(map);
  EXPECT_EQ(EGifPutImageDesc(gif, 0, 0, indexed.width, indexed.height, false, nullptr), GIF_OK);
  for (int y = 0; y < indexed.height; ++y) {
    EXPECT_EQ(
        EGifPutLine(gif, indexed.indices.data() + std::size_t(y) * indexed.width, indexed.width),
        GIF_OK);
  }
  EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
  return out;
}

// Pictures of at most 2^bits colours keep their pixels, so the LZW stream
// carries them unchanged: noise fills the code table again and again, a
// plain picture makes strings hundreds of pixels long.
TEST(GifEncoder, WritesTheLzwStreamGiflibWritesAndReadsBackExactly) {
  struct Case {
    const char* name;
    int width, height, bits;
    int colours;    // of the noise; 1 for a plain picture
    int runLength;  // pixels a noise value is held for
  } cases[] = {
      {"one pixel", 1, 1, 8, 1, 1},
      {"plain", 400, 400, 8, 1, 1},
      {"plain, two colours", 300, 200, 1, 1, 1},
      {"noise, 256 colours", 257, 131, 8, 256, 1},
      {"noise in runs", 320, 97, 8, 256, 3},
      {"noise, 16 colours", 211, 173, 4, 16, 1},
      {"noise, 5 colours", 64, 600, 3, 5, 2},
      {"noise, 4 colours", 199, 201, 2, 4, 1},
      {"noise, 2 colours", 501, 99, 1, 2, 1},
      {"one column", 1, 5000, 7, 128, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bitmap picture(c.width, c.height);
    std::uint32_t seed = 7;
    int value = 0;
    for (int i = 0; i < c.width * c.height; ++i) {
      if (i % c.runLength == 0) {
        seed = seed * 1103515245u + 12345u;
        value = static_cast<int>((seed >> 16) % static_cast<std::uint32_t>(c.colours));
      }
      picture.SetPixel(
          i % c.width, i / c.width,
          MakeColor(std::uint8_t(value), std::uint8_t(255 - value), std::uint8_t(value * 37)));
    }
    const std::vector<std::uint8_t> bytes = EncodeGif(picture, c.bits);
    EXPECT_EQ(bytes, GiflibFile(QuantizeOctree(picture, c.bits), c.bits));
    EXPECT_EQ(DecodeGif(bytes), picture);
  }
}

Bitmap Rebuild(const IndexedPicture& indexed) {
  Bitmap picture(indexed.width, indexed.height);
  for (int y = 0; y < indexed.height; ++y) {
    for (int x = 0; x < indexed.width; ++x)
      picture.SetPixel(x, y,
                       indexed.palette.at(indexed.indices.at(std::size_t(y) * indexed.width + x)));
  }
  return picture;
}

// Pictures of more colours than the depth holds, of every shape (the
// dithering works the top and bottom halves side by side): the file holds
// the reduced picture, in the stream giflib writes for it.
TEST(GifEncoder, WritesDitheredPicturesOfAnyShape) {
  struct Case {
    int width, height, bits;
  } cases[] = {{2, 2, 1}, {3, 3, 3},   {1, 300, 8},   {300, 1, 8},  {17, 2, 4},
               {5, 3, 2}, {97, 61, 6}, {400, 400, 8}, {64, 1023, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << ", " << c.bits << " bits");
    Bitmap picture(c.width, c.height);
    std::uint32_t seed = 3;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        seed = seed * 1103515245u + 12345u;
        const int noise = static_cast<int>((seed >> 16) % 17);
        picture.SetPixel(x, y,
                         MakeColor(std::uint8_t((x * 255 / c.width + noise) % 256),
                                   std::uint8_t((y * 255 / c.height + noise) % 256),
                                   std::uint8_t((x + y) * 7 % 256)));
      }
    }
    const IndexedPicture indexed = QuantizeOctree(picture, c.bits);
    ASSERT_LE(indexed.palette.size(), std::size_t{1} << c.bits);
    const std::vector<std::uint8_t> bytes = EncodeGif(picture, c.bits);
    EXPECT_EQ(bytes, GiflibFile(indexed, c.bits));
    EXPECT_EQ(DecodeGif(bytes), Rebuild(indexed));
  }
}

TEST(GifEncoder, RefusesWhatGifCannotHold) {
  const Bitmap picture(4, 4);
  EXPECT_THROW(EncodeGif(picture, 0), PictureError);
  EXPECT_THROW(EncodeGif(picture, 9), PictureError);
  EXPECT_THROW(EncodeGif(Bitmap(), 8), PictureError);
  EXPECT_THROW(EncodeGif(Bitmap(70000, 1), 8), PictureError);
}

}  // namespace
}  // namespace quillet

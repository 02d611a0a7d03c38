#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "core/codecs/Codecs.h"
#include "core/codecs/PictureBytes.h"
#include "core/platform/AtomicFile.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using namespace quillet::testing;

std::string AsText(const std::vector<std::uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

TEST(PictureFormats, AreToldByTheExtensionAlone) {
  struct Case {
    const char* name;
    DecoderKind decoder;
    LogoFormat format;
  };
  const std::vector<Case> cases = {
      {"a.jpg", DecoderKind::Jpeg, LogoFormat::Jpg},
      {"A.JPEG", DecoderKind::Jpeg, LogoFormat::Jpg},
      {"x.JpEg", DecoderKind::Jpeg, LogoFormat::Jpg},
      {"b.GIF", DecoderKind::Gif, LogoFormat::Gif},
      {"c.png", DecoderKind::Png, LogoFormat::Png},
      {"d.bmp", DecoderKind::General, LogoFormat::Bmp},
      {"e.jpg.txt", DecoderKind::General, LogoFormat::Bmp},
      {"png", DecoderKind::General, LogoFormat::Bmp},
      {"f.jp", DecoderKind::General, LogoFormat::Bmp},
      {"dir.png/g", DecoderKind::General, LogoFormat::Bmp},
      {"", DecoderKind::General, LogoFormat::Bmp},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecoderForFileName(c.name), c.decoder);
    EXPECT_EQ(LogoFormatOfFileName(c.name), c.format);
  }
  EXPECT_EQ(ExtensionOfFormat(LogoFormat::Bmp), ".bmp");
  EXPECT_EQ(ExtensionOfFormat(LogoFormat::Jpg), ".jpg");
  EXPECT_EQ(ExtensionOfFormat(LogoFormat::Gif), ".gif");
  EXPECT_EQ(ExtensionOfFormat(LogoFormat::Png), ".png");
}

TEST(PictureFormats, EncodePictureUsesTheFormatsEncoder) {
  const Bitmap picture = PictureOfLetters({"RGBK", "WWYY"});
  struct Case {
    LogoFormat format;
    std::string magic;
  };
  const std::vector<Case> cases = {{LogoFormat::Bmp, "BM"},
                                   {LogoFormat::Jpg, "\xFF\xD8"},
                                   {LogoFormat::Gif, "GIF8"},
                                   {LogoFormat::Png, "\x89PNG"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.magic);
    std::string bytes = AsText(EncodePicture(picture, c.format, 90, 4));
    EXPECT_EQ(bytes.substr(0, c.magic.size()), c.magic);
  }
  // The GIF bit count reaches the encoder.
  EXPECT_EQ(EncodePicture(picture, LogoFormat::Gif, 90, 3)[10] & 7, 2);
}

TEST(PictureFiles, RoundTripThroughEveryFormat) {
  TempDir dir;
  Bitmap picture(12, 9);  // 108 gently changing colours: a GIF keeps them all
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 12; ++x)
      picture.SetPixel(x, y, MakeColor(60 + x * 8, 90 + y * 9, 120));
  for (const char* name : {"a.bmp", "b.PNG", "c.gif", "d.JPEG", "e.dib"}) {
    SCOPED_TRACE(name);
    const std::string path = dir.Path() + name;
    WritePictureFile(path, picture, LogoFormatOfFileName(name), 100, 8);
    Bitmap decoded = DecodePictureFile(path);
    if (LogoFormatOfFileName(name) == LogoFormat::Jpg) {
      EXPECT_LE(MaxChannelDifference(decoded, picture), 8);
    } else {
      EXPECT_EQ(decoded, picture) << Describe(decoded);
    }
  }
}

TEST(PictureFiles, ChooseTheDecoderByExtensionNotContents) {
  TempDir dir;
  const Bitmap picture = PictureOfLetters({"RG", "BK"});
  const std::string png = AsText(EncodePng(picture));
  const std::string bmp = AsText(EncodeBmp(picture));
  dir.Write("png-named.bmp", png);
  dir.Write("bmp-named.png", bmp);
  dir.Write("text.jpg", "Not a picture, only text.\n");
  dir.Write("text.xyz", "Not a picture, only text.\n");
  dir.Write("empty.gif", "");
  dir.MakeDir("folder.png");
  for (const char* name : {"png-named.bmp", "bmp-named.png", "text.jpg", "text.xyz", "empty.gif",
                           "folder.png", "missing.png"}) {
    SCOPED_TRACE(name);
    EXPECT_THROW(DecodePictureFile(dir.Path() + name), PictureError);
  }
  dir.Write("bmp-named.txt", bmp);
  EXPECT_EQ(DecodePictureFile(dir.Path() + "bmp-named.txt"), picture);
}

TEST(PictureFiles, AFailedEncodingLeavesTheOldFileAlone) {
  TempDir dir;
  const std::string path = dir.Write("logo.png", "old contents");
  EXPECT_THROW(WritePictureFile(path, Bitmap(), LogoFormat::Png, 90, 8), PictureError);
  EXPECT_EQ(dir.Read("logo.png"), "old contents");
  std::size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1u) << "no temporary file left behind";
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

// What ImageMagick reads from a file, transparency over white.
Bitmap AsReadByImageMagick(const std::string& path) {
  TempDir dir;
  const std::string out = dir.Path() + "out.ppm";
  testing::ProcessResult result =
      testing::RunProcess("/usr/bin/convert", {path, "-background", "white", "-alpha", "remove",
                                               "-alpha", "off", "-depth", "8", "ppm:" + out});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  std::istringstream ppm(ReadWholeFile(out));
  std::string magic;
  int width = 0, height = 0, max = 0;
  ppm >> magic >> width >> height >> max;
  ppm.get();
  Bitmap picture(width, height);
  ppm.read(reinterpret_cast<char*>(picture.Data()),
           static_cast<std::streamsize>(picture.SizeInBytes()));
  return picture;
}

// The fuzzers' seeds are small pictures written by ImageMagick: every one
// must decode to its 8 × 6 picture (10 × 8 for the animation's screen, 6 × 8
// for the photos whose EXIF orientation turns them a quarter).
TEST(PictureFiles, DecodeThePicturesOfAnotherWriter) {
  const std::filesystem::path corpus = std::filesystem::path(QUILLET_SOURCE_DIR) / "fuzz/corpus";
  int decoded = 0;
  for (const char* kind : {"jpeg", "png", "gif", "bmp", "dib"}) {
    for (const auto& entry : std::filesystem::directory_iterator(corpus / kind)) {
      SCOPED_TRACE(entry.path().string());
      const std::string text = ReadWholeFile(entry.path().string());
      const std::vector<std::uint8_t> bytes(text.begin(), text.end());
      Bitmap picture = std::string(kind) == "dib" ? PaintPackedDib(bytes)
                                                  : DecodePictureFile(entry.path().string());
      const bool animated = entry.path().filename() == "animated.gif";
      const bool turned = entry.path().filename().string().rfind("exif-", 0) == 0;
      EXPECT_EQ(picture.Width(), animated ? 10 : turned ? 6 : 8);
      EXPECT_EQ(picture.Height(), animated ? 8 : turned ? 8 : 6);
      const bool lossless = std::string(kind) != "jpeg" && std::string(kind) != "dib";
      if (lossless && !animated) {
        EXPECT_LE(MaxChannelDifference(picture, AsReadByImageMagick(entry.path().string())), 1);
      }
      ++decoded;
    }
  }
  EXPECT_GE(decoded, 20);
}

}  // namespace
}  // namespace quillet

// Phone photos carry an EXIF orientation; the picture must come out the way
// up it was taken, whichever of the eight values the camera wrote.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/codecs/Codecs.h"
#include "core/codecs/ExifOrientation.h"
#include "core/codecs/PictureBytes.h"
#include "core/compose/SourceImage.h"
#include "core/platform/AtomicFile.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using namespace quillet::testing;

// The TIFF structure of an EXIF segment with an IFD0 of the given entries
// (tag, type, count, value), in either byte order.
struct Entry {
  std::uint16_t tag;
  std::uint16_t type;
  std::uint32_t count;
  std::uint32_t value;  // a short sits in the first two bytes of the field
};

std::vector<std::uint8_t> ExifPayload(const std::vector<Entry>& entries, bool bigEndian,
                                      std::uint32_t directoryOffset = 8) {
  std::vector<std::uint8_t> out = {'E', 'x', 'i', 'f', 0, 0};
  auto u16 = [&](std::uint16_t v) {
    if (bigEndian) {
      out.push_back(static_cast<std::uint8_t>(v >> 8));
      out.push_back(static_cast<std::uint8_t>(v));
    } else {
      out.push_back(static_cast<std::uint8_t>(v));
      out.push_back(static_cast<std::uint8_t>(v >> 8));
    }
  };
  auto u32 = [&](std::uint32_t v) {
    if (bigEndian) {
      u16(static_cast<std::uint16_t>(v >> 16));
      u16(static_cast<std::uint16_t>(v));
    } else {
      u16(static_cast<std::uint16_t>(v));
      u16(static_cast<std::uint16_t>(v >> 16));
    }
  };
  out.push_back(bigEndian ? 'M' : 'I');
  out.push_back(bigEndian ? 'M' : 'I');
  u16(42);
  u32(directoryOffset);
  u16(static_cast<std::uint16_t>(entries.size()));
  for (const Entry& e : entries) {
    u16(e.tag);
    u16(e.type);
    u32(e.count);
    if (e.type == 3 && e.count == 1) {
      u16(static_cast<std::uint16_t>(e.value));
      u16(0);
    } else {
      u32(e.value);
    }
  }
  u32(0);  // no next directory
  return out;
}

constexpr std::uint16_t kOrientation = 0x0112;
constexpr std::uint16_t kShort = 3;

TEST(ExifOrientation, ReadsTheTagInBothByteOrders) {
  for (bool bigEndian : {false, true}) {
    for (std::uint32_t value = 1; value <= 8; ++value) {
      SCOPED_TRACE(std::to_string(value) + (bigEndian ? " MM" : " II"));
      // Other tags before and after it, as cameras write them.
      const auto payload = ExifPayload(
          {{0x010F, 2, 4, 0x41424300}, {kOrientation, kShort, 1, value}, {0x011A, 5, 1, 0}},
          bigEndian);
      EXPECT_EQ(ExifOrientation(payload), static_cast<Orientation>(value));
    }
  }
}

TEST(ExifOrientation, IgnoresWhatIsNotAnOrientation) {
  const auto good = ExifPayload({{kOrientation, kShort, 1, 6}}, false);
  auto cut = [](std::vector<std::uint8_t> bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
  };
  auto patched = [](std::vector<std::uint8_t> bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = value;
    return bytes;
  };
  const std::string xmp = "http://ns.adobe.com/xap/1.0/";
  struct Case {
    const char* name;
    std::vector<std::uint8_t> payload;
  };
  const std::vector<Case> cases = {
      {"empty", {}},
      {"XMP, not EXIF", {xmp.begin(), xmp.end()}},
      {"header only", cut(good, 6)},
      {"unknown byte order", patched(good, 6, 'X')},
      {"mixed byte order", patched(good, 7, 'M')},
      {"not TIFF", patched(good, 8, 43)},
      {"directory past the end", ExifPayload({{kOrientation, kShort, 1, 6}}, false, 4000)},
      {"directory at the very end", ExifPayload({{kOrientation, kShort, 1, 6}}, true, 0xFFFFFFFF)},
      {"entry cut short", cut(good, good.size() - 8)},
      {"more entries than there are", patched(good, 14, 200)},
      {"no orientation", ExifPayload({{0x010F, 2, 4, 0}}, false)},
      {"value 0", ExifPayload({{kOrientation, kShort, 1, 0}}, false)},
      {"value 9", ExifPayload({{kOrientation, kShort, 1, 9}}, true)},
      {"a long, not a short", ExifPayload({{kOrientation, 4, 1, 6}}, false)},
      {"two values", ExifPayload({{kOrientation, kShort, 2, 6}}, false)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ExifOrientation(c.payload), std::nullopt);
  }
}

// --- Whole files -------------------------------------------------------------

// An upright picture no turn or mirror leaves unchanged: four colours in the
// quarters of a landscape picture.
const Color kQuarters[4] = {MakeColor(220, 30, 30), MakeColor(30, 200, 40), MakeColor(40, 50, 220),
                            MakeColor(230, 220, 40)};
constexpr int kWidth = 64, kHeight = 48;

Bitmap Upright() {
  Bitmap picture(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      picture.SetPixel(x, y, kQuarters[(y >= kHeight / 2) * 2 + (x >= kWidth / 2)]);
  return picture;
}

// The quarter colour nearest to the pixel, or -1.
int QuarterOf(Color c) {
  for (int i = 0; i < 4; ++i) {
    if (std::abs(RedOf(c) - RedOf(kQuarters[i])) < 40 &&
        std::abs(GreenOf(c) - GreenOf(kQuarters[i])) < 40 &&
        std::abs(BlueOf(c) - BlueOf(kQuarters[i])) < 40)
      return i;
  }
  return -1;
}

// Which quarter colour lies at the middle of each quarter of `picture`.
std::vector<int> QuartersOf(const Bitmap& picture) {
  const int w = picture.Width(), h = picture.Height();
  return {QuarterOf(picture.Pixel(w / 4, h / 4)), QuarterOf(picture.Pixel(3 * w / 4, h / 4)),
          QuarterOf(picture.Pixel(w / 4, 3 * h / 4)),
          QuarterOf(picture.Pixel(3 * w / 4, 3 * h / 4))};
}

Bitmap ReadPpm(const std::string& text) {
  std::istringstream ppm(text);
  std::string magic;
  int width = 0, height = 0, max = 0;
  ppm >> magic >> width >> height >> max;
  ppm.get();
  Bitmap picture(width, height);
  ppm.read(reinterpret_cast<char*>(picture.Data()),
           static_cast<std::streamsize>(picture.SizeInBytes()));
  return picture;
}

void RunConvert(const std::vector<std::string>& args) {
  const ProcessResult result = RunProcess("/usr/bin/convert", args);
  ASSERT_EQ(result.exitCode, 0) << result.err;
}

// The JPEG segment FF E1 with `payload`, put right after the start marker.
std::string WithApp1(const std::string& jpeg, const std::vector<std::uint8_t>& payload) {
  const std::size_t length = payload.size() + 2;
  std::string segment = {'\xFF', '\xE1', static_cast<char>(length >> 8),
                         static_cast<char>(length & 0xFF)};
  segment.append(payload.begin(), payload.end());
  return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

struct Stored {
  int value;
  // What a camera that wrote `value` stored, made from the upright picture
  // by ImageMagick.
  std::vector<std::string> fromUpright;
};

const std::vector<Stored> kStored = {
    {1, {}},
    {2, {"-flop"}},
    {3, {"-rotate", "180"}},
    {4, {"-flip"}},
    {5, {"-transpose"}},
    {6, {"-rotate", "270"}},
    {7, {"-transverse"}},
    {8, {"-rotate", "90"}},
};

class OrientedFiles : public ::testing::Test {
 protected:
  // The photo as a camera writing `value` stores it, baseline or progressive,
  // with an EXIF segment in either byte order.
  std::string PhotoFile(const Stored& stored, const std::vector<std::uint8_t>& payload,
                        const Bitmap& picture = Upright()) {
    const std::string upright = dir_.Path() + "upright.png";
    WritePictureFile(upright, picture, LogoFormat::Png, 0, 8);
    const std::string name = "stored" + std::to_string(stored.value);
    std::vector<std::string> args = {upright};
    args.insert(args.end(), stored.fromUpright.begin(), stored.fromUpright.end());
    args.insert(args.end(), {"-strip", "-quality", "95"});
    if (stored.value % 2 == 0) args.insert(args.end(), {"-interlace", "JPEG"});
    args.push_back(dir_.Path() + name + ".jpg");
    RunConvert(args);
    const std::string path = dir_.Path() + name + "-exif.jpg";
    WriteFileAtomically(path, WithApp1(ReadWholeFile(dir_.Path() + name + ".jpg"), payload));
    return path;
  }

  Bitmap AsImageMagickShowsIt(const std::string& path) {
    const std::string out = dir_.Path() + "im.ppm";
    RunConvert({path, "-auto-orient", "-depth", "8", "ppm:" + out});
    return ReadPpm(ReadWholeFile(out));
  }

  TempDir dir_;
};

TEST_F(OrientedFiles, EveryOrientationComesOutUpright) {
  const std::vector<int> upright = {0, 1, 2, 3};
  for (const Stored& stored : kStored) {
    SCOPED_TRACE("orientation " + std::to_string(stored.value));
    const bool bigEndian = stored.value > 4;
    const std::string path = PhotoFile(
        stored, ExifPayload({{kOrientation, kShort, 1, std::uint32_t(stored.value)}}, bigEndian));
    const Bitmap decoded = DecodePictureFile(path);
    ASSERT_EQ(decoded.Width(), kWidth);
    ASSERT_EQ(decoded.Height(), kHeight);
    EXPECT_EQ(QuartersOf(decoded), upright);
    // ImageMagick reads the same file to the same pixels.
    EXPECT_LE(MaxChannelDifference(decoded, AsImageMagickShowsIt(path)), 2);
    // The same bytes through memory.
    const std::string bytes = ReadWholeFile(path);
    EXPECT_EQ(DecodeJpeg({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}),
              decoded);
  }
}

// Larger photos are turned in bands of rows: every pixel lands where
// ImageMagick puts it, across the bands' edges too.
TEST_F(OrientedFiles, LargerPhotosLandPixelForPixel) {
  Bitmap busy(300, 277);  // turned, 277 rows make two bands and a part
  for (int y = 0; y < busy.Height(); ++y)
    for (int x = 0; x < busy.Width(); ++x)
      busy.SetPixel(x, y, MakeColor(x * 255 / 300, y * 255 / 277, (x * 7 + y * 13) & 0xFF));
  for (const Stored& stored : kStored) {
    SCOPED_TRACE("orientation " + std::to_string(stored.value));
    const std::string path = PhotoFile(
        stored, ExifPayload({{kOrientation, kShort, 1, std::uint32_t(stored.value)}}, false), busy);
    const Bitmap decoded = DecodePictureFile(path);
    ASSERT_EQ(decoded.Width(), 300);
    ASSERT_EQ(decoded.Height(), 277);
    EXPECT_LE(MaxChannelDifference(decoded, AsImageMagickShowsIt(path)), 2);
  }
}

// The source pane and the rendered logo of each photo are those of the
// upright one.
TEST_F(OrientedFiles, EveryOrientationRendersTheSameWayUp) {
  struct Shown {
    Bitmap view;
    Bitmap logo;
  };
  auto show = [](const std::string& path) {
    TLogoDirObject logo(NodeKind::Logo, "photo.jpg");
    logo.logowidth = 40;
    logo.logoheight = 40;
    logo.fitkind = FitKind::Bigger;
    TSourceImage image(32, 32, true, logo, path);
    Shown shown{image.BuildView(), Bitmap()};
    InitialFrame(logo, image);
    image.RenderLogo(shown.logo, false, kWhite);
    shown.logo = image.LogoPicture;
    return shown;
  };
  std::optional<Shown> first;
  for (const Stored& stored : kStored) {
    SCOPED_TRACE("orientation " + std::to_string(stored.value));
    const Shown shown = show(PhotoFile(
        stored, ExifPayload({{kOrientation, kShort, 1, std::uint32_t(stored.value)}}, false)));
    EXPECT_EQ(shown.logo.Width(), 40);
    EXPECT_EQ(shown.logo.Height(), 30);
    EXPECT_EQ(QuartersOf(shown.logo), (std::vector<int>{0, 1, 2, 3}));
    if (!first) {
      first = shown;
      continue;
    }
    EXPECT_EQ(shown.view.Width(), first->view.Width());
    EXPECT_EQ(shown.view.Height(), first->view.Height());
    EXPECT_LE(MaxChannelDifference(shown.logo, first->logo), 24);
  }
}

// A damaged or missing tag leaves the picture as it was stored.
TEST_F(OrientedFiles, ADamagedTagIsIgnored) {
  const Stored& turned = kStored[5];  // stored turned a quarter: 48 × 64
  struct Case {
    const char* name;
    std::vector<std::uint8_t> payload;
  };
  auto cutShort = ExifPayload({{kOrientation, kShort, 1, 6}}, false);
  cutShort.resize(cutShort.size() - 8);
  const std::vector<Case> cases = {
      {"value 9", ExifPayload({{kOrientation, kShort, 1, 9}}, false)},
      {"wrong type", ExifPayload({{kOrientation, 4, 1, 6}}, true)},
      {"cut short", cutShort},
      {"directory outside", ExifPayload({{kOrientation, kShort, 1, 6}}, false, 60000)},
      {"no tag", ExifPayload({{0x0110, 2, 4, 0}}, false)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bitmap decoded = DecodePictureFile(PhotoFile(turned, c.payload));
    EXPECT_EQ(decoded.Width(), kHeight);
    EXPECT_EQ(decoded.Height(), kWidth);
  }
}

}  // namespace
}  // namespace quillet

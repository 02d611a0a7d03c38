#include <gtest/gtest.h>

#include "core/codecs/Codecs.h"
#include "core/codecs/PictureBytes.h"

namespace quillet {
namespace {

using namespace quillet::testing;

const std::vector<std::string> kSix = {"RGB", "YKW"};

std::uint32_t IndexOf(char letter) {
  return static_cast<std::uint32_t>(std::string("RGBYKW").find(letter));
}

struct DibCase {
  const char* name;
  std::vector<std::uint8_t> dib;
  std::vector<std::string> expected;
};

TEST(PackedDib, FindsTheRowsAfterTheColourTable) {
  const std::vector<DibCase> cases = {
      // 24 bits, biClrUsed 0: 2^24 entries count as none; rows follow the header.
      {"24-bit without table",
       PackedDib({.width = 3, .height = 2}, {}, RowBytes(kSix, 24, BgrValue)), kSix},
      // 8 bits, biClrUsed 0: a full 256-entry (1024-byte) table.
      {"8-bit full table",
       PackedDib({.width = 3, .height = 2, .bits = 8},
                 PaletteBytes("RGBYKW" + std::string(250, 'K')), RowBytes(kSix, 8, IndexOf)),
       kSix},
      // biClrUsed 16: a 64-byte table.
      {"8-bit with 16 colours used",
       PackedDib({.width = 3, .height = 2, .bits = 8, .colorsUsed = 16},
                 PaletteBytes("RGBYKW" + std::string(10, 'K')), RowBytes(kSix, 8, IndexOf)),
       kSix},
      // A count over 256 means no table at all.
      {"24-bit with 300 colours used",
       PackedDib({.width = 3, .height = 2, .colorsUsed = 300}, {}, RowBytes(kSix, 24, BgrValue)),
       kSix},
      {"8-bit with 300 colours used: indices without colours are black",
       PackedDib({.width = 3, .height = 2, .bits = 8, .colorsUsed = 300}, {},
                 RowBytes(kSix, 8, IndexOf)),
       {"KKK", "KKK"}},
      {"top-down", PackedDib({.width = 3, .height = -2}, {}, RowBytes(kSix, 24, BgrValue, true)),
       kSix},
      {"16-bit bitfields: masks between header and rows",
       PackedDib({.width = 3,
                  .height = 2,
                  .bits = 16,
                  .compression = 3,
                  .masks = {0x7C00, 0x03E0, 0x001F}},
                 {},
                 RowBytes(kSix, 16,
                          [](char letter) {
                            Color c = ColorOfLetter(letter);
                            return ((RedOf(c) >> 3) << 10) | ((GreenOf(c) >> 3) << 5) |
                                   (BlueOf(c) >> 3);
                          })),
       kSix},
      {"OS/2 core header: three-byte entries",
       PackedDib({.size = 12, .width = 3, .height = 2, .bits = 4},
                 PaletteBytes("RGBYKW" + std::string(10, 'K'), true), RowBytes(kSix, 4, IndexOf)),
       kSix},
  };
  for (const DibCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bitmap painted = PaintPackedDib(c.dib);
    EXPECT_EQ(painted, PictureOfLetters(c.expected)) << Describe(painted);
  }
}

TEST(PackedDib, RefusesBlocksTooShortForWhatTheyAnnounce) {
  const std::vector<std::uint8_t> rows = RowBytes(kSix, 8, IndexOf);
  std::vector<std::uint8_t> shortTable =
      PackedDib({.width = 3, .height = 2, .bits = 8}, PaletteBytes("RGBYKW"), {});
  std::vector<std::uint8_t> shortRows = PackedDib({.width = 3, .height = 2}, {}, {1, 2, 3});
  std::vector<std::uint8_t> huge = PackedDib({.width = 30000, .height = 30000}, {}, {});
  std::vector<std::uint8_t> headerOnly = {40, 0, 0};
  for (const auto& dib : {shortTable, shortRows, huge, headerOnly, std::vector<std::uint8_t>{}}) {
    EXPECT_THROW(PaintPackedDib(dib), PictureError);
  }
}

}  // namespace
}  // namespace quillet

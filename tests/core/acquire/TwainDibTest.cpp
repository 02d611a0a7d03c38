#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/acquire/TwainLayer.h"
#include "core/codecs/Codecs.h"

namespace quillet {
namespace {

void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A BITMAPINFOHEADER of the given depth and colour count, followed by
// `table` entries and then `rows`, in a memory block as a transfer gives it.
TW_HANDLE Block(int width, int height, int bitCount, std::uint32_t colorsUsed,
                const std::vector<Color>& table, const std::vector<std::uint8_t>& rows) {
  std::vector<std::uint8_t> bytes(40 + 4 * table.size() + rows.size(), 0);
  Put32(bytes, 0, 40);
  Put32(bytes, 4, static_cast<std::uint32_t>(width));
  Put32(bytes, 8, static_cast<std::uint32_t>(height));
  bytes[12] = 1;
  bytes[14] = static_cast<std::uint8_t>(bitCount);
  Put32(bytes, 32, colorsUsed);
  for (std::size_t i = 0; i < table.size(); ++i) {
    bytes[40 + 4 * i] = BlueOf(table[i]);
    bytes[40 + 4 * i + 1] = GreenOf(table[i]);
    bytes[40 + 4 * i + 2] = RedOf(table[i]);
  }
  std::memcpy(bytes.data() + 40 + 4 * table.size(), rows.data(), rows.size());
  TW_HANDLE block = GlobalAllocBlock(bytes.size());
  std::memcpy(GlobalLockBlock(block).data(), bytes.data(), bytes.size());
  return block;
}

std::vector<Color> Table(std::size_t count) {
  std::vector<Color> table(count);
  for (std::size_t i = 0; i < count; ++i)
    table[i] = MakeColor(static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), 7);
  return table;
}

struct DibCase {
  const char* name;
  int bitCount;
  std::uint32_t colorsUsed;
  std::size_t tableEntries;       // what the block holds before the rows
  std::vector<std::uint8_t> row;  // one 4-pixel row, padded to 4 bytes
  std::vector<Color> expected;    // its four pixels
};

std::vector<DibCase> DibCases() {
  const std::vector<Color> table = Table(256);
  return {
      {"24-bit with biClrUsed 0: the pixels right after the header",
       24,
       0,
       0,
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
       {MakeColor(3, 2, 1), MakeColor(6, 5, 4), MakeColor(9, 8, 7), MakeColor(12, 11, 10)}},
      {"8-bit with biClrUsed 0: after a 1024-byte table",
       8,
       0,
       256,
       {0, 17, 200, 255},
       {table[0], table[17], table[200], table[255]}},
      {"8-bit with biClrUsed 16: after a 64-byte table",
       8,
       16,
       16,
       {0, 3, 9, 15},
       {table[0], table[3], table[9], table[15]}},
      {"4-bit with biClrUsed 0: after a 64-byte table",
       4,
       0,
       16,
       {0x1F, 0x82, 0, 0},
       {table[1], table[15], table[8], table[2]}},
      {"1-bit with biClrUsed 0: after an 8-byte table",
       1,
       0,
       2,
       {0xA0, 0, 0, 0},
       {table[1], table[0], table[1], table[0]}},
  };
}

void PrintTo(const DibCase& c, std::ostream* os) {
  *os << c.name;
}

class DibTest : public ::testing::TestWithParam<DibCase> {};

TEST_P(DibTest, ColourTableDecidesWhereThePixelsStart) {
  const DibCase& c = GetParam();
  const std::vector<Color> table = Table(c.tableEntries);
  TW_HANDLE dib = Block(4, 1, c.bitCount, c.colorsUsed, table, c.row);
  ASSERT_EQ(TwainLayer::TWAIN_GetDibWidth(dib), 4);
  ASSERT_EQ(TwainLayer::TWAIN_GetDibHeight(dib), 1);
  Bitmap picture(4, 1);
  TwainLayer::TWAIN_PaintDib(dib, picture);
  for (int x = 0; x < 4; ++x)
    EXPECT_EQ(picture.Pixel(x, 0), c.expected[x]) << x;
  TwainLayer::TWAIN_ReleaseDib(dib);
}

INSTANTIATE_TEST_SUITE_P(Cases, DibTest, ::testing::ValuesIn(DibCases()));

TEST(TwainDib, PaintsBottomUpRowsAtTheTopLeftOfTheTarget) {
  // Two rows, stored bottom-up: the first stored row is the lower one.
  TW_HANDLE dib = Block(1, 2, 24, 0, {}, {10, 20, 30, 0, 40, 50, 60, 0});
  Bitmap picture(3, 3, kWhite);
  TwainLayer::TWAIN_PaintDib(dib, picture);
  EXPECT_EQ(picture.Pixel(0, 0), MakeColor(60, 50, 40));
  EXPECT_EQ(picture.Pixel(0, 1), MakeColor(30, 20, 10));
  EXPECT_EQ(picture.Pixel(1, 0), kWhite);
  EXPECT_EQ(picture.Pixel(0, 2), kWhite);
  // A target smaller than the DIB gets what fits.
  Bitmap small(1, 1);
  TwainLayer::TWAIN_PaintDib(dib, small);
  EXPECT_EQ(small.Pixel(0, 0), MakeColor(60, 50, 40));
  TwainLayer::TWAIN_ReleaseDib(dib);
}

TEST(TwainDib, TopDownHeightIsReportedWithoutItsSign) {
  TW_HANDLE dib = Block(1, -2, 24, 0, {}, {10, 20, 30, 0, 40, 50, 60, 0});
  EXPECT_EQ(TwainLayer::TWAIN_GetDibHeight(dib), 2);
  Bitmap picture(1, 2);
  TwainLayer::TWAIN_PaintDib(dib, picture);
  EXPECT_EQ(picture.Pixel(0, 0), MakeColor(30, 20, 10));
  TwainLayer::TWAIN_ReleaseDib(dib);
}

TEST(TwainDib, NoneAndDamagedBlocks) {
  EXPECT_EQ(TwainLayer::TWAIN_GetDibWidth(nullptr), 0);
  EXPECT_EQ(TwainLayer::TWAIN_GetDibHeight(nullptr), 0);
  TwainLayer::TWAIN_ReleaseDib(nullptr);
  Bitmap picture(2, 2);
  TwainLayer::TWAIN_PaintDib(nullptr, picture);
  EXPECT_EQ(picture, Bitmap(2, 2));

  TW_HANDLE shortBlock = GlobalAllocBlock(6);
  EXPECT_EQ(TwainLayer::TWAIN_GetDibWidth(shortBlock), 0);
  EXPECT_THROW(TwainLayer::TWAIN_PaintDib(shortBlock, picture), PictureError);
  TwainLayer::TWAIN_ReleaseDib(shortBlock);

  // Rows that the block does not hold.
  TW_HANDLE cut = Block(100, 100, 24, 0, {}, {1, 2, 3});
  EXPECT_EQ(TwainLayer::TWAIN_GetDibWidth(cut), 100);
  Bitmap big(100, 100);
  EXPECT_THROW(TwainLayer::TWAIN_PaintDib(cut, big), PictureError);
  TwainLayer::TWAIN_ReleaseDib(cut);
}

TEST(TwainRecords, LayoutOfTheStandard) {
  EXPECT_EQ(sizeof(TW_IDENTITY), 156u);
  TW_STR32 field;
  SetTwainString(field, "a name longer than thirty-two characters");
  EXPECT_EQ(TwainString(field), "a name longer than thirty-two ch");
  EXPECT_EQ(field[32], 0);
  EXPECT_EQ(field[33], 0);
  std::memset(field, 'x', sizeof field);
  EXPECT_EQ(TwainString(field).size(), sizeof field);
  EXPECT_EQ(TwainCallName(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET),
            "DG_IMAGE/DAT_IMAGENATIVEXFER/MSG_GET");
  EXPECT_EQ(TwainCallName(9, 0x77, 0x1234), "0x0009/0x0077/0x1234");
}

}  // namespace
}  // namespace quillet

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/imageops/Transform.h"

namespace quillet {
namespace {

// A picture drawn with letters: each letter is a distinct colour.
Bitmap FromRows(const std::vector<std::string>& rows) {
  Bitmap picture(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x)
      picture.SetPixel(x, y, MakeColor(static_cast<std::uint8_t>(rows[y][x]), 0, 0));
  return picture;
}

std::vector<std::string> ToRows(const Bitmap& picture) {
  std::vector<std::string> rows(picture.Height(), std::string(picture.Width(), ' '));
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x)
      rows[y][x] = static_cast<char>(RedOf(picture.Pixel(x, y)));
  return rows;
}

TEST(TransformPicture, MovesEveryPixelToItsPlace) {
  const Bitmap source = FromRows({"ABC", "DEF"});
  struct Case {
    PictureTransform transform;
    std::vector<std::string> result;
  } cases[] = {
      {PictureTransform::MirrorHorizontal, {"CBA", "FED"}},
      {PictureTransform::MirrorVertical, {"DEF", "ABC"}},
      {PictureTransform::Rotate90, {"DA", "EB", "FC"}},
      {PictureTransform::Rotate180, {"FED", "CBA"}},
      {PictureTransform::Rotate270, {"CF", "BE", "AD"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ToRows(TransformPicture(source, c.transform)), c.result)
        << static_cast<int>(c.transform);
}

TEST(TransformPicture, QuarterTurnsMoveTheTopLeftPixelToTheirCorners) {
  Bitmap source(300, 200);
  const Color marker = MakeColor(10, 20, 30);
  source.SetPixel(0, 0, marker);

  Bitmap turned = TransformPicture(source, PictureTransform::Rotate90);
  ASSERT_EQ(turned.Width(), 200);
  ASSERT_EQ(turned.Height(), 300);
  EXPECT_EQ(turned.Pixel(199, 0), marker);

  Bitmap back = TransformPicture(source, PictureTransform::Rotate270);
  ASSERT_EQ(back.Width(), 200);
  ASSERT_EQ(back.Height(), 300);
  EXPECT_EQ(back.Pixel(0, 299), marker);
}

TEST(TransformPicture, RepeatedTransformsGiveBackTheSource) {
  Bitmap source(7, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 7; ++x)
      source.SetPixel(
          x, y, MakeColor(static_cast<std::uint8_t>(x * 30), static_cast<std::uint8_t>(y * 60), 7));
  struct Case {
    PictureTransform transform;
    int times;
  } cases[] = {{PictureTransform::Rotate90, 4},
               {PictureTransform::Rotate270, 4},
               {PictureTransform::Rotate180, 2},
               {PictureTransform::MirrorHorizontal, 2},
               {PictureTransform::MirrorVertical, 2}};
  for (const auto& c : cases) {
    Bitmap picture = source;
    for (int i = 0; i < c.times; ++i)
      picture = TransformPicture(picture, c.transform);
    EXPECT_EQ(picture, source) << static_cast<int>(c.transform);
  }
  EXPECT_EQ(TransformPicture(TransformPicture(source, PictureTransform::Rotate90),
                             PictureTransform::Rotate270),
            source);
}

TEST(TransformPicture, AnEmptyPictureStaysEmpty) {
  EXPECT_TRUE(TransformPicture(Bitmap(), PictureTransform::Rotate90).Empty());
}

}  // namespace
}  // namespace quillet

#include "core/codecs/Quantize.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <stdexcept>

#include "core/codecs/PictureQuality.h"

namespace quillet {
namespace {

using testing::BoxBlur3;
using testing::Psnr;

std::uint8_t Clamp8(double v) {
  return static_cast<std::uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, v))));
}

Bitmap PhotoLike(int w, int h) {
  Bitmap picture(w, h);
  std::uint32_t seed = 99;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      const double noise = static_cast<int>((seed >> 16) % 21) - 10;
      picture.SetPixel(
          x, y,
          MakeColor(Clamp8(128 + 110 * std::sin(x / 13.0) + noise), Clamp8(255.0 * y / h + noise),
                    Clamp8(128 + 100 * std::cos((x + y) / 29.0))));
    }
  }
  return picture;
}

Bitmap Rebuild(const IndexedPicture& indexed) {
  Bitmap picture(indexed.width, indexed.height);
  for (int y = 0; y < indexed.height; ++y) {
    for (int x = 0; x < indexed.width; ++x) {
      picture.SetPixel(x, y,
                       indexed.palette.at(indexed.indices.at(std::size_t(y) * indexed.width + x)));
    }
  }
  return picture;
}

TEST(QuantizeTest, GivesAtMostTwoToTheBitsColoursForEveryDepth) {
  const Bitmap picture = PhotoLike(97, 61);
  for (int bits = 1; bits <= 8; ++bits) {
    const IndexedPicture indexed = QuantizeOctree(picture, bits);
    ASSERT_EQ(indexed.width, 97);
    ASSERT_EQ(indexed.height, 61);
    ASSERT_EQ(indexed.indices.size(), 97u * 61u);
    EXPECT_GE(indexed.palette.size(), 2u) << bits;
    EXPECT_LE(indexed.palette.size(), std::size_t{1} << bits) << bits;
    for (std::uint8_t index : indexed.indices)
      ASSERT_LT(index, indexed.palette.size()) << bits;
  }
}

TEST(QuantizeTest, MoreBitsGiveAFaithfulerPicture) {
  const Bitmap picture = PhotoLike(128, 96);
  double previous = 0;
  for (int bits = 3; bits <= 8; ++bits) {
    const double psnr = Psnr(picture, Rebuild(QuantizeOctree(picture, bits)));
    EXPECT_GT(psnr, previous) << bits;
    previous = psnr;
  }
  EXPECT_GT(previous, 26.0);  // the picture's grain makes it hard
}

// A light blur forgives the dithering pattern but not wrong colours.
TEST(QuantizeTest, DitheredPhotoStaysCloseAfterALightBlur) {
  const Bitmap picture = PhotoLike(128, 96);
  const Bitmap blurred = BoxBlur3(picture);
  struct Case {
    int bits;
    double minPsnr;
  } cases[] = {{4, 22.5}, {6, 30.0}, {8, 37.5}};
  for (const Case& c : cases) {
    const Bitmap result = Rebuild(QuantizeOctree(picture, c.bits));
    EXPECT_GT(Psnr(blurred, BoxBlur3(result)), c.minPsnr) << c.bits << " bits";
  }
}

// A cell of the colour cube may hold more pixels than its 32-bit sums could
// add up: the colours of a large plain area must still come out right.
TEST(QuantizeTest, LargePlainAreaKeepsItsColour) {
  const int w = 4200, h = 4020;  // more than 2^32 / 255 pixels
  Bitmap picture(w, h, kWhite);
  for (int x = 0; x < w; ++x)
    picture.SetPixel(x, 0, MakeColor(std::uint8_t(x), std::uint8_t(x / 256 * 10), 0));
  const IndexedPicture indexed = QuantizeOctree(picture, 8);
  const std::uint8_t white = indexed.indices.at(std::size_t(h - 1) * w + w - 1);
  EXPECT_EQ(indexed.palette.at(white), kWhite);
  for (int y = 1; y < h; y += 97) {
    for (int x = 0; x < w; x += 89)
      ASSERT_EQ(indexed.indices[std::size_t(y) * w + x], white) << x << "," << y;
  }
}

TEST(QuantizeTest, PictureWithFewColoursIsReproducedExactly) {
  struct Case {
    int colours;
    int bits;
  } cases[] = {{1, 1}, {2, 1}, {8, 3}, {7, 3}, {200, 8}, {256, 8}};
  for (const Case& c : cases) {
    Bitmap picture(40, 30);
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < 40; ++x) {
        // Colours one level apart in places, to defeat any coarse lookup.
        const int k = (x * 7 + y * 3) % c.colours;
        picture.SetPixel(x, y,
                         MakeColor(std::uint8_t(k), std::uint8_t(255 - k), std::uint8_t(k * 37)));
      }
    }
    const IndexedPicture indexed = QuantizeOctree(picture, c.bits);
    EXPECT_EQ(indexed.palette.size(), std::size_t(c.colours));
    EXPECT_EQ(Rebuild(indexed), picture) << c.colours << " colours, " << c.bits << " bits";
  }
}

// Error diffusion keeps the local average: the blocks of a smooth gradient
// keep their mean colour although only a few colours are left. (The very ends
// may lie outside every palette colour and cannot be reached.)
TEST(QuantizeTest, DitheringKeepsTheMeanColourOfAGradient) {
  Bitmap picture(256, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 256; ++x) {
      picture.SetPixel(x, y,
                       MakeColor(std::uint8_t(x), std::uint8_t(x / 2 + 64), std::uint8_t(255 - x)));
    }
  }
  auto blockMean = [](const Bitmap& p, int bx, int by, int c) {
    double sum = 0;
    for (int y = by; y < by + 16; ++y) {
      for (int x = bx; x < bx + 16; ++x)
        sum += p.Row(y)[x * 3 + c];
    }
    return sum / 256;
  };
  for (int bits : {3, 5}) {
    const Bitmap result = Rebuild(QuantizeOctree(picture, bits));
    for (int by = 0; by < 64; by += 16) {
      for (int bx = 32; bx < 224; bx += 16) {
        for (int c = 0; c < 3; ++c) {
          EXPECT_NEAR(blockMean(result, bx, by, c), blockMean(picture, bx, by, c), 4.0)
              << bits << " bits, block " << bx << "," << by << ", channel " << c;
        }
      }
    }
  }
}

// The two halves of a picture are dithered side by side, the lower one
// starting without the errors of the upper: blocks across the middle keep
// their mean as well as any, whichever half has the odd row.
TEST(QuantizeTest, DitheringKeepsTheMeanAcrossTheMiddle) {
  for (int h : {60, 61}) {
    Bitmap picture(256, h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < 256; ++x) {
        picture.SetPixel(x, y,
                         MakeColor(std::uint8_t(x), std::uint8_t(y * 4), std::uint8_t(255 - x)));
      }
    }
    const Bitmap result = Rebuild(QuantizeOctree(picture, 4));
    const int top = h / 2 - 8;  // a block of 16 rows about the middle
    for (int bx = 32; bx < 224; bx += 16) {
      for (int c = 0; c < 3; ++c) {
        double mine = 0, theirs = 0;
        for (int y = top; y < top + 16; ++y) {
          for (int x = bx; x < bx + 16; ++x) {
            mine += result.Row(y)[x * 3 + c];
            theirs += picture.Row(y)[x * 3 + c];
          }
        }
        EXPECT_NEAR(mine / 256, theirs / 256, 4.0)
            << "height " << h << ", block " << bx << ", channel " << c;
      }
    }
  }
}

TEST(QuantizeTest, TwoColoursSplitABlackAndWhitePictureWithGrey) {
  Bitmap picture(32, 32, 0x000000);
  picture.FillRect(Rect{0, 0, 16, 32}, kWhite);
  picture.FillRect(Rect{0, 0, 32, 4}, MakeColor(128, 128, 128));
  const IndexedPicture indexed = QuantizeOctree(picture, 1);
  ASSERT_EQ(indexed.palette.size(), 2u);
  const std::set<Color> colours(indexed.palette.begin(), indexed.palette.end());
  EXPECT_NE(*colours.begin(), *colours.rbegin());
}

TEST(QuantizeTest, RefusesDepthsOutsideOneToEight) {
  const Bitmap picture(4, 4);
  EXPECT_THROW(QuantizeOctree(picture, 0), std::invalid_argument);
  EXPECT_THROW(QuantizeOctree(picture, 9), std::invalid_argument);
}

TEST(QuantizeTest, EmptyPictureGivesEmptyResult) {
  const IndexedPicture indexed = QuantizeOctree(Bitmap(), 8);
  EXPECT_EQ(indexed.width, 0);
  EXPECT_TRUE(indexed.indices.empty());
}

}  // namespace
}  // namespace quillet

#include "core/codecs/Resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>

#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::RunProcess;
using testing::TempDir;

constexpr const char* kConvert = "/usr/bin/convert";

std::uint8_t Clamp8(double v) {
  return static_cast<std::uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, v))));
}

// Smooth gradients with grain, like a photograph.
Bitmap PhotoLike(int w, int h) {
  Bitmap picture(w, h);
  std::uint32_t seed = 12345;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      const double noise = static_cast<int>((seed >> 16) % 41) - 20;
      const double r = 128 + 100 * std::sin(x / 17.0) * std::cos(y / 23.0) + noise;
      const double g = 255.0 * x / w + noise / 2;
      const double b = 200 - 150.0 * y / h + noise;
      picture.SetPixel(x, y, MakeColor(Clamp8(r), Clamp8(g), Clamp8(b)));
    }
  }
  return picture;
}

Bitmap Checkerboard(int w, int h, int cell) {
  Bitmap picture(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if ((x / cell + y / cell) % 2 != 0) picture.SetPixel(x, y, 0x000000);
    }
  }
  return picture;
}

// Thin dark strokes of different colours on white, like lettering.
Bitmap TextLike(int w, int h) {
  Bitmap picture(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool stem = x % 9 < 2 && (y / 12) % 2 == 0;
      const bool bar = y % 12 == 5 && (x / 9) % 3 != 1;
      if (stem) picture.SetPixel(x, y, MakeColor(20, 20, 120));
      if (bar) picture.SetPixel(x, y, MakeColor(200, 0, 0));
    }
  }
  return picture;
}

std::string ToPpm(const Bitmap& picture) {
  std::string out =
      "P6\n" + std::to_string(picture.Width()) + " " + std::to_string(picture.Height()) + "\n255\n";
  out.append(reinterpret_cast<const char*>(picture.Data()), picture.SizeInBytes());
  return out;
}

Bitmap FromPpm(const std::string& bytes) {
  std::istringstream in(bytes);
  std::string magic;
  int w = 0, h = 0, max = 0;
  in >> magic >> w >> h >> max;
  in.get();
  if (magic != "P6" || max != 255) return {};
  Bitmap picture(w, h);
  in.read(reinterpret_cast<char*>(picture.Data()),
          static_cast<std::streamsize>(picture.SizeInBytes()));
  return in ? picture : Bitmap{};
}

Bitmap ResampleWhole(const Bitmap& source, int w, int h) {
  Bitmap target(w, h, 0x00FF00);
  ResampleRect(source, Rect{0, 0, source.Width(), source.Height()}, target, Rect{0, 0, w, h});
  return target;
}

struct Difference {
  int max = 0;
  double mean = 0;
};

Difference Compare(const Bitmap& a, const Bitmap& b) {
  Difference d;
  std::int64_t sum = 0;
  for (std::size_t i = 0; i < a.SizeInBytes(); ++i) {
    const int diff = std::abs(int(a.Data()[i]) - int(b.Data()[i]));
    d.max = std::max(d.max, diff);
    sum += diff;
  }
  d.mean = static_cast<double>(sum) / static_cast<double>(a.SizeInBytes());
  return d;
}

struct ExactnessCase {
  const char* name;
  std::function<Bitmap()> picture;
  int width, height;
};

class ResampleExactnessTest : public ::testing::TestWithParam<ExactnessCase> {};

TEST_P(ResampleExactnessTest, MatchesImageMagickMitchell) {
  const ExactnessCase& c = GetParam();
  const Bitmap source = c.picture();
  TempDir dir;
  dir.Write("in.ppm", ToPpm(source));
  const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height) + "!";
  auto run = RunProcess(kConvert, {dir.Path() + "in.ppm", "-filter", "Mitchell", "-resize", size,
                                   dir.Path() + "out.ppm"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const Bitmap expected = FromPpm(dir.Read("out.ppm"));
  ASSERT_EQ(expected.Width(), c.width);
  ASSERT_EQ(expected.Height(), c.height);

  const Difference d = Compare(ResampleWhole(source, c.width, c.height), expected);
  EXPECT_LE(d.max, 1);
  EXPECT_LT(d.mean, 0.05);
}

Bitmap Photo() {
  return PhotoLike(237, 181);
}
Bitmap Checks() {
  return Checkerboard(237, 181, 5);
}
Bitmap FineChecks() {
  return Checkerboard(120, 90, 1);
}
Bitmap Text() {
  return TextLike(237, 181);
}
Bitmap BigPhoto() {
  return PhotoLike(1501, 1203);
}

INSTANTIATE_TEST_SUITE_P(
    Ratios, ResampleExactnessTest,
    ::testing::Values(ExactnessCase{"PhotoReduceFiveTimes", Photo, 47, 36},
                      ExactnessCase{"PhotoReduceALittle", Photo, 200, 150},
                      ExactnessCase{"PhotoSameSize", Photo, 237, 181},
                      ExactnessCase{"PhotoEnlarge", Photo, 500, 411},
                      ExactnessCase{"PhotoWiderAndShorter", Photo, 400, 60},
                      ExactnessCase{"PhotoNarrowerAndTaller", Photo, 90, 300},
                      ExactnessCase{"ChecksReduce", Checks, 64, 64},
                      ExactnessCase{"ChecksSameSize", Checks, 237, 181},
                      ExactnessCase{"ChecksEnlarge", Checks, 411, 300},
                      ExactnessCase{"FineChecksReduce", FineChecks, 37, 29},
                      ExactnessCase{"FineChecksSameSize", FineChecks, 120, 90},
                      ExactnessCase{"FineChecksEnlarge", FineChecks, 333, 250},
                      ExactnessCase{"TextReduce", Text, 100, 77},
                      ExactnessCase{"TextSameSize", Text, 237, 181},
                      ExactnessCase{"TextEnlarge", Text, 480, 362},
                      // Many taps a sample: 20 and 70 times smaller.
                      ExactnessCase{"BigPhotoReduceTwentyTimes", BigPhoto, 75, 60},
                      ExactnessCase{"BigPhotoReduceSeventyTimes", BigPhoto, 21, 17}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ResampleTest, ConstantPictureStaysConstantAtEveryRatio) {
  const Color colour = MakeColor(12, 200, 77);
  const Bitmap source(53, 41, colour);
  const int sizes[][2] = {{1, 1}, {5, 4}, {26, 20}, {53, 41}, {54, 41}, {100, 7}, {400, 333}};
  for (const auto& size : sizes) {
    const Bitmap result = ResampleWhole(source, size[0], size[1]);
    EXPECT_EQ(result, Bitmap(size[0], size[1], colour)) << size[0] << "x" << size[1];
  }
}

TEST(ResampleTest, SameSizeIsFilteredButClose) {
  const Bitmap source = PhotoLike(64, 48);
  const Difference d = Compare(ResampleWhole(source, 64, 48), source);
  EXPECT_GT(d.mean, 0.0);  // the filter softens even at 1:1
  EXPECT_LT(d.mean, 6.0);
}

TEST(ResampleTest, DrawsOnlyIntoTheDestinationRectangle) {
  const Bitmap source(20, 20, 0x000000);
  Bitmap target(30, 30, kWhite);
  ResampleRect(source, Rect{0, 0, 20, 20}, target, Rect{5, 7, 15, 12});
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 30; ++x) {
      const bool inside = x >= 5 && x < 15 && y >= 7 && y < 12;
      EXPECT_EQ(target.Pixel(x, y), inside ? 0x000000u : kWhite) << x << "," << y;
    }
  }
}

// A destination reaching beyond the target is clipped, keeping the scale of
// the whole destination: the visible part equals that part of a full result.
TEST(ResampleTest, DestinationOutsideTheTargetKeepsTheScale) {
  const Bitmap source = PhotoLike(90, 70);
  const Bitmap whole = ResampleWhole(source, 60, 50);
  struct Case {
    Rect dest;
  } cases[] = {{{-10, -20, 50, 30}}, {{15, 12, 75, 62}}, {{-30, 5, 30, 55}}, {{-5, -5, 55, 45}}};
  for (const Case& c : cases) {
    Bitmap target(40, 40, 0x0000FF);
    ResampleRect(source, Rect{0, 0, 90, 70}, target, c.dest);
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < 40; ++x) {
        const int wx = x - c.dest.left, wy = y - c.dest.top;
        const bool inside = wx >= 0 && wx < 60 && wy >= 0 && wy < 50;
        ASSERT_EQ(target.Pixel(x, y), inside ? whole.Pixel(wx, wy) : 0x0000FFu)
            << x << "," << y << " dest " << c.dest.left << "," << c.dest.top;
      }
    }
  }
}

// A source rectangle reaching beyond the picture uses only its part inside.
TEST(ResampleTest, SourceOutsideThePictureIsIntersected) {
  const Bitmap source = PhotoLike(90, 70);
  Bitmap cropped(60, 50);
  for (int y = 0; y < 50; ++y) {
    for (int x = 0; x < 60; ++x)
      cropped.SetPixel(x, y, source.Pixel(x + 30, y + 20));
  }
  Bitmap expected(40, 30), actual(40, 30);
  ResampleRect(cropped, Rect{0, 0, 60, 50}, expected, Rect{0, 0, 40, 30});
  ResampleRect(source, Rect{30, 20, 200, 300}, actual, Rect{0, 0, 40, 30});
  EXPECT_EQ(actual, expected);
}

TEST(ResampleTest, EmptyOrDisjointRectanglesDrawNothing) {
  const Bitmap source = PhotoLike(30, 30);
  const Rect cases[][2] = {
      {{0, 0, 0, 30}, {0, 0, 10, 10}},    {{0, 0, 30, 30}, {5, 5, 5, 9}},
      {{40, 0, 60, 30}, {0, 0, 10, 10}},  {{-20, -20, -1, -1}, {0, 0, 10, 10}},
      {{0, 0, 30, 30}, {10, 10, 30, 30}}, {{0, 0, 30, 30}, {-20, 0, 0, 10}},
      {{10, 10, 5, 5}, {0, 0, 10, 10}},   {{0, 0, 30, 30}, {8, 8, 2, 2}},
  };
  for (const auto& c : cases) {
    Bitmap target(10, 10, kWhite);
    ResampleRect(source, c[0], target, c[1]);
    EXPECT_EQ(target, Bitmap(10, 10, kWhite));
  }
}

TEST(ResampleTest, HugeDestinationIsComputedOnlyWhereVisible) {
  const Bitmap source(16, 16, MakeColor(1, 2, 3));
  Bitmap target(8, 8, kWhite);
  ResampleRect(source, Rect{0, 0, 16, 16}, target,
               Rect{-1000000000, -1000000000, 1000000000, 1000000000});
  EXPECT_EQ(target, Bitmap(8, 8, MakeColor(1, 2, 3)));
}

TEST(ResampleTest, OnePixelSourceFillsTheDestination) {
  const Bitmap source(1, 1, MakeColor(90, 180, 250));
  EXPECT_EQ(ResampleWhole(source, 17, 9), Bitmap(17, 9, MakeColor(90, 180, 250)));
}

}  // namespace
}  // namespace quillet

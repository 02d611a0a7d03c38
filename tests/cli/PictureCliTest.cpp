#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/codecs/Codecs.h"
#include "core/compose/SelectionGeometry.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::ProcessResult;
using testing::RunCli;
using testing::TempDir;

constexpr Color kRed = MakeColor(255, 0, 0);
constexpr Color kGreen = MakeColor(0, 255, 0);

// A picture whose every pixel differs, so that a misplaced pixel shows.
Bitmap Pattern(int width, int height) {
  Bitmap picture(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture.SetPixel(
          x, y, MakeColor(static_cast<std::uint8_t>(x * 5), static_cast<std::uint8_t>(y * 7), 40));
  return picture;
}

std::string WritePng(const TempDir& dir, const std::string& name, const Bitmap& picture) {
  std::string path = dir.Path() + name;
  WritePictureFile(path, picture, LogoFormat::Png, 90, 8);
  return path;
}

void ExpectUsageError(const std::vector<std::string>& args) {
  ProcessResult result = RunCli(args);
  EXPECT_EQ(result.exitCode, 2) << args[0] << " " << result.err;
  EXPECT_EQ(result.out, "") << args[0];
  EXPECT_NE(result.err.find("usage: quillet-cli " + args[0]), std::string::npos) << result.err;
}

TEST(FrameCommand, PrintsSpaceOffsetAndInitialFrame) {
  struct Case {
    std::vector<std::string> args;
    const char* json;
  } cases[] = {
      {{"--picture", "200x100", "--logo", "128x128"},
       R"({"space":[200,200],"offset":[0,50],"frame":[0,0,200,200],"fitrect":[0,0,200,200]})"},
      {{"--picture", "200x100", "--logo", "128x128", "--fit", "smaller"},
       R"({"space":[200,200],"offset":[0,50],"frame":[50,50,100,100],"fitrect":[50,50,150,150]})"},
      {{"--picture", "100x200", "--logo", "128x128", "--fit", "width"},
       R"({"space":[200,200],"offset":[50,0],"frame":[50,50,100,100],"fitrect":[50,50,150,150]})"},
      {{"--picture", "100x200", "--logo", "128x128", "--fit", "height"},
       R"({"space":[200,200],"offset":[50,0],"frame":[0,0,200,200],"fitrect":[0,0,200,200]})"},
      {{"--picture", "101x50", "--logo", "16x16"},
       R"({"space":[101,101],"offset":[0,25],"frame":[0,0,101,101],"fitrect":[0,0,101,101]})"},
      {{"--picture", "640x480", "--logo", "101x80", "--fit", "bigger"},
       R"({"space":[640,506],"offset":[0,13],"frame":[0,0,640,506],"fitrect":[0,0,640,506]})"},
      // Today's phones: an iPhone 15 Pro's screen, and the largest sides there are.
      {{"--picture", "1000x1000", "--logo", "1179x2556", "--fit", "smaller"},
       R"({"space":[1000,2167],"offset":[0,583],"frame":[269,583,461,1000],"fitrect":[269,583,730,1583]})"},
      {{"--picture", "200x100", "--logo", "401x4096"},
       R"({"space":[200,2042],"offset":[0,971],"frame":[0,0,200,2042],"fitrect":[0,0,200,2042]})"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"frame"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ProcessResult result = RunCli(args);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, std::string(c.json) + "\n");
    EXPECT_EQ(result.err, "");
  }
}

TEST(FrameCommand, RefusesBadArguments) {
  ExpectUsageError({"frame", "--picture", "200x100"});
  ExpectUsageError({"frame", "--picture", "200x100", "--logo", "15x128"});
  ExpectUsageError({"frame", "--picture", "200x100", "--logo", "128x4097"});
  ExpectUsageError({"frame", "--picture", "200x100", "--logo", "4097x128"});
  ExpectUsageError({"frame", "--picture", "0x100", "--logo", "128x128"});
  ExpectUsageError({"frame", "--picture", "200by100", "--logo", "128x128"});
  ExpectUsageError({"frame", "--picture", "200x100x3", "--logo", "128x128"});
  ExpectUsageError({"frame", "--picture", "200x100", "--logo", "128x128", "--fit", "diagonal"});
  ExpectUsageError({"frame", "extra", "--picture", "200x100", "--logo", "128x128"});
}

TEST(RenderCommand, RendersAndWritesTheLogoAsTheProgramDoes) {
  TempDir dir;
  const std::string picture = WritePng(dir, "wide.png", Bitmap(200, 100, kRed));
  struct Case {
    const char* name;
    std::vector<std::string> options;
    const char* json;
    int bandRow;  // a row of the empty band in the written file, or -1
  } cases[] = {
      {"letter-box without fill",
       {},
       R"({"picture":[200,100],"space":[200,200],"frame":[0,0,200,200],"dest":[0,32,128,96],"logo":[128,64]})",
       -1},
      {"letter-box filled green",
       {"--fill", "00FF00"},
       R"({"picture":[200,100],"space":[200,200],"frame":[0,0,200,200],"dest":[0,32,128,96],"logo":[128,128]})",
       10},
      {"frame at the space's corner is centred",
       {"--frame", "0,0,100,100", "--fill", "00ff00"},
       R"({"picture":[200,100],"space":[200,200],"frame":[0,0,100,100],"dest":[0,32,128,96],"logo":[128,128]})",
       120},
      {"crop by the smaller dimension",
       {"--fit", "smaller"},
       R"({"picture":[200,100],"space":[200,200],"frame":[50,50,100,100],"dest":[0,0,128,128],"logo":[128,128]})",
       -1},
      {"free proportions",
       {"--keep-proportions", "no", "--frame", "25,75,150,50"},
       R"({"picture":[200,100],"space":[200,200],"frame":[25,75,150,50],"dest":[0,42,128,85],"logo":[128,43]})",
       -1},
  };
  for (const auto& c : cases) {
    const std::string out = dir.Path() + "logo.png";
    std::vector<std::string> args{"render", picture, "--logo", "128x128", "-o", out};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ProcessResult result = RunCli(args);
    ASSERT_EQ(result.exitCode, 0) << c.name << ": " << result.err;
    EXPECT_EQ(result.out, std::string(c.json) + "\n") << c.name;
    EXPECT_EQ(result.err, "") << c.name;
    Bitmap logo = DecodePictureFile(out);
    EXPECT_EQ(logo.Pixel(logo.Width() / 2, logo.Height() / 2), kRed) << c.name;
    if (c.bandRow >= 0) {
      EXPECT_EQ(logo.Pixel(64, c.bandRow), kGreen) << c.name;
    }
  }
}

TEST(RenderCommand, WritesTheFormatOfTheOutputsExtension) {
  TempDir dir;
  const std::string picture = WritePng(dir, "square.png", Pattern(64, 64));
  struct Case {
    const char* file;
    std::vector<std::string> options;
  } cases[] = {{"logo.JPEG", {"--quality", "30"}}, {"logo.gif", {"--bits", "3"}}, {"logo.bmp", {}}};
  for (const auto& c : cases) {
    std::vector<std::string> args{"render", picture, "--logo", "32x32", "-o", dir.Path() + c.file};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ProcessResult result = RunCli(args);
    ASSERT_EQ(result.exitCode, 0) << c.file << ": " << result.err;
    Bitmap logo = DecodePictureFile(dir.Path() + c.file);
    EXPECT_EQ(logo.Width(), 32) << c.file;
    EXPECT_EQ(logo.Height(), 32) << c.file;
  }
}

TEST(RenderCommand, AFrameCoveringNoPictureWritesNothing) {
  TempDir dir;
  const std::string picture = WritePng(dir, "wide.png", Bitmap(200, 100, kRed));
  ProcessResult result = RunCli({"render", picture, "--logo", "128x128", "--frame", "0,0,200,50",
                                 "-o", dir.Path() + "logo.png"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(
      result.out,
      R"({"picture":[200,100],"space":[200,200],"frame":[0,0,200,50],"dest":[0,0,128,128],"logo":[0,0]})"
      "\n");
  EXPECT_EQ(result.err,
            "Warning: There is no part of source picture in the selection area. Please select "
            "some part of picture and try again\n");
  EXPECT_FALSE(dir.Exists("logo.png"));
}

TEST(RenderCommand, RefusesBadInputWithoutTouchingTheOutput) {
  TempDir dir;
  const std::string picture = WritePng(dir, "wide.png", Bitmap(200, 100, kRed));
  const std::string out = dir.Write("logo.png", "keep me");
  dir.Write("broken.png", "not a png");
  ExpectUsageError({"render", picture, "-o", out});
  ExpectUsageError({"render", picture, "--logo", "128x128"});
  ExpectUsageError({"render", picture, "--logo", "128x128", "-o", dir.Path() + "logo.tif"});
  ExpectUsageError({"render", picture, "--logo", "128x128", "-o", out, "--fill", "red"});
  ExpectUsageError({"render", picture, "--logo", "128x128", "-o", out, "--frame", "0,0,0,10"});
  ExpectUsageError({"render", picture, "--logo", "128x128", "-o", out, "--frame", "1,2,3"});
  ExpectUsageError({"render", picture, "--logo", "128x128", "-o", out, "--quality", "0"});
  ExpectUsageError({"render", picture, "--logo", "128x128", "-o", out, "--bits", "9"});
  ExpectUsageError(
      {"render", picture, "--logo", "128x128", "-o", out, "--keep-proportions", "maybe"});

  ProcessResult broken =
      RunCli({"render", dir.Path() + "broken.png", "--logo", "128x128", "-o", out});
  EXPECT_EQ(broken.exitCode, 1);
  EXPECT_EQ(broken.out, "");
  EXPECT_FALSE(broken.err.empty());
  EXPECT_EQ(dir.Read("logo.png"), "keep me");
  EXPECT_FALSE(dir.Exists("logo.tif"));
}

TEST(RenderCommand, RendersTheTrueSizeOfATallPhone) {
  TempDir dir;
  const std::string picture = WritePng(dir, "square.png", Bitmap(100, 100, kRed));
  const std::string out = dir.Path() + "logo.png";
  ProcessResult result =
      RunCli({"render", picture, "--logo", "1179x2556", "--fit", "smaller", "-o", out});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  Bitmap logo = DecodePictureFile(out);
  EXPECT_EQ(logo.Width(), 1179);
  EXPECT_EQ(logo.Height(), 2556);
}

// The command line takes in a picture only as the window's Open does.
TEST(PictureCommands, RefuseWhatTheProgramRefuses) {
  TempDir dir;
  const std::string thin = WritePng(dir, "thin.png", Bitmap(200, 1, kRed));
  const std::string narrow = WritePng(dir, "narrow.png", Bitmap(15, 200, kRed));
  const std::string text = dir.Write("notes.jpg", "This is not a picture.\n");
  const std::string kTooSmall = "Error: Image dimensions must be at least 16x16.\n";
  const std::string kUnreadable =
      "Error: Error loading image. Check if you have enough disk space and write permissions.\n";
  const std::string out = dir.Path() + "out.png";
  struct Case {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"render", thin, "--logo", "128x128", "-o", out}, kTooSmall},
      {{"render", narrow, "--logo", "128x128", "-o", out}, kTooSmall},
      {{"render", text, "--logo", "128x128", "-o", out}, kUnreadable},
      {{"resample", thin, "--rect", "0,0,200,1", "--size", "20,20", "-o", out}, kTooSmall},
      {{"encode", narrow, out}, kTooSmall},
      {{"encode", text, out}, kUnreadable},
      {{"transform", thin, out, "--rotate", "90"}, kTooSmall},
      {{"info", thin}, kTooSmall},
  };
  for (const auto& c : cases) {
    ProcessResult result = RunCli(c.args);
    EXPECT_EQ(result.exitCode, 1) << c.args[0] << " " << c.args[1];
    EXPECT_EQ(result.out, "") << c.args[0];
    EXPECT_EQ(result.err, c.err) << c.args[0] << " " << c.args[1];
    EXPECT_FALSE(dir.Exists("out.png")) << c.args[0];
  }
}

TEST(ResampleCommand, ScalesARectangleIntoTheGivenSize) {
  TempDir dir;
  Bitmap source(40, 20, kRed);
  source.FillRect(Rect{20, 0, 40, 20}, kGreen);
  const std::string picture = WritePng(dir, "halves.png", source);
  ProcessResult result = RunCli({"resample", picture, "--rect", "0,0,20,20", "--size", "10,30",
                                 "-o", dir.Path() + "part.png"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "{\"width\":10,\"height\":30}\n");
  Bitmap part = DecodePictureFile(dir.Path() + "part.png");
  EXPECT_EQ(part.Width(), 10);
  EXPECT_EQ(part.Height(), 30);
  EXPECT_EQ(part.Pixel(5, 15), kRed);

  ExpectUsageError({"resample", picture, "--rect", "0,0,41,20", "--size", "10,10", "-o",
                    dir.Path() + "bad.png"});
  ExpectUsageError({"resample", picture, "--rect", "10,0,10,20", "--size", "10,10", "-o",
                    dir.Path() + "bad.png"});
  ExpectUsageError(
      {"resample", picture, "--rect", "0,0,20,20", "--size", "0,10", "-o", dir.Path() + "bad.png"});
  ExpectUsageError({"resample", picture, "--rect", "0,0,20,20", "--size", "10,10"});
  EXPECT_FALSE(dir.Exists("bad.png"));
}

TEST(EncodeCommand, ConvertsBetweenFormats) {
  TempDir dir;
  const Bitmap source = Pattern(30, 20);
  const std::string picture = WritePng(dir, "pattern.png", source);
  ProcessResult bmp = RunCli({"encode", picture, dir.Path() + "pattern.bmp"});
  ASSERT_EQ(bmp.exitCode, 0) << bmp.err;
  EXPECT_EQ(bmp.out, "{\"width\":30,\"height\":20}\n");
  EXPECT_EQ(DecodePictureFile(dir.Path() + "pattern.bmp"), source);

  ProcessResult low = RunCli({"encode", picture, dir.Path() + "low.jpg", "--quality", "10"});
  ProcessResult high = RunCli({"encode", picture, dir.Path() + "high.jpg", "--quality", "100"});
  ASSERT_EQ(low.exitCode, 0);
  ASSERT_EQ(high.exitCode, 0);
  EXPECT_LT(dir.Read("low.jpg").size(), dir.Read("high.jpg").size());

  ProcessResult gif = RunCli({"encode", picture, dir.Path() + "pattern.gif", "--bits", "2"});
  ASSERT_EQ(gif.exitCode, 0) << gif.err;
  EXPECT_EQ(DecodePictureFile(dir.Path() + "pattern.gif").Width(), 30);

  ExpectUsageError({"encode", picture});
  ExpectUsageError({"encode", picture, dir.Path() + "pattern.webp"});
  ProcessResult missing = RunCli({"encode", dir.Path() + "missing.png", dir.Path() + "x.png"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_FALSE(dir.Exists("x.png"));
}

TEST(TransformCommand, MirrorsAndRotatesThePicture) {
  TempDir dir;
  const Bitmap source = Pattern(30, 20);
  const std::string picture = WritePng(dir, "pattern.png", source);
  struct Case {
    std::vector<std::string> option;
    int width, height;
    Point topLeftGoesTo;
  } cases[] = {
      {{"--mirror", "horizontal"}, 30, 20, {29, 0}}, {{"--mirror", "vertical"}, 30, 20, {0, 19}},
      {{"--rotate", "90"}, 20, 30, {19, 0}},         {{"--rotate", "180"}, 30, 20, {29, 19}},
      {{"--rotate", "270"}, 20, 30, {0, 29}},
  };
  for (const auto& c : cases) {
    std::string out = dir.Path() + "turned.png";
    std::vector<std::string> args{"transform", picture, out};
    args.insert(args.end(), c.option.begin(), c.option.end());
    ProcessResult result = RunCli(args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "{\"width\":" + std::to_string(c.width) +
                              ",\"height\":" + std::to_string(c.height) + "}\n");
    Bitmap turned = DecodePictureFile(out);
    EXPECT_EQ(turned.Pixel(c.topLeftGoesTo.x, c.topLeftGoesTo.y), source.Pixel(0, 0))
        << c.option[1];
  }
  const std::string out = dir.Path() + "bad.png";
  ExpectUsageError({"transform", picture, out});
  ExpectUsageError({"transform", picture, out, "--mirror", "horizontal", "--rotate", "90"});
  ExpectUsageError({"transform", picture, out, "--rotate", "45"});
  ExpectUsageError({"transform", picture, out, "--mirror", "diagonal"});
  EXPECT_FALSE(dir.Exists("bad.png"));
}

TEST(InfoCommand, ChecksThePictureAsOpenDoes) {
  TempDir dir;
  WritePng(dir, "narrow.png", Bitmap(15, 200));
  WritePng(dir, "fine.png", Bitmap(16, 300));
  dir.Write("notes.jpg", "This is not a picture.\n");
  struct Case {
    const char* file;
    int exitCode;
    const char* out;
    const char* err;
  } cases[] = {
      {"fine.png", 0, "{\"width\":16,\"height\":300}\n", ""},
      {"narrow.png", 1, "", "Error: Image dimensions must be at least 16x16.\n"},
      {"notes.jpg", 1, "",
       "Error: Error loading image. Check if you have enough disk space and write "
       "permissions.\n"},
  };
  for (const auto& c : cases) {
    ProcessResult result = RunCli({"info", dir.Path() + c.file});
    EXPECT_EQ(result.exitCode, c.exitCode) << c.file;
    EXPECT_EQ(result.out, c.out) << c.file;
    EXPECT_EQ(result.err, c.err) << c.file;
  }
  ExpectUsageError({"info"});
}

}  // namespace
}  // namespace quillet

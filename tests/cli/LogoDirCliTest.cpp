#include <string>

#include <gtest/gtest.h>

#include "core/codecs/Codecs.h"
#include "core/logodir/LogoDirectoryFile.h"
#include "core/platform/Prompts.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::RunCli;
using testing::TempDir;

const std::string kCarsFolder =
    "<logodirnode nodekind=\"folder\" nodename=\"Cars\" frameleft=\"-1\" frametop=\"-1\" "
    "framewidth=\"-1\" frameheight=\"-1\" phonemakeid=\"-1\" phonemodelid=\"-1\" "
    "logowidth=\"128\" logoheight=\"128\" fitkind=\"bigger\" keepproportions=\"yes\" "
    "uploadurl=\"\">";
const std::string kPhotoLogo =
    "<logodirnode nodekind=\"logo\" nodename=\"photo.jpg\" frameleft=\"1\" frametop=\"2\" "
    "framewidth=\"30\" frameheight=\"40\" phonemakeid=\"3\" phonemodelid=\"0\" logowidth=\"101\" "
    "logoheight=\"80\" fitkind=\"width\" keepproportions=\"no\" uploadurl=\"http://w/?id=5\"/>";

// A program folder with Cars/photo.jpg on disk and listed, plus listed
// entries that are gone or unsafe.
void WriteSampleFolder(const TempDir& dir) {
  dir.Write("Logo Directory/Cars/photo.jpg", "x");
  dir.Write("secret.png", "x");
  dir.Write("logodirectory.xml",
            "<?xml version=\"1.0\"?>\n<logodirectory>" + kCarsFolder + kPhotoLogo +
                "<logodirnode nodekind=\"logo\" nodename=\"gone.jpg\" uploadurl=\"\"/>"
                "</logodirnode>"
                "<logodirnode nodekind=\"logo\" nodename=\"../secret.png\" uploadurl=\"\"/>"
                "<logodirnode nodekind=\"folder\" nodename=\"Old\" uploadurl=\"\"/>"
                "</logodirectory>");
}

TEST(LogoDirCli, PrintsTheDocumentTheProgramWouldWrite) {
  TempDir dir;
  WriteSampleFolder(dir);
  auto result = RunCli({"logodir", "--data-dir", dir.Path()});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out,
            "<logodirectory>" + kCarsFolder + kPhotoLogo + "</logodirnode>" + "</logodirectory>");
  EXPECT_EQ(result.err,
            "dropped: Cars/gone.jpg (missing file)\n"
            "dropped: ../secret.png (unsafe name)\n"
            "dropped: Old (missing folder)\n");

  // Exactly what the program itself writes at exit.
  LogoTree tree;
  SilentPrompts silent;
  LoadLogoDirectory(tree, dir.Path(), silent);
  EXPECT_EQ(result.out, LogoDirectoryDocument(tree));
}

// A damaged file is what the check is for: the command still runs, shows the
// program's message and prints what the program would write over it.
TEST(LogoDirCli, ShowsTheProgramsMessages) {
  struct Case {
    std::string file;  // empty: no file
    std::string out;
    const char* err;
  } cases[] = {
      {"", "<logodirectory/>", ""},
      {"<other/>", "<logodirectory/>", "Error: The file of mobile logo directory is corrupt.\n"},
      {"<logodirectory><logodirnode", "<logodirectory/>",
       "Error: Error loading mobile logo directory.\n"},
      // The nodes read before the fault stay, and are what the program saves.
      {"<logodirectory>" + kCarsFolder +
           "</logodirnode><logodirnode nodekind=\"folder\" "
           "nodename=\"Cars\"/></logodirectory>",
       "<logodirectory>" + kCarsFolder.substr(0, kCarsFolder.size() - 1) + "/></logodirectory>",
       "Error: Error loading mobile logo directory.\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    dir.MakeDir("Logo Directory/Cars");
    if (!c.file.empty()) dir.Write("logodirectory.xml", c.file);
    auto result = RunCli({"logodir", "--data-dir", dir.Path()});
    EXPECT_EQ(result.exitCode, 0) << c.file;
    EXPECT_EQ(result.out, c.out) << c.file;
    EXPECT_EQ(result.err, c.err) << c.file;
  }
}

// After a damaged read the program takes in the pictures on disk that no
// node names; the command shows what it would then write.
TEST(LogoDirCli, ADamagedFileIsCompletedFromTheDisk) {
  TempDir dir;
  const Bitmap picture(20, 20, MakeColor(0, 90, 200));
  WritePictureFile(dir.MakeDir("Logo Directory/Cars") + "/photo.jpg", picture, LogoFormat::Jpg, 90,
                   8);
  WritePictureFile(dir.Path() + "Logo Directory/sunset.png", picture, LogoFormat::Png, 90, 8);
  dir.Write("Logo Directory/notes.txt", "not a picture");
  std::string damaged = "<logodirectory>" + kCarsFolder + kPhotoLogo + "</logodirnode>";
  damaged += std::string(1, '\0') + "</logodirectory>";
  dir.Write("logodirectory.xml", damaged);

  auto result = RunCli({"logodir", "--data-dir", dir.Path()});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err,
            "Error: Error loading mobile logo directory.\n"
            "found: Cars/\nfound: Cars/photo.jpg\nfound: sunset.png\n");
  EXPECT_NE(result.out.find("nodename=\"sunset.png\""), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("nodename=\"photo.jpg\""), std::string::npos) << result.out;
  EXPECT_EQ(result.out.find("notes.txt"), std::string::npos) << result.out;
  EXPECT_EQ(dir.Read("logodirectory.xml"), damaged);  // the command writes nothing

  // The state file then finds the logo again.
  dir.Write("appstate.xml", "<appstate><activenodepath value=\"Cars/photo.jpg\"/></appstate>");
  auto state = RunCli({"appstate", "--data-dir", dir.Path()});
  EXPECT_EQ(state.out, "Cars/photo.jpg\n");
}

TEST(AppStateCli, PrintsThePathOfTheNodeThatWouldBeSelected) {
  struct Case {
    const char* file;  // nullptr: no file
    const char* out;
    const char* err;
  } cases[] = {
      {"<appstate><activenodepath value=\"Cars/photo.jpg\"/></appstate>", "Cars/photo.jpg\n", ""},
      // gone.jpg was dropped when the directory was read.
      {"<appstate><activenodepath value=\"Cars/gone.jpg\"/></appstate>", "Cars\n", ""},
      // A missing middle segment is passed over; letter case must match.
      {"<appstate><activenodepath value=\"Cars/Old/photo.jpg\"/></appstate>", "Cars/photo.jpg\n",
       ""},
      {"<appstate><activenodepath value=\"cars/photo.jpg\"/></appstate>", "\n", ""},
      {"<appstate/>", "\n", ""},
      {nullptr, "\n", ""},
      {"<state/>", "\n", "Error: Application state file is corrupt.\n"},
      // The error report's path: shown, and nothing is selected.
      {"<appstate><activenodepath/></appstate>", "\n",
       "Quillet: The application state file has an \"activenodepath\" element without a \"value\" "
       "attribute.\n"},
      {"<appstate><activenodepath value=\"Cars\">", "\n",
       "Quillet: The application state file cannot be read: Start-end tags mismatch.\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteSampleFolder(dir);
    if (c.file) dir.Write("appstate.xml", c.file);
    auto result = RunCli({"appstate", "--data-dir", dir.Path()});
    EXPECT_EQ(result.exitCode, 0) << (c.file ? c.file : "no file");
    EXPECT_EQ(result.out, c.out) << (c.file ? c.file : "no file");
    EXPECT_EQ(result.err, c.err) << (c.file ? c.file : "no file");
  }
}

TEST(LogoDirCli, RejectsStrayArguments) {
  EXPECT_EQ(RunCli({"logodir", "extra"}).exitCode, 2);
  EXPECT_EQ(RunCli({"appstate", "--verbose", "x"}).exitCode, 2);
}

}  // namespace
}  // namespace quillet

#include "core/imageops/LogoCommands.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/codecs/Codecs.h"
#include "core/logodir/LogoPaths.h"
#include "core/platform/AtomicFile.h"
#include "support/FileSizeLimit.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::FileSizeLimit;
using testing::ScriptedPrompts;
using testing::TempDir;

// A picture whose every pixel differs, so that any misplaced pixel shows.
Bitmap Pattern(int width, int height) {
  Bitmap picture(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture.SetPixel(
          x, y,
          MakeColor(static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 11),
                    static_cast<std::uint8_t>((x + y) * 3)));
  return picture;
}

// The format a file's first bytes announce.
std::string Magic(const std::string& path) {
  std::string bytes = ReadWholeFile(path);
  if (bytes.rfind("\xFF\xD8", 0) == 0) return "jpeg";
  if (bytes.rfind("\x89PNG", 0) == 0) return "png";
  if (bytes.rfind("GIF8", 0) == 0) return "gif";
  if (bytes.rfind("BM", 0) == 0) return "bmp";
  return "?";
}

std::string Line(std::string_view caption, std::string_view text) {
  return std::string(caption) + ": " + std::string(text);
}

class LogoCommands : public ::testing::Test {
 protected:
  LogoDirContext Context(LogoNode* selected) { return {tree, selected, dir.Path(), prompts}; }

  // A logo whose file holds `picture` in the format of its name, with a
  // frame and settings of its own.
  LogoNode& Logo(LogoNode& parent, const std::string& name, const Bitmap& picture) {
    TLogoDirObject data(NodeKind::Logo, name);
    data.frameleft = 1;
    data.frametop = 2;
    data.framewidth = 10;
    data.frameheight = 12;
    data.phonemakeid = 3;
    data.logowidth = 96;
    data.uploadurl = "http://wap.example/?id=7";
    LogoNode& node = tree.Append(parent, data);
    fs::create_directories(FolderPath(node, dir.Path()));
    WritePictureFile(NodePath(node, dir.Path()), picture, LogoFormatOfFileName(name), 100, 8);
    return node;
  }

  std::string InLogoDir(const std::string& name) const {
    return dir.Path() + "Logo Directory/" + name;
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (int i = 0; i < root.ChildCount(); ++i)
      texts.push_back(root.ChildAt(i)->Text());
    return texts;
  }

  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path() + "Logo Directory"))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  Options ConvertOptions(RetainSource retain, bool ask = false) {
    Options options;
    options.convertretainsource = retain;
    options.convertasktargetname = ask;
    return options;
  }

  TempDir dir;
  LogoTree tree;
  LogoNode& root = tree.Root();
  ScriptedPrompts prompts;
  const Bitmap picture = Pattern(30, 20);
};

// --- the upload copy and Save ---------------------------------------------

TEST_F(LogoCommands, WriteLogoFileWritesTheNodesFormatIntoTemp) {
  struct Case {
    const char* name;
    const char* magic;
  } cases[] = {{"sunset.jpg", "jpeg"}, {"sunset.JPEG", "jpeg"}, {"a.PNG", "png"},
               {"b.gif", "gif"},       {"c.bmp", "bmp"},        {"d.tiff", nullptr}};
  Options options;
  for (const auto& c : cases) {
    LogoNode node(TLogoDirObject(NodeKind::Logo, c.name));
    std::string path = WriteLogoFile(node, picture, dir.Path(), options);
    if (c.magic == nullptr) {
      EXPECT_EQ(path, "") << c.name;
      EXPECT_FALSE(dir.Exists(std::string("Temp/") + c.name));
      continue;
    }
    EXPECT_EQ(path, dir.Path() + "Temp/" + c.name);
    EXPECT_EQ(Magic(path), c.magic) << c.name;
  }
  // The JPEG quality comes from the options.
  LogoNode jpeg(TLogoDirObject(NodeKind::Logo, "q.jpg"));
  options.jpegquality = 10;
  auto small = fs::file_size(WriteLogoFile(jpeg, picture, dir.Path(), options));
  options.jpegquality = 100;
  auto large = fs::file_size(WriteLogoFile(jpeg, picture, dir.Path(), options));
  EXPECT_LT(small, large);
}

TEST_F(LogoCommands, WriteLogoFileIsSilentWhenItCannotWrite) {
  dir.Write("Temp", "a file where the folder should be");
  LogoNode node(TLogoDirObject(NodeKind::Logo, "sunset.png"));
  EXPECT_EQ(WriteLogoFile(node, picture, dir.Path(), Options()), "");
}

TEST_F(LogoCommands, SaveNeedsAFrameOverAPicture) {
  LogoNode folder(TLogoDirObject(NodeKind::Folder, "Cars"));
  TLogoDirObject data(NodeKind::Logo, "sunset.png");
  LogoNode logo(data);
  TSourceImage image(200, 200, false, logo.Data(), picture);
  image.ComputeSelectionSpace();
  InitialFrame(logo.Data(), image);
  Bitmap target;
  image.RenderLogo(target, false, kWhite);

  EXPECT_FALSE(LogoCanBeSaved(nullptr, &image, prompts));
  EXPECT_FALSE(LogoCanBeSaved(&folder, nullptr, prompts));
  EXPECT_TRUE(prompts.Messages().empty());
  EXPECT_TRUE(LogoCanBeSaved(&logo, &image, prompts));
  EXPECT_FALSE(LogoCanBeSaved(&logo, nullptr, prompts));
  image.LogoPicture = Bitmap();  // the part rendered to no pixel
  EXPECT_FALSE(LogoCanBeSaved(&logo, &image, prompts));
  logo.Data().frameleft = image.SpaceWidth;  // wholly beside the picture
  EXPECT_FALSE(LogoCanBeSaved(&logo, &image, prompts));
  EXPECT_EQ(prompts.Lines(), (std::vector<std::string>{Line("Warning", kNoPictureInFrameText),
                                                       Line("Warning", kNoPictureInFrameText),
                                                       Line("Warning", kNoPictureInFrameText)}));
}

TEST_F(LogoCommands, SaveWritesTheFormatTheChosenNameSays) {
  struct Case {
    const char* node;
    const char* chosen;
    std::optional<LogoFormat> filter;
    const char* written;
    const char* magic;
  } cases[] = {
      // A known extension wins over the node's format and the filter.
      {"sunset.jpg", "copy.png", std::nullopt, "copy.png", "png"},
      {"sunset.jpg", "logo.gif", LogoFormat::Jpg, "logo.gif", "gif"},
      {"sunset.png", "copy.BMP", LogoFormat::Png, "copy.BMP", "bmp"},
      {"sunset.gif", "copy.JPEG", std::nullopt, "copy.JPEG", "jpeg"},
      // No known extension: the filter's format and its extension.
      {"sunset.jpg", "copy", LogoFormat::Png, "copy.png", "png"},
      {"sunset.jpg", "copy.tif", LogoFormat::Gif, "copy.tif.gif", "gif"},
      {"sunset.png", "archive.v2", LogoFormat::Jpg, "archive.v2.jpg", "jpeg"},
      // ... or, with the "All" filter, the logo's own.
      {"sunset.gif", "copy", std::nullopt, "copy.gif", "gif"},
      {"page.php", "copy", std::nullopt, "copy.bmp", "bmp"},
  };
  int count = 0;
  for (const auto& c : cases) {
    LogoNode node(TLogoDirObject(NodeKind::Logo, c.node));
    const std::string folder = dir.MakeDir("as/" + std::to_string(++count));
    const std::string chosen = folder + "/" + c.chosen;
    const SaveTarget target = SaveTargetFor(chosen, c.filter, node);
    EXPECT_EQ(target.path, folder + "/" + c.written) << c.chosen;
    auto savedIn = SaveLogoAs(node, picture, chosen, c.filter, Options(), prompts);
    ASSERT_TRUE(savedIn.has_value()) << c.chosen;
    EXPECT_EQ(*savedIn, folder);
    EXPECT_EQ(Magic(folder + "/" + c.written), c.magic) << c.chosen;
    // What is written is what the program itself opens again.
    EXPECT_EQ(DecodePictureFile(folder + "/" + c.written).Width(), picture.Width()) << c.chosen;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{c.written}) << c.chosen;
  }
  EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(LogoCommands, SaveKeepsTheOptionsQualityAndDepth) {
  LogoNode node(TLogoDirObject(NodeKind::Logo, "sunset.png"));
  Options low, high;
  low.jpegquality = 10;
  high.jpegquality = 100;
  low.gifbitdepth = 3;
  ASSERT_TRUE(SaveLogoAs(node, picture, dir.Path() + "low", LogoFormat::Jpg, low, prompts));
  ASSERT_TRUE(SaveLogoAs(node, picture, dir.Path() + "high", LogoFormat::Jpg, high, prompts));
  EXPECT_LT(dir.Read("low.jpg").size(), dir.Read("high.jpg").size());
  ASSERT_TRUE(SaveLogoAs(node, picture, dir.Path() + "few.gif", std::nullopt, low, prompts));
  ASSERT_TRUE(SaveLogoAs(node, picture, dir.Path() + "many.gif", std::nullopt, high, prompts));
  EXPECT_LT(dir.Read("few.gif").size(), dir.Read("many.gif").size());
}

TEST_F(LogoCommands, SaveAsksAboutTheFileItWillWrite) {
  LogoNode node(TLogoDirObject(NodeKind::Logo, "sunset.jpg"));
  // The name becomes copy.png, which exists; the bare "copy" does not.
  const std::string existing = dir.Write("out/copy.png", "old file");
  prompts.QueueAnswer(Answer::No);
  EXPECT_EQ(SaveLogoAs(node, picture, dir.Path() + "out/copy", LogoFormat::Png, Options(), prompts),
            std::nullopt);
  EXPECT_EQ(dir.Read("out/copy.png"), "old file");
  EXPECT_FALSE(dir.Exists("out/copy"));
  EXPECT_EQ(prompts.Lines(),
            std::vector<std::string>{Line("Confirm", "The file " + existing +
                                                         " already exists. Do You want to "
                                                         "overwrite it?")});
  prompts.Clear();
  EXPECT_EQ(
      SaveLogoAs(node, picture, dir.Path() + "missing/copy.png", std::nullopt, Options(), prompts),
      std::nullopt);
  EXPECT_EQ(prompts.Lines(), std::vector<std::string>{Line("Error", kSaveFailedText)});
}

TEST(SaveFilterFormat, NamesTheFormatOfAFilterOfOneFormat) {
  struct Case {
    const char* patterns;
    std::optional<LogoFormat> format;
  } cases[] = {
      {"*.bmp", LogoFormat::Bmp},
      {"*.jpg", LogoFormat::Jpg},
      {"*.jpeg", LogoFormat::Jpg},
      {"*.jpg;*.jpeg", LogoFormat::Jpg},
      {"*.GIF", LogoFormat::Gif},
      {"*.png", LogoFormat::Png},
      {"*.jpg;*.jpeg;*.bmp;*.gif;*.png", std::nullopt},
      {"*.*", std::nullopt},
      {"*", std::nullopt},
      {"*.tif", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SaveFilterFormat(c.patterns), c.format) << c.patterns;
}

TEST_F(LogoCommands, SaveAsksBeforeReplacingAFile) {
  LogoNode node(TLogoDirObject(NodeKind::Logo, "sunset.png"));
  std::string chosen = dir.Write("out/old.png", "old file");
  prompts.QueueAnswer(Answer::No);
  EXPECT_EQ(SaveLogoAs(node, picture, chosen, std::nullopt, Options(), prompts), std::nullopt);
  EXPECT_EQ(dir.Read("out/old.png"), "old file");
  prompts.QueueAnswer(Answer::Yes);
  EXPECT_EQ(SaveLogoAs(node, picture, chosen, std::nullopt, Options(), prompts),
            dir.Path() + "out");
  EXPECT_EQ(DecodePictureFile(chosen), picture);
  std::string question = "The file " + chosen + " already exists. Do You want to overwrite it?";
  EXPECT_EQ(prompts.Lines(),
            (std::vector<std::string>{Line("Confirm", question), Line("Confirm", question)}));
}

TEST_F(LogoCommands, AFailedSaveSaysSoAndKeepsTheOldFile) {
  LogoNode node(TLogoDirObject(NodeKind::Logo, "sunset.bmp"));
  EXPECT_EQ(
      SaveLogoAs(node, picture, dir.Path() + "missing/copy.bmp", std::nullopt, Options(), prompts),
      std::nullopt);
  std::string chosen = dir.Write("out/copy.bmp", "old file");
  prompts.QueueAnswer(Answer::Yes);
  {
    FileSizeLimit limit(256);
    EXPECT_EQ(SaveLogoAs(node, picture, chosen, std::nullopt, Options(), prompts), std::nullopt);
  }
  EXPECT_EQ(dir.Read("out/copy.bmp"), "old file");
  EXPECT_EQ(prompts.Lines().back(), Line("Error", kSaveFailedText));
  EXPECT_EQ(prompts.Lines().front(), Line("Error", kSaveFailedText));
}

// --- convert ---------------------------------------------------------------

TEST_F(LogoCommands, ConvertReplacingTheSourceRenamesTheNode) {
  LogoNode& sunset = Logo(root, "sunset.jpg", picture);
  Logo(root, "after.png", picture);
  TLogoDirObject before = sunset.Data();
  auto context = Context(&sunset);
  EditResult result =
      ConvertLogo(context, ConvertOptions(RetainSource::Delete), &picture, LogoFormat::Png);
  EXPECT_TRUE(result.changed);
  EXPECT_EQ(result.select, &sunset);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"sunset.png", "after.png"}));
  EXPECT_EQ(Files(), (std::vector<std::string>{"after.png", "sunset.png"}));
  // The whole source picture, not a logo.
  EXPECT_EQ(DecodePictureFile(InLogoDir("sunset.png")), picture);
  TLogoDirObject expected = before;
  expected.nodename = "sunset.png";
  expected.frameleft = expected.frametop = expected.framewidth = expected.frameheight = -1;
  EXPECT_EQ(sunset.Data(), expected);
  EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(LogoCommands, ConvertKeepingTheSourceInsertsTheCopyAfterIt) {
  LogoNode& sunset = Logo(root, "sunset.jpg", picture);
  Logo(root, "after.png", picture);
  auto context = Context(&sunset);
  EditResult first =
      ConvertLogo(context, ConvertOptions(RetainSource::Retain), &picture, LogoFormat::Png);
  ASSERT_NE(first.select, nullptr);
  EXPECT_EQ(first.select->Text(), "sunset2.png");
  EXPECT_FALSE(first.select->Data().HasFrame());
  EXPECT_EQ(first.select->Data().uploadurl, sunset.Data().uploadurl);
  EXPECT_EQ(first.select->Data().logowidth, 96);
  EXPECT_TRUE(sunset.Data().HasFrame());

  EXPECT_EQ(Texts(), (std::vector<std::string>{"sunset.jpg", "sunset2.png", "after.png"}));

  tree.Clear();
  fs::remove_all(dir.Path() + "Logo Directory");
  LogoNode& again = Logo(root, "sunset.jpg", picture);
  Logo(root, "sunset2.gif", picture);
  auto againContext = Context(&again);
  EditResult second =
      ConvertLogo(againContext, ConvertOptions(RetainSource::Retain), &picture, LogoFormat::Png);
  ASSERT_NE(second.select, nullptr);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"sunset.jpg", "sunset3.png", "sunset2.gif"}));
  EXPECT_EQ(DecodePictureFile(InLogoDir("sunset3.png")), picture);
  EXPECT_EQ(Magic(InLogoDir("sunset.jpg")), "jpeg");
}

TEST_F(LogoCommands, ConvertAsksWhetherToKeepTheSource) {
  struct Case {
    Answer answer;
    std::vector<std::string> texts;
  } cases[] = {{Answer::Cancel, {"sunset.jpg"}},
               {Answer::Yes, {"sunset.jpg", "sunset2.gif"}},
               {Answer::No, {"sunset.gif"}}};
  for (const auto& c : cases) {
    tree.Clear();
    fs::remove_all(dir.Path() + "Logo Directory");
    LogoNode& sunset = Logo(root, "sunset.jpg", picture);
    prompts.Clear();
    prompts.QueueAnswer(c.answer);
    auto context = Context(&sunset);
    EditResult result =
        ConvertLogo(context, ConvertOptions(RetainSource::Ask), &picture, LogoFormat::Gif);
    EXPECT_EQ(result.changed, c.answer != Answer::Cancel);
    EXPECT_EQ(Texts(), c.texts);
    EXPECT_EQ(Files(), c.texts);
    EXPECT_EQ(prompts.Lines(), (std::vector<std::string>{Line("Confirm", kConvertKeepQuestion)}));
  }
}

TEST_F(LogoCommands, TheNameBoxAsksAgainUntilTheNameIsFree) {
  struct Case {
    RetainSource retain;
    std::vector<std::optional<std::string>> typed;
    std::vector<std::string> warnings;
    std::vector<std::string> texts;
  } cases[] = {
      {RetainSource::Retain,
       {"SUNSET", "Other", "../up", "fresh"},
       {Line("Warning", kTargetNameTakenText), Line("Warning", kTargetNameTakenText),
        Line("Warning", kTargetNameUnusableText)},
       {"sunset.jpg", "fresh.png", "other.gif"}},
      {RetainSource::Delete, {"Sunset"}, {}, {"Sunset.png", "other.gif"}},
      {RetainSource::Delete,
       {"other", std::nullopt},
       {Line("Warning", kTargetNameTakenText)},
       {"sunset.jpg", "other.gif"}},
  };
  for (const auto& c : cases) {
    tree.Clear();
    fs::remove_all(dir.Path() + "Logo Directory");
    LogoNode& sunset = Logo(root, "sunset.jpg", picture);
    Logo(root, "other.gif", picture);
    prompts.Clear();
    for (const auto& typed : c.typed)
      prompts.QueueInput(typed);
    auto context = Context(&sunset);
    ConvertLogo(context, ConvertOptions(c.retain, true), &picture, LogoFormat::Png);
    EXPECT_EQ(prompts.Lines(), c.warnings);
    EXPECT_EQ(Texts(), c.texts);
    std::vector<std::string> files = c.texts;
    std::sort(files.begin(), files.end());
    EXPECT_EQ(Files(), files);
  }
  // The box opens with the name the result would get.
  EXPECT_EQ(prompts.InputPrompts().front(),
            "Target File Name|Please enter target file name: |sunset");
}

TEST_F(LogoCommands, ReplacingNeverOverwritesAnotherLogosFile) {
  // The reader does not insist on unique base names, so a folder may hold
  // sunset.jpg and sunset.gif side by side.
  const Bitmap other = Pattern(17, 17);
  LogoNode& sunset = Logo(root, "sunset.jpg", picture);
  Logo(root, "sunset.gif", other);
  auto context = Context(&sunset);
  EditResult result =
      ConvertLogo(context, ConvertOptions(RetainSource::Delete), &picture, LogoFormat::Gif);
  ASSERT_EQ(result.select, &sunset);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"sunset2.gif", "sunset.gif"}));
  EXPECT_EQ(Files(), (std::vector<std::string>{"sunset.gif", "sunset2.gif"}));
  EXPECT_EQ(DecodePictureFile(InLogoDir("sunset.gif")).Width(), 17);

  // In the name box the other logo's name is refused.
  prompts.QueueInput("sunset");
  prompts.QueueInput(std::nullopt);
  EXPECT_FALSE(
      ConvertLogo(context, ConvertOptions(RetainSource::Delete, true), &picture, LogoFormat::Png)
          .changed);
  EXPECT_EQ(prompts.Lines(), (std::vector<std::string>{Line("Warning", kTargetNameTakenText)}));
}

TEST_F(LogoCommands, ConvertingToTheSameFileKeepsIt) {
  LogoNode& sunset = Logo(root, "sunset.png", Pattern(16, 16));
  auto context = Context(&sunset);
  EXPECT_TRUE(ConvertLogo(context, ConvertOptions(RetainSource::Delete), &picture, LogoFormat::Png)
                  .changed);
  EXPECT_EQ(Files(), (std::vector<std::string>{"sunset.png"}));
  EXPECT_EQ(DecodePictureFile(InLogoDir("sunset.png")), picture);
}

TEST_F(LogoCommands, WithoutADisplayedPictureTheFileIsRead) {
  LogoNode& sunset = Logo(root, "sunset.png", picture);
  auto context = Context(&sunset);
  ASSERT_TRUE(
      ConvertLogo(context, ConvertOptions(RetainSource::Delete), nullptr, LogoFormat::Bmp).changed);
  EXPECT_EQ(DecodePictureFile(InLogoDir("sunset.bmp")), picture);

  // A file that no longer decodes is reported and nothing changes.
  dir.Write("Logo Directory/sunset.bmp", "damaged");
  EXPECT_FALSE(
      ConvertLogo(context, ConvertOptions(RetainSource::Delete), nullptr, LogoFormat::Png).changed);
  EXPECT_EQ(prompts.Lines(), (std::vector<std::string>{Line("Quillet", kLoadErrorText)}));
  EXPECT_EQ(Files(), (std::vector<std::string>{"sunset.bmp"}));
}

TEST_F(LogoCommands, AFailedSourceDeletionLeavesTheNewFileAndTheTree) {
  // The source's name is taken on disk by a folder with contents, which
  // cannot be deleted as a file.
  LogoNode& sunset = tree.Append(root, TLogoDirObject(NodeKind::Logo, "sunset.jpg"));
  dir.Write("Logo Directory/sunset.jpg/inside", "x");
  auto context = Context(&sunset);
  EXPECT_FALSE(ConvertLogo(context, ConvertOptions(RetainSource::Delete), &picture, LogoFormat::Png)
                   .changed);
  EXPECT_EQ(prompts.Lines(), (std::vector<std::string>{Line("Error", kDeleteSourceFailedText)}));
  EXPECT_EQ(Texts(), (std::vector<std::string>{"sunset.jpg"}));
  EXPECT_EQ(Files(), (std::vector<std::string>{"sunset.jpg", "sunset.png"}));
}

TEST_F(LogoCommands, AFailedWriteChangesNothing) {
  const Bitmap large = Pattern(200, 200);
  for (RetainSource retain : {RetainSource::Delete, RetainSource::Retain}) {
    tree.Clear();
    fs::remove_all(dir.Path() + "Logo Directory");
    LogoNode& sunset = Logo(root, "sunset.png", picture);
    std::string before = ReadWholeFile(InLogoDir("sunset.png"));
    prompts.Clear();
    auto context = Context(&sunset);
    {
      FileSizeLimit limit(1024);
      EXPECT_FALSE(ConvertLogo(context, ConvertOptions(retain), &large, LogoFormat::Bmp).changed);
    }
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].caption, "Quillet");
    EXPECT_NE(prompts.Messages()[0].text.find("sunset"), std::string::npos);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"sunset.png"}));
    EXPECT_EQ(Files(), (std::vector<std::string>{"sunset.png"}));
    EXPECT_EQ(ReadWholeFile(InLogoDir("sunset.png")), before);
    EXPECT_TRUE(sunset.Data().HasFrame());
  }
}

TEST_F(LogoCommands, PictureCommandsNeedASelectedLogo) {
  Logo(root, "sunset.png", picture);
  LogoNode& folder = tree.Append(root, TLogoDirObject(NodeKind::Folder, "Cars"));
  for (LogoNode* selected : {static_cast<LogoNode*>(nullptr), &root, &folder}) {
    auto context = Context(selected);
    Options options;
    EXPECT_FALSE(ConvertLogo(context, options, &picture, LogoFormat::Gif).changed);
    EXPECT_FALSE(MirrorLogo(context, options, &picture, MirrorDirection::Vertical).changed);
    EXPECT_FALSE(RotateLogo(context, options, &picture, 90).changed);
  }
  EXPECT_TRUE(prompts.Messages().empty());
  EXPECT_EQ(Files(), (std::vector<std::string>{"sunset.png"}));
}

// --- mirror and rotate -----------------------------------------------------

TEST_F(LogoCommands, MirrorAPngInPlace) {
  LogoNode& pic = Logo(root, "pic.png", picture);
  Options options;
  options.mirrorretainsource = RetainSource::Delete;
  auto context = Context(&pic);
  EditResult result = MirrorLogo(context, options, &picture, MirrorDirection::Horizontal);
  EXPECT_EQ(result.select, &pic);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"pic.png"}));
  EXPECT_EQ(Files(), (std::vector<std::string>{"pic.png"}));
  EXPECT_EQ(DecodePictureFile(InLogoDir("pic.png")),
            TransformPicture(picture, PictureTransform::MirrorHorizontal));
  EXPECT_FALSE(pic.Data().HasFrame());
}

TEST_F(LogoCommands, MirrorKeepingTheSourceAddsACopyAfterIt) {
  LogoNode& pic = Logo(root, "pic.gif", picture);
  Logo(root, "z.png", picture);
  std::string before = ReadWholeFile(InLogoDir("pic.gif"));
  Options options;
  options.mirrorretainsource = RetainSource::Retain;
  auto context = Context(&pic);
  EditResult result = MirrorLogo(context, options, &picture, MirrorDirection::Vertical);
  ASSERT_NE(result.select, nullptr);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"pic.gif", "pic2.gif", "z.png"}));
  EXPECT_EQ(Magic(InLogoDir("pic2.gif")), "gif");
  EXPECT_EQ(ReadWholeFile(InLogoDir("pic.gif")), before);
}

TEST_F(LogoCommands, RotateMovesThePixelsAClockwiseQuarterTurn) {
  struct Case {
    int degrees;
    int width, height;
    int cornerX, cornerY;  // where the source's top-left pixel lands
  } cases[] = {{90, 20, 30, 19, 0}, {180, 30, 20, 29, 19}, {270, 20, 30, 0, 29}};
  Options options;
  options.rotateretainsource = RetainSource::Delete;
  for (const auto& c : cases) {
    tree.Clear();
    fs::remove_all(dir.Path() + "Logo Directory");
    LogoNode& pic = Logo(root, "pic.bmp", picture);
    auto context = Context(&pic);
    ASSERT_TRUE(RotateLogo(context, options, &picture, c.degrees).changed);
    Bitmap turned = DecodePictureFile(InLogoDir("pic.bmp"));
    EXPECT_EQ(turned.Width(), c.width) << c.degrees;
    EXPECT_EQ(turned.Height(), c.height) << c.degrees;
    EXPECT_EQ(turned.Pixel(c.cornerX, c.cornerY), picture.Pixel(0, 0)) << c.degrees;
  }
  EXPECT_THROW(
      {
        auto context = Context(root.ChildAt(0));
        RotateLogo(context, options, &picture, 45);
      },
      std::invalid_argument);
}

TEST_F(LogoCommands, RotateAsksTheMirrorQuestion) {
  LogoNode& pic = Logo(root, "pic.png", picture);
  Options options;
  options.rotateretainsource = RetainSource::Ask;
  prompts.QueueAnswer(Answer::Cancel);
  auto context = Context(&pic);
  EXPECT_FALSE(RotateLogo(context, options, &picture, 180).changed);
  EXPECT_EQ(prompts.Lines(), (std::vector<std::string>{Line("Confirm", kTransformKeepQuestion)}));
}

TEST_F(LogoCommands, AnUncommonExtensionIsWrittenInItsCanonicalForm) {
  struct Case {
    const char* source;
    const char* neighbour;
    std::vector<std::string> texts;
  } cases[] = {
      {"pic.JPEG", nullptr, {"pic.jpg"}},
      // File names differ in letter case on this system: the old file goes.
      {"pic.JPG", nullptr, {"pic.jpg"}},
      // Another logo already holds pic.jpg: the result takes the next name.
      {"pic.JPEG", "pic.jpg", {"pic2.jpg", "pic.jpg"}},
  };
  Options options;
  options.rotateretainsource = RetainSource::Delete;
  for (const auto& c : cases) {
    tree.Clear();
    fs::remove_all(dir.Path() + "Logo Directory");
    LogoNode& pic = Logo(root, c.source, picture);
    if (c.neighbour) Logo(root, c.neighbour, Pattern(16, 16));
    auto context = Context(&pic);
    ASSERT_TRUE(RotateLogo(context, options, &picture, 90).changed) << c.source;
    EXPECT_EQ(Texts(), c.texts) << c.source;
    std::vector<std::string> files = c.texts;
    std::sort(files.begin(), files.end());
    EXPECT_EQ(Files(), files) << c.source;
    EXPECT_EQ(DecodePictureFile(NodePath(pic, dir.Path())).Width(), 20);
  }
  EXPECT_EQ(DecodePictureFile(InLogoDir("pic.jpg")).Width(), 16);
}

}  // namespace
}  // namespace quillet

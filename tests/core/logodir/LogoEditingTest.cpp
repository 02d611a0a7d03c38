#include "core/logodir/LogoEditing.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
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

// A program folder with a logo directory whose nodes and files the tests
// build side by side.
class LogoEditing : public ::testing::Test {
 protected:
  LogoDirContext Context(LogoNode* selected) { return {tree, selected, dir.Path(), prompts}; }

  std::string DiskPath(const LogoNode& node) const { return NodePath(node, dir.Path()); }

  LogoNode& Folder(LogoNode& parent, const std::string& name) {
    LogoNode& node = tree.Append(parent, TLogoDirObject(NodeKind::Folder, name));
    fs::create_directories(DiskPath(node));
    return node;
  }

  LogoNode& Logo(LogoNode& parent, const std::string& name, const std::string& bytes = "picture") {
    LogoNode& node = tree.Append(parent, TLogoDirObject(NodeKind::Logo, name));
    WriteFile(DiskPath(node), bytes);
    return node;
  }

  static void WriteFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }

  static std::vector<std::string> Texts(const LogoNode& folder) {
    std::vector<std::string> texts;
    for (int i = 0; i < folder.ChildCount(); ++i)
      texts.push_back(folder.ChildAt(i)->Text());
    return texts;
  }

  // Every entry below `path`, relative to it, sorted.
  static std::vector<std::string> Listing(const std::string& path) {
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(path))
      entries.push_back(fs::relative(entry.path(), path).string());
    std::sort(entries.begin(), entries.end());
    return entries;
  }

  std::string LogoDir() const { return dir.Path() + "Logo Directory"; }

  TempDir dir;
  LogoTree tree;
  LogoNode& root = tree.Root();
  ScriptedPrompts prompts;
  TLogoDirObject newLogoTemplate;
};

// --- adding pictures -------------------------------------------------------

TEST_F(LogoEditing, AddingOneFileThreeTimesNumbersTheCopies) {
  std::string source = dir.Write("pictures/photo.jpg", "jpeg bytes");
  LogoNode& cars = Folder(root, "Cars");
  for (int i = 0; i < 3; ++i) {
    auto context = Context(&cars);
    EditResult result = AddPictureFile(context, source, newLogoTemplate);
    ASSERT_NE(result.select, nullptr);
    EXPECT_EQ(result.select, cars.ChildAt(i));
  }
  EXPECT_EQ(Texts(cars), (std::vector<std::string>{"photo.jpg", "photo2.jpg", "photo3.jpg"}));
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(ReadWholeFile(DiskPath(*cars.ChildAt(i))), "jpeg bytes");
  EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(LogoEditing, AddedNamesIgnoreLetterCaseAndExtensions) {
  struct Case {
    const char* existingLogo;
    const char* existingFolder;
    const char* file;
    const char* added;
  } cases[] = {
      {"photo.png", nullptr, "Photo.JPG", "Photo2.JPG"},
      {nullptr, "Cars", "Cars.jpg", "Cars2.jpg"},
      {"sunset.gif", "Sunset2", "SUNSET.bmp", "SUNSET3.bmp"},
      {nullptr, nullptr, "plain.png", "plain.png"},
  };
  for (const auto& c : cases) {
    tree.Clear();
    fs::remove_all(LogoDir());
    if (c.existingLogo) Logo(root, c.existingLogo);
    if (c.existingFolder) Folder(root, c.existingFolder);
    std::string source = dir.Write(std::string("pictures/") + c.file, c.file);
    auto context = Context(nullptr);
    EditResult result = AddPictureFile(context, source, newLogoTemplate);
    ASSERT_NE(result.select, nullptr) << c.file;
    EXPECT_EQ(result.select->Text(), c.added);
    EXPECT_EQ(result.select->Parent(), &root);
    EXPECT_EQ(ReadWholeFile(LogoDir() + "/" + c.added), c.file);
  }
}

TEST_F(LogoEditing, NewLogosGoToTheTargetFolder) {
  LogoNode& cars = Folder(root, "Cars");
  LogoNode& photo = Logo(cars, "photo.jpg");
  LogoNode& sports = Folder(cars, "Sports");
  LogoNode& top = Logo(root, "top.png");
  std::string source = dir.Write("pictures/new.png", "png bytes");
  struct Case {
    LogoNode* selected;
    LogoNode* target;
  } cases[] = {{&photo, &cars}, {&sports, &sports}, {nullptr, &root}, {&top, &root}};
  for (const auto& c : cases) {
    auto context = Context(c.selected);
    EditResult result = AddPictureFile(context, source, newLogoTemplate);
    ASSERT_NE(result.select, nullptr);
    EXPECT_EQ(result.select->Parent(), c.target) << (c.selected ? c.selected->Text() : "none");
    EXPECT_EQ(c.target->ChildAt(c.target->ChildCount() - 1), result.select);
    EXPECT_TRUE(fs::exists(DiskPath(*result.select)));
  }
}

TEST_F(LogoEditing, AStrayFileOfTheNewNameIsReplaced) {
  dir.Write("Logo Directory/photo.jpg", "stray");
  std::string source = dir.Write("pictures/photo.jpg", "new picture");
  auto context = Context(nullptr);
  EditResult result = AddPictureFile(context, source, newLogoTemplate);
  ASSERT_NE(result.select, nullptr);
  EXPECT_EQ(result.select->Text(), "photo.jpg");
  EXPECT_EQ(dir.Read("Logo Directory/photo.jpg"), "new picture");
  EXPECT_EQ(Listing(LogoDir()), (std::vector<std::string>{"photo.jpg"}));
}

TEST_F(LogoEditing, ANewLogoCopiesTheTemplateWithoutItsFrame) {
  newLogoTemplate.phonemakeid = 2;
  newLogoTemplate.phonemodelid = 5;
  newLogoTemplate.logowidth = 320;
  newLogoTemplate.logoheight = 240;
  newLogoTemplate.fitkind = FitKind::Width;
  newLogoTemplate.keepproportions = false;
  newLogoTemplate.frameleft = 4;
  newLogoTemplate.frametop = 5;
  newLogoTemplate.framewidth = 60;
  newLogoTemplate.frameheight = 70;
  std::string source = dir.Write("pictures/cat.gif", "gif bytes");
  auto context = Context(nullptr);
  EditResult result = AddPictureFile(context, source, newLogoTemplate);
  ASSERT_NE(result.select, nullptr);

  TLogoDirObject expected = newLogoTemplate;
  expected.nodekind = NodeKind::Logo;
  expected.nodename = "cat.gif";
  expected.frameleft = expected.frametop = expected.framewidth = expected.frameheight = -1;
  EXPECT_EQ(result.select->Data(), expected);
  EXPECT_FALSE(result.select->Data().HasFrame());
}

TEST_F(LogoEditing, AFailedAddAddsNothing) {
  std::string source = dir.Write("pictures/photo.jpg", "jpeg bytes");
  {
    // The source has gone.
    auto context = Context(nullptr);
    EXPECT_FALSE(
        AddPictureFile(context, dir.Path() + "pictures/gone.jpg", newLogoTemplate).changed);
  }
  {
    // The folder's directory cannot be made: a file stands in its way.
    LogoNode& blocked = tree.Append(root, TLogoDirObject(NodeKind::Folder, "Blocked"));
    dir.Write("Logo Directory/Blocked", "a file");
    auto context = Context(&blocked);
    EXPECT_FALSE(AddPictureFile(context, source, newLogoTemplate).changed);
    EXPECT_EQ(blocked.ChildCount(), 0);
  }
  EXPECT_EQ(prompts.Lines(),
            (std::vector<std::string>{"Error: " + std::string(kAddCopyFailedText),
                                      "Error: " + std::string(kAddFolderFailedText)}));
  EXPECT_EQ(Texts(root), (std::vector<std::string>{"Blocked"}));
}

TEST_F(LogoEditing, ACopyCutShortByAFullDiskLeavesNoFile) {
  std::string source = dir.Write("pictures/big.bmp", std::string(64 * 1024, 'x'));
  fs::create_directories(LogoDir());
  {
    FileSizeLimit limit(4096);
    auto context = Context(nullptr);
    EXPECT_FALSE(AddPictureFile(context, source, newLogoTemplate).changed);
  }
  EXPECT_EQ(prompts.Lines(),
            (std::vector<std::string>{"Error: " + std::string(kAddCopyFailedText)}));
  EXPECT_EQ(root.ChildCount(), 0);
  EXPECT_TRUE(Listing(LogoDir()).empty());
}

TEST_F(LogoEditing, AddPictureImageWritesTheFormatOfItsName) {
  Bitmap picture(20, 18, MakeColor(10, 200, 30));
  picture.SetPixel(0, 0, MakeColor(255, 0, 0));
  Logo(root, "grab.png");
  auto context = Context(nullptr);
  EditResult result = AddPictureImage(context, "grab.png", picture, newLogoTemplate);
  ASSERT_NE(result.select, nullptr);
  EXPECT_EQ(result.select->Text(), "grab2.png");
  EXPECT_EQ(DecodePictureFile(DiskPath(*result.select)), picture);

  EditResult bitmap = AddPictureImage(context, "scan.bmp", picture, newLogoTemplate);
  ASSERT_NE(bitmap.select, nullptr);
  EXPECT_EQ(ReadWholeFile(DiskPath(*bitmap.select)).substr(0, 2), "BM");
  EXPECT_EQ(Texts(root), (std::vector<std::string>{"grab.png", "grab2.png", "scan.bmp"}));
}

TEST_F(LogoEditing, AddPictureImageThatCannotBeWrittenThrowsAndAddsNothing) {
  Bitmap picture(300, 300, MakeColor(1, 2, 3));
  fs::create_directories(LogoDir());
  auto context = Context(nullptr);
  {
    FileSizeLimit limit(1024);
    EXPECT_ANY_THROW(AddPictureImage(context, "grab.bmp", picture, newLogoTemplate));
  }
  EXPECT_EQ(root.ChildCount(), 0);
  EXPECT_TRUE(Listing(LogoDir()).empty());
}

// --- new folder ------------------------------------------------------------

TEST_F(LogoEditing, NewFolderComesBeforeTheFirstLogo) {
  struct Case {
    std::vector<std::string> folders;
    std::vector<std::string> logos;
    std::vector<std::string> after;
  } cases[] = {
      {{}, {"a.jpg", "b.jpg"}, {"New Folder", "a.jpg", "b.jpg"}},
      {{"A", "B"}, {}, {"A", "B", "New Folder"}},
      {{"A"}, {"a.jpg"}, {"A", "New Folder", "a.jpg"}},
      {{}, {}, {"New Folder"}},
  };
  for (const auto& c : cases) {
    tree.Clear();
    fs::remove_all(LogoDir());
    fs::create_directories(LogoDir());
    for (const auto& name : c.folders)
      Folder(root, name);
    for (const auto& name : c.logos)
      Logo(root, name);
    prompts.QueueInput("New Folder");
    auto context = Context(nullptr);
    EditResult result = NewFolder(context);
    ASSERT_NE(result.select, nullptr);
    EXPECT_EQ(Texts(root), c.after);
    EXPECT_TRUE(result.select->IsFolder());
    EXPECT_TRUE(fs::is_directory(LogoDir() + "/New Folder"));
  }
}

TEST_F(LogoEditing, NewFolderOffersNumberedDefaultNames) {
  LogoNode& cars = Folder(root, "Cars");
  Logo(cars, "photo.jpg");
  for (const char* name : {"New Folder", "New Folder 2", "New Folder 3"}) {
    prompts.QueueInput(name);
    auto context = Context(cars.ChildAt(cars.ChildCount() - 1));
    ASSERT_TRUE(NewFolder(context).changed);
  }
  EXPECT_EQ(prompts.InputPrompts(),
            (std::vector<std::string>{"New folder name|Enter new folder name:|New Folder",
                                      "New folder name|Enter new folder name:|New Folder 2",
                                      "New folder name|Enter new folder name:|New Folder 3"}));
  EXPECT_EQ(Texts(cars),
            (std::vector<std::string>{"New Folder", "New Folder 2", "New Folder 3", "photo.jpg"}));
  EXPECT_TRUE(fs::is_directory(LogoDir() + "/Cars/New Folder 3"));
}

TEST_F(LogoEditing, NewFolderRefusesTakenAndUnusableNames) {
  Folder(root, "Cars");
  Logo(root, "photo.jpg");
  struct Case {
    std::string typed;
    std::string_view message;
  } cases[] = {
      {"photo", kNameTakenText},     {"CARS", kNameTakenText},
      {"", kNewFolderFailedText},    {".", kNewFolderFailedText},
      {"..", kNewFolderFailedText},  {"../../escape", kNewFolderFailedText},
      {"a/b", kNewFolderFailedText}, {std::string("nul\0name", 8), kNewFolderFailedText},
  };
  const auto before = Listing(dir.Path());
  for (const auto& c : cases) {
    prompts.Clear();
    prompts.QueueInput(c.typed);
    auto context = Context(nullptr);
    EXPECT_FALSE(NewFolder(context).changed) << c.typed;
    EXPECT_EQ(prompts.Lines(), (std::vector<std::string>{"Error: " + std::string(c.message)}));
  }
  EXPECT_EQ(Listing(dir.Path()), before);
  EXPECT_EQ(Texts(root), (std::vector<std::string>{"Cars", "photo.jpg"}));

  prompts.Clear();
  prompts.QueueInput(std::nullopt);
  auto context = Context(nullptr);
  EXPECT_FALSE(NewFolder(context).changed);
  EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(LogoEditing, NewFolderThatCannotBeCreatedChangesNothing) {
  dir.Write("Logo Directory/Taken", "a file, not a folder");
  prompts.QueueInput("Taken");
  auto context = Context(nullptr);
  EXPECT_FALSE(NewFolder(context).changed);
  EXPECT_EQ(prompts.Lines(),
            (std::vector<std::string>{"Error: " + std::string(kNewFolderFailedText)}));
  EXPECT_EQ(root.ChildCount(), 0);
}

// --- rename ----------------------------------------------------------------

TEST_F(LogoEditing, RenamingALogoKeepsItsExtension) {
  LogoNode& photo = Logo(root, "photo.jpg", "the photo");
  prompts.QueueInput("PHOTO");
  auto context = Context(&photo);
  EXPECT_FALSE(RenameNode(context).changed);
  EXPECT_EQ(photo.Text(), "photo.jpg");

  prompts.QueueInput("sunset");
  EXPECT_TRUE(RenameNode(context).changed);
  EXPECT_EQ(photo.Text(), "sunset.jpg");
  EXPECT_EQ(photo.Data().nodename, "sunset.jpg");
  EXPECT_EQ(Listing(LogoDir()), (std::vector<std::string>{"sunset.jpg"}));
  EXPECT_EQ(ReadWholeFile(DiskPath(photo)), "the photo");
  EXPECT_EQ(prompts.InputPrompts(),
            (std::vector<std::string>{"New Logo name|Enter new logo name:|photo",
                                      "New Logo name|Enter new logo name:|photo"}));
  EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(LogoEditing, RenamingAFolderKeepsItsLogosReachable) {
  LogoNode& cars = Folder(root, "Cars");
  LogoNode& sports = Folder(cars, "Sports");
  LogoNode& photo = Logo(sports, "photo.jpg", "deep photo");
  prompts.QueueInput("Autos");
  auto context = Context(&cars);
  EXPECT_TRUE(RenameNode(context).changed);
  EXPECT_EQ(cars.Text(), "Autos");
  EXPECT_EQ(prompts.InputPrompts(),
            (std::vector<std::string>{"New Folder name|Enter new folder name:|Cars"}));
  EXPECT_EQ(ReadWholeFile(LogoFilePath(photo, dir.Path())), "deep photo");
  EXPECT_FALSE(fs::exists(LogoDir() + "/Cars"));
}

TEST_F(LogoEditing, RenameRefusesTakenUnusableAndOccupiedNames) {
  LogoNode& cars = Folder(root, "Cars");
  Folder(root, "Bikes");
  LogoNode& photo = Logo(root, "photo.jpg", "photo");
  Logo(root, "sunset.png");
  dir.Write("Logo Directory/stray.jpg", "stray file");
  dir.MakeDir("Logo Directory/Stray Folder/inside");
  struct Case {
    LogoNode* node;
    std::string typed;
    std::string_view message;
  } cases[] = {
      {&photo, "SUNSET", kNameTakenText},    {&photo, "bikes", kNameTakenText},
      {&photo, "", kRenameLogoFailedText},   {&photo, "../photo", kRenameLogoFailedText},
      {&photo, "..", kRenameLogoFailedText}, {&photo, "stray", kRenameLogoFailedText},
      {&cars, "Photo", kNameTakenText},      {&cars, "a/b", kRenameFolderFailedText},
      {&cars, ".", kRenameFolderFailedText}, {&cars, "Stray Folder", kRenameFolderFailedText},
  };
  const auto before = Listing(dir.Path());
  for (const auto& c : cases) {
    prompts.Clear();
    prompts.QueueInput(c.typed);
    auto context = Context(c.node);
    EXPECT_FALSE(RenameNode(context).changed) << c.typed;
    EXPECT_EQ(prompts.Lines(), (std::vector<std::string>{"Error: " + std::string(c.message)}))
        << c.typed;
  }
  EXPECT_EQ(Listing(dir.Path()), before);
  EXPECT_EQ(dir.Read("Logo Directory/stray.jpg"), "stray file");
  EXPECT_EQ(Texts(root), (std::vector<std::string>{"Cars", "Bikes", "photo.jpg", "sunset.png"}));
}

TEST_F(LogoEditing, RenameLeavesTheRootAndAnEmptySelectionAlone) {
  for (LogoNode* selected : {static_cast<LogoNode*>(nullptr), &root}) {
    auto context = Context(selected);
    EXPECT_FALSE(RenameNode(context).changed);
  }
  EXPECT_TRUE(prompts.InputPrompts().empty());
  EXPECT_EQ(root.Text(), "Logo Directory");
}

// --- delete ----------------------------------------------------------------

TEST_F(LogoEditing, DeleteDoesNothingForTheRootOrDuringAnUpload) {
  LogoNode& photo = Logo(root, "photo.jpg");
  for (LogoNode* selected : {static_cast<LogoNode*>(nullptr), &root}) {
    auto context = Context(selected);
    EXPECT_FALSE(DeleteNode(context, false).changed);
  }
  EXPECT_TRUE(prompts.Messages().empty());

  auto context = Context(&photo);
  EXPECT_FALSE(DeleteNode(context, true).changed);
  EXPECT_EQ(prompts.Lines(),
            (std::vector<std::string>{"Warning: " + std::string(kDeleteDuringUploadText)}));
  EXPECT_EQ(root.ChildCount(), 1);
  EXPECT_TRUE(fs::exists(DiskPath(photo)));
}

TEST_F(LogoEditing, DeleteALogoOrAnEmptyFolderAfterConfirmation) {
  LogoNode& photo = Logo(root, "photo.jpg");
  LogoNode& empty = Folder(root, "Empty");
  for (LogoNode* node : {&photo, &empty}) {
    prompts.QueueAnswer(Answer::No);
    auto context = Context(node);
    EXPECT_FALSE(DeleteNode(context, false).changed);
  }
  EXPECT_EQ(root.ChildCount(), 2);
  for (LogoNode* node : {&photo, &empty}) {
    prompts.QueueAnswer(Answer::Yes);
    auto context = Context(node);
    EXPECT_TRUE(DeleteNode(context, false).changed);
  }
  EXPECT_EQ(root.ChildCount(), 0);
  EXPECT_TRUE(Listing(LogoDir()).empty());
  EXPECT_EQ(prompts.Lines(), (std::vector<std::string>{
                                 "Confirm: " + std::string(kConfirmDeleteLogoText),
                                 "Confirm: " + std::string(kConfirmDeleteFolderText),
                                 "Confirm: " + std::string(kConfirmDeleteLogoText),
                                 "Confirm: " + std::string(kConfirmDeleteFolderText),
                             }));
}

TEST_F(LogoEditing, DeleteFailuresKeepTheNode) {
  // A folder without nodes whose directory still holds a file, and a logo
  // whose name is taken on disk by a directory with contents.
  LogoNode& folder = Folder(root, "Cars");
  dir.Write("Logo Directory/Cars/stray.txt", "stray");
  LogoNode& logo = tree.Append(root, TLogoDirObject(NodeKind::Logo, "odd.jpg"));
  dir.Write("Logo Directory/odd.jpg/inside", "x");
  struct Case {
    LogoNode* node;
    std::string_view question;
    std::string_view message;
  } cases[] = {{&folder, kConfirmDeleteFolderText, kDeleteFolderFailedText},
               {&logo, kConfirmDeleteLogoText, kDeleteLogoFailedText}};
  for (const auto& c : cases) {
    prompts.Clear();
    prompts.QueueAnswer(Answer::Yes);
    auto context = Context(c.node);
    EXPECT_FALSE(DeleteNode(context, false).changed);
    EXPECT_EQ(prompts.Lines(), (std::vector<std::string>{"Confirm: " + std::string(c.question),
                                                         "Error: " + std::string(c.message)}));
  }
  EXPECT_EQ(root.ChildCount(), 2);
  EXPECT_TRUE(fs::exists(LogoDir() + "/Cars/stray.txt"));
}

TEST_F(LogoEditing, DeletingAFolderWithChildrenDeletesEverythingBelow) {
  LogoNode& cars = Folder(root, "Cars");
  Logo(cars, "a.jpg");
  LogoNode& sports = Folder(cars, "Sports");
  Logo(sports, "b.png");
  Logo(cars, "c.gif");
  Logo(root, "keep.png");
  prompts.QueueAnswer(Answer::Yes);
  auto context = Context(&cars);
  EXPECT_TRUE(DeleteNode(context, false).changed);
  EXPECT_EQ(prompts.Lines(),
            (std::vector<std::string>{"Confirm: " + std::string(kConfirmDeleteFullFolderText)}));
  EXPECT_EQ(Texts(root), (std::vector<std::string>{"keep.png"}));
  EXPECT_EQ(Listing(LogoDir()), (std::vector<std::string>{"keep.png"}));
}

TEST_F(LogoEditing, AFolderWithAStrayFileKeepsItselfButLosesItsNodes) {
  LogoNode& cars = Folder(root, "Cars");
  Logo(cars, "a.jpg");
  LogoNode& sports = Folder(cars, "Sports");
  Logo(sports, "b.png");
  dir.Write("Logo Directory/Cars/stray.txt", "not in the tree");
  prompts.QueueAnswer(Answer::Yes);
  auto context = Context(&cars);
  EXPECT_TRUE(DeleteNode(context, false).changed);
  EXPECT_EQ(prompts.Lines(),
            (std::vector<std::string>{"Confirm: " + std::string(kConfirmDeleteFullFolderText),
                                      "Error: " + std::string(kDeleteFolderFailedText)}));
  EXPECT_EQ(Texts(root), (std::vector<std::string>{"Cars"}));
  EXPECT_EQ(cars.ChildCount(), 0);
  EXPECT_EQ(Listing(LogoDir()), (std::vector<std::string>{"Cars", "Cars/stray.txt"}));
}

TEST_F(LogoEditing, ALogoWhoseFileIsAlreadyGoneCanBeDeleted) {
  LogoNode& photo = Logo(root, "photo.jpg");
  fs::remove(DiskPath(photo));
  prompts.QueueAnswer(Answer::Yes);
  auto context = Context(&photo);
  EXPECT_TRUE(DeleteNode(context, false).changed);
  EXPECT_EQ(root.ChildCount(), 0);
}

}  // namespace
}  // namespace quillet

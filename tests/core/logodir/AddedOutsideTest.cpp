#include "core/logodir/AddedOutside.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TreeDescription.h"
#include "core/codecs/Codecs.h"
#include "core/logodir/LogoDirectoryFile.h"
#include "core/logodir/LogoPaths.h"
#include "core/platform/AtomicFile.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::Describe;
using testing::ScriptedPrompts;
using testing::TempDir;

std::vector<std::string> Describe(const std::vector<LogoNode*>& nodes) {
  std::vector<std::string> out;
  for (const LogoNode* node : nodes) {
    std::string path;
    for (const LogoNode* n = node; n != nullptr && !n->IsRoot(); n = n->Parent())
      path = n->Text() + (path.empty() ? "" : "/" + path);
    out.push_back(path + (node->IsFolder() ? "/" : ""));
  }
  return out;
}

class AddedOutside : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.MakeDir("Logo Directory");
    newLogoTemplate.logowidth = 1179;
    newLogoTemplate.logoheight = 2556;
    newLogoTemplate.fitkind = FitKind::Smaller;
    newLogoTemplate.phonemakeid = 4;
    newLogoTemplate.phonemodelid = 2;
  }

  // A real picture file in "Logo Directory".
  void Picture(const std::string& relative, int width = 32, int height = 24) {
    const std::string path = dir.Path() + "Logo Directory/" + relative;
    fs::create_directories(fs::path(path).parent_path());
    WritePictureFile(path, Bitmap(width, height, MakeColor(200, 30, 30)),
                     LogoFormatOfFileName(relative), 90, 8);
  }
  void Other(const std::string& relative, const std::string& content = "not a picture") {
    dir.Write("Logo Directory/" + relative, content);
  }

  FoundPictures Find() {
    LogoDirContext context{tree, nullptr, dir.Path(), prompts};
    return FindPicturesAddedOutside(context, newLogoTemplate);
  }

  TempDir dir;
  LogoTree tree;
  ScriptedPrompts prompts;
  TLogoDirObject newLogoTemplate;
};

TEST_F(AddedOutside, ANulDamagedTreeIsBroughtBackFromDisk) {
  Picture("sunset.png");
  Picture("Cars/beetle.jpg");
  Picture("Cars/Old Ones/T.gif");
  Picture("Cars/Old Ones/tiny.png", 10, 10);
  Other("Cars/notes.txt");
  Other(".sunset.png.tmp-Ab12Cd", "half a picture");
  // The directory as the program saved it at its last exit...
  {
    LogoTree saved;
    LogoNode& cars = saved.Append(saved.Root(), TLogoDirObject(NodeKind::Folder, "Cars"));
    LogoNode& old = saved.Append(cars, TLogoDirObject(NodeKind::Folder, "Old Ones"));
    saved.Append(old, TLogoDirObject(NodeKind::Logo, "T.gif"));
    saved.Append(cars, TLogoDirObject(NodeKind::Logo, "beetle.jpg"));
    saved.Append(saved.Root(), TLogoDirObject(NodeKind::Logo, "sunset.png"));
    ASSERT_TRUE(SaveLogoDirectory(saved, dir.Path(), prompts));
  }
  // ... with one raw NUL byte in it.
  std::string damaged = dir.Read("logodirectory.xml");
  damaged.insert(damaged.size() / 2, 1, '\0');
  dir.Write("logodirectory.xml", damaged);

  LogoDirectoryLoadResult load = LoadLogoDirectory(tree, dir.Path(), prompts);
  ASSERT_TRUE(LeftFileUnread(load.status));
  EXPECT_EQ(tree.Root().ChildCount(), 0);

  FoundPictures found = Find();
  EXPECT_TRUE(found.changed);
  EXPECT_EQ(Describe(tree),
            (std::vector<std::string>{"Cars/", "Cars/Old Ones/", "Cars/Old Ones/T.gif",
                                      "Cars/beetle.jpg", "sunset.png"}));
  EXPECT_EQ(Describe(found.added), Describe(tree));
  EXPECT_EQ(found.logos, 3);
  EXPECT_EQ(found.folders, 2);
  ASSERT_NE(found.select, nullptr);
  EXPECT_EQ(found.select->Text(), "T.gif");
  EXPECT_EQ(found.Edit().select, found.select);
  // Each logo has the settings of a new logo and no frame; each file opens.
  const LogoNode& sunset = *tree.Root().ChildAt(1);
  TLogoDirObject expected = NewLogoObject(newLogoTemplate, "sunset.png");
  EXPECT_EQ(sunset.Data(), expected);
  EXPECT_FALSE(sunset.Data().HasFrame());
  EXPECT_TRUE(fs::is_regular_file(LogoFilePath(sunset, dir.Path())));
  EXPECT_EQ(FoundPicturesText(found),
            "3 pictures found in the folder \"Logo Directory\" were added to the logo directory.");

  // The damaged copy is kept as before; the tree then replaces the file.
  EXPECT_EQ(KeepDamagedLogoDirectory(dir.Path()), "logodirectory.damaged.xml");
  ASSERT_TRUE(SaveLogoDirectory(tree, dir.Path(), prompts));
  EXPECT_EQ(dir.Read("logodirectory.damaged.xml"), damaged);
  LogoTree again;
  EXPECT_EQ(LoadLogoDirectory(again, dir.Path(), prompts).status, LogoDirectoryLoad::Loaded);
  EXPECT_EQ(Describe(again), Describe(tree));

  // Nothing more to find the second time.
  FoundPictures twice = Find();
  EXPECT_FALSE(twice.changed);
  EXPECT_EQ(twice.select, nullptr);
  EXPECT_TRUE(twice.added.empty());
  EXPECT_EQ(FoundPicturesText(twice),
            "No pictures were found in the folder \"Logo Directory\" that are not in the logo "
            "directory already.");
  // Nothing was written, moved or shown.
  EXPECT_TRUE(fs::exists(dir.Path() + "Logo Directory/.sunset.png.tmp-Ab12Cd"));
  EXPECT_TRUE(fs::exists(dir.Path() + "Logo Directory/Cars/Old Ones/tiny.png"));
  EXPECT_EQ(prompts.Lines(),
            std::vector<std::string>{"Error: Error loading mobile logo directory."});
}

TEST_F(AddedOutside, OnlyPicturesThatNoNodeNamesAreTakenIn) {
  Picture("kept.jpg");
  Picture("new.JPEG");
  Picture("Upper.PNG");
  Picture("bitmap.bmp");
  Picture("KEPT.gif");  // the tree holds "kept" already, ignoring case
  Picture("Cars.png");  // a folder Cars is in the tree
  Picture("twin.jpg");  // two files of one base name: the first only
  Picture("twin.png");
  Picture("small.png", 15, 200);
  Other("broken.jpg");  // does not decode
  Other("readme.txt");
  Picture("photo.tif");  // not an extension the program reads
  Picture(".hidden.png");
  Picture("Cars/inside.gif");  // in a folder that is in the tree
  Picture("Empty Ones/tiny.png", 8, 8);
  fs::create_directories(dir.Path() + "Logo Directory/Nothing/At/All");
  Picture(".Hidden Folder/a.png");
  Picture("kept/x.png");  // a folder whose name the logo kept.jpg holds
  TempDir outside;
  WritePictureFile(outside.Path() + "linked.png", Bitmap(20, 20), LogoFormat::Png, 90, 8);
  fs::create_symlink(outside.Path() + "linked.png", dir.Path() + "Logo Directory/linked.png");
  fs::create_symlink(outside.Path(), dir.Path() + "Logo Directory/Linked Folder");

  LogoNode& kept = tree.Append(tree.Root(), TLogoDirObject(NodeKind::Logo, "kept.jpg"));
  tree.Append(tree.Root(), TLogoDirObject(NodeKind::Folder, "Cars"));
  FoundPictures found = Find();
  EXPECT_EQ(Describe(tree),
            (std::vector<std::string>{"kept.jpg", "Cars/", "Cars/inside.gif", "bitmap.bmp",
                                      "new.JPEG", "twin.jpg", "Upper.PNG"}));
  EXPECT_EQ(Describe(found.added), (std::vector<std::string>{"Cars/inside.gif", "bitmap.bmp",
                                                             "new.JPEG", "twin.jpg", "Upper.PNG"}));
  EXPECT_EQ(found.select->Text(), "inside.gif");
  EXPECT_EQ(found.folders, 0);
  EXPECT_EQ(&kept, tree.Root().ChildAt(0));
  EXPECT_EQ(FoundPicturesText(found),
            "5 pictures found in the folder \"Logo Directory\" were added to the logo directory.");
  EXPECT_FALSE(Find().changed);
}

TEST_F(AddedOutside, NewFoldersGoBeforeTheLogosOfTheirParent) {
  tree.Append(tree.Root(), TLogoDirObject(NodeKind::Folder, "Animals"));
  tree.Append(tree.Root(), TLogoDirObject(NodeKind::Logo, "first.jpg"));
  Picture("first.jpg");
  Picture("Animals/cat.png");
  Picture("Birds/robin.png");
  Picture("Birds/Owls/barn.png");
  Picture("Zoo/lion.png");
  FoundPictures found = Find();
  EXPECT_EQ(Describe(tree),
            (std::vector<std::string>{"Animals/", "Animals/cat.png", "Birds/", "Birds/Owls/",
                                      "Birds/Owls/barn.png", "Birds/robin.png", "Zoo/",
                                      "Zoo/lion.png", "first.jpg"}));
  EXPECT_EQ(found.folders, 3);
  EXPECT_EQ(found.logos, 4);
  EXPECT_EQ(found.select->Text(), "cat.png");

  TempDir bare;
  LogoTree alone;
  LogoDirContext context{alone, nullptr, bare.Path(), prompts};
  FoundPictures none = FindPicturesAddedOutside(context, newLogoTemplate);
  EXPECT_FALSE(none.changed);
  EXPECT_EQ(alone.Root().ChildCount(), 0);

  FoundPictures one;
  one.logos = 1;
  EXPECT_EQ(FoundPicturesText(one),
            "1 picture found in the folder \"Logo Directory\" was added to the logo directory.");
}

}  // namespace
}  // namespace quillet

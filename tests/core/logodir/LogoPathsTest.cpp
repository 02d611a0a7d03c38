#include "core/logodir/LogoPaths.h"

#include <string>

#include <gtest/gtest.h>

#include "core/app/ErrorReport.h"

namespace quillet {
namespace {

constexpr const char* kFolder = "/opt/quillet/";

// Root
//   Cars/          photo.jpg, Photo2.gif, Sports/
//   top.png
struct SampleTree {
  LogoTree tree;
  LogoNode& root = tree.Root();
  LogoNode& cars = tree.Append(root, TLogoDirObject(NodeKind::Folder, "Cars"));
  LogoNode& photo = tree.Append(cars, TLogoDirObject(NodeKind::Logo, "photo.jpg"));
  LogoNode& photo2 = tree.Append(cars, TLogoDirObject(NodeKind::Logo, "Photo2.gif"));
  LogoNode& sports = tree.Append(cars, TLogoDirObject(NodeKind::Folder, "Sports"));
  LogoNode& top = tree.Append(root, TLogoDirObject(NodeKind::Logo, "top.png"));
};

TEST(LogoPaths, FolderAndNodePaths) {
  SampleTree t;
  struct Case {
    const LogoNode* node;
    const char* folderPath;
    const char* nodePath;
  } cases[] = {
      {&t.root, "/opt/quillet/Logo Directory/", "/opt/quillet/Logo Directory"},
      {&t.cars, "/opt/quillet/Logo Directory/Cars/", "/opt/quillet/Logo Directory/Cars"},
      {&t.photo, "/opt/quillet/Logo Directory/Cars/", "/opt/quillet/Logo Directory/Cars/photo.jpg"},
      {&t.sports, "/opt/quillet/Logo Directory/Cars/Sports/",
       "/opt/quillet/Logo Directory/Cars/Sports"},
      {&t.top, "/opt/quillet/Logo Directory/", "/opt/quillet/Logo Directory/top.png"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FolderPath(*c.node, kFolder), c.folderPath) << c.node->Text();
    EXPECT_EQ(NodePath(*c.node, kFolder), c.nodePath) << c.node->Text();
  }
}

TEST(LogoPaths, LogoFilePathOnlyForLogos) {
  SampleTree t;
  EXPECT_EQ(LogoFilePath(t.photo, kFolder), "/opt/quillet/Logo Directory/Cars/photo.jpg");
  for (const LogoNode* node : {&t.root, &t.cars}) {
    try {
      LogoFilePath(*node, kFolder);
      ADD_FAILURE() << "no error for " << node->Text();
    } catch (const QuilletError& error) {
      EXPECT_STREQ(error.what(), "Unable to get the full file name for non-logo tree node");
    }
  }
}

TEST(LogoNames, NameTestsCompareBaseNamesIgnoringCase) {
  SampleTree t;
  struct Case {
    const char* name;
    bool free;
  } cases[] = {
      {"PHOTO", false},  {"photo", false}, {"photo2", false},
      {"SPORTS", false}, {"photo3", true}, {"photo.jpg", true},  // compared whole, never split
      {"Phot", true},    {"", true},       {"Cars", true},       // Cars is not a child of Cars
  };
  for (const auto& c : cases)
    EXPECT_EQ(NameIsFree(t.cars, c.name), c.free) << c.name;
  EXPECT_FALSE(NameIsFree(t.root, "cars"));
  EXPECT_FALSE(NameIsFree(t.root, "Top"));
}

TEST(LogoNames, NameIsFreeExceptIgnoresTheExceptionOnly) {
  SampleTree t;
  struct Case {
    const char* name;
    const char* exception;
    bool free;
  } cases[] = {
      {"PHOTO", "photo", true},   {"photo", "PHOTO", true},   {"PHOTO", "photo2", false},
      {"photo2", "photo", false}, {"sports", "Sports", true}, {"new", "photo", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NameIsFreeExcept(t.cars, c.name, c.exception), c.free)
        << c.name << " except " << c.exception;
}

TEST(LogoNames, UniqueLogoNameCountsFromTwoWithoutBlank) {
  SampleTree t;
  struct Case {
    const LogoNode* folder;
    const char* base;
    const char* unique;
  } cases[] = {
      {&t.cars, "photo", "photo3"},  {&t.cars, "PHOTO", "PHOTO3"},   {&t.cars, "sports", "sports2"},
      {&t.cars, "sunset", "sunset"}, {&t.cars, "Photo2", "Photo22"}, {&t.root, "Cars", "Cars2"},
      {&t.sports, "photo", "photo"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(UniqueLogoName(*c.folder, c.base), c.unique) << c.base;
}

TEST(LogoNames, DefaultFolderNameCountsFromTwoWithBlank) {
  LogoTree tree;
  LogoNode& root = tree.Root();
  EXPECT_EQ(DefaultFolderName(root), "New Folder");
  tree.Append(root, TLogoDirObject(NodeKind::Folder, "new folder"));
  EXPECT_EQ(DefaultFolderName(root), "New Folder 2");
  // A logo's base name counts as well as a folder's name.
  tree.Append(root, TLogoDirObject(NodeKind::Logo, "New Folder 2.jpg"));
  EXPECT_EQ(DefaultFolderName(root), "New Folder 3");
}

TEST(LogoNames, TargetFolderIsTheSelectedFolderOrTheLogosFolder) {
  SampleTree t;
  struct Case {
    LogoNode* selected;
    const LogoNode* target;
  } cases[] = {
      {nullptr, &t.root},  {&t.root, &t.root},     {&t.cars, &t.cars},
      {&t.photo, &t.cars}, {&t.sports, &t.sports}, {&t.top, &t.root},
  };
  for (const auto& c : cases)
    EXPECT_EQ(&TargetFolderNode(t.tree, c.selected), c.target)
        << (c.selected ? c.selected->Text() : "none");
}

TEST(LogoNames, SafeNamesStayInTheirFolder) {
  using namespace std::string_literals;
  struct Case {
    std::string name;
    bool safe;
  } cases[] = {
      {"photo.jpg", true}, {"New Folder 2", true}, {".hidden", true},
      {"...", true},       {"a\\b", true},         {"", false},
      {".", false},        {"..", false},          {"a/b", false},
      {"../x.png", false}, {"/etc", false},        {"a\0b"s, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsSafeNodeName(c.name), c.safe) << c.name;
}

}  // namespace
}  // namespace quillet

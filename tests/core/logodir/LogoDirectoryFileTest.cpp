#include "core/logodir/LogoDirectoryFile.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TreeDescription.h"
#include "support/FileSizeLimit.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::Describe;
using testing::FileSizeLimit;
using testing::ScriptedPrompts;
using testing::TempDir;

// A logodirnode element with every required attribute; `extra` adds more.
std::string Node(const std::string& kind, const std::string& name, const std::string& extra = "",
                 const std::string& children = "") {
  std::string open = "<logodirnode nodekind=\"" + kind + "\" nodename=\"" + name +
                     "\" uploadurl=\"\"" + (extra.empty() ? "" : " " + extra);
  return children.empty() ? open + "/>" : open + ">" + children + "</logodirnode>";
}

std::string Directory(const std::string& body) {
  return "<logodirectory>" + body + "</logodirectory>";
}

std::vector<std::string> Describe(const std::vector<DroppedElement>& dropped) {
  std::vector<std::string> out;
  for (const auto& d : dropped)
    out.push_back(d.path + " (" + d.reason + ")");
  return out;
}

class LogoDirectoryFileTest : public ::testing::Test {
 protected:
  void SetUp() override { dir.MakeDir("Logo Directory"); }

  void File(const std::string& relative) { dir.Write("Logo Directory/" + relative, "x"); }
  void Folder(const std::string& relative) { dir.MakeDir("Logo Directory/" + relative); }

  LogoDirectoryLoadResult Load(const std::string& xml) {
    dir.Write("logodirectory.xml", xml);
    return LoadLogoDirectory(tree, dir.Path(), prompts);
  }

  // The object of the only node below the root.
  const TLogoDirObject& OnlyNode() {
    EXPECT_EQ(tree.Root().ChildCount(), 1);
    static const TLogoDirObject none;
    return tree.Root().ChildCount() == 1 ? tree.Root().ChildAt(0)->Data() : none;
  }

  TempDir dir;
  LogoTree tree;
  ScriptedPrompts prompts;
};

TEST_F(LogoDirectoryFileTest, NoFileLeavesTheRootAlone) {
  auto result = LoadLogoDirectory(tree, dir.Path(), prompts);
  EXPECT_EQ(result.status, LogoDirectoryLoad::NoFile);
  EXPECT_EQ(tree.Root().ChildCount(), 0);
  EXPECT_TRUE(prompts.Lines().empty());
}

TEST_F(LogoDirectoryFileTest, WritesEveryAttributeInOrder) {
  File("photo.jpg");
  TLogoDirObject logo(NodeKind::Logo, "photo.jpg");
  logo.uploadurl = "http://wap.example/?id=7&x=<1>";
  tree.Append(tree.Root(), logo);
  EXPECT_EQ(LogoDirectoryDocument(tree),
            "<logodirectory><logodirnode nodekind=\"logo\" nodename=\"photo.jpg\" "
            "frameleft=\"-1\" frametop=\"-1\" framewidth=\"-1\" frameheight=\"-1\" "
            "phonemakeid=\"-1\" phonemodelid=\"-1\" logowidth=\"128\" logoheight=\"128\" "
            "fitkind=\"bigger\" keepproportions=\"yes\" "
            "uploadurl=\"http://wap.example/?id=7&amp;x=&lt;1>\"/></logodirectory>");
  ASSERT_TRUE(SaveLogoDirectory(tree, dir.Path(), prompts));
  EXPECT_EQ(dir.Read("logodirectory.xml"), LogoDirectoryDocument(tree));
  EXPECT_TRUE(prompts.Lines().empty());
}

TEST_F(LogoDirectoryFileTest, ThreeLevelTreeSurvivesSaveAndLoad) {
  Folder("Cars/Sports");
  File("Cars/Sports/fast.jpg");
  File("Cars/photo.jpg");
  File("top.png");
  Folder("Empty");

  LogoNode& cars = tree.Append(tree.Root(), TLogoDirObject(NodeKind::Folder, "Cars"));
  LogoNode& sports = tree.Append(cars, TLogoDirObject(NodeKind::Folder, "Sports"));
  TLogoDirObject fast(NodeKind::Logo, "fast.jpg");
  fast.frameleft = -20;
  fast.frametop = 3;
  fast.framewidth = 400;
  fast.frameheight = 2147483647;
  fast.phonemakeid = 4;
  fast.phonemodelid = 0;
  fast.logowidth = 101;
  fast.logoheight = 80;
  fast.fitkind = FitKind::Width;
  fast.keepproportions = false;
  fast.uploadurl = "http://wap.example/?id=1";
  tree.Append(sports, fast);
  tree.Append(cars, TLogoDirObject(NodeKind::Logo, "photo.jpg"));  // unset frame, no address
  TLogoDirObject top(NodeKind::Logo, "top.png");
  top.fitkind = FitKind::Smaller;
  tree.Append(tree.Root(), top);
  TLogoDirObject empty(NodeKind::Folder, "Empty");
  tree.Append(tree.Root(), empty);
  TLogoDirObject height(NodeKind::Logo, "top.png");
  height.fitkind = FitKind::Height;

  ASSERT_TRUE(SaveLogoDirectory(tree, dir.Path(), prompts));
  LogoTree loaded;
  auto result = LoadLogoDirectory(loaded, dir.Path(), prompts);
  EXPECT_EQ(result.status, LogoDirectoryLoad::Loaded);
  EXPECT_TRUE(result.dropped.empty());
  EXPECT_TRUE(prompts.Lines().empty());
  EXPECT_TRUE(loaded.Root().Expanded());
  EXPECT_EQ(Describe(loaded),
            (std::vector<std::string>{"Cars/", "Cars/Sports/", "Cars/Sports/fast.jpg",
                                      "Cars/photo.jpg", "top.png", "Empty/"}));
  const LogoNode& lc = *loaded.Root().ChildAt(0);
  EXPECT_EQ(lc.Data(), cars.Data());
  EXPECT_EQ(lc.ChildAt(0)->Data(), sports.Data());
  EXPECT_EQ(lc.ChildAt(0)->ChildAt(0)->Data(), fast);
  EXPECT_EQ(lc.ChildAt(1)->Data(), TLogoDirObject(NodeKind::Logo, "photo.jpg"));
  EXPECT_FALSE(lc.ChildAt(1)->Data().HasFrame());
  EXPECT_EQ(loaded.Root().ChildAt(1)->Data(), top);
  EXPECT_EQ(loaded.Root().ChildAt(2)->Data(), empty);
  EXPECT_FALSE(lc.Expanded());
  EXPECT_EQ(LogoDirectoryDocument(loaded), LogoDirectoryDocument(tree));

  // The fit kind "height" too comes back.
  tree.Root().ChildAt(1)->Data() = height;
  ASSERT_TRUE(SaveLogoDirectory(tree, dir.Path(), prompts));
  LogoTree again;
  LoadLogoDirectory(again, dir.Path(), prompts);
  EXPECT_EQ(again.Root().ChildAt(1)->Data().fitkind, FitKind::Height);
}

TEST_F(LogoDirectoryFileTest, MissingOrUnreadableNumbersFallBackOneByOne) {
  File("a.jpg");
  struct Case {
    const char* attributes;
    std::vector<int> numbers;  // frame l,t,w,h, make, model, logo w,h
  } cases[] = {
      {"", {0, 0, 16, 16, -1, -1, 16, 16}},
      {"frameleft=\"abc\" frametop=\"1.5\" framewidth=\"\" frameheight=\"12px\" "
       "phonemakeid=\"0x1\" phonemodelid=\"2147483648\" logowidth=\"--3\" logoheight=\" \"",
       {0, 0, 16, 16, -1, -1, 16, 16}},
      {"frameleft=\"5\" framewidth=\"oops\" logowidth=\"200\" phonemodelid=\"3\"",
       {5, 0, 16, 16, -1, 3, 200, 16}},
      {"frameleft=\"-1\" frametop=\"-1\" framewidth=\"-1\" frameheight=\"-1\" "
       "phonemakeid=\" 7 \" phonemodelid=\"+2\" logowidth=\"64\" logoheight=\"32\"",
       {-1, -1, -1, -1, 7, 2, 64, 32}},
  };
  for (const auto& c : cases) {
    tree.Clear();
    Load(Directory(Node("logo", "a.jpg", c.attributes)));
    const TLogoDirObject& d = OnlyNode();
    std::vector<int> numbers = {d.frameleft,   d.frametop,     d.framewidth, d.frameheight,
                                d.phonemakeid, d.phonemodelid, d.logowidth,  d.logoheight};
    EXPECT_EQ(numbers, c.numbers) << c.attributes;
    EXPECT_EQ(d.fitkind, FitKind::Bigger) << c.attributes;
    EXPECT_FALSE(d.keepproportions) << c.attributes;
    EXPECT_EQ(d.uploadurl, "");
  }
  EXPECT_TRUE(prompts.Lines().empty());
}

TEST_F(LogoDirectoryFileTest, LogoSizesOfTodaysPhonesAreKept) {
  File("a.jpg");
  struct Case {
    const char* width;
    const char* height;
    int readWidth, readHeight;
  } cases[] = {
      {"16", "400", 16, 400},       {"401", "1080", 401, 1080}, {"1179", "2556", 1179, 2556},
      {"4096", "4097", 4096, 4096}, {"15", "0", 16, 16},        {"-3", "2147483647", 16, 4096},
  };
  for (const auto& c : cases) {
    tree.Clear();
    Load(Directory(
        Node("logo", "a.jpg",
             std::string("logowidth=\"") + c.width + "\" logoheight=\"" + c.height + "\"")));
    EXPECT_EQ(OnlyNode().logowidth, c.readWidth) << c.width;
    EXPECT_EQ(OnlyNode().logoheight, c.readHeight) << c.height;
  }
  // A stored 1080 survives a save and the next start.
  ASSERT_TRUE(SaveLogoDirectory(tree, dir.Path(), prompts));
  tree.Clear();
  dir.Write("logodirectory.xml",
            Directory(Node("logo", "a.jpg", "logowidth=\"1080\" logoheight=\"1920\"")));
  LoadLogoDirectory(tree, dir.Path(), prompts);
  ASSERT_TRUE(SaveLogoDirectory(tree, dir.Path(), prompts));
  LogoTree again;
  LoadLogoDirectory(again, dir.Path(), prompts);
  ASSERT_EQ(again.Root().ChildCount(), 1);
  EXPECT_EQ(again.Root().ChildAt(0)->Data().logowidth, 1080);
  EXPECT_EQ(again.Root().ChildAt(0)->Data().logoheight, 1920);
  EXPECT_TRUE(prompts.Lines().empty());
}

TEST_F(LogoDirectoryFileTest, WordsAreReadInTheirOwnLetterCase) {
  File("a.jpg");
  struct Case {
    const char* attributes;
    FitKind fit;
    bool keep;
  } cases[] = {
      {"fitkind=\"width\" keepproportions=\"yes\"", FitKind::Width, true},
      {"fitkind=\"height\" keepproportions=\"no\"", FitKind::Height, false},
      {"fitkind=\"smaller\"", FitKind::Smaller, false},
      {"fitkind=\"bigger\"", FitKind::Bigger, false},
      {"fitkind=\"Width\" keepproportions=\"Yes\"", FitKind::Bigger, false},
      {"fitkind=\"SMALLER\" keepproportions=\"YES\"", FitKind::Bigger, false},
      {"fitkind=\"\" keepproportions=\"1\"", FitKind::Bigger, false},
      {"FitKind=\"width\" KeepProportions=\"yes\"", FitKind::Bigger, false},  // names exact
  };
  for (const auto& c : cases) {
    tree.Clear();
    Load(Directory(Node("logo", "a.jpg", c.attributes)));
    EXPECT_EQ(OnlyNode().fitkind, c.fit) << c.attributes;
    EXPECT_EQ(OnlyNode().keepproportions, c.keep) << c.attributes;
  }
  EXPECT_TRUE(prompts.Lines().empty());
}

TEST_F(LogoDirectoryFileTest, ElementNamesAndKindsAreReadInAnyCase) {
  Folder("Cars");
  File("Cars/a.jpg");
  auto result = Load(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- saved elsewhere -->\n"
      "<LogoDirectory>\n  text <LOGODIRNODE nodekind=\"FOLDER\" nodename=\"Cars\" "
      "uploadurl=\"\"><!-- c --><LogoDirNode nodekind=\"Logo\" nodename=\"a.jpg\" "
      "uploadurl=\"u\"/></LOGODIRNODE></LogoDirectory>");
  EXPECT_EQ(result.status, LogoDirectoryLoad::Loaded);
  EXPECT_EQ(Describe(tree), (std::vector<std::string>{"Cars/", "Cars/a.jpg"}));
  EXPECT_EQ(tree.Root().ChildAt(0)->ChildAt(0)->Data().uploadurl, "u");
  EXPECT_TRUE(prompts.Lines().empty());
}

TEST_F(LogoDirectoryFileTest, DropsNodesThatAreGoneOrCannotBeFollowed) {
  File("kept.jpg");
  File("Cars/photo.jpg");
  File("Stray.png");  // on disk but not listed: never shown
  dir.Write("outside.png", "x");
  Folder("Cars/Inner");
  std::string body = Node("logo", "kept.jpg") + Node("logo", "deleted.jpg") +
                     // A folder whose directory is gone goes with everything inside it,
                     // even a logo whose file exists elsewhere.
                     Node("folder", "Gone", "", Node("logo", "kept.jpg") + Node("folder", "Cars")) +
                     Node("folder", "Cars", "",
                          Node("logo", "photo.jpg", "", Node("logo", "kept.jpg")) +
                              Node("logo", "Inner") +      // a directory is not a logo's file
                              Node("folder", "photo.jpg")  // nor a file a folder
                          ) +
                     Node("picture", "kept.jpg") + Node("logo", "") + Node("", "kept.jpg") +
                     Node("logo", "../outside.png") + Node("folder", "..") + Node("folder", ".") +
                     Node("logo", "Cars/photo.jpg") +
                     "<other nodekind=\"logo\" nodename=\"kept.jpg\"/>" + "<other/>";
  auto result = Load(Directory(body));

  EXPECT_EQ(result.status, LogoDirectoryLoad::Loaded);
  EXPECT_TRUE(prompts.Lines().empty());
  EXPECT_TRUE(tree.Root().Expanded());
  EXPECT_EQ(Describe(tree), (std::vector<std::string>{"kept.jpg", "Cars/", "Cars/photo.jpg"}));
  EXPECT_EQ(Describe(result.dropped), (std::vector<std::string>{
                                          "deleted.jpg (missing file)",
                                          "Gone (missing folder)",
                                          "Cars/photo.jpg/kept.jpg (inside a logo)",
                                          "Cars/Inner (missing file)",
                                          "Cars/photo.jpg (missing folder)",
                                          "kept.jpg (unknown kind \"picture\")",
                                          "<logodirnode> (empty name)",
                                          "kept.jpg (empty kind)",
                                          "../outside.png (unsafe name)",
                                          ".. (unsafe name)",
                                          ". (unsafe name)",
                                          "Cars/photo.jpg (unsafe name)",
                                          "kept.jpg (not a logodirnode element)",
                                          "<other> (not a logodirnode element)",
                                      }));
}

TEST_F(LogoDirectoryFileTest, WrongRootElementIsCorrupt) {
  File("a.jpg");
  auto result = Load("<logodir>" + Node("logo", "a.jpg") + "</logodir>");
  EXPECT_EQ(result.status, LogoDirectoryLoad::Corrupt);
  EXPECT_EQ(prompts.Lines(),
            std::vector<std::string>{"Error: The file of mobile logo directory is corrupt."});
  EXPECT_EQ(tree.Root().ChildCount(), 0);
  EXPECT_FALSE(tree.Root().Expanded());
}

TEST_F(LogoDirectoryFileTest, FaultsStopTheReadAndKeepWhatCameBefore) {
  Folder("Cars");
  File("a.jpg");
  File("b.jpg");
  File("Cars/c.jpg");
  File("Cars/d.jpg");
  const std::string a = Node("logo", "a.jpg");
  struct Case {
    const char* what;
    std::string xml;
    std::vector<std::string> kept;
  } cases[] = {
      {"not well-formed", Directory(a + "<logodirnode"), {}},
      {"empty file", "", {}},
      {"no nodename",
       Directory(a + "<logodirnode nodekind=\"logo\" uploadurl=\"\"/>" + Node("logo", "b.jpg")),
       {"a.jpg"}},
      {"no nodekind", Directory(a + "<logodirnode nodename=\"b.jpg\" uploadurl=\"\"/>"), {"a.jpg"}},
      {"no uploadurl",
       Directory(a + "<logodirnode nodekind=\"logo\" nodename=\"b.jpg\"/>"),
       {"a.jpg"}},
      {"attribute name in capitals",
       Directory(a + "<logodirnode nodekind=\"logo\" nodename=\"b.jpg\" UploadURL=\"\"/>"),
       {"a.jpg"}},
      {"deep inside a folder",
       Directory(a +
                 Node("folder", "Cars", "",
                      Node("logo", "c.jpg") +
                          "<logodirnode nodekind=\"logo\" nodename=\"d.jpg\"/>" +
                          Node("logo", "d.jpg")) +
                 Node("logo", "b.jpg")),
       {"a.jpg", "Cars/", "Cars/c.jpg"}},
  };
  for (const auto& c : cases) {
    tree.Clear();
    tree.Root().SetExpanded(false);
    prompts.Clear();
    auto result = Load(c.xml);
    EXPECT_EQ(result.status, LogoDirectoryLoad::Failed) << c.what;
    EXPECT_EQ(prompts.Lines(),
              std::vector<std::string>{"Error: Error loading mobile logo directory."})
        << c.what;
    EXPECT_EQ(Describe(tree), c.kept) << c.what;
    EXPECT_FALSE(tree.Root().Expanded()) << c.what;
  }
}

TEST_F(LogoDirectoryFileTest, RequiredAttributesOfSkippedNodesDoNotMatter) {
  File("a.jpg");
  // Only nodes that are taken need an address; a missing name fails even so.
  auto result = Load(Directory("<logodirnode nodekind=\"logo\" nodename=\"gone.jpg\"/>" +
                               Node("logo", "a.jpg") + "<other nodename=\"x\"/>"));
  EXPECT_EQ(result.status, LogoDirectoryLoad::Loaded);
  EXPECT_EQ(Describe(tree), std::vector<std::string>{"a.jpg"});
  EXPECT_TRUE(prompts.Lines().empty());
}

TEST_F(LogoDirectoryFileTest, FailedSaveKeepsTheOldFile) {
  dir.Write("logodirectory.xml", "<logodirectory/>");
  File("a.jpg");
  tree.Append(tree.Root(), TLogoDirObject(NodeKind::Logo, "a.jpg"));
  bool saved = true;
  {
    FileSizeLimit fullDisk(16);
    saved = SaveLogoDirectory(tree, dir.Path(), prompts);
  }
  EXPECT_FALSE(saved);
  EXPECT_EQ(prompts.Lines(), std::vector<std::string>{"Error: Unable to save mobile directory"});
  EXPECT_EQ(dir.Read("logodirectory.xml"), "<logodirectory/>");

  prompts.Clear();
  EXPECT_FALSE(SaveLogoDirectory(tree, dir.Path() + "missing/", prompts));
  EXPECT_EQ(prompts.Lines(), std::vector<std::string>{"Error: Unable to save mobile directory"});
}

TEST_F(LogoDirectoryFileTest, PartlyReadFileIsKeptBeforeItIsReplaced) {
  File("a.jpg");
  File("b.jpg");
  const std::string damaged =
      "<logodirectory><logodirnode nodekind=\"logo\" nodename=\"a.jpg\" uploadurl=\"\"/>"
      "<logodirnode nodekind=\"logo\" nodename=\"b.jpg\"/></logodirectory>";
  EXPECT_TRUE(LeftFileUnread(Load(damaged).status));
  EXPECT_FALSE(LeftFileUnread(LogoDirectoryLoad::Loaded));
  EXPECT_FALSE(LeftFileUnread(LogoDirectoryLoad::NoFile));

  EXPECT_EQ(KeepDamagedLogoDirectory(dir.Path()), "logodirectory.damaged.xml");
  EXPECT_EQ(KeepDamagedLogoDirectory(dir.Path()), "logodirectory.damaged2.xml");
  ASSERT_TRUE(SaveLogoDirectory(tree, dir.Path(), prompts));
  EXPECT_EQ(dir.Read("logodirectory.damaged.xml"), damaged);
  EXPECT_NE(dir.Read("logodirectory.xml"), damaged);

  TempDir empty;
  EXPECT_EQ(KeepDamagedLogoDirectory(empty.Path()), "");
}

}  // namespace
}  // namespace quillet

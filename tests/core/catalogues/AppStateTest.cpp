#include "core/catalogues/AppState.h"


#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/app/ErrorReport.h"
#include "support/FileSizeLimit.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::FileSizeLimit;
using testing::ScriptedPrompts;
using testing::TempDir;

// Root
//   A/        d.jpg
//   Cars/     Sub/ photo.jpg
//   top.png
struct SampleTree {
  LogoTree tree;
  LogoNode& root = tree.Root();
  LogoNode& a = tree.Append(root, TLogoDirObject(NodeKind::Folder, "A"));
  LogoNode& d = tree.Append(a, TLogoDirObject(NodeKind::Logo, "d.jpg"));
  LogoNode& cars = tree.Append(root, TLogoDirObject(NodeKind::Folder, "Cars"));
  LogoNode& sub = tree.Append(cars, TLogoDirObject(NodeKind::Folder, "Sub"));
  LogoNode& photo = tree.Append(sub, TLogoDirObject(NodeKind::Logo, "photo.jpg"));
  LogoNode& top = tree.Append(root, TLogoDirObject(NodeKind::Logo, "top.png"));

  std::vector<std::string> ExpandedTexts() const {
    std::vector<std::string> texts;
    for (const LogoNode* n : {&root, &a, &d, &cars, &sub, &photo, &top})
      if (n->Expanded()) texts.push_back(n->Text());
    return texts;
  }
};

std::string AppState(const std::string& body) {
  return "<appstate>" + body + "</appstate>";
}
std::string PathElement(const std::string& value) {
  return "<activenodepath value=\"" + value + "\"/>";
}

TEST(AppState, ActiveNodePathLeavesOutTheRoot) {
  SampleTree t;
  EXPECT_EQ(ActiveNodePath(t.root), "");
  EXPECT_EQ(ActiveNodePath(t.top), "top.png");
  EXPECT_EQ(ActiveNodePath(t.sub), "Cars/Sub");
  EXPECT_EQ(ActiveNodePath(t.photo), "Cars/Sub/photo.jpg");
}

TEST(AppState, WritesThePathOrNothingForTheRoot) {
  SampleTree t;
  EXPECT_EQ(AppStateDocument(&t.photo),
            "<appstate><activenodepath value=\"Cars/Sub/photo.jpg\"/></appstate>");
  EXPECT_EQ(AppStateDocument(&t.root), "<appstate/>");
  EXPECT_EQ(AppStateDocument(nullptr), "<appstate/>");
}

TEST(AppState, WrittenSelectionComesBackExpanded) {
  TempDir dir;
  ScriptedPrompts prompts;
  SampleTree before;
  ASSERT_TRUE(WriteAppState(&before.photo, dir.Path(), prompts));
  EXPECT_EQ(dir.Read("appstate.xml"), AppStateDocument(&before.photo));

  SampleTree after;
  EXPECT_EQ(ReadAppState(after.tree, dir.Path(), prompts), &after.photo);
  EXPECT_EQ(after.ExpandedTexts(),
            (std::vector<std::string>{"Logo Directory", "Cars", "Sub", "photo.jpg"}));
  EXPECT_TRUE(prompts.Lines().empty());

  ASSERT_TRUE(WriteAppState(nullptr, dir.Path(), prompts));
  EXPECT_EQ(dir.Read("appstate.xml"), "<appstate/>");
  SampleTree none;
  EXPECT_EQ(ReadAppState(none.tree, dir.Path(), prompts), nullptr);
  EXPECT_TRUE(none.ExpandedTexts().empty());
}

TEST(AppState, FollowsAStoredPathAsFarAsTheTreeAllows) {
  struct Case {
    std::string file;
    std::string selected;  // active node path; "" is the root
    std::vector<std::string> expanded;
  } cases[] = {
      {AppState(PathElement("top.png")), "top.png", {"Logo Directory", "top.png"}},
      {AppState(PathElement("/Cars//Sub/")), "Cars/Sub", {"Logo Directory", "Cars", "Sub"}},
      // A missing middle segment is passed over: the next one is looked up
      // in the same folder.
      {AppState(PathElement("A/B/c.jpg")), "A", {"Logo Directory", "A"}},
      {AppState(PathElement("A/B/d.jpg")), "A/d.jpg", {"Logo Directory", "A", "d.jpg"}},
      // Letter case must match.
      {AppState(PathElement("Cars/sub/photo.jpg")), "Cars", {"Logo Directory", "Cars"}},
      {AppState(PathElement("cars/Sub")), "", {"Logo Directory"}},
      {AppState(PathElement("")), "", {"Logo Directory"}},
      // Each element is applied in turn; the last one decides.
      {AppState(PathElement("A/d.jpg") + "<other value=\"top.png\"/>text<!-- c -->" +
                PathElement("Cars")),
       "Cars",
       {"Logo Directory", "A", "d.jpg", "Cars"}},
      {"<?xml version=\"1.0\"?><AppState><ActiveNodePath value=\"Cars/Sub\"/></AppState>",
       "Cars/Sub",
       {"Logo Directory", "Cars", "Sub"}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    dir.Write("appstate.xml", c.file);
    ScriptedPrompts prompts;
    SampleTree t;
    LogoNode* selected = ReadAppState(t.tree, dir.Path(), prompts);
    ASSERT_NE(selected, nullptr) << c.file;
    EXPECT_EQ(ActiveNodePath(*selected), c.selected) << c.file;
    EXPECT_EQ(t.ExpandedTexts(), c.expanded) << c.file;
    EXPECT_TRUE(prompts.Lines().empty()) << c.file;
  }
}

TEST(AppState, MissingFileOrWrongRootSelectNothing) {
  TempDir dir;
  ScriptedPrompts prompts;
  SampleTree t;
  EXPECT_EQ(ReadAppState(t.tree, dir.Path(), prompts), nullptr);
  EXPECT_TRUE(prompts.Lines().empty());

  dir.Write("appstate.xml", "<state>" + PathElement("Cars") + "</state>");
  EXPECT_EQ(ReadAppState(t.tree, dir.Path(), prompts), nullptr);
  EXPECT_EQ(prompts.Lines(), std::vector<std::string>{"Error: Application state file is corrupt."});
  EXPECT_TRUE(t.ExpandedTexts().empty());
}

TEST(AppState, UnreadableFileIsAnErrorThatChangesNothing) {
  const char* files[] = {
      "<appstate><activenodepath value=\"Cars\"></appstate>",
      "",
      "<appstate><activenodepath value=\"Cars\"/><activenodepath/></appstate>",
      "<appstate><activenodepath Value=\"Cars\"/></appstate>",
  };
  for (const char* file : files) {
    TempDir dir;
    dir.Write("appstate.xml", file);
    ScriptedPrompts prompts;
    SampleTree t;
    EXPECT_THROW(ReadAppState(t.tree, dir.Path(), prompts), QuilletError) << file;
    EXPECT_TRUE(prompts.Lines().empty()) << file;
    EXPECT_TRUE(t.ExpandedTexts().empty()) << file;
  }
}

TEST(AppState, FailedWriteKeepsTheOldFile) {
  TempDir dir;
  ScriptedPrompts prompts;
  SampleTree t;
  dir.Write("appstate.xml", "<appstate/>");
  bool written = true;
  {
    FileSizeLimit fullDisk(16);
    written = WriteAppState(&t.photo, dir.Path(), prompts);
  }
  EXPECT_FALSE(written);
  EXPECT_EQ(dir.Read("appstate.xml"), "<appstate/>");
  EXPECT_FALSE(WriteAppState(&t.photo, dir.Path() + "missing/", prompts));
  EXPECT_EQ(prompts.Lines(),
            (std::vector<std::string>{"Error: Unable to save current application state",
                                      "Error: Unable to save current application state"}));
}

}  // namespace
}  // namespace quillet

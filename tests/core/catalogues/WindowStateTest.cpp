#include "core/catalogues/WindowState.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::FileSizeLimit;
using testing::TempDir;

WindowState Sample() {
  WindowState state;
  state.geometry = WindowGeometry{-40, 25, 1280, 900};
  state.maximized = true;
  state.fitImageIntoPane = true;
  state.paneSizes["MainSplitter"] = {220, 1060};
  state.paneSizes["PictureSplitter"] = {0, 610, 290};
  return state;
}

std::string Wrap(const std::string& body) {
  return "<windowstate>" + body + "</windowstate>";
}

TEST(WindowState, SurvivesAWriteAndTheNextStart) {
  TempDir dir;
  ASSERT_TRUE(WriteWindowState(Sample(), dir.Path()));
  EXPECT_EQ(ReadWindowState(dir.Path()), Sample());
  EXPECT_EQ(dir.Read("windowstate.xml"),
            "<windowstate><left value=\"-40\"/><top value=\"25\"/><width value=\"1280\"/>"
            "<height value=\"900\"/><maximized value=\"yes\"/>"
            "<fitimageintopane value=\"yes\"/>"
            "<panes name=\"MainSplitter\" value=\"220,1060\"/>"
            "<panes name=\"PictureSplitter\" value=\"0,610,290\"/></windowstate>");

  // The defaults are written and read back as they are: no geometry.
  ASSERT_TRUE(WriteWindowState(WindowState(), dir.Path()));
  EXPECT_EQ(ReadWindowState(dir.Path()), WindowState());
  // Written whole: no temporary file stays beside it.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.Path()))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"windowstate.xml"});
}

TEST(WindowState, AMissingOrDamagedFileGivesTheDefaultsSilently) {
  const std::string good = WindowStateDocument(Sample());
  const std::string withNul = good.substr(0, 40) + std::string(1, '\0') + good.substr(40);
  struct Case {
    const char* what;
    std::string content;
  } cases[] = {
      {"empty file", ""},
      {"not XML", "window: maximized\n"},
      {"cut short", good.substr(0, good.size() / 2)},
      {"a raw NUL byte", withNul},
      {"another root", "<options><maximized value=\"yes\"/></options>"},
      {"two roots", good + good},
  };
  for (const auto& c : cases) {
    TempDir dir;
    dir.Write("windowstate.xml", c.content);
    EXPECT_EQ(ReadWindowState(dir.Path()), WindowState()) << c.what;
  }
  TempDir none;
  EXPECT_EQ(ReadWindowState(none.Path()), WindowState());
  none.MakeDir("windowstate.xml");
  EXPECT_EQ(ReadWindowState(none.Path()), WindowState());
}

TEST(WindowState, EachUnusableValueFallsBackOnItsOwn) {
  struct Case {
    const char* what;
    std::string body;
    WindowState expected;
  };
  WindowState geometryOnly;
  geometryOnly.geometry = WindowGeometry{0, 0, 640, 480};
  WindowState panesOnly;
  panesOnly.paneSizes["B"] = {1, 2};
  WindowState flags;
  flags.maximized = true;
  flags.fitImageIntoPane = false;
  const std::string geometry =
      "<left value=\"0\"/><top value=\"0\"/><width value=\"640\"/><height value=\"480\"/>";
  const Case cases[] = {
      {"a geometry", geometry, geometryOnly},
      {"names in any case, in any order, comments between",
       "<!-- c --><HEIGHT value=\"480\"/><Width value=\"640\"/>text<top value=\" 0\"/>"
       "<left value=\"+0\"/>",
       geometryOnly},
      {"part of a geometry", "<left value=\"0\"/><top value=\"0\"/><width value=\"640\"/>", {}},
      {"a side of nothing", geometry + "<width value=\"0\"/>", {}},
      {"a side beyond any screen", geometry + "<height value=\"32768\"/>", {}},
      {"a place beyond any screen", geometry + "<left value=\"-40000\"/>", {}},
      {"words for numbers", geometry + "<top value=\"high\"/>", {}},
      {"the later of two wins", geometry + "<width value=\"1\"/><width value=\"640\"/>",
       geometryOnly},
      {"flags", "<maximized value=\"YES\"/><fitimageintopane value=\"true\"/>", flags},
      {"value attribute named exactly", "<maximized Value=\"yes\"/>", {}},
      {"pane sizes",
       "<panes name=\"A\" value=\"1,x\"/><panes name=\"B\" value=\"1,2\"/>"
       "<panes name=\"\" value=\"3\"/><panes value=\"4\"/><panes name=\"C\"/>"
       "<panes name=\"D\" value=\"\"/><panes name=\"E\" value=\"-1,5\"/>"
       "<panes name=\"F\" value=\"1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17\"/>"
       "<panes name=\"G\" value=\"1,,2\"/>",
       panesOnly},
      {"unknown elements", "<colour value=\"red\"/>", {}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    dir.Write("windowstate.xml", Wrap(c.body));
    EXPECT_EQ(ReadWindowState(dir.Path()), c.expected) << c.what;
  }
}

TEST(WindowState, AFailedWriteKeepsTheOldFileAndSaysNothing) {
  TempDir dir;
  ASSERT_TRUE(WriteWindowState(Sample(), dir.Path()));
  const std::string before = dir.Read("windowstate.xml");
  WindowState other;
  other.paneSizes["MainSplitter"] = std::vector<std::int32_t>(kMaxPanes, 12345);
  {
    FileSizeLimit fullDisk(16);
    EXPECT_FALSE(WriteWindowState(other, dir.Path()));
  }
  EXPECT_EQ(dir.Read("windowstate.xml"), before);
  EXPECT_FALSE(WriteWindowState(Sample(), dir.Path() + "missing/"));
}

}  // namespace
}  // namespace quillet

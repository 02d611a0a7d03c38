// The automation object's methods, with the program that holds it recorded.
#include "core/automation/QuilletPI.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileOrEmpty;
using testing::TempDir;

struct RecordingHost : QuilletPIHost {
  void BringToFront() override { calls.push_back("front"); }
  void TakeHandedOverPicture() override { calls.push_back("take"); }
  std::vector<std::string> calls;
};

TEST(QuilletPI, AddImageURLHandsTheAddressOverAndAsksForItToBeTaken) {
  TempDir dir;
  const HandOffKey key = HandOffKeyIn(dir.Path());
  ASSERT_TRUE(WriteHandOffAppPath(key, "/opt/quillet").ok);
  RecordingHost host;
  TQuilletPI object(key, host);

  const HResult added = object.AddImageURL("http://127.0.0.1/pics/cat.JPG");
  EXPECT_TRUE(added.ok) << added.detail;
  EXPECT_EQ(ReadFileOrEmpty(key.file),
            "AppPath=/opt/quillet\nImageURL=http://127.0.0.1/pics/cat.JPG\n");
  EXPECT_EQ(host.calls, std::vector<std::string>{"take"});
  EXPECT_EQ(TakeHandedOverImageUrl(key), "http://127.0.0.1/pics/cat.JPG");
}

TEST(QuilletPI, AFailedHandOverIsEFailAndAsksNothing) {
  TempDir dir;
  RecordingHost host;
  // No folder: the key cannot be opened.
  TQuilletPI missing(HandOffKeyIn(dir.Path() + "none"), host);
  const HResult noKey = missing.AddImageURL("http://a/b.png");
  EXPECT_FALSE(noKey.ok);
  EXPECT_NE(noKey.detail.find("hand-off folder"), std::string::npos) << noKey.detail;
  EXPECT_FALSE(missing.Exec().ok);
  // An address that would break the file.
  const HandOffKey key = HandOffKeyIn(dir.Path());
  fs::create_directories(key.folder);
  TQuilletPI object(key, host);
  EXPECT_FALSE(object.AddImageURL("http://a/b.png\nAppPath=/tmp").ok);
  EXPECT_FALSE(fs::exists(key.file));
  // No home folder at all.
  TQuilletPI homeless(std::nullopt, host);
  EXPECT_FALSE(homeless.AddImageURL("http://a/b.png").ok);
  EXPECT_FALSE(homeless.Exec().ok);
  EXPECT_TRUE(host.calls.empty());
}

TEST(QuilletPI, ExecBringsTheProgramUp) {
  TempDir dir;
  const HandOffKey key = HandOffKeyIn(dir.Path());
  fs::create_directories(key.folder);
  RecordingHost host;
  TQuilletPI object(key, host);
  EXPECT_TRUE(object.Exec().ok);
  EXPECT_EQ(host.calls, std::vector<std::string>{"front"});
  EXPECT_FALSE(fs::exists(key.file));  // Exec writes nothing
}

TEST(QuilletPI, QueryStatusEnablesOnlyTheFirstEntry) {
  struct Case {
    std::vector<OleCmd> in, out;
  };
  const std::vector<Case> cases = {
      {{{1, 0}, {2, 0}, {3, 7}}, {{1, 2}, {2, 0}, {3, 7}}},
      {{{42, 0xFFFFFFFF}}, {{42, 2}}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    std::vector<OleCmd> commands = c.in;
    TQuilletPI::QueryStatus("{any group}", commands);
    EXPECT_EQ(commands, c.out);
  }
  RecordingHost host;
  TQuilletPI object(std::nullopt, host);
  object.SetSite("site");
  EXPECT_EQ(object.GetSite("{FC4801A3-2BA9-11CF-A229-00AA003D7352}"), "");
}

}  // namespace
}  // namespace quillet

// The hand-off file: where it is, what it holds, the address written whole
// and taken exactly once, even by copies that race.
#include "core/automation/HandOff.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileOrEmpty;
using testing::TempDir;

EnvironmentLookup Environment(std::map<std::string, std::string> values) {
  return [values](const char* name) -> std::optional<std::string> {
    auto found = values.find(name);
    if (found == values.end()) return std::nullopt;
    return found->second;
  };
}

// A key in a fresh configuration folder, its folder made as registration
// would.
struct Key {
  TempDir dir;
  HandOffKey key = HandOffKeyIn(dir.Path() + "config");
  Key() { fs::create_directories(key.folder); }
  void Put(const std::string& text) const { std::ofstream(key.file, std::ios::binary) << text; }
  std::string Text() const { return ReadFileOrEmpty(key.file); }
};

TEST(HandOffPlace, FollowsTheBaseDirectoryRules) {
  struct Case {
    std::map<std::string, std::string> environment;
    std::string configHome, dataHome;
  };
  const std::vector<Case> cases = {
      {{{"HOME", "/home/ann"}}, "/home/ann/.config", "/home/ann/.local/share"},
      {{{"HOME", "/home/ann/"}, {"XDG_CONFIG_HOME", "/cfg/"}, {"XDG_DATA_HOME", "/data"}},
       "/cfg",
       "/data"},
      // Empty or relative values count as unset.
      {{{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", ""}, {"XDG_DATA_HOME", "rel/data"}},
       "/home/ann/.config",
       "/home/ann/.local/share"},
      {{{"HOME", "/"}}, "/.config", "/.local/share"},
  };
  for (const Case& c : cases) {
    const std::optional<UserFolders> folders = UserFoldersFrom(Environment(c.environment));
    ASSERT_TRUE(folders);
    EXPECT_EQ(folders->configHome, c.configHome);
    EXPECT_EQ(folders->dataHome, c.dataHome);
  }
  const std::optional<HandOffKey> key =
      UserHandOffKey(Environment({{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/x/cfg"}}));
  ASSERT_TRUE(key);
  EXPECT_EQ(key->folder, "/x/cfg/Quillet");
  EXPECT_EQ(key->file, "/x/cfg/Quillet/handoff");
  // Without HOME the password database names the home folder.
  const std::optional<UserFolders> fallback = UserFoldersFrom(Environment({}));
  ASSERT_TRUE(fallback);
  EXPECT_EQ(fallback->home.front(), '/');
}

TEST(HandOffText, ReadsAndWritesItsTwoValues) {
  struct Case {
    std::string text;
    HandOffValues values;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"AppPath=/opt/quillet\nImageURL=http://a/b.png\n", {"/opt/quillet", "http://a/b.png"}},
      {"ImageURL=\n", {std::nullopt, ""}},
      // Values keep every "=" after the first; CR LF endings are read too.
      {"ImageURL=http://a/?x=1&y=2\r\nAppPath=/p\r\n", {"/p", "http://a/?x=1&y=2"}},
      // Unknown names, lines without "=" and other letter cases are ignored;
      // the last line of a name wins.
      {"# note\nimageurl=no\nOther=1\nImageURL=one\nImageURL=two", {std::nullopt, "two"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ParseHandOffText(c.text), c.values) << c.text;
  EXPECT_EQ(HandOffText({"/opt/q", "http://a/b c.png"}),
            "AppPath=/opt/q\nImageURL=http://a/b c.png\n");
  EXPECT_EQ(HandOffText({std::nullopt, ""}), "ImageURL=\n");
  EXPECT_EQ(HandOffText({}), "");
}

TEST(HandOffText, OnlyOneLineValuesOfUtf8AreStorable) {
  EXPECT_TRUE(IsStorableHandOffValue(""));
  EXPECT_TRUE(IsStorableHandOffValue("http://例え.jp/кот.png?q=ü"));
  for (const std::string& bad :
       {std::string("a\nb"), std::string("a\rb"), std::string("a\0b", 3), std::string("\xff"),
        std::string("\xc0\xaf"), std::string("\xed\xa0\x80"), std::string("caf\xc3")})
    EXPECT_FALSE(IsStorableHandOffValue(bad)) << bad;
}

TEST(HandOffWrite, TheAddressReplacesAnOlderOneAndKeepsAppPath) {
  Key k;
  k.Put("AppPath=/opt/quillet\nImageURL=http://old/a.png\n");
  ASSERT_TRUE(WriteHandOffImageUrl(k.key, "http://new/b.png").ok);
  EXPECT_EQ(k.Text(), "AppPath=/opt/quillet\nImageURL=http://new/b.png\n");
  // Written whole: no temporary file is left, and the file is the user's alone.
  EXPECT_EQ(testing::SortedNamesIn(k.key.folder), std::vector<std::string>{"handoff"});

  Key fresh;  // a folder without a file yet
  ASSERT_TRUE(WriteHandOffImageUrl(fresh.key, "https://x/y.jpg").ok);
  EXPECT_EQ(fresh.Text(), "ImageURL=https://x/y.jpg\n");
  struct stat info {};
  ASSERT_EQ(::stat(fresh.key.file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(HandOffWrite, RefusedAddressesAndKeysLeaveEverythingAsItWas) {
  Key k;
  const std::string before = "AppPath=/opt/quillet\nImageURL=http://old/a.png\n";
  k.Put(before);
  for (const std::string& bad : {std::string("http://a/b.png\nAppPath=/evil"),
                                 std::string("http://a/b.png\r"), std::string("http://a\0b", 10)}) {
    const HResult result = WriteHandOffImageUrl(k.key, bad);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.detail.find("line break"), std::string::npos) << result.detail;
  }
  EXPECT_EQ(k.Text(), before);

  // A key whose folder is missing is not created by the write.
  TempDir dir;
  const HandOffKey missing = HandOffKeyIn(dir.Path() + "config");
  const HResult noFolder = WriteHandOffImageUrl(missing, "http://a/b.png");
  EXPECT_FALSE(noFolder.ok);
  EXPECT_NE(noFolder.detail.find(missing.folder), std::string::npos) << noFolder.detail;
  EXPECT_FALSE(fs::exists(dir.Path() + "config"));

  // A folder in the file's place cannot be replaced.
  Key blocked;
  fs::create_directory(blocked.key.file);
  EXPECT_FALSE(WriteHandOffImageUrl(blocked.key, "http://a/b.png").ok);
  EXPECT_TRUE(fs::is_directory(blocked.key.file));
  EXPECT_EQ(testing::SortedNamesIn(blocked.key.folder), std::vector<std::string>{"handoff"});

  // A full disk: the old file stays whole.
  Key full;
  full.Put(before);
  {
    testing::FileSizeLimit limit(8);
    EXPECT_FALSE(WriteHandOffImageUrl(full.key, "http://new/b.png").ok);
  }
  EXPECT_EQ(full.Text(), before);
  EXPECT_EQ(testing::SortedNamesIn(full.key.folder), std::vector<std::string>{"handoff"});
}

// Whether an ordinary user may write the address: a child process runs as
// "nobody" when the tests run as root (root writes anywhere).
bool WritesAsOrdinaryUser(const HandOffKey& key, const std::string& url) {
  const pid_t child = ::fork();
  if (child == 0) {
    constexpr uid_t kNobody = 65534;
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
      ::_exit(3);
    ::_exit(WriteHandOffImageUrl(key, url).ok ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1) << status;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(HandOffWrite, AFolderTheUserMayNotWriteFails) {
  Key k;
  k.Put("AppPath=/opt/quillet\n");
  for (const std::string& path : {k.dir.Path(), k.dir.Path() + "config", k.key.folder})
    ASSERT_EQ(::chmod(path.c_str(), 0755), 0);
  ASSERT_EQ(::chmod(k.key.file.c_str(), 0644), 0);
  ASSERT_EQ(::chmod(k.key.folder.c_str(), 0555), 0);
  EXPECT_FALSE(WritesAsOrdinaryUser(k.key, "http://a/b.png"));
  EXPECT_EQ(k.Text(), "AppPath=/opt/quillet\n");
  EXPECT_EQ(testing::SortedNamesIn(k.key.folder), std::vector<std::string>{"handoff"});
}

TEST(HandOffRead, OpensTheKeyOrSaysWhyNot) {
  Key k;
  HandOffReading empty = ReadHandOffKey(k.key);
  EXPECT_TRUE(empty.result.ok);
  EXPECT_EQ(empty.values, HandOffValues{});
  k.Put("AppPath=/opt/quillet\n");
  EXPECT_EQ(ReadHandOffKey(k.key).values.appPath, "/opt/quillet");

  TempDir dir;
  const HandOffReading missing = ReadHandOffKey(HandOffKeyIn(dir.Path() + "none"));
  EXPECT_FALSE(missing.result.ok);
  EXPECT_NE(missing.result.detail.find("No such file"), std::string::npos) << missing.result.detail;
}

TEST(HandOffAppPath, RegistrationCreatesTheFolderAndKeepsAWaitingAddress) {
  TempDir dir;
  const HandOffKey key = HandOffKeyIn(dir.Path() + "new/config");
  ASSERT_TRUE(WriteHandOffAppPath(key, "/opt/quillet").ok);
  EXPECT_EQ(ReadFileOrEmpty(key.file), "AppPath=/opt/quillet\n");

  ASSERT_TRUE(WriteHandOffImageUrl(key, "http://a/b.png").ok);
  ASSERT_TRUE(WriteHandOffAppPath(key, "/home/ann/quillet").ok);
  EXPECT_EQ(ReadFileOrEmpty(key.file), "AppPath=/home/ann/quillet\nImageURL=http://a/b.png\n");

  // The same folder again leaves the file alone.
  const auto stamp = fs::last_write_time(key.file);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(WriteHandOffAppPath(key, "/home/ann/quillet").ok);
  EXPECT_EQ(fs::last_write_time(key.file), stamp);

  EXPECT_FALSE(WriteHandOffAppPath(key, "/a\nImageURL=x").ok);
  EXPECT_EQ(ReadFileOrEmpty(key.file), "AppPath=/home/ann/quillet\nImageURL=http://a/b.png\n");
}

TEST(HandOffTake, AnAddressIsTakenOnceAndAppPathStays) {
  Key k;
  k.Put("AppPath=/opt/quillet\nImageURL=http://a/pics/cat.JPG\n");
  EXPECT_EQ(TakeHandedOverImageUrl(k.key), "http://a/pics/cat.JPG");
  EXPECT_EQ(k.Text(), "AppPath=/opt/quillet\n");
  EXPECT_EQ(TakeHandedOverImageUrl(k.key), std::nullopt);
  EXPECT_EQ(testing::SortedNamesIn(k.key.folder), std::vector<std::string>{"handoff"});

  // An empty address is still a value, taken and gone.
  k.Put("ImageURL=\n");
  EXPECT_EQ(TakeHandedOverImageUrl(k.key), "");
  EXPECT_EQ(k.Text(), "");

  // No file, no folder: nothing to take, nothing made.
  Key none;
  EXPECT_EQ(TakeHandedOverImageUrl(none.key), std::nullopt);
  EXPECT_TRUE(testing::SortedNamesIn(none.key.folder).empty());
  TempDir dir;
  EXPECT_EQ(TakeHandedOverImageUrl(HandOffKeyIn(dir.Path() + "x")), std::nullopt);
  EXPECT_TRUE(testing::SortedNamesIn(dir.Path()).empty());
}

TEST(HandOffTake, OnlyTheLatestOfSeveralAddressesSurvives) {
  Key k;
  ASSERT_TRUE(WriteHandOffAppPath(k.key, "/p").ok);
  for (const char* url : {"http://a/1.png", "http://a/2.png", "http://a/3.png"})
    ASSERT_TRUE(WriteHandOffImageUrl(k.key, url).ok);
  EXPECT_EQ(TakeHandedOverImageUrl(k.key), "http://a/3.png");
  EXPECT_EQ(TakeHandedOverImageUrl(k.key), std::nullopt);
}

// Several copies take while addresses keep arriving and a start keeps
// rewriting "AppPath": no address is ever taken twice, none is made up, and
// the last one is taken in the end.
TEST(HandOffTake, RacingCopiesTakeEachAddressAtMostOnce) {
  Key k;
  ASSERT_TRUE(WriteHandOffAppPath(k.key, "/p0").ok);
  const std::string stop = k.dir.Path() + "stop";
  constexpr int kTakers = 3;
  std::vector<pid_t> children;
  for (int taker = 0; taker < kTakers; ++taker) {
    const pid_t child = ::fork();
    if (child == 0) {
      std::ofstream log(k.dir.Path() + "taken-" + std::to_string(taker));
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      while (!fs::exists(stop) && std::chrono::steady_clock::now() < deadline) {
        if (std::optional<std::string> url = TakeHandedOverImageUrl(k.key))
          log << *url << "\n" << std::flush;
      }
      ::_exit(0);
    }
    children.push_back(child);
  }
  const pid_t registrar = ::fork();
  if (registrar == 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (int round = 0; !fs::exists(stop) && std::chrono::steady_clock::now() < deadline; ++round)
      WriteHandOffAppPath(k.key, "/p" + std::to_string(round % 2));
    ::_exit(0);
  }
  children.push_back(registrar);

  constexpr int kAddresses = 150;
  std::set<std::string> added;
  for (int i = 0; i < kAddresses; ++i) {
    const std::string url = "http://a/" + std::to_string(i) + ".png";
    ASSERT_TRUE(WriteHandOffImageUrl(k.key, url).ok);
    added.insert(url);
    // Now and then the takers get their turn, so that some addresses are
    // taken while others arrive even on a machine too busy to interleave.
    if (i % 10 == 0) {
      const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(2);
      while (ParseHandOffText(k.Text()).imageUrl && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  std::ofstream(stop) << "";
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  std::multiset<std::string> taken;
  for (int taker = 0; taker < kTakers; ++taker) {
    std::ifstream log(k.dir.Path() + "taken-" + std::to_string(taker));
    for (std::string line; std::getline(log, line);)
      taken.insert(line);
  }
  if (std::optional<std::string> rest = TakeHandedOverImageUrl(k.key)) taken.insert(*rest);
  for (const std::string& url : taken) {
    EXPECT_EQ(taken.count(url), 1u) << url << " was taken more than once";
    EXPECT_TRUE(added.count(url)) << url;
  }
  EXPECT_TRUE(taken.count("http://a/149.png"));
  EXPECT_GE(taken.size(), 10u);
  // The key is whole in the end, with a program folder and nothing else.
  const HandOffValues values = ParseHandOffText(k.Text());
  EXPECT_TRUE(values.appPath == "/p0" || values.appPath == "/p1");
  EXPECT_FALSE(values.imageUrl);
  EXPECT_EQ(testing::SortedNamesIn(k.key.folder), std::vector<std::string>{"handoff"});
}

}  // namespace
}  // namespace quillet

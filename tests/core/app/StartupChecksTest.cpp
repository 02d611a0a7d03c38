#include "core/app/StartupChecks.h"

#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/platform/AtomicFile.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// --- the start-up warning for a folder the user cannot write --------------

// What ProgramFolderWarning says for each folder, asked by a child process
// that runs as an ordinary user: as "nobody" when the tests run as root
// (root may write anywhere), as the tests' own user otherwise. "-" stands
// for no warning.
std::vector<std::string> WarningsAsOrdinaryUser(const std::vector<std::string>& folders) {
  int pipeEnds[2];
  EXPECT_EQ(::pipe(pipeEnds), 0);
  pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeEnds[0]);
    constexpr uid_t kNobody = 65534;
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
      ::_exit(3);
    std::string answers;
    for (const std::string& folder : folders)
      answers += ProgramFolderWarning(folder).value_or("-") + "\n";
    ssize_t written = ::write(pipeEnds[1], answers.data(), answers.size());
    ::_exit(written == static_cast<ssize_t>(answers.size()) ? 0 : 4);
  }
  ::close(pipeEnds[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(got));
  ::close(pipeEnds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

TEST(StartupChecks, AReadOnlyProgramFolderIsReportedOnceAtStart) {
  TempDir dir;
  // The ordinary user must be able to reach the folders.
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
  const std::string locked = dir.MakeDir("locked") + "/";
  const std::string open = dir.MakeDir("open") + "/";
  dir.Write("locked/options.xml", "<options/>");
  ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
  ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
  const std::string missing = dir.Path() + "missing/";

  std::vector<std::string> warnings = WarningsAsOrdinaryUser({locked, open, missing});
  std::string lockedName = locked.substr(0, locked.size() - 1);
  EXPECT_EQ(warnings, (std::vector<std::string>{
                          "Quillet cannot save changes in the folder " + lockedName +
                              " because you may not write there. Logos cannot be added, and "
                              "your changes will not be kept when you close the program.",
                          "-", FolderNotWritableText(missing)}));
  // The check leaves nothing behind.
  EXPECT_EQ(testing::SortedNamesIn(locked), std::vector<std::string>{"options.xml"});
  EXPECT_TRUE(testing::SortedNamesIn(open).empty());
  EXPECT_FALSE(fs::exists(missing));
}

TEST(StartupChecks, TheWarningNamesTheFolderWithoutItsSeparator) {
  EXPECT_EQ(FolderNotWritableText("/opt/quillet/"), std::string(kFolderNotWritableTextStart) +
                                                        "/opt/quillet" +
                                                        std::string(kFolderNotWritableTextEnd));
  EXPECT_EQ(FolderNotWritableText("/"), std::string(kFolderNotWritableTextStart) + "/" +
                                            std::string(kFolderNotWritableTextEnd));
  TempDir dir;
  EXPECT_EQ(ProgramFolderWarning(dir.Path()), std::nullopt);
  EXPECT_TRUE(CanWriteInFolder(dir.Path()));
  EXPECT_TRUE(testing::SortedNamesIn(dir.Path()).empty());
}

// --- temporary files left by a killed save --------------------------------

class StaleTemporaries : public ::testing::Test {
 protected:
  // A file last changed two hours ago.
  std::string Old(const std::string& relative) {
    std::string path = dir.Write(relative, "partial");
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(2));
    return path;
  }

  TempDir dir;
};

TEST_F(StaleTemporaries, OnlyTheProgramsOwnStaleTemporaryFilesGo) {
  const std::vector<std::string> gone = {
      Old(".options.xml.tmp-Ab12Cd"),
      Old(".appstate.xml.tmp-zzzzzz"),
      Old(".logodirectory.xml.tmp-000000"),
      Old(".logodirectory.damaged2.xml.tmp-QwErTy"),
      Old(".windowstate.xml.tmp-a1B2c3"),
      Old(".quillet-write-check.tmp-Zx9Yw8"),
      Old("Temp/.sunset.jpg.tmp-Aa11Bb"),
      Old("Logo Directory/.photo.jpg.tmp-Qw12Er"),
      Old("Logo Directory/Cars/Old Ones/.beetle.PNG.tmp-XyZ987"),
  };
  const std::vector<std::string> kept = {
      // the user's files and the program's own
      Old("options.xml"),
      Old("Logo Directory/photo.jpg"),
      Old("Temp/sunset.jpg"),
      // not of the form, or not a file the program writes in the program folder
      Old(".foreign.txt.tmp-Ab12Cd"),
      Old(".phoneslist.xml.tmp-Ab12Cd"),
      Old(".logodirectory.damagedX.xml.tmp-Ab12Cd"),
      Old("options.xml.tmp-Ab12Cd"),
      Old(".options.xml.tmp-Ab12C"),
      Old(".options.xml.tmp-Ab12Cd7"),
      Old(".options.xml.tmp-Ab_2Cd"),
      Old(".options.xml.temp-Ab12Cd"),
      Old(".tmp-Ab12Cd"),
      Old("Logo Directory/photo.jpg.tmp-Qw12Er"),
      Old("Logo Directory/Cars/.beetle.png.tmp-Xy"),
      // Temp is searched on its own level only
      Old("Temp/sub/.sunset.jpg.tmp-Aa11Bb"),
  };
  // A temporary file still being written by another copy stays.
  const std::string fresh = dir.Write("Logo Directory/.new.jpg.tmp-Fr35hh", "writing");
  // Folders and symbolic links of that name stay, and links are not followed.
  dir.MakeDir(".appstate.xml.tmp-Dir123");
  TempDir outside;
  std::string elsewhere = outside.Write(".photo.jpg.tmp-Qw12Er", "not ours");
  fs::last_write_time(elsewhere, fs::file_time_type::clock::now() - std::chrono::hours(2));
  fs::create_symlink(outside.Path(), dir.Path() + "Logo Directory/Linked");
  fs::create_symlink(elsewhere, dir.Path() + "Logo Directory/.linked.jpg.tmp-Ln1234");

  std::vector<std::string> removed = RemoveStaleTemporaryFiles(dir.Path());
  std::sort(removed.begin(), removed.end());
  std::vector<std::string> expected = gone;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(removed, expected);
  for (const std::string& path : gone)
    EXPECT_FALSE(fs::exists(path)) << path;
  for (const std::string& path : kept)
    EXPECT_TRUE(fs::exists(path)) << path;
  EXPECT_TRUE(fs::exists(fresh));
  EXPECT_TRUE(fs::is_directory(dir.Path() + ".appstate.xml.tmp-Dir123"));
  EXPECT_TRUE(fs::exists(elsewhere));
  EXPECT_TRUE(fs::is_symlink(dir.Path() + "Logo Directory/.linked.jpg.tmp-Ln1234"));

  // Nothing is left to remove the second time.
  EXPECT_TRUE(RemoveStaleTemporaryFiles(dir.Path()).empty());
  // Once old enough, the other copy's file counts as stale too.
  EXPECT_EQ(RemoveStaleTemporaryFiles(dir.Path(), std::chrono::seconds(-60)),
            std::vector<std::string>{fresh});
}

TEST_F(StaleTemporaries, AKilledSaveLeavesAFileOfTheFormThatIsCleanedUp) {
  // The form the cleaner looks for is the one WriteFileAtomically makes.
  EXPECT_EQ(AtomicTemporaryTarget(".options.xml.tmp-Ab12Cd"), "options.xml");
  EXPECT_EQ(AtomicTemporaryTarget("..hidden.tmp-Ab12Cd"), ".hidden");
  EXPECT_EQ(AtomicTemporaryTarget(".a.tmp-123456"), "a");
  EXPECT_EQ(AtomicTemporaryTarget(".tmp-123456"), std::nullopt);
  EXPECT_EQ(AtomicTemporaryTarget(".a.tmp-12345"), std::nullopt);
  EXPECT_EQ(AtomicTemporaryTarget("a.tmp-123456"), std::nullopt);
  EXPECT_EQ(AtomicTemporaryTarget(".a.tmp-12345-"), std::nullopt);

  // A save killed after its temporary file was made: a child process that
  // writes a large file and is killed while it does.
  const std::string target = dir.Path() + "Logo Directory/big.bmp";
  dir.MakeDir("Logo Directory");
  pid_t child = ::fork();
  if (child == 0) {
    try {
      WriteFileAtomically(target, std::string(64 << 20, 'x'));
    } catch (...) {
      ::_exit(1);
    }
    ::_exit(0);
  }
  std::optional<std::string> leftover;
  for (int tries = 0; !leftover && tries < 2000; ++tries) {
    for (const std::string& name : testing::SortedNamesIn(dir.Path() + "Logo Directory"))
      if (AtomicTemporaryTarget(name) == "big.bmp") leftover = name;
    if (!leftover) ::usleep(1000);
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!leftover || !fs::exists(dir.Path() + "Logo Directory/" + *leftover))
    GTEST_SKIP() << "the save ended before it could be killed";
  EXPECT_EQ(RemoveStaleTemporaryFiles(dir.Path(), std::chrono::seconds(-60)),
            std::vector<std::string>{dir.Path() + "Logo Directory/" + *leftover});
  EXPECT_TRUE(testing::SortedNamesIn(dir.Path() + "Logo Directory").empty() ||
              testing::SortedNamesIn(dir.Path() + "Logo Directory") ==
                  std::vector<std::string>{"big.bmp"});
}

}  // namespace
}  // namespace quillet

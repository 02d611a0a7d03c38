// Data files that are symbolic links: a save replaces the file the link leads
// to, in that file's own folder, and the link stays.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/platform/AtomicFile.h"
#include "core/settings/Options.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedPrompts;
using testing::TempDir;

std::string LinkText(const std::string& link) {
  return fs::read_symlink(link).string();
}

bool IsLink(const std::string& path) {
  return fs::is_symlink(fs::symlink_status(path));
}

unsigned ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 0777;
}

// Every name in a folder, to see that no temporary file was left behind.

TEST(AtomicFileLinks, SavingLinkedOptionsReplacesTheRealFileAndKeepsTheLink) {
  TempDir program, elsewhere;
  const std::string real = elsewhere.Write("options.xml", "<options/>");
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  const std::string link = program.Path() + "options.xml";
  fs::create_symlink(real, link);

  Options options;
  options.login = "linked";
  ScriptedPrompts prompts;
  ASSERT_TRUE(SaveOptions(options, program.Path(), prompts));

  EXPECT_TRUE(IsLink(link));
  EXPECT_EQ(LinkText(link), real);
  EXPECT_EQ(elsewhere.Read("options.xml"), OptionsDocumentText(options));
  EXPECT_EQ(ModeOf(real), 0640u);  // the real file keeps its permissions
  EXPECT_EQ(testing::SortedNamesIn(program.Path()), std::vector<std::string>{"options.xml"});
  EXPECT_EQ(testing::SortedNamesIn(elsewhere.Path()), std::vector<std::string>{"options.xml"});
  EXPECT_EQ(LoadOptions(program.Path(), prompts, {}).login, "linked");
  EXPECT_TRUE(prompts.Lines().empty());
}

TEST(AtomicFileLinks, RelativeLinksAndChainsAreFollowedFromEachLinksFolder) {
  TempDir dir;
  dir.MakeDir("program");
  dir.MakeDir("shared/deeper");
  const std::string real = dir.Write("shared/deeper/state.xml", "old");
  // program/state.xml -> ../shared/hop.xml -> deeper/state.xml (relative to shared/)
  fs::create_symlink("deeper/state.xml", dir.Path() + "shared/hop.xml");
  fs::create_symlink("../shared/hop.xml", dir.Path() + "program/state.xml");
  // and an absolute link at the head of another chain
  fs::create_symlink(dir.Path() + "program/state.xml", dir.Path() + "absolute.xml");

  WriteFileAtomically(dir.Path() + "program/state.xml", "new");
  EXPECT_EQ(dir.Read("shared/deeper/state.xml"), "new");
  WriteFileAtomically(dir.Path() + "absolute.xml", "newer");
  EXPECT_EQ(dir.Read("shared/deeper/state.xml"), "newer");

  EXPECT_EQ(LinkText(dir.Path() + "program/state.xml"), "../shared/hop.xml");
  EXPECT_EQ(LinkText(dir.Path() + "shared/hop.xml"), "deeper/state.xml");
  EXPECT_TRUE(IsLink(dir.Path() + "absolute.xml"));
  EXPECT_EQ(testing::SortedNamesIn(dir.Path() + "shared/deeper"),
            std::vector<std::string>{"state.xml"});
  EXPECT_EQ(testing::SortedNamesIn(dir.Path() + "program"), std::vector<std::string>{"state.xml"});
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(real)));
}

TEST(AtomicFileLinks, ALinkToNothingCreatesTheFileItNames) {
  TempDir program, elsewhere;
  const std::string link = program.Path() + "options.xml";
  fs::create_symlink(elsewhere.Path() + "options.xml", link);
  WriteFileAtomically(link, "secret", NewFileAccess::OwnerOnly);
  EXPECT_TRUE(IsLink(link));
  EXPECT_EQ(elsewhere.Read("options.xml"), "secret");
  EXPECT_EQ(ModeOf(elsewhere.Path() + "options.xml"), 0600u);

  // A link into a folder that is not there fails and changes nothing.
  const std::string lost = program.Path() + "appstate.xml";
  fs::create_symlink(elsewhere.Path() + "missing/appstate.xml", lost);
  EXPECT_THROW(WriteFileAtomically(lost, "x"), std::runtime_error);
  EXPECT_TRUE(IsLink(lost));
  EXPECT_FALSE(fs::exists(elsewhere.Path() + "missing"));
}

TEST(AtomicFileLinks, LoopsAndLinksToFoldersFailWithoutTouchingAnything) {
  TempDir dir;
  fs::create_symlink("b.xml", dir.Path() + "a.xml");
  fs::create_symlink("a.xml", dir.Path() + "b.xml");
  dir.MakeDir("folder");
  dir.Write("folder/inside.txt", "kept");
  fs::create_symlink("folder", dir.Path() + "c.xml");
  fs::create_symlink("folder/", dir.Path() + "d.xml");

  for (const char* name : {"a.xml", "c.xml", "d.xml"})
    EXPECT_THROW(WriteFileAtomically(dir.Path() + name, "x"), std::runtime_error) << name;
  EXPECT_EQ(LinkText(dir.Path() + "a.xml"), "b.xml");
  EXPECT_EQ(LinkText(dir.Path() + "b.xml"), "a.xml");
  EXPECT_EQ(LinkText(dir.Path() + "c.xml"), "folder");
  EXPECT_EQ(testing::SortedNamesIn(dir.Path()),
            (std::vector<std::string>{"a.xml", "b.xml", "c.xml", "d.xml", "folder"}));
  EXPECT_EQ(testing::SortedNamesIn(dir.Path() + "folder"), std::vector<std::string>{"inside.txt"});
  EXPECT_EQ(dir.Read("folder/inside.txt"), "kept");
}

}  // namespace
}  // namespace quillet

// Registration for the user: the files, their exact texts, their places, and
// unregistration removing exactly those.
#include "core/automation/Registration.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/app/ProgramFolder.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileOrEmpty;
using testing::TempDir;

// Every file below a folder, relative to it.
std::vector<std::string> Tree(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (!entry.is_directory()) files.push_back(fs::relative(entry.path(), folder).string());
  std::sort(files.begin(), files.end());
  return files;
}

UserFolders FoldersIn(const TempDir& dir) {
  return {dir.Path() + "home", dir.Path() + "home/.config", dir.Path() + "home/.local/share"};
}

RegistrationInfo Info(const std::string& root) {
  RegistrationInfo info;
  info.executable = root + "opt/quillet/quillet";
  info.nativeHost = root + "opt/quillet/quillet-native-host";
  info.programFolder = root + "data";
  info.dataDir = root + "data";
  return info;
}

TEST(RegistrationPlaces, AreTheUsualPerUserFolders) {
  const RegistrationPlaces places =
      RegistrationPlacesIn({"/home/ann", "/home/ann/.config", "/srv/share"});
  EXPECT_EQ(places.busService, "/srv/share/dbus-1/services/io.github.quillet.Quillet.service");
  EXPECT_EQ(places.busInterface, "/srv/share/dbus-1/interfaces/io.github.quillet.QuilletPI.xml");
  EXPECT_EQ(places.desktopEntry, "/srv/share/applications/io.github.quillet.Quillet.desktop");
  EXPECT_EQ(places.chromiumHost,
            "/home/ann/.config/chromium/NativeMessagingHosts/io.github.quillet.native_host.json");
  EXPECT_EQ(
      places.chromeHost,
      "/home/ann/.config/google-chrome/NativeMessagingHosts/io.github.quillet.native_host.json");
  EXPECT_EQ(places.firefoxHost,
            "/home/ann/.mozilla/native-messaging-hosts/io.github.quillet.native_host.json");
  EXPECT_EQ(places.handOff.file, "/home/ann/.config/Quillet/handoff");
  EXPECT_EQ(places.Files().size(), 6u);
}

TEST(RegistrationTexts, SayWhereTheProgramAndItsDataAre) {
  RegistrationInfo info = Info("/");
  EXPECT_EQ(BusServiceText(info),
            "[D-BUS Service]\nName=io.github.quillet.Quillet\n"
            "Exec='/opt/quillet/quillet' --automation --data-dir '/data'\n");
  info.dataDir.reset();
  EXPECT_EQ(BusServiceText(info),
            "[D-BUS Service]\nName=io.github.quillet.Quillet\n"
            "Exec='/opt/quillet/quillet' --automation\n");
  const std::string desktop = DesktopEntryText(info);
  EXPECT_EQ(desktop.rfind("[Desktop Entry]\nType=Application\nName=Quillet\n", 0), 0u) << desktop;
  EXPECT_NE(desktop.find("\nExec=\"/opt/quillet/quillet\"\n"), std::string::npos) << desktop;

  EXPECT_EQ(
      NativeHostManifestText(info, NativeHostBrowser::Chromium),
      "{\n  \"name\": \"io.github.quillet.native_host\",\n"
      "  \"description\": \"Hands pictures from web pages to Quillet\",\n"
      "  \"path\": \"/opt/quillet/quillet-native-host\",\n  \"type\": \"stdio\",\n"
      "  \"allowed_origins\": [\"chrome-extension://plendcahbkbojbdolfbfipmomgocpojp/\"]\n}\n");
  const std::string firefox = NativeHostManifestText(info, NativeHostBrowser::Firefox);
  EXPECT_NE(firefox.find("\"allowed_extensions\": [\"quillet@quillet.github.io\"]"),
            std::string::npos)
      << firefox;
}

TEST(RegistrationTexts, ArgumentsAreQuotedForEachReader) {
  struct Case {
    std::string argument, bus, desktop;
  };
  const std::vector<Case> cases = {
      {"/opt/q", "'/opt/q'", "\"/opt/q\""},
      {"/my logos/it's", "'/my logos/it'\\''s'", "\"/my logos/it's\""},
      {"/a\"b$c`d\\e%f", "'/a\"b$c`d\\e%f'", "\"/a\\\"b\\$c\\`d\\\\e%%f\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BusExecArgument(c.argument), c.bus);
    EXPECT_EQ(DesktopExecArgument(c.argument), c.desktop);
  }
  // In both files the string escapes come on top: a backslash is four
  // backslashes in the desktop entry, and a quote in a folder's name is
  // closed, escaped and reopened with a doubled backslash in the bus's file.
  RegistrationInfo info = Info("/");
  info.executable = "/a\\b/quillet";
  info.dataDir = "/my logos/it's";
  EXPECT_NE(
      DesktopEntryText(info).find("\nExec=\"/a\\\\\\\\b/quillet\" --data-dir \"/my logos/it's\"\n"),
      std::string::npos)
      << DesktopEntryText(info);
  EXPECT_EQ(BusServiceText(info),
            "[D-BUS Service]\nName=io.github.quillet.Quillet\n"
            "Exec='/a\\\\b/quillet' --automation --data-dir '/my logos/it'\\\\''s'\n");

  EXPECT_EQ(JsonString("/a \"b\"\\c\x01"), "\"/a \\\"b\\\"\\\\c\\u0001\"");
}

// The quoting as the shell-like reader of the session bus gives it back,
// checked with a real shell, whose single-quote rules the bus follows.
TEST(RegistrationTexts, TheBusQuotingReadsBackThroughAShell) {
  for (const std::string& argument :
       std::vector<std::string>{"/my logos/it's", "/a\"b$c`d\\e %f", "/x''y'"}) {
    const testing::ProcessResult shell =
        testing::RunProcess("/bin/sh", {"-c", "printf '%s' " + BusExecArgument(argument)});
    EXPECT_EQ(shell.exitCode, 0);
    EXPECT_EQ(shell.out, argument);
  }
}

TEST(Registration, WritesEveryFileAndAppPathAndUnregistrationRemovesExactlyThose) {
  TempDir dir;
  const UserFolders folders = FoldersIn(dir);
  const RegistrationPlaces places = RegistrationPlacesIn(folders);
  // Files of others in the same folders stay.
  dir.Write("home/.local/share/dbus-1/services/org.example.Other.service", "other");
  dir.Write("home/.config/chromium/NativeMessagingHosts/other.json", "{}");
  const RegistrationInfo info = Info(dir.Path());

  const HResult registered = Register(places, info);
  ASSERT_TRUE(registered.ok) << registered.detail;
  EXPECT_EQ(ReadFileOrEmpty(places.busService), BusServiceText(info));
  EXPECT_EQ(ReadFileOrEmpty(places.busInterface), std::string(QuilletPIInterfaceXml()));
  EXPECT_EQ(ReadFileOrEmpty(places.desktopEntry), DesktopEntryText(info));
  EXPECT_EQ(ReadFileOrEmpty(places.chromiumHost),
            NativeHostManifestText(info, NativeHostBrowser::Chromium));
  EXPECT_EQ(ReadFileOrEmpty(places.chromeHost),
            NativeHostManifestText(info, NativeHostBrowser::Chromium));
  EXPECT_EQ(ReadFileOrEmpty(places.firefoxHost),
            NativeHostManifestText(info, NativeHostBrowser::Firefox));
  EXPECT_EQ(ReadFileOrEmpty(places.handOff.file), "AppPath=" + dir.Path() + "data\n");
  EXPECT_EQ(Tree(dir.Path() + "home"),
            (std::vector<std::string>{
                ".config/Quillet/handoff",
                ".config/chromium/NativeMessagingHosts/io.github.quillet.native_host.json",
                ".config/chromium/NativeMessagingHosts/other.json",
                ".config/google-chrome/NativeMessagingHosts/io.github.quillet.native_host.json",
                ".local/share/applications/io.github.quillet.Quillet.desktop",
                ".local/share/dbus-1/interfaces/io.github.quillet.QuilletPI.xml",
                ".local/share/dbus-1/services/io.github.quillet.Quillet.service",
                ".local/share/dbus-1/services/org.example.Other.service",
                ".mozilla/native-messaging-hosts/io.github.quillet.native_host.json",
            }));

  // The same registration again leaves the files alone.
  const auto stamp = fs::last_write_time(places.busService);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(Register(places, info).ok);
  EXPECT_EQ(fs::last_write_time(places.busService), stamp);

  // Again, with an address waiting: the files are replaced, the address stays.
  ASSERT_TRUE(WriteHandOffImageUrl(places.handOff, "http://a/b.png").ok);
  RegistrationInfo moved = info;
  moved.executable = dir.Path() + "elsewhere/quillet";
  ASSERT_TRUE(Register(places, moved).ok);
  EXPECT_EQ(ReadFileOrEmpty(places.busService), BusServiceText(moved));
  EXPECT_EQ(ReadFileOrEmpty(places.handOff.file),
            "AppPath=" + dir.Path() + "data\nImageURL=http://a/b.png\n");

  const HResult unregistered = Unregister(places);
  ASSERT_TRUE(unregistered.ok) << unregistered.detail;
  EXPECT_EQ(Tree(dir.Path() + "home"),
            (std::vector<std::string>{".config/Quillet/handoff",
                                      ".config/chromium/NativeMessagingHosts/other.json",
                                      ".local/share/dbus-1/services/org.example.Other.service"}));
  // Unregistering what is not registered is no failure.
  EXPECT_TRUE(Unregister(places).ok);
}

TEST(Registration, FailuresNameTheFilesAndWriteNothingHalf) {
  TempDir dir;
  const RegistrationPlaces places = RegistrationPlacesIn(FoldersIn(dir));
  // A file where the browsers' folder should be.
  dir.Write("home/.mozilla", "not a folder");
  const HResult result = Register(places, Info(dir.Path()));
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.detail.find(places.firefoxHost), std::string::npos) << result.detail;
  // The others are in place and whole.
  EXPECT_EQ(ReadFileOrEmpty(places.busService), BusServiceText(Info(dir.Path())));

  // A path with a line break would break the files: nothing is written.
  TempDir other;
  const RegistrationPlaces otherPlaces = RegistrationPlacesIn(FoldersIn(other));
  RegistrationInfo broken = Info(other.Path());
  broken.executable = other.Path() + "bin\nExec=/bin/evil";
  const HResult refused = Register(otherPlaces, broken);
  EXPECT_FALSE(refused.ok);
  EXPECT_NE(refused.detail.find("line break"), std::string::npos) << refused.detail;
  EXPECT_FALSE(fs::exists(other.Path() + "home"));
  RegistrationInfo relative = Info(other.Path());
  relative.nativeHost = "quillet-native-host";
  EXPECT_FALSE(Register(otherPlaces, relative).ok);
  EXPECT_FALSE(fs::exists(other.Path() + "home"));

  // A registration file that cannot be removed is named.
  TempDir third;
  const RegistrationPlaces thirdPlaces = RegistrationPlacesIn(FoldersIn(third));
  fs::create_directories(thirdPlaces.desktopEntry + "/inside");
  const HResult stuck = Unregister(thirdPlaces);
  EXPECT_FALSE(stuck.ok);
  EXPECT_NE(stuck.detail.find(thirdPlaces.desktopEntry), std::string::npos) << stuck.detail;
}

TEST(Registration, TheRunningProgramDescribesItself) {
  const std::string exeFolder = ExecutableFolder();
  RegistrationInfo own = CurrentRegistrationInfo(exeFolder);
  EXPECT_EQ(own.executable, fs::read_symlink("/proc/self/exe").string());
  EXPECT_EQ(own.nativeHost, exeFolder + "quillet-native-host");
  EXPECT_EQ(own.programFolder + "/", exeFolder);
  EXPECT_FALSE(own.dataDir);  // the executable's own folder needs no --data-dir

  TempDir dir;
  RegistrationInfo other = CurrentRegistrationInfo(dir.Path());
  EXPECT_EQ(other.programFolder + "/", dir.Path());
  EXPECT_EQ(other.dataDir, other.programFolder);
}

}  // namespace
}  // namespace quillet

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>

#include "core/acquire/SaneSourceManager.h"
#include "core/platform/AtomicFile.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::TempDir;

TEST(ScannerChoice, LivesInTheUsersConfigurationFolder) {
  struct Case {
    std::map<std::string, std::string> environment;
    std::string path;
  } cases[] = {
      {{{"XDG_CONFIG_HOME", "/cfg"}, {"HOME", "/home/u"}}, "/cfg/Quillet/scanner"},
      {{{"XDG_CONFIG_HOME", ""}, {"HOME", "/home/u"}}, "/home/u/.config/Quillet/scanner"},
      {{{"HOME", "/home/u"}}, "/home/u/.config/Quillet/scanner"},
      {{}, ""},
  };
  for (const Case& c : cases) {
    const EnvironmentLookup lookup = [&](const char* name) -> std::optional<std::string> {
      const auto found = c.environment.find(name);
      if (found == c.environment.end()) return std::nullopt;
      return found->second;
    };
    EXPECT_EQ(ScannerChoicePath(lookup), c.path);
  }
}

TEST(ScannerChoice, ReadsTheDeviceLine) {
  struct Case {
    const char* text;
    std::optional<std::string> device;
  } cases[] = {
      {"device=test:0\n", "test:0"},
      {"# comment\r\ndevice=airscan:e0:My=Printer\r\n", "airscan:e0:My=Printer"},
      {"device=net:host:plustek", "net:host:plustek"},
      {"device=\n", std::nullopt},
      {"name=test:0\n", std::nullopt},
      {"", std::nullopt},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const std::string path = dir.Write("scanner", c.text);
    EXPECT_EQ(ReadScannerChoice(path), c.device) << c.text;
  }
  EXPECT_EQ(ReadScannerChoice(dir.Path() + "absent"), std::nullopt);
  EXPECT_EQ(ReadScannerChoice(""), std::nullopt);
}

TEST(ScannerChoice, WritesWholeCreatingItsFolder) {
  TempDir dir;
  const std::string path = dir.Path() + "config/Quillet/scanner";
  WriteScannerChoice(path, "test:1");
  EXPECT_EQ(ReadScannerChoice(path), "test:1");
  WriteScannerChoice(path, "airscan:e0:Printer");
  EXPECT_EQ(ReadScannerChoice(path), "airscan:e0:Printer");

  // A name that would break the file, and a folder that cannot be made,
  // leave what was there.
  EXPECT_THROW(WriteScannerChoice(path, "evil\ndevice=other"), std::runtime_error);
  EXPECT_THROW(WriteScannerChoice(path, ""), std::runtime_error);
  EXPECT_EQ(ReadScannerChoice(path), "airscan:e0:Printer");
  dir.Write("blocked", "a file");
  EXPECT_THROW(WriteScannerChoice(dir.Path() + "blocked/Quillet/scanner", "test:0"),
               std::runtime_error);
  EXPECT_THROW(WriteScannerChoice("", "test:0"), std::runtime_error);
}

}  // namespace
}  // namespace quillet

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

TEST(ScannerChoice, ReadsTheDeviceLines) {
  struct Case {
    const char* text;
    std::optional<SaneDeviceInfo> device;
  } cases[] = {
      {"device=test:0\nvendor=Noname\nmodel=frontend-tester\n",
       SaneDeviceInfo{"test:0", "Noname", "frontend-tester", ""}},
      {"# comment\r\ndevice=airscan:e0:My=Printer\r\n",
       SaneDeviceInfo{"airscan:e0:My=Printer", "", "", ""}},
      {"model=X\ndevice=net:host:plustek", SaneDeviceInfo{"net:host:plustek", "", "X", ""}},
      {"device=\nvendor=Noname\n", std::nullopt},
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
  const SaneDeviceInfo test{"test:1", "Noname", "frontend-tester", "virtual device"};
  WriteScannerChoice(path, test);
  EXPECT_EQ(ReadScannerChoice(path), (SaneDeviceInfo{"test:1", "Noname", "frontend-tester", ""}));
  // A line break in the maker's text stays within its line.
  WriteScannerChoice(path, {"airscan:e0:Printer", "Big\nCorp", "", ""});
  EXPECT_EQ(ReadScannerChoice(path), (SaneDeviceInfo{"airscan:e0:Printer", "Big Corp", "", ""}));

  // A name that would break the file, and a folder that cannot be made,
  // leave what was there.
  EXPECT_THROW(WriteScannerChoice(path, {"evil\ndevice=other", "", "", ""}), std::runtime_error);
  EXPECT_THROW(WriteScannerChoice(path, {}), std::runtime_error);
  EXPECT_EQ(ReadScannerChoice(path)->name, "airscan:e0:Printer");
  dir.Write("blocked", "a file");
  EXPECT_THROW(WriteScannerChoice(dir.Path() + "blocked/Quillet/scanner", test),
               std::runtime_error);
  EXPECT_THROW(WriteScannerChoice("", test), std::runtime_error);
}

}  // namespace
}  // namespace quillet

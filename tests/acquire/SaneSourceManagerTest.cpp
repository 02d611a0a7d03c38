// The SANE Source Manager with SANE's "test" backend as the scanner, driven
// through the real TWAIN layer; the user's part in the windows is scripted.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <thread>
#include <utility>

#include "core/acquire/SaneSourceManager.h"
#include "core/acquire/ScriptedSourceManager.h"
#include "core/acquire/TwainLayer.h"
#include "core/codecs/Codecs.h"
#include "core/logodir/LogoEditing.h"
#include "core/logodir/LogoPaths.h"
#include "core/platform/AtomicFile.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedTwainPlatform;
using testing::TempDir;
using testing::TwainLog;

// The selection dialog and the source's window, played by the test.
class ScriptedSaneUi : public SaneUi {
 public:
  std::optional<std::string> SelectSource(const std::vector<SaneDeviceInfo>& devices,
                                          const std::string& current, WindowHandle) override {
    ++selections;
    listed = devices;
    preselected = current;
    return selection;
  }
  bool ShowSourceWindow(SaneScanSession& session, WindowHandle parent) override {
    ++windowsShown;
    shownDevice = session.Device().Info();
    windowParent = parent;
    if (inWindow) inWindow(session);
    return true;
  }
  void CloseSourceWindow() override { ++windowsClosed; }
  void SourceStatus(std::string_view text) override { statuses.emplace_back(text); }
  void ReportProblem(std::string_view text) override { problems.emplace_back(text); }
  // On a thread of its own, as the program's windows do it.
  void RunWhileBusy(std::string_view status, const std::function<void()>& work) override {
    busy.emplace_back(status);
    std::exception_ptr failure;
    std::thread([&] {
      try {
        work();
      } catch (...) {
        failure = std::current_exception();
      }
    }).join();
    if (failure) std::rethrow_exception(failure);
  }

  // What the user does once the source's window is there.
  std::function<void(SaneScanSession&)> inWindow;
  std::optional<std::string> selection;

  int selections = 0;
  std::vector<SaneDeviceInfo> listed;
  std::string preselected;
  int windowsShown = 0;
  int windowsClosed = 0;
  SaneDeviceInfo shownDevice;
  WindowHandle windowParent = nullptr;
  std::vector<std::string> statuses;
  std::vector<std::string> problems;
  std::vector<std::string> busy;
};

// The user presses Scan as soon as the window shows.
void ScanAtOnce(SaneScanSession& session) {
  SaneScanResult result = session.Device().Scan(false);
  ASSERT_EQ(result.status, SaneScanStatus::Done) << result.problem;
  session.Deliver(std::move(result.picture));
}

struct SaneSetup {
  TempDir dir;
  ScriptedSaneUi ui;
  std::string choicePath = dir.Path() + "config/Quillet/scanner";
  SaneSourceManager sourceManager{ui, choicePath};
  TwainLog log;
  ScriptedTwainPlatform platform{log};
  TwainLayer layer{sourceManager, platform};

  TW_HANDLE Acquire() { return layer.TWAIN_AcquireToDib(ScriptedTwainPlatform::MainWindow(), 0); }
};

struct DibHeader {
  int width = 0;
  int height = 0;
  int bitCount = 0;
  std::uint32_t colorsUsed = 0;
};

DibHeader HeaderOf(TW_HANDLE dib) {
  const auto bytes = GlobalLockBlock(dib);
  DibHeader header;
  if (bytes.size() < 40) return header;
  header.width = TwainLayer::TWAIN_GetDibWidth(dib);
  header.height = TwainLayer::TWAIN_GetDibHeight(dib);
  header.bitCount = bytes[14] | (bytes[15] << 8);
  header.colorsUsed = bytes[32] | (bytes[33] << 8) | (bytes[34] << 16);
  return header;
}

Bitmap Painted(TW_HANDLE dib) {
  Bitmap picture(TwainLayer::TWAIN_GetDibWidth(dib), TwainLayer::TWAIN_GetDibHeight(dib));
  TwainLayer::TWAIN_PaintDib(dib, picture);
  return picture;
}

bool AllOneColour(const Bitmap& picture, Color colour) {
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x)
      if (picture.Pixel(x, y) != colour) return false;
  return true;
}

TEST(Sane, TheTestConfigurationIsInForce) {
  const char* config = std::getenv("SANE_CONFIG_DIR");
  ASSERT_NE(config, nullptr) << "the tests run with a private SANE configuration";
  EXPECT_TRUE(fs::exists(fs::path(config) / "test.conf"));
}

TEST(Sane, APresentLibraryIsASourceManagerForTheRun) {
  SaneSetup s;
  EXPECT_TRUE(s.layer.TWAIN_SourceManagerPresent());
  EXPECT_TRUE(s.layer.TWAIN_SourceManagerPresent());
  EXPECT_EQ(s.layer.State(), 1);
}

TEST(Sane, AnAbsentLibraryIsNoSourceManager) {
  ScriptedSaneUi ui;
  TempDir dir;
  SaneSourceManager sourceManager(ui, dir.Path() + "scanner", "libsane-quillet-absent.so.1");
  TwainLog log;
  ScriptedTwainPlatform platform(log);
  TwainLayer layer(sourceManager, platform);
  EXPECT_FALSE(layer.TWAIN_SourceManagerPresent());
  EXPECT_NE(sourceManager.LoadError().find("libsane-quillet-absent.so.1"), std::string::npos);
  EXPECT_EQ(layer.TWAIN_AcquireToDib(ScriptedTwainPlatform::MainWindow(), 0), nullptr);
  EXPECT_EQ(platform.boxes, std::vector<std::string>{std::string(kLoadSourceManagerFailedText)});
  EXPECT_EQ(ui.windowsShown, 0);
}

TEST(Sane, SelectionListsTheDevicesAndRemembersTheChoice) {
  SaneSetup s;
  s.ui.selection = "test:1";
  ASSERT_TRUE(s.layer.TWAIN_SelectImageSource(ScriptedTwainPlatform::MainWindow()));
  ASSERT_EQ(s.ui.listed.size(), 2u);
  EXPECT_EQ(s.ui.listed[0],
            (SaneDeviceInfo{"test:0", "Noname", "frontend-tester", "virtual device"}));
  EXPECT_EQ(s.ui.listed[1].name, "test:1");
  EXPECT_EQ(s.ui.preselected, "");
  EXPECT_EQ(ReadScannerChoice(s.choicePath).value_or(SaneDeviceInfo{}).name, "test:1");
  EXPECT_EQ(s.layer.State(), 1);

  // The dialog offers the choice again, and acquiring opens it.
  s.ui.selection.reset();
  EXPECT_FALSE(s.layer.TWAIN_SelectImageSource(ScriptedTwainPlatform::MainWindow()));
  EXPECT_EQ(s.ui.preselected, "test:1");
  EXPECT_EQ(ReadScannerChoice(s.choicePath).value_or(SaneDeviceInfo{}).name, "test:1");
  s.ui.inWindow = ScanAtOnce;
  TW_HANDLE dib = s.Acquire();
  EXPECT_NE(dib, nullptr);
  EXPECT_EQ(s.ui.shownDevice.name, "test:1");
  EXPECT_EQ(TwainString(s.layer.SourceIdentity().ProductName), "test:1");
  EXPECT_EQ(TwainString(s.layer.SourceIdentity().Manufacturer), "Noname");
  TwainLayer::TWAIN_ReleaseDib(dib);
  EXPECT_TRUE(s.ui.problems.empty());
  // Searching and opening, which take seconds on a network, ran as busy work.
  EXPECT_EQ(s.ui.busy, (std::vector<std::string>{std::string(kLookingForScannersText),
                                                 std::string(kLookingForScannersText),
                                                 std::string(kOpeningScannerText)}));
}

TEST(Sane, DefaultSourceIsTheRememberedOneElseTheFirst) {
  struct Case {
    std::optional<std::string> remembered;
    const char* opened;
  } cases[] = {{std::nullopt, "test:0"}, {"test:1", "test:1"}, {"nosuch:scanner", "test:0"}};
  for (const Case& c : cases) {
    SaneSetup s;
    if (c.remembered) WriteScannerChoice(s.choicePath, {*c.remembered, "", "", ""});
    s.ui.inWindow = [](SaneScanSession& session) { session.RequestClose(); };
    EXPECT_EQ(s.Acquire(), nullptr);
    EXPECT_EQ(s.ui.shownDevice.name, c.opened);
    EXPECT_TRUE(s.platform.boxes.empty());
    EXPECT_EQ(s.layer.State(), 1);
  }
}

TEST(Sane, AChoiceThatCannotBeKeptIsSaidAndStillTaken) {
  SaneSetup s;
  // The configuration folder's place is taken by a file.
  s.dir.Write("config", "not a folder");
  s.ui.selection = "test:1";
  EXPECT_TRUE(s.layer.TWAIN_SelectImageSource(ScriptedTwainPlatform::MainWindow()));
  ASSERT_EQ(s.ui.problems.size(), 1u);
  EXPECT_EQ(s.ui.problems[0].rfind(kScannerChoiceNotSavedText, 0), 0u) << s.ui.problems[0];
  EXPECT_EQ(s.dir.Read("config"), "not a folder");
}

TEST(Sane, AScanComesBackAsADibOfTheBackendsSize) {
  SaneSetup s;
  std::optional<SANE_Parameters> announced;
  s.ui.inWindow = [&](SaneScanSession& session) {
    announced = session.Device().Parameters();
    ScanAtOnce(session);
  };
  TW_HANDLE dib = s.Acquire();
  ASSERT_NE(dib, nullptr);
  ASSERT_TRUE(announced.has_value());
  const DibHeader header = HeaderOf(dib);
  EXPECT_EQ(header.width, announced->pixels_per_line);
  EXPECT_EQ(header.height, announced->lines);
  EXPECT_EQ(header.width, 78);
  EXPECT_EQ(header.height, 98);
  EXPECT_EQ(header.bitCount, 24);
  EXPECT_EQ(s.ui.windowsShown, 1);
  EXPECT_EQ(s.ui.windowsClosed, 1);
  EXPECT_EQ(s.ui.windowParent, ScriptedTwainPlatform::MainWindow());
  EXPECT_TRUE(s.platform.boxes.empty());
  EXPECT_EQ(s.layer.State(), 1);
  TwainLayer::TWAIN_ReleaseDib(dib);
}

TEST(Sane, AScanBecomesTheLogoImportedImage) {
  SaneSetup s;
  s.ui.inWindow = ScanAtOnce;
  LogoTree tree;
  testing::ScriptedPrompts prompts;
  LogoDirContext context{tree, nullptr, s.dir.Path(), prompts};
  TLogoDirObject newLogoTemplate;
  for (const char* expected : {"importedimage.jpg", "importedimage2.jpg"}) {
    TW_HANDLE dib = s.Acquire();
    ASSERT_NE(dib, nullptr);
    const Bitmap picture = Painted(dib);
    const EditResult result =
        AddPictureImage(context, "importedimage.jpg", picture, newLogoTemplate);
    TwainLayer::TWAIN_ReleaseDib(dib);
    ASSERT_NE(result.select, nullptr);
    EXPECT_EQ(result.select->Text(), expected);
    const std::string path = NodePath(*result.select, s.dir.Path());
    EXPECT_EQ(path, s.dir.Path() + "Logo Directory/" + expected);
    const Bitmap written = DecodePictureFile(path);
    EXPECT_EQ(written.Width(), 78);
    EXPECT_EQ(written.Height(), 98);
  }
}

struct ModeCase {
  const char* name;
  std::vector<std::pair<const char*, const char*>> options;
  int bitCount;
  std::uint32_t colorsUsed;
  std::optional<Color> everywhere;  // the colour of every pixel, when one
};

void PrintTo(const ModeCase& c, std::ostream* os) {
  *os << c.name;
}

std::vector<ModeCase> ModeCases() {
  const Color black = MakeColor(0, 0, 0);
  return {
      {"colour", {{"mode", "Color"}, {"test-picture", "Solid white"}}, 24, 0, kWhite},
      {"colour, black", {{"mode", "Color"}, {"test-picture", "Solid black"}}, 24, 0, black},
      {"grey", {{"mode", "Gray"}, {"test-picture", "Solid white"}}, 8, 256, kWhite},
      {"grey, black", {{"mode", "Gray"}, {"test-picture", "Solid black"}}, 8, 256, black},
      {"line art",
       {{"mode", "Gray"}, {"depth", "1"}, {"test-picture", "Solid black"}},
       1,
       2,
       black},
      {"line art, white",
       {{"mode", "Gray"}, {"depth", "1"}, {"test-picture", "Solid white"}},
       1,
       2,
       kWhite},
      {"16-bit grey",
       {{"mode", "Gray"}, {"depth", "16"}, {"test-picture", "Solid white"}},
       8,
       256,
       kWhite},
      {"16-bit colour",
       {{"mode", "Color"}, {"depth", "16"}, {"test-picture", "Solid black"}},
       24,
       0,
       black},
      {"1-bit colour",
       {{"mode", "Color"}, {"depth", "1"}, {"test-picture", "Solid white"}},
       24,
       0,
       kWhite},
      {"three-pass colour",
       {{"mode", "Color"}, {"three-pass", "yes"}, {"test-picture", "Solid white"}},
       24,
       0,
       kWhite},
      {"hand scanner of unknown height", {{"hand-scanner", "yes"}}, 24, 0, std::nullopt},
      {"pixels lost at the end of each line", {{"ppl-loss", "7"}}, 24, 0, std::nullopt},
      {"one byte a read",
       {{"read-limit", "yes"}, {"read-limit-size", "1"}, {"resolution", "5"}},
       24,
       0,
       std::nullopt},
  };
}

class SaneModeTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(SaneModeTest, EveryFormOfPictureBecomesAValidDib) {
  const ModeCase& c = GetParam();
  SaneSetup s;
  std::optional<SANE_Parameters> announced;
  s.ui.inWindow = [&](SaneScanSession& session) {
    for (const auto& [name, value] : c.options)
      ASSERT_TRUE(session.Device().SetOption(name, value)) << name << "=" << value;
    announced = session.Device().Parameters();
    ScanAtOnce(session);
  };
  TW_HANDLE dib = s.Acquire();
  ASSERT_NE(dib, nullptr);
  const DibHeader header = HeaderOf(dib);
  EXPECT_EQ(header.bitCount, c.bitCount);
  EXPECT_EQ(header.colorsUsed, c.colorsUsed);
  ASSERT_TRUE(announced.has_value());
  EXPECT_EQ(header.width, announced->pixels_per_line);
  if (announced->lines > 0) {
    EXPECT_EQ(header.height, announced->lines);
  } else {
    EXPECT_GT(header.height, 0);
  }
  const Bitmap picture = Painted(dib);
  if (c.everywhere) {
    EXPECT_TRUE(AllOneColour(picture, *c.everywhere));
  }
  TwainLayer::TWAIN_ReleaseDib(dib);
}

INSTANTIATE_TEST_SUITE_P(Forms, SaneModeTest, ::testing::ValuesIn(ModeCases()),
                         [](const ::testing::TestParamInfo<ModeCase>& info) {
                           return "case" + std::to_string(info.index);
                         });

TEST(Sane, ThreePassAndOnePassScansGiveTheSamePicture) {
  std::vector<Bitmap> pictures;
  for (const char* threePass : {"no", "yes"}) {
    SaneSetup s;
    s.ui.inWindow = [&](SaneScanSession& session) {
      ASSERT_TRUE(session.Device().SetOption("three-pass", threePass));
      ScanAtOnce(session);
    };
    TW_HANDLE dib = s.Acquire();
    ASSERT_NE(dib, nullptr);
    pictures.push_back(Painted(dib));
    TwainLayer::TWAIN_ReleaseDib(dib);
  }
  EXPECT_EQ(pictures[0], pictures[1]);
  EXPECT_FALSE(AllOneColour(pictures[0], pictures[0].Pixel(0, 0)));
}

TEST(Sane, WindowSettingsReachTheScan) {
  SaneSetup s;
  std::vector<std::string> modes;
  std::optional<SaneResolution> resolution;
  s.ui.inWindow = [&](SaneScanSession& session) {
    SaneDevice& device = session.Device();
    modes = device.Modes();
    resolution = device.Resolution();
    ASSERT_TRUE(device.SetResolution(50));
    ASSERT_TRUE(device.SetMode("Gray"));
    EXPECT_EQ(device.Mode(), "Gray");
    ScanAtOnce(session);
  };
  TW_HANDLE dib = s.Acquire();
  ASSERT_NE(dib, nullptr);
  EXPECT_EQ(modes, (std::vector<std::string>{"Gray", "Color"}));
  ASSERT_TRUE(resolution.has_value());
  EXPECT_EQ(resolution->current, 25);
  EXPECT_EQ(resolution->min, 1);
  EXPECT_EQ(resolution->max, 1200);
  EXPECT_TRUE(resolution->choices.empty());
  // 80 × 100 mm at 50 dpi, in grey.
  const DibHeader header = HeaderOf(dib);
  EXPECT_EQ(header.width, 157);
  EXPECT_EQ(header.height, 196);
  EXPECT_EQ(header.bitCount, 8);
  TwainLayer::TWAIN_ReleaseDib(dib);
}

TEST(Sane, APreviewIsSmallAndLeavesTheSettingsAlone) {
  SaneSetup s;
  SaneScanResult preview;
  std::optional<SaneResolution> after;
  s.ui.inWindow = [&](SaneScanSession& session) {
    ASSERT_TRUE(session.Device().SetResolution(300));
    preview = session.Device().Scan(true);
    after = session.Device().Resolution();
    session.RequestClose();
  };
  EXPECT_EQ(s.Acquire(), nullptr);
  ASSERT_EQ(preview.status, SaneScanStatus::Done) << preview.problem;
  EXPECT_EQ(preview.picture.width, 157);  // at the preview's 50 dpi
  EXPECT_EQ(preview.picture.dotsPerInch, kPreviewDotsPerInch);
  ASSERT_TRUE(after.has_value());
  EXPECT_EQ(after->current, 300);
}

TEST(Sane, CancelInTheWindowGivesNothingAndNoMessage) {
  SaneSetup s;
  s.ui.inWindow = [](SaneScanSession& session) { session.RequestClose(); };
  EXPECT_EQ(s.Acquire(), nullptr);
  EXPECT_TRUE(s.platform.boxes.empty());
  EXPECT_EQ(s.ui.windowsClosed, 1);
  EXPECT_EQ(s.layer.State(), 1);
}

TEST(Sane, AFailedScanIsTheWindowsToShow) {
  SaneSetup s;
  SaneScanResult failed;
  s.ui.inWindow = [&](SaneScanSession& session) {
    ASSERT_TRUE(session.Device().SetOption("read-return-value", "SANE_STATUS_JAMMED"));
    failed = session.Device().Scan(false);
    // The scanner is still usable, and the user gives up.
    ASSERT_TRUE(session.Device().SetOption("read-return-value", "Default"));
    EXPECT_EQ(session.Device().Scan(false).status, SaneScanStatus::Done);
    session.RequestClose();
  };
  EXPECT_EQ(s.Acquire(), nullptr);
  EXPECT_EQ(failed.status, SaneScanStatus::Failed);
  EXPECT_EQ(failed.problem, "The scan failed: Document feeder jammed.");
  EXPECT_TRUE(s.platform.boxes.empty());
}

TEST(Sane, AScanIsCancelledFromAnotherThread) {
  SaneSetup s;
  SaneScanResult result;
  bool secondDone = false;
  s.ui.inWindow = [&](SaneScanSession& session) {
    SaneDevice& device = session.Device();
    // Slow enough that the cancel comes in the middle: a byte at a time with
    // a pause after each.
    ASSERT_TRUE(device.SetOption("read-limit", "yes"));
    ASSERT_TRUE(device.SetOption("read-limit-size", "1"));
    ASSERT_TRUE(device.SetOption("read-delay", "yes"));
    ASSERT_TRUE(device.SetOption("read-delay-duration", "20000"));
    SaneScanProgress progress;
    const auto started = std::chrono::steady_clock::now();
    std::thread scan([&] { result = device.Scan(false, &progress); });
    while (progress.received < 3 &&
           std::chrono::steady_clock::now() - started < std::chrono::seconds(20))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    device.Cancel();
    scan.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    EXPECT_GT(progress.expected.load(), progress.received.load());
    ASSERT_TRUE(device.SetOption("read-delay", "no"));
    ASSERT_TRUE(device.SetOption("read-limit", "no"));
    secondDone = device.Scan(false).status == SaneScanStatus::Done;
    session.RequestClose();
  };
  EXPECT_EQ(s.Acquire(), nullptr);
  EXPECT_EQ(result.status, SaneScanStatus::Cancelled);
  EXPECT_TRUE(secondDone);
}

// A scan delivered and then cancelled before the layer took it is dropped.
TEST(Sane, CloseAfterDeliveringDropsThePicture) {
  SaneSetup s;
  s.ui.inWindow = [](SaneScanSession& session) {
    ScanAtOnce(session);
    session.RequestClose();
  };
  EXPECT_EQ(s.Acquire(), nullptr);
  EXPECT_TRUE(s.platform.boxes.empty());
}

TEST(Sane, CallsOutOfOrderAreRefused) {
  ScriptedSaneUi ui;
  TempDir dir;
  SaneSourceManager sm(ui, dir.Path() + "scanner");
  ASSERT_TRUE(sm.Load());
  TW_IDENTITY app{};
  WindowHandle window = ScriptedTwainPlatform::MainWindow();
  EXPECT_EQ(sm.DSM_Entry(&app, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &window),
            TWRC_FAILURE);
  ASSERT_EQ(sm.DSM_Entry(&app, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &window),
            TWRC_SUCCESS);
  EXPECT_NE(TW_UINT32{app.Id}, 0u);
  EXPECT_EQ(sm.DSM_Entry(&app, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &window),
            TWRC_FAILURE);
  TW_IDENTITY source{};
  ASSERT_EQ(sm.DSM_Entry(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source),
            TWRC_SUCCESS);
  EXPECT_EQ(TwainString(source.ProductName), "test:0");
  EXPECT_EQ(source.SupportedGroups & DG_IMAGE, DG_IMAGE);
  // A second source, a transfer before one is ready, a stranger's Id, and
  // closing the Source Manager with its source open: all refused.
  TW_IDENTITY second{};
  EXPECT_EQ(sm.DSM_Entry(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &second),
            TWRC_FAILURE);
  TW_HANDLE handle = nullptr;
  EXPECT_EQ(sm.DSM_Entry(&app, &source, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle),
            TWRC_FAILURE);
  EXPECT_EQ(handle, nullptr);
  TW_IDENTITY stranger = source;
  stranger.Id = source.Id + 100;
  TW_USERINTERFACE userInterface{TW_TRUE, TW_FALSE, window};
  EXPECT_EQ(
      sm.DSM_Entry(&app, &stranger, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &userInterface),
      TWRC_FAILURE);
  EXPECT_EQ(sm.DSM_Entry(&app, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &window),
            TWRC_FAILURE);
  // Events while the source is not enabled are not the source's.
  TW_EVENT event{nullptr, MSG_NULL};
  EXPECT_EQ(sm.DSM_Entry(&app, &source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event),
            TWRC_NOTDSEVENT);
  EXPECT_EQ(sm.DSM_Entry(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source),
            TWRC_SUCCESS);
  EXPECT_EQ(sm.DSM_Entry(&app, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &window),
            TWRC_SUCCESS);
  sm.Unload();
}

// Run with a SANE configuration that names no backend.
TEST(SaneWithoutDevices, AcquiringSaysTheLastErrorAndAddsNothing) {
  SaneSetup s;
  EXPECT_TRUE(s.layer.TWAIN_SourceManagerPresent());
  EXPECT_EQ(s.Acquire(), nullptr);
  EXPECT_EQ(s.platform.boxes, std::vector<std::string>{std::string(kLastErrorText)});
  EXPECT_EQ(s.ui.windowsShown, 0);
  EXPECT_EQ(s.layer.State(), 1);
}

TEST(SaneWithoutDevices, SelectionShowsAnEmptyList) {
  SaneSetup s;
  EXPECT_FALSE(s.layer.TWAIN_SelectImageSource(ScriptedTwainPlatform::MainWindow()));
  EXPECT_EQ(s.ui.selections, 1);
  EXPECT_TRUE(s.ui.listed.empty());
  EXPECT_TRUE(s.platform.boxes.empty());
  EXPECT_FALSE(PathExists(s.choicePath));
}

}  // namespace
}  // namespace quillet

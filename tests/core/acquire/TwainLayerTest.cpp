#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "core/acquire/ScriptedSourceManager.h"
#include "core/acquire/TwainLayer.h"

namespace quillet {
namespace {

using testing::MakeTestDib;
using testing::ScriptedCall;
using testing::ScriptedSourceManager;
using testing::ScriptedTwainPlatform;
using testing::TwainLog;

// The calls of the scripts, with the answers the source gives.
ScriptedCall OpenDsm(TW_UINT16 result = TWRC_SUCCESS) {
  return {DG_CONTROL, DAT_PARENT, MSG_OPENDSM, result};
}
ScriptedCall CloseDsm(TW_UINT16 result = TWRC_SUCCESS) {
  return {DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, result};
}
ScriptedCall OpenDs(TW_UINT16 result = TWRC_SUCCESS) {
  ScriptedCall call{DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, result};
  if (result == TWRC_SUCCESS) call.productName = "Flatbed 9000";
  return call;
}
ScriptedCall CloseDs() {
  return {DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS};
}
ScriptedCall UserSelect(TW_UINT16 result) {
  return {DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, result};
}
ScriptedCall EnableDs(TW_UINT16 result = TWRC_SUCCESS) {
  return {DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, result};
}
ScriptedCall DisableDs() {
  return {DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS};
}
// A message of the queue that is not the source's.
ScriptedCall OtherEvent() {
  return {DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, TWRC_NOTDSEVENT, MSG_NULL};
}
ScriptedCall SourceEvent(TW_UINT16 message) {
  return {DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, TWRC_DSEVENT, message};
}
ScriptedCall Get(TW_UINT16 result, int image = 0) {
  ScriptedCall call{DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, result};
  call.image = image;
  return call;
}
ScriptedCall EndXfer(TW_UINT16 count, TW_UINT16 result = TWRC_SUCCESS) {
  ScriptedCall call{DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, result};
  call.pendingCount = count;
  return call;
}
ScriptedCall Reset() {
  return {DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET};
}

// Log lines: the layer's state, then who was called or what the platform did.
const char* const kOpenDsm = "DSM DG_CONTROL/DAT_PARENT/MSG_OPENDSM";
const char* const kCloseDsm = "DSM DG_CONTROL/DAT_PARENT/MSG_CLOSEDSM";
const char* const kOpenDs = "DSM DG_CONTROL/DAT_IDENTITY/MSG_OPENDS";
const char* const kCloseDs = "DSM DG_CONTROL/DAT_IDENTITY/MSG_CLOSEDS";
const char* const kUserSelect = "DSM DG_CONTROL/DAT_IDENTITY/MSG_USERSELECT";
const char* const kEnableDs = "DS DG_CONTROL/DAT_USERINTERFACE/MSG_ENABLEDS";
const char* const kDisableDs = "DS DG_CONTROL/DAT_USERINTERFACE/MSG_DISABLEDS";
const char* const kProcessEvent = "DS DG_CONTROL/DAT_EVENT/MSG_PROCESSEVENT";
const char* const kGet = "DS DG_IMAGE/DAT_IMAGENATIVEXFER/MSG_GET";
const char* const kEndXfer = "DS DG_CONTROL/DAT_PENDINGXFERS/MSG_ENDXFER";
const char* const kReset = "DS DG_CONTROL/DAT_PENDINGXFERS/MSG_RESET";

std::string At(int state, const std::string& line) {
  return "[" + std::to_string(state) + "] " + line;
}

// Opening and enabling the default source, and tearing down an enabled
// source, as every acquisition that reaches the source's dialog does.
std::vector<std::string> OpenedAndEnabled() {
  return {At(1, "Load"), At(2, kOpenDsm), At(3, kOpenDs), At(4, kEnableDs),
          At(5, "DisableWindow main")};
}
std::vector<std::string> DisabledAndClosed(int stateAfterLoop) {
  std::vector<std::string> lines{At(stateAfterLoop, "EnableWindow main")};
  if (stateAfterLoop == 5) lines.push_back(At(5, kDisableDs));
  for (const std::string& line : {At(4, kCloseDs), At(3, kCloseDsm), At(2, "Unload")})
    lines.push_back(line);
  return lines;
}
std::vector<std::string> Join(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (auto& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct AcquireCase {
  const char* name;
  std::vector<ScriptedCall> script;
  std::vector<std::string> log;
  int image = 0;  // the test DIB that comes back, 0 for none
  std::vector<std::string> boxes = {};
  WindowHandle window = ScriptedTwainPlatform::MainWindow();
  bool loads = true;
  bool proxyCreatable = true;
  int messageLimit = 20;
  int finalState = 1;
};

std::vector<AcquireCase> AcquireCases() {
  const std::vector<ScriptedCall> open{OpenDsm(), OpenDs(), EnableDs()};
  auto with = [&](std::vector<ScriptedCall> rest) {
    std::vector<ScriptedCall> all = open;
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
  };
  return {
      {"three images in one acquisition: only the third comes back",
       with({OtherEvent(), SourceEvent(MSG_XFERREADY), Get(TWRC_XFERDONE, 1), EndXfer(2),
             Get(TWRC_XFERDONE, 2), EndXfer(1), Get(TWRC_XFERDONE, 3), EndXfer(0), DisableDs(),
             CloseDs(), CloseDsm()}),
       Join({OpenedAndEnabled(),
             {At(5, "GetMessage"), At(5, kProcessEvent), At(5, "Dispatch"), At(5, "GetMessage"),
              At(5, kProcessEvent), At(6, kGet), At(7, kEndXfer), At(6, kGet), At(7, kEndXfer),
              At(6, kGet), At(7, kEndXfer)},
             DisabledAndClosed(5)}),
       3},
      {"the third image cancelled: none comes back, the dialog stays until it asks to close",
       with({SourceEvent(MSG_XFERREADY), Get(TWRC_XFERDONE, 1), EndXfer(2), Get(TWRC_XFERDONE, 2),
             EndXfer(1), Get(TWRC_CANCEL), EndXfer(0), OtherEvent(), SourceEvent(MSG_CLOSEDSREQ),
             DisableDs(), CloseDs(), CloseDsm()}),
       Join({OpenedAndEnabled(),
             {At(5, "GetMessage"), At(5, kProcessEvent), At(6, kGet), At(7, kEndXfer), At(6, kGet),
              At(7, kEndXfer), At(6, kGet), At(7, kEndXfer), At(5, "GetMessage"),
              At(5, kProcessEvent), At(5, "Dispatch"), At(5, "GetMessage"), At(5, kProcessEvent),
              At(5, kDisableDs)},
             DisabledAndClosed(4)}),
       0},
      {"a failed transfer resets the pending transfers and leaves the dialog open",
       with({SourceEvent(MSG_XFERREADY), Get(TWRC_FAILURE), Reset(), OtherEvent(),
             SourceEvent(MSG_CLOSEDSREQ), DisableDs(), CloseDs(), CloseDsm()}),
       Join({OpenedAndEnabled(),
             {At(5, "GetMessage"), At(5, kProcessEvent), At(6, kGet), At(6, kReset),
              At(5, "GetMessage"), At(5, kProcessEvent), At(5, "Dispatch"), At(5, "GetMessage"),
              At(5, kProcessEvent), At(5, kDisableDs)},
             DisabledAndClosed(4)}),
       0},
      {"a failed transfer after a good one releases the good one",
       with({SourceEvent(MSG_XFERREADY), Get(TWRC_XFERDONE, 1), EndXfer(1), Get(TWRC_FAILURE),
             Reset(), SourceEvent(MSG_CLOSEDSREQ), DisableDs(), CloseDs(), CloseDsm()}),
       Join({OpenedAndEnabled(),
             {At(5, "GetMessage"), At(5, kProcessEvent), At(6, kGet), At(7, kEndXfer), At(6, kGet),
              At(6, kReset), At(5, "GetMessage"), At(5, kProcessEvent), At(5, kDisableDs)},
             DisabledAndClosed(4)}),
       0},
      {"cancel in the source's dialog: nothing, no message",
       with({OtherEvent(), SourceEvent(MSG_CLOSEDSREQ), DisableDs(), CloseDs(), CloseDsm()}),
       Join({OpenedAndEnabled(),
             {At(5, "GetMessage"), At(5, kProcessEvent), At(5, "Dispatch"), At(5, "GetMessage"),
              At(5, kProcessEvent), At(5, kDisableDs)},
             DisabledAndClosed(4)}),
       0},
      {"a source that changed a setting (TWRC_CHECKSTATUS) is enabled all the same",
       {OpenDsm(), OpenDs(), EnableDs(TWRC_CHECKSTATUS), SourceEvent(MSG_XFERREADY),
        Get(TWRC_XFERDONE, 4), EndXfer(0), DisableDs(), CloseDs(), CloseDsm()},
       Join({OpenedAndEnabled(),
             {At(5, "GetMessage"), At(5, kProcessEvent), At(6, kGet), At(7, kEndXfer)},
             DisabledAndClosed(5)}),
       4},
      {"no source installed: the last-error message, the Source Manager closed",
       {OpenDsm(), OpenDs(TWRC_FAILURE), CloseDsm()},
       {At(1, "Load"), At(2, kOpenDsm), At(3, kOpenDs),
        At(3, "MessageBox " + std::string(kLastErrorText)), At(3, kCloseDsm), At(2, "Unload")},
       0,
       {std::string(kLastErrorText)}},
      {"the source cannot be enabled: the last-error message, the source closed",
       {OpenDsm(), OpenDs(), EnableDs(TWRC_FAILURE), CloseDs(), CloseDsm()},
       {At(1, "Load"), At(2, kOpenDsm), At(3, kOpenDs), At(4, kEnableDs),
        At(4, "MessageBox " + std::string(kLastErrorText)), At(4, kCloseDs), At(3, kCloseDsm),
        At(2, "Unload")},
       0,
       {std::string(kLastErrorText)}},
      {"the Source Manager does not open: CLOSEDSM is still sent and its failure ignored",
       {OpenDsm(TWRC_FAILURE), CloseDsm(TWRC_FAILURE)},
       {At(1, "Load"), At(2, kOpenDsm),
        At(2, "MessageBox " + std::string(kOpenSourceManagerFailedText)), At(2, kCloseDsm),
        At(2, "Unload")},
       0,
       {std::string(kOpenSourceManagerFailedText)}},
      {"no Source Manager: the load message and no call",
       {},
       {At(1, "Load fails"), At(1, "MessageBox " + std::string(kLoadSourceManagerFailedText))},
       0,
       {std::string(kLoadSourceManagerFailedText)},
       ScriptedTwainPlatform::MainWindow(),
       false},
      {"the quit message ends the loop, and the source is still torn down",
       with({OtherEvent(), DisableDs(), CloseDs(), CloseDsm()}),
       Join({OpenedAndEnabled(),
             {At(5, "GetMessage"), At(5, kProcessEvent), At(5, "Dispatch"),
              At(5, "GetMessage quit")},
             DisabledAndClosed(5)}),
       0,
       {},
       ScriptedTwainPlatform::MainWindow(),
       true,
       true,
       1},
      {"a source that refuses to end its transfer still gets disabled and closed",
       with({SourceEvent(MSG_XFERREADY), Get(TWRC_XFERDONE, 5), EndXfer(0, TWRC_FAILURE),
             EndXfer(0), DisableDs(), CloseDs(), CloseDsm()}),
       Join({OpenedAndEnabled(),
             {At(5, "GetMessage"), At(5, kProcessEvent), At(6, kGet), At(7, kEndXfer),
              At(7, "EnableWindow main"), At(7, kEndXfer), At(5, kDisableDs), At(4, kCloseDs),
              At(3, kCloseDsm), At(2, "Unload")}}),
       5},
      {"a window that is no window gets a proxy window for the acquisition",
       with({SourceEvent(MSG_CLOSEDSREQ), DisableDs(), CloseDs(), CloseDsm()}),
       {At(1, "CreateProxyWindow"), At(1, "Load"), At(2, kOpenDsm), At(3, kOpenDs),
        At(4, kEnableDs), At(5, "DisableWindow proxy"), At(5, "GetMessage"), At(5, kProcessEvent),
        At(5, kDisableDs), At(4, "EnableWindow proxy"), At(4, kCloseDs), At(3, kCloseDsm),
        At(2, "Unload"), At(1, "DestroyWindow proxy")},
       0,
       {},
       ScriptedTwainPlatform::StaleWindow()},
      {"no window and no proxy window: the proxy message and no call",
       {},
       {At(1, "CreateProxyWindow fails"), At(1, "MessageBox " + std::string(kAcquireNoProxyText))},
       0,
       {std::string(kAcquireNoProxyText)},
       nullptr,
       true,
       false},
  };
}

void PrintTo(const AcquireCase& c, std::ostream* os) {
  *os << c.name;
}

class AcquireTest : public ::testing::TestWithParam<AcquireCase> {};

TEST_P(AcquireTest, CallsInOrderAndKeepsTheLastImage) {
  const AcquireCase& c = GetParam();
  SCOPED_TRACE(c.name);
  const std::size_t blocksBefore = GlobalBlocksInUse();
  TwainLog log;
  ScriptedSourceManager sourceManager(log, c.script, c.loads);
  ScriptedTwainPlatform platform(log);
  platform.proxyCreatable = c.proxyCreatable;
  platform.messageLimit = c.messageLimit;
  TwainLayer layer(sourceManager, platform);
  log.stateProbe = [&layer] { return layer.State(); };

  TW_HANDLE dib = layer.TWAIN_AcquireToDib(c.window, 0);

  EXPECT_EQ(log.Lines(), c.log);
  EXPECT_EQ(platform.boxes, c.boxes);
  EXPECT_TRUE(sourceManager.ScriptFinished());
  EXPECT_EQ(layer.State(), c.finalState);
  if (c.image == 0) {
    EXPECT_EQ(dib, nullptr);
  } else {
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(TwainLayer::TWAIN_GetDibWidth(dib), 16 + c.image);
    Bitmap picture(TwainLayer::TWAIN_GetDibWidth(dib), TwainLayer::TWAIN_GetDibHeight(dib));
    TwainLayer::TWAIN_PaintDib(dib, picture);
    EXPECT_EQ(picture.Pixel(0, 0), MakeColor(c.image, 2 * c.image, 3 * c.image));
  }
  TwainLayer::TWAIN_ReleaseDib(dib);
  // The images of earlier transfers were released along the way.
  EXPECT_EQ(GlobalBlocksInUse(), blocksBefore);
}

INSTANTIATE_TEST_SUITE_P(Cases, AcquireTest, ::testing::ValuesIn(AcquireCases()),
                         [](const ::testing::TestParamInfo<AcquireCase>& info) {
                           return "case" + std::to_string(info.index);
                         });

struct SelectCase {
  const char* name;
  std::vector<ScriptedCall> script;
  std::vector<std::string> log;
  bool chosen;
  std::vector<std::string> boxes = {};
  WindowHandle window = ScriptedTwainPlatform::MainWindow();
  bool loads = true;
  bool proxyCreatable = true;
};

std::vector<SelectCase> SelectCases() {
  return {
      {"the user chooses a source",
       {OpenDsm(), UserSelect(TWRC_SUCCESS), CloseDsm()},
       {At(1, "Load"), At(2, kOpenDsm), At(3, kUserSelect), At(3, kCloseDsm), At(2, "Unload")},
       true},
      {"the user cancels: no message",
       {OpenDsm(), UserSelect(TWRC_CANCEL), CloseDsm()},
       {At(1, "Load"), At(2, kOpenDsm), At(3, kUserSelect), At(3, kCloseDsm), At(2, "Unload")},
       false},
      {"no Source Manager",
       {},
       {At(1, "Load fails"), At(1, "MessageBox " + std::string(kLoadSourceManagerFailedText))},
       false,
       {std::string(kLoadSourceManagerFailedText)},
       ScriptedTwainPlatform::MainWindow(),
       false},
      {"the Source Manager does not open: unloaded without CLOSEDSM",
       {OpenDsm(TWRC_FAILURE)},
       {At(1, "Load"), At(2, kOpenDsm),
        At(2, "MessageBox " + std::string(kOpenSourceManagerFailedText)), At(2, "Unload")},
       false,
       {std::string(kOpenSourceManagerFailedText)}},
      {"a window that is no window and not 0",
       {},
       {At(1, "MessageBox " + std::string(kSelectInvalidWindowText))},
       false,
       {std::string(kSelectInvalidWindowText)},
       ScriptedTwainPlatform::StaleWindow()},
      {"window 0 gets a proxy window",
       {OpenDsm(), UserSelect(TWRC_SUCCESS), CloseDsm()},
       {At(1, "CreateProxyWindow"), At(1, "Load"), At(2, kOpenDsm), At(3, kUserSelect),
        At(3, kCloseDsm), At(2, "Unload"), At(1, "DestroyWindow proxy")},
       true,
       {},
       nullptr},
      {"window 0 and no proxy window",
       {},
       {At(1, "CreateProxyWindow fails"), At(1, "MessageBox " + std::string(kSelectNoProxyText))},
       false,
       {std::string(kSelectNoProxyText)},
       nullptr,
       true,
       false},
  };
}

void PrintTo(const SelectCase& c, std::ostream* os) {
  *os << c.name;
}

class SelectTest : public ::testing::TestWithParam<SelectCase> {};

TEST_P(SelectTest, CallsInOrder) {
  const SelectCase& c = GetParam();
  SCOPED_TRACE(c.name);
  TwainLog log;
  ScriptedSourceManager sourceManager(log, c.script, c.loads);
  ScriptedTwainPlatform platform(log);
  platform.proxyCreatable = c.proxyCreatable;
  TwainLayer layer(sourceManager, platform);
  log.stateProbe = [&layer] { return layer.State(); };

  EXPECT_EQ(layer.TWAIN_SelectImageSource(c.window), c.chosen);
  EXPECT_EQ(log.Lines(), c.log);
  EXPECT_EQ(platform.boxes, c.boxes);
  EXPECT_TRUE(sourceManager.ScriptFinished());
  EXPECT_EQ(layer.State(), 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, SelectTest, ::testing::ValuesIn(SelectCases()),
                         [](const ::testing::TestParamInfo<SelectCase>& info) {
                           return "case" + std::to_string(info.index);
                         });

TEST(TwainLayer, SelectionSendsAZeroFilledIdentityAndTheWindowAsParent) {
  TwainLog log;
  ScriptedSourceManager sourceManager(log, {OpenDsm(), UserSelect(TWRC_SUCCESS), CloseDsm()});
  ScriptedTwainPlatform platform(log);
  TwainLayer layer(sourceManager, platform);
  ASSERT_TRUE(layer.TWAIN_SelectImageSource(ScriptedTwainPlatform::MainWindow()));
  const auto& calls = sourceManager.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].parent, ScriptedTwainPlatform::MainWindow());
  ASSERT_TRUE(calls[1].identity.has_value());
  const TW_IDENTITY zero{};
  EXPECT_EQ(std::memcmp(&*calls[1].identity, &zero, sizeof zero), 0);
  EXPECT_EQ(calls[2].parent, ScriptedTwainPlatform::MainWindow());
}

TEST(TwainLayer, RecordsCarryTheValuesOfTheStandard) {
  TwainLog log;
  ScriptedSourceManager sourceManager(
      log, {OpenDsm(), OpenDs(), EnableDs(), SourceEvent(MSG_CLOSEDSREQ), DisableDs(), CloseDs(),
            CloseDsm(), OpenDsm(), OpenDs(TWRC_FAILURE), CloseDsm()});
  ScriptedTwainPlatform platform(log);
  TwainLayer layer(sourceManager, platform);
  EXPECT_EQ(layer.TWAIN_AcquireToDib(ScriptedTwainPlatform::MainWindow(), 0), nullptr);
  EXPECT_EQ(layer.TWAIN_AcquireToDib(ScriptedTwainPlatform::MainWindow(), 0), nullptr);
  const auto& calls = sourceManager.Calls();
  ASSERT_EQ(calls.size(), 10u);

  // The application's identity, sent as the origin of every call.
  const TW_IDENTITY& app = calls[0].origin;
  EXPECT_EQ(TW_UINT32{app.Id}, 0u);
  EXPECT_EQ(app.Version.MajorNum, 1);
  EXPECT_EQ(app.Version.MinorNum, 0);
  EXPECT_EQ(app.Version.Language, TWLG_USA);
  EXPECT_EQ(app.Version.Country, TWCY_USA);
  EXPECT_EQ(TwainString(app.Version.Info), "<?>");
  EXPECT_EQ(app.ProtocolMajor, 1);
  EXPECT_EQ(app.ProtocolMinor, 6);
  EXPECT_EQ(TW_UINT32{app.SupportedGroups}, 3u);
  EXPECT_EQ(TwainString(app.Manufacturer), "<?>");
  EXPECT_EQ(TwainString(app.ProductFamily), "<?>");
  EXPECT_EQ(TwainString(app.ProductName), "<?>");
  // The Source Manager's Id for the application stays from then on.
  for (std::size_t i = 1; i < calls.size(); ++i)
    EXPECT_EQ(TW_UINT32{calls[i].origin.Id}, 7u) << i;

  // The default source: Id 0 and no product name; the Source Manager fills
  // in the record, which then addresses the source.
  ASSERT_TRUE(calls[1].identity.has_value());
  EXPECT_EQ(TW_UINT32{calls[1].identity->Id}, 0u);
  EXPECT_EQ(TwainString(calls[1].identity->ProductName), "");
  EXPECT_FALSE(calls[1].toSource);
  EXPECT_TRUE(calls[2].toSource);
  EXPECT_EQ(TW_UINT32{calls[2].destination.Id}, 11u);
  EXPECT_EQ(TwainString(calls[2].destination.ProductName), "Flatbed 9000");
  // Each acquisition opens the default source again.
  EXPECT_EQ(TW_UINT32{calls[8].identity->Id}, 0u);
  EXPECT_EQ(TwainString(calls[8].identity->ProductName), "");

  ASSERT_TRUE(calls[2].userInterface.has_value());
  EXPECT_EQ(calls[2].userInterface->ShowUI, TW_TRUE);
  EXPECT_EQ(calls[2].userInterface->ModalUI, TW_FALSE);
  EXPECT_EQ(TW_HANDLE{calls[2].userInterface->hParent}, ScriptedTwainPlatform::MainWindow());

  // The event record points at the message the queue delivered, and the
  // layer leaves TWMessage empty for the source to fill.
  ASSERT_TRUE(calls[3].message.has_value());
  EXPECT_EQ(calls[3].message->message, 1u);
  EXPECT_EQ(calls[3].eventMessageIn, MSG_NULL);

  EXPECT_EQ(calls[0].parent, ScriptedTwainPlatform::MainWindow());
  EXPECT_EQ(calls[6].parent, ScriptedTwainPlatform::MainWindow());
  EXPECT_EQ(platform.boxes, std::vector<std::string>{std::string(kLastErrorText)});
}

TEST(TwainLayer, AvailabilityIsDecidedOnceAndKept) {
  struct Case {
    bool loadsFirst;
    std::vector<std::string> log;
  };
  for (const Case& c : {Case{false, {"Load fails"}}, Case{true, {"Load", "Unload"}}}) {
    TwainLog log;
    ScriptedSourceManager sourceManager(log, {}, c.loadsFirst);
    ScriptedTwainPlatform platform(log);
    TwainLayer layer(sourceManager, platform);
    EXPECT_EQ(layer.TWAIN_SourceManagerPresent(), c.loadsFirst);
    // The library appearing or going later changes nothing for this run.
    sourceManager.SetLoads(!c.loadsFirst);
    EXPECT_EQ(layer.TWAIN_SourceManagerPresent(), c.loadsFirst);
    EXPECT_EQ(layer.TWAIN_SourceManagerPresent(), c.loadsFirst);
    EXPECT_EQ(sourceManager.LoadCount(), 1);
    EXPECT_EQ(log.Lines(), c.log);
    EXPECT_EQ(layer.State(), 1);
  }
}

// The command state is refreshed while the source's dialog is open; the
// answer then comes from the loaded Source Manager, without loading it again.
TEST(TwainLayer, PresentWhileTheSourceManagerIsLoaded) {
  TwainLog log;
  ScriptedSourceManager sourceManager(
      log, {OpenDsm(), OpenDs(), EnableDs(), OtherEvent(), SourceEvent(MSG_CLOSEDSREQ), DisableDs(),
            CloseDs(), CloseDsm()});
  struct Asking : ScriptedTwainPlatform {
    using ScriptedTwainPlatform::ScriptedTwainPlatform;
    TwainLayer* layer = nullptr;
    std::vector<bool> answers;
    void TranslateAndDispatch(const TwainMessage& message) override {
      ScriptedTwainPlatform::TranslateAndDispatch(message);
      answers.push_back(layer->TWAIN_SourceManagerPresent());
    }
  } platform(log);
  TwainLayer layer(sourceManager, platform);
  platform.layer = &layer;
  EXPECT_EQ(layer.TWAIN_AcquireToDib(ScriptedTwainPlatform::MainWindow(), 0), nullptr);
  EXPECT_EQ(platform.answers, std::vector<bool>{true});
  EXPECT_TRUE(layer.TWAIN_SourceManagerPresent());
  EXPECT_EQ(sourceManager.LoadCount(), 1);
}

TEST(TwainLayer, ACallWithoutSourceManagerFailsWithoutReachingIt) {
  TwainLog log;
  ScriptedSourceManager sourceManager(log, {}, false);
  ScriptedTwainPlatform platform(log);
  TwainLayer layer(sourceManager, platform);
  EXPECT_EQ(layer.TWAIN_AcquireToDib(ScriptedTwainPlatform::MainWindow(), 0), nullptr);
  EXPECT_EQ(layer.LastResult(), TWRC_FAILURE);
  EXPECT_TRUE(sourceManager.Calls().empty());
}

TEST(TwainLayer, ReportLastErrorShowsTheFixedText) {
  TwainLog log;
  ScriptedSourceManager sourceManager(log, {});
  ScriptedTwainPlatform platform(log);
  TwainLayer layer(sourceManager, platform);
  layer.TWAIN_ReportLastError();
  EXPECT_EQ(platform.boxes, std::vector<std::string>{"TWAIN_ReportLastError: an error occurred"});
}

// The source's dialog lets the application in again while the loop runs;
// a second command that gets through must not disturb the running one.
TEST(TwainLayer, ACommandDuringTheLoopIsRefused) {
  TwainLog log;
  ScriptedSourceManager sourceManager(
      log, {OpenDsm(), OpenDs(), EnableDs(), OtherEvent(), SourceEvent(MSG_XFERREADY),
            Get(TWRC_XFERDONE, 2), EndXfer(0), DisableDs(), CloseDs(), CloseDsm()});
  struct Reentering : ScriptedTwainPlatform {
    using ScriptedTwainPlatform::ScriptedTwainPlatform;
    TwainLayer* layer = nullptr;
    TW_HANDLE nested = reinterpret_cast<TW_HANDLE>(1);
    bool nestedSelect = true;
    void TranslateAndDispatch(const TwainMessage& message) override {
      ScriptedTwainPlatform::TranslateAndDispatch(message);
      nested = layer->TWAIN_AcquireToDib(MainWindow(), 0);
      nestedSelect = layer->TWAIN_SelectImageSource(MainWindow());
    }
  } platform(log);
  TwainLayer layer(sourceManager, platform);
  platform.layer = &layer;
  TW_HANDLE dib = layer.TWAIN_AcquireToDib(ScriptedTwainPlatform::MainWindow(), 0);
  EXPECT_EQ(platform.nested, nullptr);
  EXPECT_FALSE(platform.nestedSelect);
  EXPECT_EQ(TwainLayer::TWAIN_GetDibWidth(dib), 18);
  EXPECT_TRUE(sourceManager.ScriptFinished());
  EXPECT_EQ(layer.State(), 1);
  TwainLayer::TWAIN_ReleaseDib(dib);
}

}  // namespace
}  // namespace quillet

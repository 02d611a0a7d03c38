#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/acquire/SourceManager.h"
#include "core/acquire/TwainPlatform.h"
#include "core/acquire/TwainTypes.h"

namespace quillet::testing {

// One log that the scripted Source Manager and the scripted platform both
// write, so that a test sees the TWAIN calls and the window and queue
// operations in the order they happened. Each line starts with the layer's
// state at that moment, when a probe is set: "[4] DS DG_CONTROL/...".
class TwainLog {
 public:
  std::function<int()> stateProbe;
  void Add(const std::string& line);
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

// A call the script expects and what the Source Manager answers.
struct ScriptedCall {
  TW_UINT32 dg = 0;
  TW_UINT16 dat = 0;
  TW_UINT16 msg = 0;
  TW_UINT16 result = TWRC_SUCCESS;
  // DAT_EVENT: what the source puts into TWMessage.
  TW_UINT16 eventMessage = MSG_NULL;
  // DAT_IMAGENATIVEXFER: hand over test DIB number n (n > 0), whose width is
  // 16 + n; 0 hands over nothing.
  int image = 0;
  // DAT_PENDINGXFERS: the Count the source reports.
  TW_UINT16 pendingCount = 0;
  // DAT_IDENTITY MSG_OPENDS / MSG_USERSELECT: the product name filled in.
  const char* productName = nullptr;
};

// What one DSM_Entry call carried, copied when it was made.
struct RecordedTwainCall {
  TW_UINT32 dg = 0;
  TW_UINT16 dat = 0;
  TW_UINT16 msg = 0;
  bool toSource = false;
  TW_IDENTITY origin{};
  TW_IDENTITY destination{};
  // The record the data pointer points to, for the calls that carry one.
  std::optional<TW_IDENTITY> identity;
  std::optional<TW_USERINTERFACE> userInterface;
  std::optional<WindowHandle> parent;   // DAT_PARENT: the window handle pointed to
  std::optional<TwainMessage> message;  // DAT_EVENT: the message pEvent points to
  std::optional<TW_UINT16> eventMessageIn;
};

// A Source Manager that plays a table of expected calls with canned results
// and records every call with its records. A call out of script fails the
// test and answers TWRC_FAILURE.
class ScriptedSourceManager : public SourceManager {
 public:
  ScriptedSourceManager(TwainLog& log, std::vector<ScriptedCall> script, bool loads = true);

  bool Load() override;
  void Unload() override;
  TW_UINT16 DSM_Entry(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dg, TW_UINT16 dat,
                      TW_UINT16 msg, TW_MEMREF data) override;

  void SetLoads(bool loads) { loads_ = loads; }
  int LoadCount() const { return loadCount_; }
  bool ScriptFinished() const { return script_.empty(); }
  const std::vector<RecordedTwainCall>& Calls() const { return calls_; }

 private:
  TwainLog& log_;
  std::deque<ScriptedCall> script_;
  bool loads_;
  bool loaded_ = false;
  int loadCount_ = 0;
  std::vector<RecordedTwainCall> calls_;
};

// A packed 24-bit DIB of (16 + n) × 16 pixels, every pixel the colour
// MakeColor(n, 2n, 3n), in a block from GlobalAllocBlock.
TW_HANDLE MakeTestDib(int n);

// The window services and the message queue, scripted: a main window that
// is valid, a proxy window that can or cannot be made, and a queue that
// delivers numbered messages and then the quit message after `messageLimit`
// of them, so that a loop that never ends fails instead of hanging.
class ScriptedTwainPlatform : public TwainPlatform {
 public:
  explicit ScriptedTwainPlatform(TwainLog& log) : log_(log) {}

  static WindowHandle MainWindow() { return reinterpret_cast<WindowHandle>(0x1000); }
  static WindowHandle ProxyWindow() { return reinterpret_cast<WindowHandle>(0x2000); }
  static WindowHandle StaleWindow() { return reinterpret_cast<WindowHandle>(0x3000); }

  bool IsWindow(WindowHandle window) override;
  WindowHandle CreateProxyWindow() override;
  void DestroyWindow(WindowHandle window) override;
  void EnableWindow(WindowHandle window, bool enable) override;
  bool GetMessage(TwainMessage& message) override;
  void TranslateAndDispatch(const TwainMessage& message) override;
  void MessageBox(std::string_view text) override;

  bool proxyCreatable = true;
  int messageLimit = 20;
  std::vector<std::string> boxes;

 private:
  static std::string NameOf(WindowHandle window);
  TwainLog& log_;
  bool proxyAlive_ = false;
  std::uint32_t delivered_ = 0;
};

}  // namespace quillet::testing

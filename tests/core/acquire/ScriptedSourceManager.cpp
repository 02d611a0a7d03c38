#include "core/acquire/ScriptedSourceManager.h"

#include <cstring>

#include "support/TestFailure.h"

namespace quillet::testing {

void TwainLog::Add(const std::string& line) {
  if (stateProbe) {
    lines_.push_back("[" + std::to_string(stateProbe()) + "] " + line);
  } else {
    lines_.push_back(line);
  }
}

ScriptedSourceManager::ScriptedSourceManager(TwainLog& log, std::vector<ScriptedCall> script,
                                             bool loads)
    : log_(log), script_(script.begin(), script.end()), loads_(loads) {}

bool ScriptedSourceManager::Load() {
  ++loadCount_;
  log_.Add(loads_ ? "Load" : "Load fails");
  if (loaded_) ReportTestFailure("Source Manager loaded twice");
  loaded_ = loads_;
  return loads_;
}

void ScriptedSourceManager::Unload() {
  log_.Add("Unload");
  if (!loaded_) ReportTestFailure("Source Manager unloaded without being loaded");
  loaded_ = false;
}

namespace {

void Record(RecordedTwainCall& call, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  if (data == nullptr) return;
  switch (dat) {
    case DAT_IDENTITY:
      call.identity = *static_cast<TW_IDENTITY*>(data);
      break;
    case DAT_USERINTERFACE:
      call.userInterface = *static_cast<TW_USERINTERFACE*>(data);
      break;
    case DAT_PARENT:
      call.parent = *static_cast<WindowHandle*>(data);
      break;
    case DAT_EVENT: {
      const auto* event = static_cast<TW_EVENT*>(data);
      call.eventMessageIn = event->TWMessage;
      if (event->pEvent != nullptr) call.message = *static_cast<TwainMessage*>(event->pEvent);
      break;
    }
    default:
      break;
  }
  static_cast<void>(msg);
}

}  // namespace

TW_UINT16 ScriptedSourceManager::DSM_Entry(TW_IDENTITY* origin, TW_IDENTITY* destination,
                                           TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                                           TW_MEMREF data) {
  const std::string name = (destination != nullptr ? "DS " : "DSM ") + TwainCallName(dg, dat, msg);
  log_.Add(name);
  if (!loaded_) ReportTestFailure("call while the Source Manager is not loaded: " + name);

  RecordedTwainCall call;
  call.dg = dg;
  call.dat = dat;
  call.msg = msg;
  call.toSource = destination != nullptr;
  if (origin != nullptr) call.origin = *origin;
  if (destination != nullptr) call.destination = *destination;
  Record(call, dat, msg, data);
  calls_.push_back(call);

  if (script_.empty()) {
    ReportTestFailure("call after the end of the script: " + name);
    return TWRC_FAILURE;
  }
  const ScriptedCall expected = script_.front();
  script_.pop_front();
  if (expected.dg != dg || expected.dat != dat || expected.msg != msg) {
    ReportTestFailure("expected " + TwainCallName(expected.dg, expected.dat, expected.msg) +
                      ", got " + name);
    return TWRC_FAILURE;
  }

  // The Source Manager gives the application its Id when it opens, as the
  // standard provides, and the source its identity.
  if (msg == MSG_OPENDSM && expected.result == TWRC_SUCCESS && origin != nullptr) origin->Id = 7;
  if (dat == DAT_IDENTITY && expected.productName != nullptr && data != nullptr) {
    auto* identity = static_cast<TW_IDENTITY*>(data);
    identity->Id = 11;
    SetTwainString(identity->ProductName, expected.productName);
  }
  if (dat == DAT_EVENT && data != nullptr)
    static_cast<TW_EVENT*>(data)->TWMessage = expected.eventMessage;
  if (dat == DAT_IMAGENATIVEXFER && data != nullptr && expected.image > 0)
    *static_cast<TW_HANDLE*>(data) = MakeTestDib(expected.image);
  if (dat == DAT_PENDINGXFERS && data != nullptr)
    static_cast<TW_PENDINGXFERS*>(data)->Count = expected.pendingCount;
  return expected.result;
}

TW_HANDLE MakeTestDib(int n) {
  const int width = 16 + n, height = 16;
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  const std::size_t size = 40 + stride * height;
  TW_HANDLE block = GlobalAllocBlock(size);
  std::uint8_t* p = GlobalLockBlock(block).data();
  auto put32 = [](std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
      at[i] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  put32(p, 40);
  put32(p + 4, static_cast<std::uint32_t>(width));
  put32(p + 8, static_cast<std::uint32_t>(height));
  p[12] = 1;
  p[14] = 24;
  put32(p + 20, static_cast<std::uint32_t>(stride * height));
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = p + 40 + stride * y;
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<std::uint8_t>(3 * n);  // blue
      row[3 * x + 1] = static_cast<std::uint8_t>(2 * n);
      row[3 * x + 2] = static_cast<std::uint8_t>(n);  // red
    }
  }
  return block;
}

std::string ScriptedTwainPlatform::NameOf(WindowHandle window) {
  if (window == MainWindow()) return "main";
  if (window == ProxyWindow()) return "proxy";
  if (window == nullptr) return "none";
  return "other";
}

bool ScriptedTwainPlatform::IsWindow(WindowHandle window) {
  return window == MainWindow() || (window == ProxyWindow() && proxyAlive_);
}

WindowHandle ScriptedTwainPlatform::CreateProxyWindow() {
  log_.Add(proxyCreatable ? "CreateProxyWindow" : "CreateProxyWindow fails");
  if (!proxyCreatable) return nullptr;
  proxyAlive_ = true;
  return ProxyWindow();
}

void ScriptedTwainPlatform::DestroyWindow(WindowHandle window) {
  log_.Add("DestroyWindow " + NameOf(window));
  if (window == ProxyWindow()) proxyAlive_ = false;
}

void ScriptedTwainPlatform::EnableWindow(WindowHandle window, bool enable) {
  log_.Add(std::string(enable ? "EnableWindow " : "DisableWindow ") + NameOf(window));
}

bool ScriptedTwainPlatform::GetMessage(TwainMessage& message) {
  if (static_cast<int>(delivered_) >= messageLimit) {
    log_.Add("GetMessage quit");
    return false;
  }
  ++delivered_;
  log_.Add("GetMessage");
  message = TwainMessage{};
  message.message = delivered_;
  return true;
}

void ScriptedTwainPlatform::TranslateAndDispatch(const TwainMessage& message) {
  log_.Add("Dispatch");
  static_cast<void>(message);
}

void ScriptedTwainPlatform::MessageBox(std::string_view text) {
  log_.Add("MessageBox " + std::string(text));
  boxes.emplace_back(text);
}

}  // namespace quillet::testing

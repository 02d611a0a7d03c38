#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/acquire/SaneDevice.h"
#include "core/acquire/SaneFrame.h"
#include "core/acquire/SaneLibrary.h"
#include "core/acquire/SourceManager.h"
#include "core/acquire/TwainPlatform.h"
#include "core/service/SystemProxy.h"

namespace quillet {

// Where the chosen scanner is remembered: $XDG_CONFIG_HOME/Quillet/scanner,
// else ~/.config/Quillet/scanner; empty when neither variable is set.
std::string ScannerChoicePath(const EnvironmentLookup& environment);
// The scanner kept in that file: its device name, with its maker and model
// as they were listed; nothing when there is no usable one.
std::optional<SaneDeviceInfo> ReadScannerChoice(const std::string& path);
// Writes the file whole (creating its folder); throws std::runtime_error
// with the system's text when it cannot, or when the name cannot be kept.
void WriteScannerChoice(const std::string& path, const SaneDeviceInfo& device);

// The enabled source as its window sees it: the open device, and the two
// things the user can tell the source, that a scan is there to be taken and
// that the window is done with. Lives from enabling to disabling the source.
class SaneScanSession {
 public:
  explicit SaneScanSession(SaneDevice& device) : device_(device) {}

  SaneDevice& Device() { return device_; }
  // A finished scan; the source announces a transfer for it.
  void Deliver(SanePicture picture);
  // Cancel or the window closed; the source asks to be closed, and a scan
  // not yet taken is dropped.
  void RequestClose();

  // The Source Manager's side: MSG_XFERREADY or MSG_CLOSEDSREQ, each once
  // for what the user did; nothing when there is nothing new.
  std::optional<TW_UINT16> NextEvent();
  // The delivered picture, handed over once.
  std::optional<SanePicture> TakePicture();

 private:
  SaneDevice& device_;
  std::optional<SanePicture> picture_;
  bool transferAnnounced_ = false;
  bool closeRequested_ = false;
  bool closeAnnounced_ = false;
};

// What the SANE Source Manager shows: its selection dialog and the source's
// window. The program's windows implement it; tests script it.
class SaneUi {
 public:
  virtual ~SaneUi() = default;

  // The selection dialog over the devices found, `current` preselected
  // (empty for none). The chosen device's name, or nothing for Cancel.
  virtual std::optional<std::string> SelectSource(const std::vector<SaneDeviceInfo>& devices,
                                                  const std::string& current,
                                                  WindowHandle parent) = 0;
  // Shows the source's window for `session`, modeless, and returns at once;
  // false when it cannot be shown.
  virtual bool ShowSourceWindow(SaneScanSession& session, WindowHandle parent) = 0;
  // Closes that window; a scan still running is stopped and waited for.
  virtual void CloseSourceWindow() = 0;
  // A line in the source's window, e.g. that a picture could not be taken.
  virtual void SourceStatus(std::string_view text) = 0;
  // A message box of the Source Manager's own.
  virtual void ReportProblem(std::string_view text) = 0;
  // Runs `work` and returns when it is done. A search for scanners on the
  // network, or opening one, takes seconds: the program's windows run it on
  // a thread of their own, say `status` and keep painting meanwhile.
  // Whatever `work` throws comes back to the caller.
  virtual void RunWhileBusy(std::string_view status, const std::function<void()>& work) {
    (void)status;
    work();
  }
};

inline constexpr std::string_view kScannerChoiceNotSavedText =
    "The chosen scanner could not be remembered for the next time: ";
inline constexpr std::string_view kLookingForScannersText = "Looking for scanners...";
inline constexpr std::string_view kOpeningScannerText = "Opening the scanner...";
inline constexpr std::string_view kTransferFailedText =
    "The scanned picture could not be handed over. Please scan again.";

// A TWAIN Source Manager over SANE: libsane is loaded at run time (no
// library, no Source Manager), its devices are the sources, the selection
// dialog and the source's window come from a SaneUi, and a finished scan
// reaches the application as a packed DIB in a native transfer.
class SaneSourceManager : public SourceManager {
 public:
  SaneSourceManager(SaneUi& ui, std::string choicePath, std::string libraryName = kSaneLibraryName);
  ~SaneSourceManager() override;

  bool Load() override;
  void Unload() override;
  TW_UINT16 DSM_Entry(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dg, TW_UINT16 dat,
                      TW_UINT16 msg, TW_MEMREF data) override;

  // Why Load failed, for the log.
  const std::string& LoadError() const { return library_.LoadError(); }
  // The open source, for tests and the window.
  SaneDevice* OpenDevice() { return device_.get(); }

 private:
  TW_UINT16 OpenDsm(TW_IDENTITY* origin, TW_MEMREF data);
  TW_UINT16 CloseDsm();
  TW_UINT16 UserSelect(TW_IDENTITY* identity);
  TW_UINT16 OpenDs(TW_IDENTITY* identity);
  TW_UINT16 CloseDs(TW_IDENTITY* identity);
  TW_UINT16 SourceCall(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 EnableDs(TW_USERINTERFACE* userInterface);
  TW_UINT16 DisableDs();
  TW_UINT16 ProcessEvent(TW_EVENT* event);
  TW_UINT16 NativeTransfer(TW_HANDLE* handle);
  TW_UINT16 PendingTransfers(TW_UINT16 msg, TW_PENDINGXFERS* pending);
  std::unique_ptr<SaneDevice> Open(const SaneDeviceInfo& device);
  // The source `asked` names (its product name), or the default source for
  // an empty name; null when none opens.
  std::unique_ptr<SaneDevice> OpenAsked(const std::string& asked);
  void FillIdentity(TW_IDENTITY& identity) const;

  SaneUi& ui_;
  std::string choicePath_;
  SaneLibrary library_;
  bool open_ = false;
  WindowHandle parent_ = nullptr;
  std::unique_ptr<SaneDevice> device_;
  TW_UINT32 sourceId_ = 0;
  TW_UINT32 lastId_ = 1;
  // The source's own state: 4 open, 5 enabled, 6 transfer ready, 7 done.
  int sourceState_ = 0;
  std::unique_ptr<SaneScanSession> session_;
  std::optional<SanePicture> transfer_;
};

}  // namespace quillet

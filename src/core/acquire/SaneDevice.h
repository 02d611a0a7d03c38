#pragma once

#include <sane/sane.h>

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/acquire/SaneFrame.h"
#include "core/acquire/SaneLibrary.h"

namespace quillet {

// A scanner as SANE lists it.
struct SaneDeviceInfo {
  std::string name;  // what sane_open takes, e.g. "test:0", "airscan:e0:Printer"
  std::string vendor;
  std::string model;
  std::string type;
  bool operator==(const SaneDeviceInfo&) const = default;
};

// Every device SANE finds, local and on the network. Needs sane_init.
std::vector<SaneDeviceInfo> ListSaneDevices(const SaneEntryPoints& api);

// The resolution option: a list of values, or a range (choices empty).
struct SaneResolution {
  int current = 0;
  std::vector<int> choices;
  int min = 0;
  int max = 0;
  int step = 1;
};

enum class SaneScanStatus { Done, Cancelled, Failed };

struct SaneScanResult {
  SaneScanStatus status = SaneScanStatus::Failed;
  SanePicture picture;
  std::string problem;  // what went wrong, for the window's status line
};

// How far a running scan has come; written by the scanning thread, read by
// any other.
struct SaneScanProgress {
  std::atomic<std::size_t> received{0};
  std::atomic<std::size_t> expected{0};  // 0 while not known
};

// The resolution a preview is scanned at when the device has no preview
// option of its own.
inline constexpr int kPreviewDotsPerInch = 50;

// One open scanner: its options and its scans. Closed when it goes. Only
// one thread at a time may use it; Cancel() alone may come from another.
class SaneDevice {
 public:
  SaneDevice(const SaneLibrary& library, SANE_Handle handle, SaneDeviceInfo info);
  ~SaneDevice();
  SaneDevice(const SaneDevice&) = delete;
  SaneDevice& operator=(const SaneDevice&) = delete;

  const SaneDeviceInfo& Info() const { return info_; }

  std::optional<SaneResolution> Resolution() const;
  bool SetResolution(int dotsPerInch);
  // The colour modes the device offers ("Color", "Gray", "Lineart", ...).
  std::vector<std::string> Modes() const;
  std::string Mode() const;
  bool SetMode(std::string_view mode);
  // Sets any option by name from text: "yes"/"no" for flags, a number for
  // whole and fixed-point values, the text itself for strings. False when
  // the option is missing, inactive, not settable or the text does not fit.
  bool SetOption(std::string_view name, std::string_view value);
  // The picture a scan with the present settings will give, as far as the
  // device can tell before it starts.
  std::optional<SANE_Parameters> Parameters() const;

  // Scans one picture, blocking until it is complete, failed or cancelled.
  // A preview uses the device's preview option, or a low resolution.
  SaneScanResult Scan(bool preview, SaneScanProgress* progress = nullptr);
  // Asks a running Scan to stop; it stops at its next read. Any thread.
  void Cancel() { cancel_ = true; }

 private:
  struct Option {
    SANE_Int index = 0;
    const SANE_Option_Descriptor* descriptor = nullptr;
  };
  std::optional<Option> FindOption(std::string_view name) const;
  bool SetWord(const Option& option, SANE_Word value);
  std::optional<SANE_Word> GetWord(const Option& option) const;
  SaneScanResult ScanFrames(SaneScanProgress* progress);
  SaneScanResult Failure(std::string problem);

  const SaneLibrary& library_;
  const SaneEntryPoints& api_;
  SANE_Handle handle_;
  SaneDeviceInfo info_;
  std::atomic<bool> cancel_{false};
};

}  // namespace quillet

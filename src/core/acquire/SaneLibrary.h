#pragma once

#include <sane/sane.h>

#include <string>

namespace quillet {

// The entry points of libsane, looked up when the library is loaded at run
// time, so that the program starts and runs without it.
struct SaneEntryPoints {
  decltype(&sane_init) init = nullptr;
  decltype(&sane_exit) exit = nullptr;
  decltype(&sane_get_devices) get_devices = nullptr;
  decltype(&sane_open) open = nullptr;
  decltype(&sane_close) close = nullptr;
  decltype(&sane_get_option_descriptor) get_option_descriptor = nullptr;
  decltype(&sane_control_option) control_option = nullptr;
  decltype(&sane_get_parameters) get_parameters = nullptr;
  decltype(&sane_start) start = nullptr;
  decltype(&sane_read) read = nullptr;
  decltype(&sane_cancel) cancel = nullptr;
  decltype(&sane_strstatus) strstatus = nullptr;
};

// The name under which the SANE library is looked up.
inline constexpr const char* kSaneLibraryName = "libsane.so.1";

// libsane, opened with dlopen. Not copyable; unloads when it goes.
class SaneLibrary {
 public:
  explicit SaneLibrary(std::string fileName = kSaneLibraryName);
  ~SaneLibrary();
  SaneLibrary(const SaneLibrary&) = delete;
  SaneLibrary& operator=(const SaneLibrary&) = delete;

  // Opens the library and finds every entry point; false (and nothing
  // loaded) when the library or one of them is missing. LoadError() says why.
  bool Load();
  void Unload();
  bool Loaded() const { return handle_ != nullptr; }
  const std::string& LoadError() const { return loadError_; }

  const SaneEntryPoints& Api() const { return api_; }
  // The library's own text for a status.
  std::string StatusText(SANE_Status status) const;

 private:
  std::string fileName_;
  void* handle_ = nullptr;
  SaneEntryPoints api_;
  std::string loadError_;
};

}  // namespace quillet

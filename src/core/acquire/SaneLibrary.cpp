#include "core/acquire/SaneLibrary.h"

#include <dlfcn.h>

#include <utility>

namespace quillet {

namespace {

template <typename Function>
bool Find(void* handle, const char* name, Function& entry) {
  void* symbol = dlsym(handle, name);
  entry = reinterpret_cast<Function>(symbol);
  return symbol != nullptr;
}

}  // namespace

SaneLibrary::SaneLibrary(std::string fileName) : fileName_(std::move(fileName)) {}

SaneLibrary::~SaneLibrary() {
  Unload();
}

bool SaneLibrary::Load() {
  if (handle_ != nullptr) return true;
  loadError_.clear();
  void* handle = dlopen(fileName_.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) {
    const char* error = dlerror();
    loadError_ = error != nullptr ? error : fileName_ + ": cannot be loaded";
    return false;
  }
  SaneEntryPoints api;
  const bool complete =
      Find(handle, "sane_init", api.init) && Find(handle, "sane_exit", api.exit) &&
      Find(handle, "sane_get_devices", api.get_devices) && Find(handle, "sane_open", api.open) &&
      Find(handle, "sane_close", api.close) &&
      Find(handle, "sane_get_option_descriptor", api.get_option_descriptor) &&
      Find(handle, "sane_control_option", api.control_option) &&
      Find(handle, "sane_get_parameters", api.get_parameters) &&
      Find(handle, "sane_start", api.start) && Find(handle, "sane_read", api.read) &&
      Find(handle, "sane_cancel", api.cancel) && Find(handle, "sane_strstatus", api.strstatus);
  if (!complete) {
    loadError_ = fileName_ + ": an entry point of SANE is missing";
    dlclose(handle);
    return false;
  }
  handle_ = handle;
  api_ = api;
  return true;
}

void SaneLibrary::Unload() {
  // The library itself stays mapped (it was opened RTLD_NODELETE): backends
  // such as sane-airscan leave threads and exit handlers behind that would
  // run into unmapped code.
  if (handle_ == nullptr) return;
  dlclose(handle_);
  handle_ = nullptr;
  api_ = SaneEntryPoints{};
}

std::string SaneLibrary::StatusText(SANE_Status status) const {
  if (api_.strstatus != nullptr) {
    const char* text = api_.strstatus(status);
    if (text != nullptr) return text;
  }
  return "SANE status " + std::to_string(static_cast<int>(status));
}

}  // namespace quillet

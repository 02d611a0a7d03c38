#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "core/acquire/TwainTypes.h"

namespace quillet {

// A TWAIN Source Manager as the scanner layer sees it: a library that can be
// loaded and unloaded, with the one entry point through which every TWAIN
// call goes. Calls to the Source Manager itself pass no destination; calls
// to a source pass that source's identity.
class SourceManager {
 public:
  virtual ~SourceManager() = default;

  // Finds and loads the library and its entry point; false when there is
  // none (the platform then has no Source Manager).
  virtual bool Load() = 0;
  // Frees what Load took. Only called after a successful Load.
  virtual void Unload() = 0;
  virtual TW_UINT16 DSM_Entry(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dg,
                              TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) = 0;
};

// The Source Manager of a system that has none: it never loads, and says why.
class NullSourceManager : public SourceManager {
 public:
  explicit NullSourceManager(std::string reason = "No scanner support is available.")
      : reason_(std::move(reason)) {}

  bool Load() override { return false; }
  void Unload() override {}
  TW_UINT16 DSM_Entry(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32, TW_UINT16, TW_UINT16,
                      TW_MEMREF) override {
    return TWRC_FAILURE;
  }
  std::string_view Reason() const { return reason_; }

 private:
  std::string reason_;
};

}  // namespace quillet

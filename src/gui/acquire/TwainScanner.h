#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "core/acquire/SourceManager.h"
#include "core/acquire/TwainLayer.h"
#include "core/service/SystemProxy.h"
#include "gui/acquire/TwainQtPlatform.h"

namespace quillet {

class SaneQtUi;

// The environment variable that picks the scanner support of a run: "none"
// for none at all (the scanner commands are then disabled), "sane" or unset
// for SANE when libsane is installed.
inline constexpr const char* kScannerVariable = "QUILLET_SCANNER";

// The program's scanner layer with the Source Manager this run has and the
// Qt window services; one for the whole run, made before the main window's
// command state is first refreshed.
class TwainScanner {
 public:
  // Picks the Source Manager from QUILLET_SCANNER; the remembered scanner
  // lives in the user's configuration folder.
  static std::unique_ptr<TwainScanner> Create(const EnvironmentLookup& environment);
  // The same, from the process's environment.
  static std::unique_ptr<TwainScanner> Create();
  // Over a Source Manager of the caller's (tests).
  explicit TwainScanner(std::unique_ptr<SourceManager> sourceManager,
                        std::unique_ptr<SaneQtUi> ui = nullptr);
  ~TwainScanner();

  TwainLayer& Layer() { return layer_; }
  SourceManager& Manager() { return *sourceManager_; }
  // The SANE windows, when the Source Manager is SANE's.
  SaneQtUi* Ui() const { return ui_.get(); }
  static WindowHandle HandleOf(QWidget* window) { return TwainQtPlatform::HandleOf(window); }

 private:
  std::unique_ptr<SaneQtUi> ui_;
  std::unique_ptr<SourceManager> sourceManager_;
  TwainQtPlatform platform_;
  TwainLayer layer_;
};

}  // namespace quillet

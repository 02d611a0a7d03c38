#include "gui/acquire/TwainScanner.h"

#include <cstdlib>

#include "core/acquire/SaneSourceManager.h"
#include "gui/acquire/SaneQtUi.h"

namespace quillet {

std::unique_ptr<TwainScanner> TwainScanner::Create(const EnvironmentLookup& environment) {
  const std::string choice = environment(kScannerVariable).value_or("");
  if (choice == "none")
    return std::make_unique<TwainScanner>(
        std::make_unique<NullSourceManager>("Scanning is turned off (QUILLET_SCANNER=none)."));
  auto ui = std::make_unique<SaneQtUi>();
  auto sourceManager = std::make_unique<SaneSourceManager>(*ui, ScannerChoicePath(environment));
  return std::make_unique<TwainScanner>(std::move(sourceManager), std::move(ui));
}

std::unique_ptr<TwainScanner> TwainScanner::Create() {
  return Create([](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  });
}

TwainScanner::TwainScanner(std::unique_ptr<SourceManager> sourceManager,
                           std::unique_ptr<SaneQtUi> ui)
    : ui_(std::move(ui)),
      sourceManager_(std::move(sourceManager)),
      layer_(*sourceManager_, platform_) {}

TwainScanner::~TwainScanner() = default;

}  // namespace quillet

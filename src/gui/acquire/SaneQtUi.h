#pragma once

#include <memory>

#include "core/acquire/SaneSourceManager.h"

namespace quillet {

class TSaneScanForm;
class TSaneSelectSourceForm;

// The SANE Source Manager's windows over Qt: its selection dialog and the
// scanner's window, each made on first use and kept for the run.
class SaneQtUi : public SaneUi {
 public:
  SaneQtUi();
  ~SaneQtUi() override;

  std::optional<std::string> SelectSource(const std::vector<SaneDeviceInfo>& devices,
                                          const std::string& current, WindowHandle parent) override;
  bool ShowSourceWindow(SaneScanSession& session, WindowHandle parent) override;
  void CloseSourceWindow() override;
  void SourceStatus(std::string_view text) override;
  void ReportProblem(std::string_view text) override;
  void RunWhileBusy(std::string_view status, const std::function<void()>& work) override;

  // The windows, for tests; null until first shown.
  TSaneSelectSourceForm* SelectSourceForm() const { return selectForm_.get(); }
  TSaneScanForm* ScanForm() const { return scanForm_.get(); }

 private:
  std::unique_ptr<TSaneSelectSourceForm> selectForm_;
  std::unique_ptr<TSaneScanForm> scanForm_;
};

}  // namespace quillet

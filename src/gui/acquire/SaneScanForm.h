#pragma once

#include <QDialog>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "core/acquire/SaneDevice.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;

namespace quillet {

class SaneScanSession;

// The scanner's own window while the source is enabled: a preview, the
// resolution and colour mode the device offers, Scan and Cancel. It is
// modeless and without owner, so that it stays usable while the program's
// window is disabled. Scans run on a thread of their own; the window polls
// their progress, so it never freezes.
class TSaneScanForm : public QDialog {
  Q_OBJECT

 public:
  explicit TSaneScanForm(QWidget* parent = nullptr);
  ~TSaneScanForm() override;

  // Shows the window for an enabled source.
  void Open(SaneScanSession& session);
  // Stops a running scan, waits for it, and hides the window; the session
  // is no longer used.
  void Close();
  // A line of text under the progress bar.
  void SetStatus(const QString& text);
  bool Scanning() const { return worker_.joinable(); }

  QLabel* PreviewImage = nullptr;
  QSpinBox* ResolutionSpinBox = nullptr;
  QComboBox* ResolutionComboBox = nullptr;
  QComboBox* ModeComboBox = nullptr;
  QProgressBar* ProgressBar = nullptr;
  QLabel* StatusLabel = nullptr;
  QPushButton* PreviewButton = nullptr;
  QPushButton* ScanButton = nullptr;
  QPushButton* CancelButton = nullptr;

 public slots:
  void PreviewButtonClick();
  void ScanButtonClick();
  void CancelButtonClick();
  void ModeComboBoxChange(int index);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void FillControls();
  void FillResolution();
  int ChosenResolution() const;
  void StartScan(bool preview);
  void PollScan();
  void FinishScan();
  void StopScan();
  void SetControlsEnabled(bool enabled);
  void ShowPreview(const SanePicture& picture);

  SaneScanSession* session_ = nullptr;
  SaneDevice* scanning_ = nullptr;  // the device the running scan uses
  bool resolutionList_ = false;
  QTimer* pollTimer_ = nullptr;
  std::thread worker_;
  bool previewing_ = false;
  std::atomic<bool> done_{false};
  SaneScanResult result_;
  SaneScanProgress progress_;
  bool filling_ = false;
};

}  // namespace quillet

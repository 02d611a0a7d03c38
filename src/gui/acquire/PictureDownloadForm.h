#pragma once

#include <QDialog>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "core/acquire/PictureDownload.h"
#include "core/platform/Prompts.h"
#include "core/service/HttpClient.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace quillet {

class TOptionsForm;
class TProxyAuthForm;

// A picture fetched by its address into "Temp": a small modal dialog with
// the address and a progress bar while a worker downloads it. It closes by
// itself when the download ends; OK means the picture is in the temporary
// file. Either way the caller deletes TemporaryFilePath() when done with it.
class TPictureDownloadForm : public QDialog {
  Q_OBJECT

 public:
  TPictureDownloadForm(std::string programFolder, TOptionsForm& options, Prompts& prompts,
                       TProxyAuthForm* proxyAuth, QWidget* parent = nullptr);
  ~TPictureDownloadForm() override;

  // Set before showing.
  std::string PictureURL;
  // Empty until the download was started; it may name a partial file.
  const std::string& TemporaryFilePath() const { return temporaryFilePath_; }
  bool Downloading() const { return worker_ != nullptr; }

  // The client of the downloads.
  HttpClient PictDownloadConn;

  QLabel* PictureURLLabel = nullptr;
  QProgressBar* PictureDownloadProgressBar = nullptr;
  QPushButton* CancelButton = nullptr;
  QTimer* StartTimer = nullptr;

  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void StartTimerTimer();
  void CancelButtonClick();
  void DownloadThreadDone();
  void ShowProgress();

  std::string programFolder_;
  TOptionsForm& options_;
  Prompts& prompts_;
  TProxyAuthForm* proxyAuth_;
  std::string temporaryFilePath_;
  std::shared_ptr<TPictureDownloadThread> worker_;
  bool startedThisShowing_ = false;
  // What the worker's thread last reported; the bar is updated on this
  // thread, once for any number of reports in between.
  std::atomic<std::int64_t> expected_{0};
  std::atomic<std::int64_t> received_{0};
  std::atomic<bool> progressPosted_{false};
};

}  // namespace quillet

#include "gui/acquire/PictureDownloadForm.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <filesystem>

#include "core/app/ProgramFolder.h"
#include "core/service/ProxySettings.h"
#include "gui/app/WindowPlacement.h"
#include "gui/service/CredentialsForm.h"
#include "gui/settings/OptionsForm.h"

namespace quillet {

namespace {

constexpr int kDialogWidth = 360;

}  // namespace

TPictureDownloadForm::TPictureDownloadForm(std::string programFolder, TOptionsForm& options,
                                           Prompts& prompts, TProxyAuthForm* proxyAuth,
                                           QWidget* parent)
    : QDialog(parent),
      programFolder_(std::move(programFolder)),
      options_(options),
      prompts_(prompts),
      proxyAuth_(proxyAuth) {
  setObjectName(QStringLiteral("PictureDownloadForm"));
  setWindowTitle(QStringLiteral("Picture Download"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Downloading picture file:")));
  PictureURLLabel = new QLabel;
  PictureURLLabel->setObjectName(QStringLiteral("PictureURLLabel"));
  PictureURLLabel->setWordWrap(true);
  PictureURLLabel->setTextFormat(Qt::PlainText);
  PictureURLLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  PictureURLLabel->setFixedHeight(2 * PictureURLLabel->fontMetrics().lineSpacing() + 4);
  PictureURLLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  layout->addWidget(PictureURLLabel);
  PictureDownloadProgressBar = new QProgressBar;
  PictureDownloadProgressBar->setObjectName(QStringLiteral("PictureDownloadProgressBar"));
  PictureDownloadProgressBar->setTextVisible(false);
  layout->addWidget(PictureDownloadProgressBar);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  CancelButton = new QPushButton(QStringLiteral("Cancel"));
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  buttons->addWidget(CancelButton);
  buttons->addStretch(1);
  layout->addLayout(buttons);
  StartTimer = new QTimer(this);
  StartTimer->setObjectName(QStringLiteral("StartTimer"));
  StartTimer->setSingleShot(true);
  StartTimer->setInterval(1);
  connect(StartTimer, &QTimer::timeout, this, &TPictureDownloadForm::StartTimerTimer);
  connect(CancelButton, &QPushButton::clicked, this, &TPictureDownloadForm::CancelButtonClick);
  setFixedSize(QSize(kDialogWidth, sizeHint().height()).expandedTo(sizeHint()));

  PictDownloadConn.OnWorkBegin = [this](std::int64_t expected) {
    expected_ = expected;
    received_ = 0;
    ShowProgress();
  };
  PictDownloadConn.OnWork = [this](std::int64_t count) {
    received_ = count;
    ShowProgress();
  };
}

TPictureDownloadForm::~TPictureDownloadForm() {
  if (worker_) {
    worker_->Cancel();
    worker_->Join();
    worker_.reset();
  }
}

// Worker's thread: one queued update at a time.
void TPictureDownloadForm::ShowProgress() {
  if (progressPosted_.exchange(true)) return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        progressPosted_ = false;
        const std::int64_t expected = expected_;
        // A length the server did not announce shows as a busy bar.
        const int maximum =
            expected > 0 ? static_cast<int>(std::min<std::int64_t>(expected / 1024 + 1, 1 << 30))
                         : 0;
        PictureDownloadProgressBar->setRange(0, maximum);
        if (maximum > 0)
          PictureDownloadProgressBar->setValue(
              static_cast<int>(std::min<std::int64_t>(received_ / 1024, maximum)));
      },
      Qt::QueuedConnection);
}

void TPictureDownloadForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (startedThisShowing_) return;
  startedThisShowing_ = true;
  temporaryFilePath_.clear();
  PictureURLLabel->clear();
  PictureDownloadProgressBar->setRange(0, 100);
  PictureDownloadProgressBar->setValue(0);
  CentreOnScreen(*this);
  StartTimer->start();
}

void TPictureDownloadForm::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  StartTimer->stop();
  startedThisShowing_ = false;
}

void TPictureDownloadForm::StartTimerTimer() {
  StartTimer->stop();
  if (PictureURL.empty()) {
    done(QDialog::Rejected);
    return;
  }
  PictureURLLabel->setText(QString::fromStdString(PictureURL));
  const std::string extension = UrlExtension(PictureURL);
  if (!IsAcceptedPictureType(extension)) {
    prompts_.Error(kUnsupportedPictureTypeText + extension);
    done(QDialog::Rejected);
    return;
  }
  const std::string temp = programFolder_ + kTempFolder;
  std::error_code error;
  std::filesystem::create_directories(temp, error);
  if (!std::filesystem::is_directory(temp, error)) {
    prompts_.Error(kTempFolderFailedText);
    done(QDialog::Rejected);
    return;
  }
  temporaryFilePath_ = temp + "/" + TemporaryPictureName(PictureURL);
  if (proxyAuth_ != nullptr && !EnsureProxyLogin(options_, *proxyAuth_)) {
    done(QDialog::Rejected);
    return;
  }
  std::string localSource;
  if (PictureURL.starts_with("file:")) {
    const std::optional<std::string> file = HandOffFileOf(PictureURL, programFolder_);
    if (!file) {
      prompts_.Error(kPictureDownloadFailedText);
      done(QDialog::Rejected);
      return;
    }
    localSource = *file;
  }
  const ProxyApplication proxy = ProxyConfigFor(options_.Current());
  if (!proxy.ok()) {
    // The dialog stays open until the user presses Cancel.
    prompts_.Error(proxy.error);
    return;
  }
  PictDownloadConn.PrepareRun(proxy.config);
  worker_ = std::make_shared<TPictureDownloadThread>(PictureURL, temporaryFilePath_,
                                                     PictDownloadConn, localSource);
  worker_->Start(
      [this](UiTask task) {
        QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
      },
      [this] { DownloadThreadDone(); });
}

void TPictureDownloadForm::DownloadThreadDone() {
  const std::shared_ptr<TPictureDownloadThread> worker = worker_;
  if (!worker) return;
  PictDownloadConn.ClearProxy();
  worker_.reset();
  switch (worker->Result()) {
    case kPictureDownloaded:
      done(QDialog::Accepted);
      return;
    case kPictureDownloadFailed:
      prompts_.Error(worker->Message());
      done(QDialog::Rejected);
      return;
    default:
      done(QDialog::Rejected);
      return;
  }
}

void TPictureDownloadForm::CancelButtonClick() {
  if (worker_) {
    worker_->Cancel();
    return;
  }
  StartTimer->stop();
  done(QDialog::Rejected);
}

void TPictureDownloadForm::reject() {
  // Escape and the close box wait, like the window, for a running download.
  if (worker_) return;
  StartTimer->stop();
  QDialog::reject();
}

void TPictureDownloadForm::closeEvent(QCloseEvent* event) {
  if (worker_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace quillet

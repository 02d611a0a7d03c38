// The upload flow: the checks and prompts before an upload, the worker's
// start, the window while it runs, and its outcome in the upload panel.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <cstdio>

#include "core/imageops/LogoCommands.h"
#include "core/platform/Text.h"
#include "core/service/ProxySettings.h"
#include "core/service/ServiceReply.h"
#include "core/service/UploadAddress.h"
#include "gui/app/MainAppForm.h"
#include "gui/app/UploadProgressPanel.h"
#include "gui/imageops/PicturePropsForm.h"
#include "gui/service/AccessURLHint.h"
#include "gui/service/CredentialsForm.h"
#include "gui/service/QRCodeView.h"
#include "gui/settings/OptionsForm.h"

namespace quillet {

namespace {

const char* const kUploadingText = "Uploading image to server...";
const char* const kUploadBrokenText = "Upload broken by user.";
const char* const kDoneText = "Done.";
const char* const kUploadWriteFailedText =
    "Error uploading logo. Check if your hard disk is not full and you have write permission.";
const char* const kWrongLoginText =
    "Login or password incorrect! In order to enter login and password open menu "
    "\"Edit->Options\" and set parameters in \"System Authorization\" groupbox.";
const char* const kNotConfirmedText =
    "Your account registration is not confirmed. In order to confirm it follow the link in EMail "
    "which was sent to you after registration.";
const char* const kConnectionFailedText =
    "Connection to server failed. Please check your proxy settings in menu \"Edit->Options\" "
    "and try again.";

bool ContainsNode(const LogoNode& parent, const LogoNode* node) {
  for (int i = 0; i < parent.ChildCount(); ++i) {
    const LogoNode* child = parent.ChildAt(i);
    if (child == node || ContainsNode(*child, node)) return true;
  }
  return false;
}

}  // namespace

PostToUi TMainAppForm::UiPoster() {
  return [this](UiTask task) {
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
  };
}

int TMainAppForm::UploadAnimationPhase() const {
  return ProgressPanel->Phase();
}

bool TMainAppForm::IsInTree(const LogoNode* node) const {
  return node != nullptr && ContainsNode(tree_.Root(), node);
}

void TMainAppForm::ShowUploadCaptions(UploadCaptions captions) {
  const bool stop = captions == UploadCaptions::StopUpload;
  const QString caption =
      QLatin1String(stop                                      ? kStopUploadCaption
                    : captions == UploadCaptions::UploadAgain ? kUploadAgainCaption
                                                              : kUploadCaption);
  UploadMenuItem->setText(caption);
  UploadToolButton->setToolTip(caption);
  UploadToolButton->setIcon(QIcon(stop ? QStringLiteral(":/icons/stopupload.svg")
                                       : QStringLiteral(":/icons/upload.svg")));
  UploadButton->setText(caption);
  UploadButton->setIcon(QIcon(stop ? QStringLiteral(":/bitmaps/STOPUPLOAD_BMP.png")
                                   : QStringLiteral(":/bitmaps/UPLOAD_BMP.png")));
}

void TMainAppForm::UploadMenuItemClick() {
  if (slowWorkRunning_) return;
  if (runningUpload_) {
    // The outcome arrives through the completion routine.
    runningUpload_->Cancel();
    return;
  }
  LogoNode* node = SelectedNode();
  if (node == nullptr || !node->IsLogo()) return;
  if (!currentSourceImage_ || !currentSourceImage_->FrameOverlapsPicture()) {
    prompts_.Warning(kNoPictureInFrameText);
    return;
  }
  if (optionsForm_ != nullptr) {
    if (sysAuthForm_ != nullptr && !EnsureServiceLogin(*optionsForm_, *sysAuthForm_)) return;
    if (proxyAuthForm_ != nullptr && !EnsureProxyLogin(*optionsForm_, *proxyAuthForm_)) return;
  }
  if (ServiceLoginNeeded(CurrentOptions())) return;
  if (!AskForUploadSettings(*node)) return;
  StartUpload(*node);
}

bool TMainAppForm::AskForUploadSettings(const LogoNode& node) {
  const std::string extension = UpperAscii(ExtensionOf(node.Text()));
  const Options& options = CurrentOptions();
  const Bitmap& logo = currentSourceImage_->LogoPicture;
  TPicturePropsForm* dialog = nullptr;
  if ((extension == ".JPG" || extension == ".JPEG") && options.showjpegdialog)
    dialog = jpegPropsForm_;
  else if (extension == ".GIF" && options.showgifdialog)
    dialog = gifPropsForm_;
  if (dialog == nullptr || dialog->Execute(node, logo)) return true;
  // The dialog's preview wrote the upload copy; a cancelled upload leaves
  // nothing behind.
  if (!dialog->PreviewPath().empty()) std::remove(dialog->PreviewPath().c_str());
  return false;
}

void TMainAppForm::StartUpload(LogoNode& node) {
  const Options& options = CurrentOptions();
  const ProxyApplication proxy = ProxyConfigFor(options);
  if (!proxy.ok()) {
    prompts_.Error(proxy.error);
    return;
  }
  const std::string path =
      WriteLogoFile(node, currentSourceImage_->LogoPicture, programFolder_, options);
  if (path.empty()) {
    prompts_.Error(kUploadWriteFailedText);
    return;
  }
  HTTPConnection.PrepareRun(proxy.config);
  runningUpload_ = std::make_shared<TUploadThread>(options.login, &node, path, options.password,
                                                   HTTPConnection, parameters_, memberStatus_);
  runningUpload_->Start(UiPoster(), [this] { UploadThreadDone(); });
  RefreshCommandState();
  ShowUploadCaptions(UploadCaptions::StopUpload);
  StatusPanel->setText(QLatin1String(kUploadingText));
  ProgressPanel->SetPhase(0);
  UploadProgressTimer->start();
}

void TMainAppForm::UploadThreadDone() {
  const std::shared_ptr<TUploadThread> upload = runningUpload_;
  if (!upload) return;
  HTTPConnection.ClearProxy();
  memberStatus_ = upload->Status();
  UploadProgressTimer->stop();
  ProgressPanel->SetPhase(-1);
  // The captions return to those of the logo shown now, which may not be
  // the uploaded one.
  const LogoNode* shown = SelectedNode();
  ShowUploadCaptions(shown != nullptr && !shown->Data().uploadurl.empty()
                         ? UploadCaptions::UploadAgain
                         : UploadCaptions::Upload);
  // The logo may have gone while its upload ran; its outcome then has
  // nowhere to go, but the messages still tell the user what happened.
  LogoNode* node = IsInTree(upload->Node()) ? upload->Node() : nullptr;
  ShowUploadOutcome(*upload, node);
  ForgetAddresses(tree_, upload->ExtraLines());
  StatusPanel->setText(
      QLatin1String(upload->Result() == kUploadStoppedByUser ? kUploadBrokenText : kDoneText));
  std::remove(upload->FilePath().c_str());
  runningUpload_.reset();
  RefreshCommandState();
  if (upload->Result() == kUploadConnectionFailed) prompts_.Error(kConnectionFailedText);
}

void TMainAppForm::ShowUploadOutcome(const TUploadThread& upload, LogoNode* node) {
  switch (upload.Result()) {
    case kUploadServiceMessage:
      if (upload.ReplyText() == kWrongLoginCode)
        prompts_.Error(kWrongLoginText);
      else if (upload.ReplyText() == kNotConfirmedCode)
        prompts_.Error(kNotConfirmedText);
      return;
    case kUploadServiceError:
      prompts_.Error(upload.ReplyText());
      return;
    case kUploadSucceeded:
      break;
    default:
      return;
  }
  const std::string& address = upload.ReplyText();
  const bool selected = node != nullptr && node == SelectedNode();
  if (node != nullptr) node->Data().uploadurl = address;
  if (selected) {
    const UploadPanelTexts texts = UploadedPanelTexts(address, upload.Login(), upload.Password());
    ImageID->setText(QString::fromStdString(texts.imageId));
    ImageWapShortURL->setText(QString::fromStdString(texts.shortUrl));
    ImageWapURL->setPlainText(QString::fromStdString(texts.fullUrl));
    ImageWapQRCode->SetText(QString::fromStdString(texts.shortUrl));
    ShowUploadCaptions(UploadCaptions::UploadAgain);
  }
  if (CurrentOptions().enableaccesshint && accessURLHintForm_ != nullptr)
    accessURLHintForm_->Execute(MobileUrlFor(address, upload.Login(), upload.Password()));
}

void TMainAppForm::UploadProgressTimerTimer() {
  ProgressPanel->Advance();
}

// After ShowNodeProperties has emptied the fields.
void TMainAppForm::ShowUploadFields() {
  const std::string address =
      currentLogoObject_ != nullptr ? currentLogoObject_->uploadurl : std::string();
  const Options& options = CurrentOptions();
  const UploadPanelTexts texts = PanelTextsFor(address, options.login, options.password);
  ImageWapShortURL->setText(QString::fromStdString(texts.shortUrl));
  ImageWapURL->setPlainText(QString::fromStdString(texts.fullUrl));
  ImageID->setText(QString::fromStdString(texts.imageId));
  ImageWapQRCode->SetText(QString::fromStdString(texts.shortUrl));
  if (!runningUpload_)
    ShowUploadCaptions(address.empty() ? UploadCaptions::Upload : UploadCaptions::UploadAgain);
}

void TMainAppForm::StopWorkers() {
  // At shutdown nothing may be left running on the clients this window
  // owns; their completions are not wanted any more.
  for (const std::shared_ptr<Worker>& worker :
       {std::shared_ptr<Worker>(runningUpload_), std::shared_ptr<Worker>(runningSend_)}) {
    if (!worker) continue;
    worker->Cancel();
    worker->Join();
  }
  if (runningUpload_) std::remove(runningUpload_->FilePath().c_str());
  runningUpload_.reset();
  runningSend_.reset();
  if (UploadProgressTimer != nullptr) UploadProgressTimer->stop();
}

}  // namespace quillet

// Send to friend: the dialog, the worker's start and its outcome.
#include <QAction>
#include <QLabel>
#include <QToolButton>

#include "core/service/FriendMessage.h"
#include "core/service/ProxySettings.h"
#include "core/service/ServiceReply.h"
#include "core/service/UploadAddress.h"
#include "gui/app/MainAppForm.h"
#include "gui/service/CredentialsForm.h"
#include "gui/service/SendToFriend.h"
#include "gui/settings/OptionsForm.h"

namespace quillet {

namespace {

const char* const kSendingText = "Sending application link to friend...";
const char* const kSentText = "Application link was successfully sent.";
const char* const kSendFailedStatus = "Failed to send application link.";
const char* const kSendWrongLoginText =
    "Unable to send application link because of incorrect login or password! In order to enter "
    "login and password open menu \"Edit->Options\" and set parameters in \"System "
    "Authorization\" groupbox.";
const char* const kSendNotConfirmedText =
    "Unable to send application link because your account registration is not confirmed. In "
    "order to confirm it follow the link in EMail which was sent to you after registration.";
const char* const kSendRecipientRefusedText =
    "Unable to send application link. Please check recipient address and try again.";

}  // namespace

void TMainAppForm::SendToFriendMenuItemClick() {
  if (sendToFriendForm_ == nullptr || optionsForm_ == nullptr) return;
  const bool guest = IsGuestLogin(CurrentOptions().login);
  if (!sendToFriendForm_->Execute(guest, RootUrlOf(parameters_.Value(kUploadHostKey)))) return;
  if (runningSend_) return;
  if (sysAuthForm_ != nullptr && !EnsureServiceLogin(*optionsForm_, *sysAuthForm_)) return;
  if (proxyAuthForm_ != nullptr && !EnsureProxyLogin(*optionsForm_, *proxyAuthForm_)) return;
  const Options& options = CurrentOptions();
  if (ServiceLoginNeeded(options)) return;
  const ProxyApplication proxy = ProxyConfigFor(options);
  if (!proxy.ok()) {
    prompts_.Error(proxy.error);
    return;
  }
  HTTPSendConn.PrepareRun(proxy.config);
  runningSend_ = std::make_shared<TSendToFriendThread>(
      options.login, sendToFriendForm_->SenderName(), sendToFriendForm_->Comments(),
      sendToFriendForm_->RecipientAddress(), options.password, HTTPSendConn, parameters_);
  runningSend_->Start(UiPoster(), [this] { SendToFriendThreadDone(); });
  RefreshCommandState();
  StatusPanel->setText(QLatin1String(kSendingText));
}

void TMainAppForm::SendToFriendThreadDone() {
  const std::shared_ptr<TSendToFriendThread> send = runningSend_;
  if (!send) return;
  HTTPSendConn.ClearProxy();
  switch (send->Result()) {
    case kLinkSent:
      StatusPanel->setText(QLatin1String(kSentText));
      break;
    case kSendServiceMessage:
      StatusPanel->setText(QLatin1String(kSendFailedStatus));
      if (send->ReplyText() == kWrongLoginCode)
        prompts_.Error(kSendWrongLoginText);
      else if (send->ReplyText() == kNotConfirmedCode)
        prompts_.Error(kSendNotConfirmedText);
      else if (send->ReplyText() == kCouldNotSendMailCode)
        prompts_.Error(kSendRecipientRefusedText);
      break;
    default:
      StatusPanel->setText(QLatin1String(kSendFailedStatus));
      prompts_.Error(send->ReplyText());
      break;
  }
  runningSend_.reset();
  RefreshCommandState();
}

}  // namespace quillet

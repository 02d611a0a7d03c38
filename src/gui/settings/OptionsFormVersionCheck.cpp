// The start-up check for a new version of the program, which the options
// window owns with its client.
#include <QMetaObject>

#include "core/service/Credentials.h"
#include "core/service/ProxySettings.h"
#include "gui/service/NewAppVerDownloadRequest.h"
#include "gui/settings/OptionsForm.h"

namespace quillet {

TOptionsForm::~TOptionsForm() {
  if (versionCheck_) {
    versionCheck_->Cancel();
    versionCheck_->Join();
  }
}

void TOptionsForm::StartNewVersionCheck(const ServerParameters& parameters,
                                        TNewAppVerDownloadRequestForm* dialog,
                                        std::function<void(const std::string&)> openWebPage) {
  if (!options_.checknewversion || versionCheck_) return;
  // Nothing is asked at start-up: without the proxy's credentials there is
  // no check this time.
  if (ProxyLoginNeeded(options_)) return;
  const ProxyApplication proxy = ProxyConfigFor(options_);
  if (!proxy.ok()) {
    prompts_.Error(proxy.error);
    return;
  }
  versionDialog_ = dialog;
  openWebPage_ = std::move(openWebPage);
  downloadPage_ = DownloadPageAddress(parameters);
  AppVerConn.PrepareRun(proxy.config);
  versionCheck_ = std::make_shared<TNewVersionCheckThread>(kOwnVersion, AppVerConn, parameters);
  versionCheck_->Start(
      [this](UiTask task) {
        QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
      },
      [this] { NewVersionCheckDone(); });
}

void TOptionsForm::NewVersionCheckDone() {
  AppVerConn.ClearProxy();
  const std::string version = versionCheck_->Version();
  versionCheck_.reset();
  if (!OffersNewVersion(version)) return;
  if (versionDialog_ != nullptr && versionDialog_->Ask(version) && openWebPage_)
    openWebPage_(downloadPage_);
}

}  // namespace quillet

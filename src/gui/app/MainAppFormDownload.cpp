// Pictures by their address: typed in, dropped from a browser, or handed
// over by one; each is downloaded by the download dialog and added.
#include <QApplication>
#include <QClipboard>
#include <cstdio>

#include "core/compose/SourceImage.h"
#include "gui/acquire/PictureDownloadForm.h"
#include "gui/app/MainAppForm.h"

namespace quillet {

namespace {

const char* const kAddressCaption = "Add picture from address";
const char* const kAddressPrompt = "Address of the picture (http:// or https://):";

bool LooksLikeWebAddress(const QString& text) {
  return text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
         text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

}  // namespace

bool TMainAppForm::DownloadAndAddPicture(const std::string& url, LogoNode* target) {
  if (pictureDownloadForm_ == nullptr) return false;
  pictureDownloadForm_->PictureURL = url;
  const bool downloaded = pictureDownloadForm_->exec() == QDialog::Accepted;
  const std::string temporary = pictureDownloadForm_->TemporaryFilePath();
  bool added = false;
  if (downloaded && TSourceImage::CanLoadPicture(temporary, prompts_)) {
    RunEdit([&](LogoDirContext& context) {
      context.selected = target;
      EditResult result = AddPictureFile(context, temporary, NewLogoTemplate);
      added = result.changed;
      return result;
    });
  }
  if (!temporary.empty()) std::remove(temporary.c_str());
  return added;
}

void TMainAppForm::PictureHandOffCheck() {
  // A picture being taken already: the next address waits in the hand-off
  // file for the next activation.
  if (takingHandOff_ || !handOffKey_ || endRequested_ || shutdownDone_) return;
  // Taken out of the file before anything is done with it: each address is
  // taken once, whatever happens to its download.
  takingHandOff_ = true;
  // An address that came while a download ran waited in the file; closing
  // the dialog gives the window back, which then takes it too.
  for (;;) {
    const std::optional<std::string> address = TakeHandedOverImageUrl(*handOffKey_);
    if (!address || address->empty()) break;
    DownloadAndAddPicture(*address, SelectedNode());
  }
  takingHandOff_ = false;
}

void TMainAppForm::AddPictureFromAddressMenuItemClick() {
  const QString clipboard = QApplication::clipboard()->text().trimmed();
  const std::string initial = LooksLikeWebAddress(clipboard) ? clipboard.toStdString() : "";
  std::optional<std::string> address = prompts_.Input(kAddressCaption, kAddressPrompt, initial);
  if (!address) return;
  const QString typed = QString::fromStdString(*address).trimmed();
  if (typed.isEmpty()) return;
  DownloadAndAddPicture(typed.toStdString(), SelectedNode());
}

}  // namespace quillet

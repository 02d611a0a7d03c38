// Grabbing a rectangle of the screen as a new logo.
#include <QObject>

#include "core/acquire/GrabRectangle.h"
#include "gui/acquire/GrabScreenForm.h"
#include "gui/app/MainAppForm.h"

namespace quillet {

void TMainAppForm::GrabFromScreenMenuItemClick() {
  if (IsUploading()) return;
  if (grabScreenForm_ == nullptr) {
    // A window made without the overlay (as the window tests make it) gets
    // its own on the first grab, gone with the window.
    grabScreenForm_ = new TGrabScreenForm();
    TGrabScreenForm* overlay = grabScreenForm_;
    connect(this, &QObject::destroyed, [overlay] { delete overlay; });
  }

  TGrabScreenForm::Outcome grab = grabScreenForm_->Run(this);
  switch (grab.kind) {
    case TGrabScreenForm::Outcome::Unavailable:
    case TGrabScreenForm::Outcome::Failed:
      prompts_.Error(grab.message.toStdString());
      return;
    case TGrabScreenForm::Outcome::NoScreen:
    case TGrabScreenForm::Outcome::Cancelled:
      return;
    case TGrabScreenForm::Outcome::Shown:
      break;
  }
  const GrabVerdict verdict = CheckGrabRectangle(grabScreenForm_->Rectangle());
  if (verdict == GrabVerdict::NothingChosen) return;
  if (verdict != GrabVerdict::Accepted) {
    prompts_.Warning(GrabVerdictText(verdict));
    return;
  }
  if (grab.picture.Empty()) return;

  const Options& options = CurrentOptions();
  const std::optional<std::string> name =
      AcquiredPictureName("grabbedimage", options.grabasktargetname, "Grabbed image name",
                          "Please enter grabbed image name:", options.grabbedfileformat);
  if (!name) return;
  const Bitmap picture = std::move(grab.picture);
  RunEdit([&](LogoDirContext& context) {
    return AddPictureImage(context, *name, picture, NewLogoTemplate);
  });
}

}  // namespace quillet

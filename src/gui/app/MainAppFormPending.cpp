// Commands whose work belongs to other subsystems; they are reachable from
// the menus, the tool bar and the pop-ups, and do nothing until that work
// is in place.
#include "gui/app/MainAppForm.h"

namespace quillet {

bool TWAIN_SourceManagerPresent() {
  return false;
}

bool TMainAppForm::IsUploading() const {
  return false;
}

bool TMainAppForm::IsSending() const {
  return false;
}

void TMainAppForm::AcquireImageMenuItemClick() {}
void TMainAppForm::SelectSourceMenuItemClick() {}
void TMainAppForm::GrabFromScreenMenuItemClick() {}
void TMainAppForm::UploadMenuItemClick() {}
void TMainAppForm::SendToFriendMenuItemClick() {}
void TMainAppForm::PictureHandOffCheck() {}
void TMainAppForm::ShowUploadFields() {}

}  // namespace quillet

// Commands whose work belongs to other subsystems; they are reachable from
// the menus, the tool bar and the pop-ups, and until that work is in place
// they say so instead of doing nothing without a word.
#include "gui/app/MainAppForm.h"

namespace quillet {

namespace {

const char* const kLaterVersionScanning =
    "Importing from a scanner or camera comes in a later version of Quillet.";

}  // namespace

bool TWAIN_SourceManagerPresent() {
  return false;
}

void TMainAppForm::AcquireImageMenuItemClick() {
  prompts_.Information(kLaterVersionScanning);
}

void TMainAppForm::SelectSourceMenuItemClick() {
  prompts_.Information(kLaterVersionScanning);
}

void TMainAppForm::GrabFromScreenMenuItemClick() {
  prompts_.Information("Grabbing a picture from the screen comes in a later version of Quillet.");
}

void TMainAppForm::PictureHandOffCheck() {}

}  // namespace quillet

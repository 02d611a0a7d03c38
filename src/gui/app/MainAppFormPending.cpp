// Commands whose work belongs to other subsystems; they are reachable from
// the menus, the tool bar and the pop-ups, and until that work is in place
// they say so instead of doing nothing without a word.
#include "gui/app/MainAppForm.h"

namespace quillet {

void TMainAppForm::GrabFromScreenMenuItemClick() {
  prompts_.Information("Grabbing a picture from the screen comes in a later version of Quillet.");
}

void TMainAppForm::PictureHandOffCheck() {}

}  // namespace quillet

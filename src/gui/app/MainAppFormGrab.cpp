// Grabbing a rectangle of the screen as a new logo.
#include "gui/app/MainAppForm.h"

namespace quillet {

void TMainAppForm::GrabFromScreenMenuItemClick() {
  prompts_.Information("Grabbing a picture from the screen comes in a later version of Quillet.");
}

}  // namespace quillet

// Commands whose work belongs to other subsystems; they are reachable from
// the menus, the tool bar and the pop-ups, and until that work is in place
// they say so instead of doing nothing without a word.
#include "gui/app/MainAppForm.h"

namespace quillet {

void TMainAppForm::PictureHandOffCheck() {}

}  // namespace quillet

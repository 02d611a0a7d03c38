#pragma once

class QWidget;

namespace quillet {

// Places a window in the middle of the screen it will show on (the primary
// screen when it has none yet), as the program's dialogs are placed.
void CentreOnScreen(QWidget& window);

}  // namespace quillet

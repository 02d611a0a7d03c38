#pragma once

class QWidget;

namespace quillet {

// Places a window in the middle of the screen it will show on (the primary
// screen when it has none yet), as the program's windows are placed; one
// larger than the screen keeps its top-left corner on it.
void CentreOnScreen(QWidget& window);

}  // namespace quillet

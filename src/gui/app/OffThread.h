#pragma once

#include <functional>

namespace quillet {

// Runs `work` on a thread of its own and returns when it is done. Meanwhile
// the GUI thread paints and runs its timers but takes no clicks or keys, so
// the windows stay alive and no second command starts. An exception thrown
// by `work` is thrown again here.
void RunOffGuiThread(const std::function<void()>& work);

}  // namespace quillet

#pragma once

namespace quillet {

// Registers the program's pictures (":/icons/...", ":/bitmaps/...",
// ":/cursors/...") with Qt. They are linked from a static library, so the
// program's entry and each test program call this once before using them;
// calling it again does no harm.
void InitResources();

}  // namespace quillet

#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

// The main window as the user left it, kept between runs in
// "windowstate.xml" in the program folder, beside the other state. Nothing in
// it is the user's work: a missing or damaged file gives the defaults without
// a word, and a file that cannot be written is given up in silence.

// Where the window stood when it was last not maximized: its position and
// size in screen pixels (Qt's normalGeometry).
struct WindowGeometry {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool operator==(const WindowGeometry&) const = default;
};

struct WindowState {
  // Nothing: the window's own first size and place.
  std::optional<WindowGeometry> geometry;
  bool maximized = false;
  // The pane sizes of each splitter, by the splitter's object name
  // ("MainSplitter", "PictureSplitter"); a splitter not listed keeps its own.
  std::map<std::string, std::vector<std::int32_t>> paneSizes;
  // The command "Fit image into pane".
  bool fitImageIntoPane = false;
  bool operator==(const WindowState&) const = default;
};

// Limits of what is taken from the file; anything beyond them is damage.
inline constexpr std::int32_t kMaxWindowCoordinate = 32767;  // X11 coordinates are 16-bit
inline constexpr std::size_t kMaxPanes = 16;

// Reads "windowstate.xml"; every value missing or unusable is its default,
// and a file that is not a window state at all gives the defaults whole.
WindowState ReadWindowState(const std::string& programFolder);

// The text of "windowstate.xml": no declaration, no indentation.
std::string WindowStateDocument(const WindowState& state);

// Replaces "windowstate.xml" whole (temporary file and rename). False when it
// cannot; nothing is shown, and the old file stays as it was.
bool WriteWindowState(const WindowState& state, const std::string& programFolder);

}  // namespace quillet

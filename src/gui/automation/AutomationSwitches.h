#pragma once

// The command-line switches of the automation side, read before any window
// (or even the application object) exists:
//   --regserver                 register for this user and end at once
//   --unregserver               remove that registration and end at once
//   --automation, --embedding   the session bus started this copy
//   --add-image-url URL         hand URL to the running program (which the
//                               bus starts when none runs) and end; also
//                               written --add-image-url=URL
// One or two leading dashes, in any letter case, as the Windows switches
// were written.
#include <optional>
#include <string>

namespace quillet {

struct AutomationSwitches {
  bool regServer = false;
  bool unregServer = false;
  bool automation = false;  // --automation or --embedding
  std::optional<std::string> addImageUrl;
  std::optional<std::string> dataDir;  // --data-dir DIR or --data-dir=DIR
  // A switch that lacks its value, for the message.
  std::optional<std::string> missingValue;
};

AutomationSwitches ParseAutomationSwitches(int argc, char** argv);

// Does the work of --regserver, --unregserver and --add-image-url and gives
// the exit status (0 done, 1 failed, with the reason on standard error);
// nothing for a start that goes on to the window. --add-image-url makes a
// QCoreApplication of its own, so call this before QApplication exists.
std::optional<int> RunAutomationSwitches(const AutomationSwitches& switches,
                                         const std::string& programFolder, int& argc, char** argv);

// Registration at an ordinary start and at a start by the bus: every failure
// is ignored.
void RegisterAtStart(const std::string& programFolder) noexcept;

}  // namespace quillet

#pragma once

#include <optional>
#include <string>

namespace quillet {

// The folder every data file lives in, always ending in "/": the folder named
// by --data-dir, else by the environment variable QUILLET_HOME, else the
// folder of the running executable.
std::string ResolveProgramFolder(const std::optional<std::string>& dataDirOption);

// The folder of the running executable, ending in "/".
std::string ExecutableFolder();

// Adds the trailing "/" that the program folder always carries.
std::string WithTrailingSeparator(std::string folder);

// Fixed names of the data files and folders in the program folder.
inline constexpr const char* kPhonesListFile = "phoneslist.xml";
inline constexpr const char* kParametersFile = "parameters.xml";
inline constexpr const char* kOptionsFile = "options.xml";
inline constexpr const char* kLogoDirectoryFile = "logodirectory.xml";
inline constexpr const char* kAppStateFile = "appstate.xml";
// The main window's size, place and panes, kept between runs.
inline constexpr const char* kWindowStateFile = "windowstate.xml";
inline constexpr const char* kLogoDirectoryFolder = "Logo Directory";
inline constexpr const char* kTempFolder = "Temp";
inline constexpr const char* kHelpFile = "qhelp.html";

}  // namespace quillet

#include "gui/automation/AutomationSwitches.h"

#include <QCoreApplication>
#include <cstdio>
#include <string_view>

#include "core/automation/Registration.h"
#include "core/platform/Text.h"
#include "gui/automation/HandOffClient.h"

namespace quillet {
namespace {

// The switch's name without its dashes, lower-cased; empty for an argument
// that is no switch.
std::string SwitchName(std::string_view argument) {
  if (argument.size() < 2 || argument.front() != '-') return {};
  argument.remove_prefix(argument[1] == '-' ? 2 : 1);
  return LowerAscii(argument);
}

void PrintError(const std::string& text) {
  std::fprintf(stderr, "quillet: %s\n", text.c_str());
}

std::optional<RegistrationPlaces> UserPlaces() {
  const std::optional<UserFolders> folders = UserFoldersFrom(ProcessEnvironment());
  if (!folders) return std::nullopt;
  return RegistrationPlacesIn(*folders);
}

}  // namespace

AutomationSwitches ParseAutomationSwitches(int argc, char** argv) {
  AutomationSwitches switches;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument.rfind("--data-dir=", 0) == 0) {
      switches.dataDir = std::string(argument.substr(11));
      continue;
    }
    if (const std::size_t equals = argument.find('=');
        equals != std::string_view::npos &&
        SwitchName(argument.substr(0, equals)) == "add-image-url") {
      switches.addImageUrl = std::string(argument.substr(equals + 1));
      continue;
    }
    const std::string name = SwitchName(argument);
    if (name == "regserver") switches.regServer = true;
    if (name == "unregserver") switches.unregServer = true;
    if (name == "automation" || name == "embedding") switches.automation = true;
    if (name == "add-image-url" || name == "data-dir") {
      if (i + 1 >= argc) {
        switches.missingValue = std::string(argument);
        continue;
      }
      std::string value = argv[++i];
      if (name == "add-image-url")
        switches.addImageUrl = std::move(value);
      else
        switches.dataDir = std::move(value);
    }
  }
  return switches;
}

std::optional<int> RunAutomationSwitches(const AutomationSwitches& switches,
                                         const std::string& programFolder, int& argc, char** argv) {
  // A --data-dir without its folder leaves the program folder as it is; an
  // address that is missing is a command that cannot be done.
  if (switches.missingValue && SwitchName(*switches.missingValue) == "add-image-url") {
    PrintError(*switches.missingValue + " needs the address of a picture");
    return 1;
  }
  if (switches.regServer || switches.unregServer) {
    const std::optional<RegistrationPlaces> places = UserPlaces();
    if (!places) {
      PrintError("Cannot register: no home folder is known for this user");
      return 1;
    }
    const HResult result = switches.unregServer
                               ? Unregister(*places)
                               : Register(*places, CurrentRegistrationInfo(programFolder));
    if (!result.ok) {
      PrintError(result.detail);
      return 1;
    }
    return 0;
  }
  if (switches.addImageUrl) {
    QCoreApplication application(argc, argv);
    const HandOffCallResult result = CallAddImageURL(QString::fromStdString(*switches.addImageUrl));
    if (!result.ok) {
      PrintError(result.error.toStdString());
      return 1;
    }
    return 0;
  }
  return std::nullopt;
}

void RegisterAtStart(const std::string& programFolder) noexcept {
  try {
    if (const std::optional<RegistrationPlaces> places = UserPlaces())
      Register(*places, CurrentRegistrationInfo(programFolder));
  } catch (...) {
    // A start never fails for want of its registration.
  }
}

}  // namespace quillet

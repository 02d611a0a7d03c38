#pragma once

// Registration of the program for the user: the session bus's activation
// file, the interface description beside it, the desktop entry, and the
// browsers' native-messaging host manifests; and the program folder in the
// hand-off file.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/automation/HandOff.h"

namespace quillet {

inline constexpr const char* kBusName = "io.github.quillet.Quillet";
inline constexpr const char* kQuilletPIPath = "/QuilletPI";
inline constexpr const char* kQuilletPIInterface = "io.github.quillet.QuilletPI";
inline constexpr const char* kQuilletPIFailedError = "io.github.quillet.QuilletPI.Error.Failed";
inline constexpr const char* kNativeHostName = "io.github.quillet.native_host";
inline constexpr const char* kNativeHostProgram = "quillet-native-host";
// The browser extension's fixed identities: Chromium derives its id from the
// public key in the extension's manifest, Firefox reads its own.
inline constexpr const char* kChromiumExtensionId = "plendcahbkbojbdolfbfipmomgocpojp";
inline constexpr const char* kFirefoxExtensionId = "quillet@quillet.github.io";

// Where each registration file goes for one user.
struct RegistrationPlaces {
  std::string busService;    // <data>/dbus-1/services/io.github.quillet.Quillet.service
  std::string busInterface;  // <data>/dbus-1/interfaces/io.github.quillet.QuilletPI.xml
  std::string desktopEntry;  // <data>/applications/io.github.quillet.Quillet.desktop
  std::string chromiumHost;  // <config>/chromium/NativeMessagingHosts/<host>.json
  std::string chromeHost;    // <config>/google-chrome/NativeMessagingHosts/<host>.json
  std::string firefoxHost;   // <home>/.mozilla/native-messaging-hosts/<host>.json
  HandOffKey handOff;

  // Every file that registration writes and unregistration removes; the
  // hand-off file is not among them (it may hold an address not yet taken).
  std::vector<std::string> Files() const;
};
RegistrationPlaces RegistrationPlacesIn(const UserFolders& folders);

// What the files say about this program.
struct RegistrationInfo {
  std::string executable;  // absolute path of the program
  // The program folder, when it is not the executable's own: a start by the
  // bus must find the same data.
  std::optional<std::string> dataDir;
  std::string nativeHost;     // absolute path of quillet-native-host
  std::string programFolder;  // "AppPath": the program folder, without a trailing "/"
};
// The running executable, the native host beside it, and `programFolder`.
RegistrationInfo CurrentRegistrationInfo(const std::string& programFolder);

std::string BusServiceText(const RegistrationInfo& info);
std::string DesktopEntryText(const RegistrationInfo& info);
enum class NativeHostBrowser { Chromium, Firefox };
std::string NativeHostManifestText(const RegistrationInfo& info, NativeHostBrowser browser);
std::string_view QuilletPIInterfaceXml();

// One argument of an Exec line, quoted so that the reader gives it back
// unchanged: the bus's shell-like rules, and the desktop entry's rules. Both
// files escape the backslashes of the whole line on top (their values are
// key-file strings).
std::string BusExecArgument(std::string_view argument);
std::string DesktopExecArgument(std::string_view argument);
// A JSON string with its quotes.
std::string JsonString(std::string_view text);

// Writes every file (each whole, replacing an older one) and "AppPath"; on
// failure the detail names every file that could not be written.
HResult Register(const RegistrationPlaces& places, const RegistrationInfo& info);
// Removes exactly the registration files; a file that is not there is fine.
HResult Unregister(const RegistrationPlaces& places);

}  // namespace quillet

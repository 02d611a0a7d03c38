#pragma once

// The hand-off of a picture address from the browser to the program: a small
// key file, $XDG_CONFIG_HOME/Quillet/handoff, holding "AppPath=" (the
// program folder, written by registration) and "ImageURL=" (the address,
// written by the automation object and taken once by the main window).
#include <optional>
#include <string>
#include <string_view>

#include "core/service/SystemProxy.h"

namespace quillet {

inline constexpr const char* kHandOffFolderName = "Quillet";
inline constexpr const char* kHandOffFileName = "handoff";
inline constexpr const char* kAppPathValue = "AppPath";
inline constexpr const char* kImageUrlValue = "ImageURL";

// S_OK or E_FAIL as the automation object's callers see them, with what
// failed in plain words.
struct HResult {
  bool ok = true;
  std::string detail;

  static HResult Ok() { return {}; }
  static HResult Fail(std::string detail) { return {false, std::move(detail)}; }
};

// The user's folders as the XDG base directory rules give them: a variable
// that is unset, empty or not an absolute path counts as unset.
struct UserFolders {
  std::string home;
  std::string configHome;  // $XDG_CONFIG_HOME, else $HOME/.config
  std::string dataHome;    // $XDG_DATA_HOME, else $HOME/.local/share
};
// Nothing when neither HOME nor the password database names a home folder.
std::optional<UserFolders> UserFoldersFrom(const EnvironmentLookup& environment);
// The process's own environment.
EnvironmentLookup ProcessEnvironment();

// The hand-off "key": the folder that must exist for the key to open, and the
// file in it. Neither path ends in "/".
struct HandOffKey {
  std::string folder;
  std::string file;
};
HandOffKey HandOffKeyIn(const std::string& configHome);
std::optional<HandOffKey> UserHandOffKey(const EnvironmentLookup& environment);

// The values of the key. An absent value is told from an empty one.
struct HandOffValues {
  std::optional<std::string> appPath;
  std::optional<std::string> imageUrl;
  bool operator==(const HandOffValues&) const = default;
};
// One "Name=value" a line; unknown names and lines without "=" are ignored,
// and a later line wins over an earlier one of the same name.
HandOffValues ParseHandOffText(std::string_view text);
// "AppPath=" then "ImageURL=", each present value on its own LF-ended line.
std::string HandOffText(const HandOffValues& values);

// Whether a text can be kept as one value of the file: valid UTF-8 without
// CR, LF or NUL.
bool IsStorableHandOffValue(std::string_view value);

// Opens the key and reads its values; a key whose folder holds no file yet has
// none. Fails when the folder is missing or the file cannot be read.
struct HandOffReading {
  HResult result;
  HandOffValues values;
};
HandOffReading ReadHandOffKey(const HandOffKey& key);

// AddImageURL's write: the address replaces an older one not yet taken, the
// other values stay, and the file is replaced whole. The folder is never
// created here: a missing folder is a key that cannot be opened.
HResult WriteHandOffImageUrl(const HandOffKey& key, std::string_view imageUrl);

// Registration's write: creates the folder when missing and sets "AppPath",
// keeping an address that waits to be taken.
HResult WriteHandOffAppPath(const HandOffKey& key, std::string_view appPath);

// The main window's take: when the file holds "ImageURL", the file is renamed
// away first, read, deleted, and a file with the other values takes its
// place; the address comes back exactly once however many copies race.
// Nothing when there is no key, no file or no address (or the key stays busy
// for seconds: the address then waits for the next activation).
std::optional<std::string> TakeHandedOverImageUrl(const HandOffKey& key);

}  // namespace quillet

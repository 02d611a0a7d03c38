#pragma once

// Pictures that reach the program as bytes rather than as an address a plain
// download can fetch (a data: or blob: address, a picture behind the page's
// login): the native-messaging host stores them in the program folder's
// "Temp" and hands over a file: address of the copy.
#include <optional>
#include <string>
#include <string_view>

#include "core/automation/HandOff.h"

namespace quillet {

// Base64 with the standard alphabet and its padding, nothing else (no blanks,
// no line breaks); nothing for any other text.
std::optional<std::string> DecodeBase64(std::string_view text);

// ".jpg", ".png", ".gif" or ".bmp" for a picture type the program takes
// ("image/jpeg", "image/png; charset=..." and the like, in any letter case);
// empty for any other type.
std::string PictureExtensionForType(std::string_view mimeType);

// A data: address: its media type (as written, "text/plain" when none) and
// its decoded bytes, from base64 or from percent-encoding.
struct DataUrl {
  std::string type;
  std::string bytes;
};
std::optional<DataUrl> ParseDataUrl(std::string_view url);

// The name a stored picture gets from the page's name for it: its last path
// segment without its extension, with every character that is no letter,
// digit, blank, "-" or "_" (or a UTF-8 letter beyond ASCII) turned into "_",
// shortened; "picture" when nothing is left.
std::string StoredPictureBaseName(std::string_view nameHint);

// Writes the bytes whole into `tempFolder` (created when missing) as
// base name + `extension`, made unique with "-2", "-3", ... so that no file
// there is ever replaced. Gives the new file's path.
struct StoredPicture {
  HResult result;
  std::string path;
};
StoredPicture StoreHandedOverPicture(const std::string& tempFolder, std::string_view bytes,
                                     std::string_view extension, std::string_view nameHint);

// "file://" and the absolute path, with every byte but letters, digits and
// "/-._~" percent-encoded.
std::string FileUrlOf(std::string_view absolutePath);

// The path of a file: address ("file:///..." or "file://localhost/...") that
// names a file directly in `tempFolder`, after links and "..": nothing for an
// address that leads anywhere else or to no file.
std::optional<std::string> OwnTempFilePath(std::string_view url, const std::string& tempFolder);

}  // namespace quillet

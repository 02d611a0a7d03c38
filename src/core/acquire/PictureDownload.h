#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/service/HttpClient.h"
#include "core/service/Worker.h"

namespace quillet {

inline constexpr const char* kUnsupportedPictureTypeText = "Unsupported picture file type : ";
inline constexpr const char* kTempFolderFailedText = "Could not write temporary picture file.";
inline constexpr const char* kTempFileWriteFailedText = "Error writing to temporary picture file";
inline constexpr const char* kPictureDownloadFailedText =
    "Error downloading picture. Please check proxy settings in menu Edit->Options and try again.";

// A picture larger than the decoders accept is refused while it arrives.
inline constexpr std::int64_t kMaxDownloadBytes = 1LL << 30;

// The extension of an address, found as for a file name: from its last
// ".", "\" or ":" when that is a ".", upper-cased; empty when there is none.
std::string UrlExtension(std::string_view url);
// ".JPG", ".JPEG", ".BMP", ".PNG" or ".GIF".
bool IsAcceptedPictureType(std::string_view upperExtension);

// The name of the temporary copy: the text after the address's last "/",
// percent-decoded, with anything that could lead out of the folder or is no
// character of a name replaced; "picture" + the extension when nothing
// usable is left.
std::string TemporaryPictureName(std::string_view url);

// The address as it goes out: blanks and bytes beyond ASCII percent-encoded
// (a pasted address may hold them), everything else unchanged.
std::string RequestAddressOf(std::string_view url);

// The file a "file:" address names when it lies in the program folder's
// "Temp", where the browser's hand-off stores pictures it read itself; no
// other local file is fetched this way.
std::optional<std::string> HandOffFileOf(std::string_view url, const std::string& programFolder);

enum PictureDownloadResult : std::uint8_t {
  kPictureDownloaded = 0,
  kPictureDownloadFailed = 1,
  kPictureDownloadCancelled = 2,
};

// Fetches one picture into its temporary file on its own thread with the
// client it is given. The file is created whole or left partial; the caller
// deletes it either way.
class TPictureDownloadThread : public Worker {
 public:
  // With `localSource`, the picture is that file (see HandOffFileOf), copied
  // instead of downloaded.
  TPictureDownloadThread(std::string url, std::string temporaryPath, HttpClient& client,
                         std::string localSource = {});

  // GUI thread, in the completion.
  std::uint8_t Result() const { return result_; }
  const std::string& Message() const { return message_; }
  const std::string& TemporaryPath() const { return temporaryPath_; }

 protected:
  void Run() override;
  void Interrupt() override { client_.Cancel(); }

 private:
  HttpResult CopyLocalSource(ByteSink& sink);

  const std::string url_;
  const std::string temporaryPath_;
  HttpClient& client_;
  const std::string localSource_;
  std::uint8_t result_ = kPictureDownloaded;
  std::string message_;
};

}  // namespace quillet

#include "core/acquire/PictureDownload.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "core/app/ProgramFolder.h"
#include "core/platform/Text.h"

namespace quillet {
namespace {

// Writes the body straight into the temporary file.
class FileSink : public ByteSink {
 public:
  explicit FileSink(int fd) : fd_(fd) {}
  bool Write(const char* data, std::size_t size) override {
    while (size > 0) {
      const ssize_t written = ::write(fd_, data, size);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return false;
      data += written;
      size -= static_cast<size_t>(written);
    }
    return true;
  }

 private:
  int fd_;
};

}  // namespace

std::string UrlExtension(std::string_view url) {
  const size_t last = url.find_last_of(".\\:");
  if (last == std::string_view::npos || url[last] != '.') return {};
  return UpperAscii(url.substr(last));
}

bool IsAcceptedPictureType(std::string_view upperExtension) {
  return upperExtension == ".JPG" || upperExtension == ".JPEG" || upperExtension == ".BMP" ||
         upperExtension == ".PNG" || upperExtension == ".GIF";
}

std::string TemporaryPictureName(std::string_view url) {
  const size_t slash = url.rfind('/');
  const std::string decoded =
      PercentDecoded(slash == std::string_view::npos ? url : url.substr(slash + 1));
  std::string name;
  for (char c : decoded) {
    const auto byte = static_cast<unsigned char>(c);
    name += (byte < 0x20 || byte == 0x7F || c == '/') ? '_' : c;
  }
  if (name.empty() || name == "." || name == ".." || name.front() == '.') {
    std::string extension = LowerAscii(UrlExtension(url));
    if (extension.find_first_of("/\\?#") != std::string::npos) extension.clear();
    name = "picture" + extension;
  }
  // A name longer than the file system allows would fail the download.
  constexpr size_t kLongestName = 200;
  if (name.size() > kLongestName) {
    const std::string extension(ExtensionOf(name));
    name = name.substr(0, kLongestName - std::min(extension.size(), kLongestName / 2)) +
           extension.substr(0, kLongestName / 2);
  }
  return name;
}

std::string RequestAddressOf(std::string_view url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == ' ' || byte >= 0x80) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> HandOffFileOf(std::string_view url, const std::string& programFolder) {
  if (!url.starts_with("file://")) return std::nullopt;
  std::string_view rest = url.substr(7);
  // "file://localhost/path" and "file:///path" name the same file.
  if (rest.starts_with("localhost/")) rest.remove_prefix(9);
  if (!rest.starts_with("/")) return std::nullopt;
  const std::string path = PercentDecoded(rest);
  if (path.find('\0') != std::string::npos) return std::nullopt;
  std::error_code error;
  const std::filesystem::path real = std::filesystem::canonical(path, error);
  if (error || !std::filesystem::is_regular_file(real, error)) return std::nullopt;
  const std::filesystem::path temp =
      std::filesystem::weakly_canonical(std::filesystem::path(programFolder) / kTempFolder, error);
  if (error) return std::nullopt;
  const std::string inside = temp.string() + "/";
  if (!real.string().starts_with(inside)) return std::nullopt;
  return real.string();
}

TPictureDownloadThread::TPictureDownloadThread(std::string url, std::string temporaryPath,
                                               HttpClient& client, std::string localSource)
    : url_(std::move(url)),
      temporaryPath_(std::move(temporaryPath)),
      client_(client),
      localSource_(std::move(localSource)) {}

HttpResult TPictureDownloadThread::CopyLocalSource(ByteSink& sink) {
  const int fd = ::open(localSource_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {HttpResultKind::Network, 0, "cannot open " + localSource_};
  char buffer[1 << 16];
  HttpResult result;
  for (;;) {
    if (CancelRequested()) {
      result = {HttpResultKind::Cancelled, 0, {}};
      break;
    }
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      result = {HttpResultKind::Network, 0, "cannot read " + localSource_};
      break;
    }
    if (got == 0) break;
    if (!sink.Write(buffer, static_cast<size_t>(got))) {
      result = {HttpResultKind::LocalWrite, 0, "write failed"};
      break;
    }
  }
  ::close(fd);
  return result;
}

void TPictureDownloadThread::Run() {
  // A picture the hand-off already stored as the temporary file itself is
  // there: nothing to fetch.
  std::error_code same;
  if (!localSource_.empty() && std::filesystem::equivalent(localSource_, temporaryPath_, same)) {
    Finish(WorkerEnd::Done);
    return;
  }
  // Replaces a file of that name, but never follows a link planted there.
  const int fd =
      ::open(temporaryPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    result_ = kPictureDownloadFailed;
    message_ = kTempFileWriteFailedText;
    Finish(WorkerEnd::Failed, "cannot create " + temporaryPath_);
    return;
  }
  FileSink sink(fd);
  const HttpResult request = localSource_.empty()
                                 ? client_.Get(RequestAddressOf(url_), sink, kMaxDownloadBytes)
                                 : CopyLocalSource(sink);
  const bool closed = ::close(fd) == 0;
  if (request.kind == HttpResultKind::Cancelled || (CancelRequested() && !request.Succeeded())) {
    result_ = kPictureDownloadCancelled;
    Finish(WorkerEnd::Cancelled);
  } else if (request.kind == HttpResultKind::LocalWrite || (request.Succeeded() && !closed)) {
    result_ = kPictureDownloadFailed;
    message_ = kTempFileWriteFailedText;
    Finish(WorkerEnd::Failed, "cannot write " + temporaryPath_);
  } else if (!request.Succeeded()) {
    result_ = kPictureDownloadFailed;
    message_ = kPictureDownloadFailedText;
    Finish(WorkerEnd::Failed, request.Description());
  } else {
    Finish(WorkerEnd::Done);
  }
}

}  // namespace quillet

#include "core/automation/HandOff.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/platform/AtomicFile.h"

namespace quillet {
namespace {

// The file is a few lines; anything much larger is not ours.
constexpr std::size_t kLargestKeyFile = 16u << 20;
// Every holder of the key lock keeps it for a read and a small write.
constexpr auto kLockPatience = std::chrono::seconds(5);
constexpr auto kLockRetry = std::chrono::milliseconds(10);

std::string SystemText(int error) {
  return std::strerror(error);
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

std::optional<std::string> AbsoluteVariable(const EnvironmentLookup& environment,
                                            const char* name) {
  if (!environment) return std::nullopt;
  std::optional<std::string> value = environment(name);
  if (!value || value->empty() || value->front() != '/') return std::nullopt;
  return WithoutTrailingSlashes(*value);
}

std::optional<std::string> HomeFromPasswordDatabase() {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/')
    return std::nullopt;
  return WithoutTrailingSlashes(found->pw_dir);
}

// Every reader and writer of the key holds this lock on its folder, so that a
// read-modify-write never interleaves with a take: without it a start that
// rewrites "AppPath" could put back an address that was just taken.
class KeyLock {
 public:
  explicit KeyLock(const HandOffKey& key) {
    fd_ = ::open(key.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
      failure_ = "Cannot open the hand-off folder " + key.folder + ": " + SystemText(errno);
      return;
    }
    const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if (errno != EWOULDBLOCK && errno != EINTR) {
        failure_ = "Cannot lock the hand-off folder " + key.folder + ": " + SystemText(errno);
        return;
      }
      if (std::chrono::steady_clock::now() >= deadline) {
        failure_ = "The hand-off folder " + key.folder + " stays locked by another program";
        return;
      }
      std::this_thread::sleep_for(kLockRetry);
    }
    locked_ = true;
  }
  ~KeyLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  KeyLock(const KeyLock&) = delete;
  KeyLock& operator=(const KeyLock&) = delete;

  bool Locked() const { return locked_; }
  const std::string& Failure() const { return failure_; }

 private:
  int fd_ = -1;
  bool locked_ = false;
  std::string failure_;
};

// The file's text; an empty text for a file that does not exist.
struct FileText {
  bool ok = true;
  bool exists = false;
  std::string text;
  std::string failure;
};

FileText ReadKeyFile(const std::string& path) {
  FileText result;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return result;
    return {false, false, {}, "Cannot read " + path + ": " + SystemText(errno)};
  }
  result.exists = true;
  char chunk[4096];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      return {false, true, {}, "Cannot read " + path + ": " + SystemText(error)};
    }
    if (got == 0) break;
    result.text.append(chunk, static_cast<std::size_t>(got));
    if (result.text.size() > kLargestKeyFile) {
      ::close(fd);
      return {false, true, {}, "Cannot read " + path + ": the file is far too large"};
    }
  }
  ::close(fd);
  return result;
}

HResult WriteKeyFile(const HandOffKey& key, const HandOffValues& values) {
  try {
    // The address may carry a session token: the file is the user's alone.
    WriteFileAtomically(key.file, HandOffText(values), NewFileAccess::OwnerOnly);
  } catch (const std::exception& error) {
    return HResult::Fail(error.what());
  }
  return HResult::Ok();
}

// Length of the UTF-8 sequence at `text[at]`, 0 when it is not one.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint32_t point = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    point = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    point = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    point = (point << 6) | (byte(at + i) & 0x3F);
  }
  const bool overlong = (length == 3 && point < 0x800) || (length == 4 && point < 0x10000);
  const bool surrogate = point >= 0xD800 && point <= 0xDFFF;
  if (overlong || surrogate || point > 0x10FFFF) return 0;
  return length;
}

}  // namespace

std::optional<UserFolders> UserFoldersFrom(const EnvironmentLookup& environment) {
  std::optional<std::string> home = AbsoluteVariable(environment, "HOME");
  if (!home) home = HomeFromPasswordDatabase();
  if (!home) return std::nullopt;
  UserFolders folders;
  folders.home = *home;
  const std::string base = *home == "/" ? std::string() : *home;
  folders.configHome = AbsoluteVariable(environment, "XDG_CONFIG_HOME").value_or(base + "/.config");
  folders.dataHome =
      AbsoluteVariable(environment, "XDG_DATA_HOME").value_or(base + "/.local/share");
  return folders;
}

EnvironmentLookup ProcessEnvironment() {
  return [](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  };
}

HandOffKey HandOffKeyIn(const std::string& configHome) {
  HandOffKey key;
  key.folder = WithoutTrailingSlashes(configHome) + "/" + kHandOffFolderName;
  key.file = key.folder + "/" + kHandOffFileName;
  return key;
}

std::optional<HandOffKey> UserHandOffKey(const EnvironmentLookup& environment) {
  const std::optional<UserFolders> folders = UserFoldersFrom(environment);
  if (!folders) return std::nullopt;
  return HandOffKeyIn(folders->configHome);
}

HandOffValues ParseHandOffText(std::string_view text) {
  HandOffValues values;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view name = line.substr(0, equals);
    const std::string value(line.substr(equals + 1));
    if (name == kAppPathValue) values.appPath = value;
    if (name == kImageUrlValue) values.imageUrl = value;
  }
  return values;
}

std::string HandOffText(const HandOffValues& values) {
  std::string text;
  if (values.appPath) text += std::string(kAppPathValue) + "=" + *values.appPath + "\n";
  if (values.imageUrl) text += std::string(kImageUrlValue) + "=" + *values.imageUrl + "\n";
  return text;
}

bool IsStorableHandOffValue(std::string_view value) {
  for (std::size_t at = 0; at < value.size();) {
    const char c = value[at];
    if (c == '\r' || c == '\n' || c == '\0') return false;
    const std::size_t length = Utf8SequenceLength(value, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

HandOffReading ReadHandOffKey(const HandOffKey& key) {
  KeyLock lock(key);
  if (!lock.Locked()) return {HResult::Fail(lock.Failure()), {}};
  const FileText file = ReadKeyFile(key.file);
  if (!file.ok) return {HResult::Fail(file.failure), {}};
  return {HResult::Ok(), ParseHandOffText(file.text)};
}

HResult WriteHandOffImageUrl(const HandOffKey& key, std::string_view imageUrl) {
  if (!IsStorableHandOffValue(imageUrl))
    return HResult::Fail("The address holds a line break, a NUL or bytes that are not UTF-8");
  KeyLock lock(key);
  if (!lock.Locked()) return HResult::Fail(lock.Failure());
  const FileText file = ReadKeyFile(key.file);
  if (!file.ok) return HResult::Fail(file.failure);
  HandOffValues values = ParseHandOffText(file.text);
  values.imageUrl = std::string(imageUrl);
  return WriteKeyFile(key, values);
}

HResult WriteHandOffAppPath(const HandOffKey& key, std::string_view appPath) {
  if (!IsStorableHandOffValue(appPath))
    return HResult::Fail("The program folder holds a line break or bytes that are not UTF-8");
  std::error_code error;
  std::filesystem::create_directories(key.folder, error);
  if (error) return HResult::Fail("Cannot create " + key.folder + ": " + error.message());
  KeyLock lock(key);
  if (!lock.Locked()) return HResult::Fail(lock.Failure());
  const FileText file = ReadKeyFile(key.file);
  if (!file.ok) return HResult::Fail(file.failure);
  HandOffValues values = ParseHandOffText(file.text);
  if (file.exists && values.appPath == appPath) return HResult::Ok();
  values.appPath = std::string(appPath);
  return WriteKeyFile(key, values);
}

std::optional<std::string> TakeHandedOverImageUrl(const HandOffKey& key) {
  KeyLock lock(key);
  if (!lock.Locked()) return std::nullopt;
  const FileText file = ReadKeyFile(key.file);
  if (!file.ok || !ParseHandOffText(file.text).imageUrl) return std::nullopt;

  // A reserved unique name that the rename then replaces in one step.
  std::string reserved = key.folder + "/." + kHandOffFileName + ".taken-XXXXXX";
  std::vector<char> name(reserved.begin(), reserved.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return std::nullopt;
  ::close(fd);
  reserved.assign(name.data());
  if (::rename(key.file.c_str(), reserved.c_str()) != 0) {
    ::unlink(reserved.c_str());
    return std::nullopt;
  }
  // From here on the address is ours: whatever fails, it is not there to be
  // taken a second time.
  const FileText taken = ReadKeyFile(reserved);
  ::unlink(reserved.c_str());
  HandOffValues values = ParseHandOffText(taken.text);
  std::optional<std::string> imageUrl = std::move(values.imageUrl);
  values.imageUrl.reset();
  WriteKeyFile(key, values);  // the next start's registration repairs a failure
  return imageUrl;
}

}  // namespace quillet

#include "core/platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace quillet {
namespace {

[[noreturn]] void ThrowSystemError(const std::string& what, int error) {
  throw std::runtime_error(what + ": " + std::strerror(error));
}

std::string TemporaryPattern(const std::string& path) {
  auto slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + name + ".tmp-XXXXXX";
}

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      ThrowSystemError("write", errno);
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

// The old file's permissions when there is one (a file holding passwords may
// have been made private), else those of a newly created file.
mode_t ModeFor(const std::string& path, NewFileAccess access) {
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
    return existing.st_mode & 07777;
  if (access == NewFileAccess::OwnerOnly) return 0600;
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// The text of a symbolic link, however long.
std::string LinkTarget(const std::string& link, const std::string& requested) {
  for (std::size_t room = 256;; room *= 2) {
    std::vector<char> target(room);
    ssize_t length = ::readlink(link.c_str(), target.data(), target.size());
    if (length < 0) ThrowSystemError("Cannot write " + requested, errno);
    if (static_cast<std::size_t>(length) < room)
      return std::string(target.data(), static_cast<std::size_t>(length));
    if (room > (1u << 20)) ThrowSystemError("Cannot write " + requested, ENAMETOOLONG);
  }
}

// A data file may be a symbolic link to the real one (kept on another disk,
// shared with a second checkout). Replacing the link by a plain file would
// leave the real file stale, so the write goes to the file the link leads to,
// through every link of a chain; a relative link counts from the folder of
// the link itself. A link to nothing creates the file it names, as writing
// through it would.
std::string FileBehindLinks(const std::string& path) {
  // The kernel's own limit on links followed in one path.
  constexpr int kMaxLinks = 40;
  std::string current = path;
  for (int followed = 0;; ++followed) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0) {
      if (errno == ENOENT) return current;
      ThrowSystemError("Cannot write " + path, errno);
    }
    if (!S_ISLNK(info.st_mode)) return current;
    if (followed == kMaxLinks) ThrowSystemError("Cannot write " + path, ELOOP);
    std::string next = LinkTarget(current, path);
    if (next.empty()) ThrowSystemError("Cannot write " + path, ENOENT);
    if (next.front() != '/') {
      auto slash = current.rfind('/');
      if (slash != std::string::npos) next = current.substr(0, slash + 1) + next;
    }
    current = std::move(next);
  }
}

}  // namespace

void WriteFileAtomically(const std::string& requestedPath, std::string_view bytes,
                         NewFileAccess access) {
  const std::string path = FileBehindLinks(requestedPath);
  std::string temporary = TemporaryPattern(path);
  std::vector<char> name(temporary.begin(), temporary.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) ThrowSystemError("Cannot write " + path, errno);
  try {
    WriteAll(fd, bytes);
    if (::fchmod(fd, ModeFor(path, access)) != 0) ThrowSystemError("chmod", errno);
    if (::fsync(fd) != 0) ThrowSystemError("fsync", errno);
    if (::close(fd) != 0) {
      fd = -1;
      ThrowSystemError("close", errno);
    }
    fd = -1;
    if (::rename(name.data(), path.c_str()) != 0) ThrowSystemError("rename", errno);
  } catch (...) {
    if (fd >= 0) ::close(fd);
    ::unlink(name.data());
    throw;
  }
}

std::optional<std::string> AtomicTemporaryTarget(std::string_view fileName) {
  constexpr std::string_view kMark = ".tmp-";
  constexpr std::size_t kUniqueLength = 6;  // the XXXXXX of mkstemp
  if (fileName.size() < 1 + 1 + kMark.size() + kUniqueLength || fileName.front() != '.')
    return std::nullopt;
  const std::string_view unique = fileName.substr(fileName.size() - kUniqueLength);
  const bool alphanumeric = std::all_of(unique.begin(), unique.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  });
  const std::string_view before = fileName.substr(0, fileName.size() - kUniqueLength);
  if (!alphanumeric || before.substr(before.size() - kMark.size()) != kMark) return std::nullopt;
  return std::string(before.substr(1, before.size() - 1 - kMark.size()));
}

bool PathExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("Cannot open " + path);
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) throw std::runtime_error("Cannot read " + path);
  return content.str();
}

}  // namespace quillet

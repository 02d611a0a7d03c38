#include "core/app/StartupChecks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "core/app/ProgramFolder.h"
#include "core/platform/AtomicFile.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

// The name of the check's file where the file system cannot make one without
// a name; it has the form of a temporary file, so that a kill between its
// creation and its removal leaves nothing that the next start keeps.
constexpr const char* kWriteCheckName = "quillet-write-check";

bool CanWriteWithNamedFile(const std::string& folder) {
  std::string pattern = folder + "." + kWriteCheckName + ".tmp-XXXXXX";
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(pattern.c_str());
  return true;
}

// Files the program writes in the program folder itself.
bool IsProgramFolderDataFile(const std::string& name) {
  if (name == kOptionsFile || name == kAppStateFile || name == kLogoDirectoryFile ||
      name == kWindowStateFile || name == kWriteCheckName)
    return true;
  // The kept copies of a damaged directory file: "logodirectory.damaged.xml",
  // "logodirectory.damaged2.xml", ...
  constexpr std::string_view kDamagedStart = "logodirectory.damaged", kDamagedEnd = ".xml";
  std::string_view text = name;
  if (text.size() < kDamagedStart.size() + kDamagedEnd.size() ||
      text.substr(0, kDamagedStart.size()) != kDamagedStart ||
      text.substr(text.size() - kDamagedEnd.size()) != kDamagedEnd)
    return false;
  std::string_view counter =
      text.substr(kDamagedStart.size(), text.size() - kDamagedStart.size() - kDamagedEnd.size());
  for (char c : counter)
    if (c < '0' || c > '9') return false;
  return true;
}

class StaleTemporaryRemover {
 public:
  explicit StaleTemporaryRemover(std::chrono::seconds minimumAge)
      : oldest_(fs::file_time_type::clock::now() - minimumAge) {}

  // `ours` tells whether a temporary file for the given name is the program's.
  template <class Ours>
  void RemoveIn(const fs::directory_entry& entry, Ours ours) {
    std::error_code error;
    // A symbolic link is never a temporary file of ours, whatever it is named.
    if (!entry.is_regular_file(error) || entry.is_symlink(error)) return;
    const std::string name = entry.path().filename().string();
    std::optional<std::string> target = AtomicTemporaryTarget(name);
    if (!target || !ours(*target)) return;
    const fs::file_time_type changed = entry.last_write_time(error);
    if (error || changed > oldest_) return;
    if (fs::remove(entry.path(), error) && !error) removed_.push_back(entry.path().string());
  }

  template <class Ours>
  void RemoveInFolder(const std::string& folder, Ours ours) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
      RemoveIn(*it, ours);
  }

  // Folders below are searched too, without following symbolic links.
  template <class Ours>
  void RemoveInTree(const std::string& folder, Ours ours) {
    std::error_code error;
    for (fs::recursive_directory_iterator
             it(folder, fs::directory_options::skip_permission_denied, error),
         end;
         !error && it != end; it.increment(error))
      RemoveIn(*it, ours);
  }

  std::vector<std::string> Removed() && { return std::move(removed_); }

 private:
  fs::file_time_type oldest_;
  std::vector<std::string> removed_;
};

}  // namespace

std::string FolderNotWritableText(std::string_view folder) {
  while (folder.size() > 1 && folder.back() == '/')
    folder.remove_suffix(1);
  return std::string(kFolderNotWritableTextStart) + std::string(folder) +
         std::string(kFolderNotWritableTextEnd);
}

bool CanWriteInFolder(const std::string& folder) {
  // A file without a name vanishes with its descriptor, even if the process
  // is killed in between.
  int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  // Only a file system that cannot make such files gets a named one.
  if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)
    return CanWriteWithNamedFile(WithTrailingSeparator(folder));
  return false;
}

std::optional<std::string> ProgramFolderWarning(const std::string& programFolder) {
  if (CanWriteInFolder(programFolder)) return std::nullopt;
  return FolderNotWritableText(programFolder);
}

std::vector<std::string> RemoveStaleTemporaryFiles(const std::string& programFolder,
                                                   std::chrono::seconds minimumAge) {
  const std::string folder = WithTrailingSeparator(programFolder);
  StaleTemporaryRemover remover(minimumAge);
  remover.RemoveInFolder(folder, IsProgramFolderDataFile);
  // Every file in these two folders is the program's own.
  auto any = [](const std::string&) { return true; };
  remover.RemoveInFolder(folder + kTempFolder, any);
  remover.RemoveInTree(folder + kLogoDirectoryFolder, any);
  return std::move(remover).Removed();
}

}  // namespace quillet

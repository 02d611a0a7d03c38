#include "core/app/ProgramFolder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace quillet {

std::string WithTrailingSeparator(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string ExecutableFolder() {
  std::error_code error;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return WithTrailingSeparator(std::filesystem::current_path().string());
  return WithTrailingSeparator(exe.parent_path().string());
}

std::string ResolveProgramFolder(const std::optional<std::string>& dataDirOption) {
  if (dataDirOption && !dataDirOption->empty()) return WithTrailingSeparator(*dataDirOption);
  const char* home = std::getenv("QUILLET_HOME");
  if (home != nullptr && *home != '\0') return WithTrailingSeparator(home);
  return ExecutableFolder();
}

}  // namespace quillet

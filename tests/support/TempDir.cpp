#include "support/TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace quillet::testing {

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "quillet-test-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = std::string(buffer.data()) + "/";
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may have made parts read-only; give write access back first.
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::string TempDir::Write(std::string_view relative, std::string_view content) const {
  fs::path target = fs::path(path_) / fs::path(relative);
  fs::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + target.string());
  return target.string();
}

std::string TempDir::MakeDir(std::string_view relative) const {
  fs::path target = fs::path(path_) / fs::path(relative);
  fs::create_directories(target);
  return target.string();
}

std::string TempDir::Read(std::string_view relative) const {
  std::ifstream in(fs::path(path_) / fs::path(relative), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + std::string(relative));
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string ReadFileOrEmpty(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool TempDir::Exists(std::string_view relative) const {
  return fs::exists(fs::path(path_) / fs::path(relative));
}

std::vector<std::string> SortedNamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace quillet::testing

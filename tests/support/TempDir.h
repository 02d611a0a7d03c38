#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillet::testing {

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes. Path() ends in "/", like the program folder.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // Writes `content` to Path() + relative, creating missing folders.
  std::string Write(std::string_view relative, std::string_view content) const;
  std::string MakeDir(std::string_view relative) const;
  std::string Read(std::string_view relative) const;
  bool Exists(std::string_view relative) const;

 private:
  std::string path_;
};

// The whole of a file; empty when there is none or it cannot be read (the
// core's ReadWholeFile throws instead), for files a test expects may be gone.
std::string ReadFileOrEmpty(const std::string& path);

// The names of the entries of a folder, sorted.
std::vector<std::string> SortedNamesIn(const std::string& folder);

}  // namespace quillet::testing

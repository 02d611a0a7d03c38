#pragma once
// A program folder for the data-file fuzz targets: made once per fuzzer
// process, removed with everything in it when the process ends.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace quillet::fuzz {

class FuzzProgramFolder {
 public:
  enum class Contents { Empty, SampleLogos };

  // SampleLogos: a few one-byte logo files in nested folders for the tree
  // readers to find, and one outside "Logo Directory".
  explicit FuzzProgramFolder(Contents contents = Contents::Empty) {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillet-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern + "/";
    if (contents == Contents::Empty) return;
    for (const char* file : {"Logo Directory/a.jpg", "Logo Directory/Cars/b.png",
                             "Logo Directory/Cars/Sports/c.gif", "outside.bmp"}) {
      std::filesystem::create_directories(std::filesystem::path(path_ + file).parent_path());
      std::ofstream(path_ + file) << "x";
    }
  }
  ~FuzzProgramFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  FuzzProgramFolder(const FuzzProgramFolder&) = delete;
  FuzzProgramFolder& operator=(const FuzzProgramFolder&) = delete;

  const std::string& Path() const { return path_; }

  // Replaces the data file `name` with the fuzzer's input.
  void Write(const char* name, const std::uint8_t* data, std::size_t size) const {
    std::ofstream(path_ + name, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  void Write(const char* name, const std::string& text) const {
    Write(name, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  }

 private:
  std::string path_;
};

}  // namespace quillet::fuzz

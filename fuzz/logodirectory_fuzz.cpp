// Feeds arbitrary bytes as "logodirectory.xml" to the reader, in a program
// folder that holds a few real logos and folders for the nodes to find.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/logodir/LogoDirectoryFile.h"
#include "core/logodir/LogoTree.h"
#include "core/platform/Prompts.h"

namespace {

// Removed with everything in it when the fuzzer ends.
struct ProgramFolder {
  std::string path;
  ~ProgramFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

std::string MakeProgramFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quillet-fuzz-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  std::string folder = pattern + "/";
  std::filesystem::create_directories(folder + "Logo Directory/Cars/Sports");
  for (const char* file : {"Logo Directory/a.jpg", "Logo Directory/Cars/b.png",
                           "Logo Directory/Cars/Sports/c.gif", "outside.bmp"})
    std::ofstream(folder + file) << "x";
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ProgramFolder programFolder{MakeProgramFolder()};
  const std::string& folder = programFolder.path;
  std::ofstream(folder + "logodirectory.xml", std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  quillet::LogoTree tree;
  quillet::SilentPrompts prompts;
  quillet::LoadLogoDirectory(tree, folder, prompts);
  // Whatever was read must be writable again.
  quillet::LogoDirectoryDocument(tree);
  return 0;
}

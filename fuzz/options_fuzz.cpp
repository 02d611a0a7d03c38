// Feeds arbitrary bytes as "options.xml" to the options reader; whatever it
// reads must survive a write and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/platform/Prompts.h"
#include "core/settings/Options.h"

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
  return pattern + "/";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ProgramFolder programFolder{MakeProgramFolder()};
  const std::string& folder = programFolder.path;
  std::ofstream(folder + "options.xml", std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  quillet::SilentPrompts prompts;
  quillet::Options options = quillet::LoadOptions(folder, prompts, {});
  if (!quillet::SaveOptions(options, folder, prompts)) std::abort();
  if (!(quillet::LoadOptions(folder, prompts, {}) == options)) std::abort();
  return 0;
}

// Feeds arbitrary bytes as "parameters.xml" to the server parameter reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/app/ErrorReport.h"
#include "core/catalogues/ServerParameters.h"
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
  return pattern + "/";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ProgramFolder programFolder{MakeProgramFolder()};
  const std::string& folder = programFolder.path;
  std::ofstream(folder + "parameters.xml", std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  quillet::SilentPrompts prompts;
  quillet::ServerParameters parameters;
  try {
    quillet::ReadServerParameters(folder, parameters, prompts);
  } catch (const quillet::QuilletError&) {
    // The program-wide error report's path; the values read so far stay.
  }
  parameters.UploadAddress();
  parameters.SendToFriendAddress();
  return 0;
}

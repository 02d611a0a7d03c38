// Feeds arbitrary bytes as "phoneslist.xml" to the catalogue reader and looks
// up every position it yields, and some it does not.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/catalogues/PhoneCatalogue.h"
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
  std::ofstream(folder + "phoneslist.xml", std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  quillet::SilentPrompts prompts;
  quillet::CatalogueReading reading = quillet::ReadPhoneCatalogue(folder, prompts);
  const quillet::PhoneCatalogue& catalogue = reading.catalogue;
  std::int32_t makes = static_cast<std::int32_t>(catalogue.MakeNames().size());
  for (std::int32_t make = -1; make <= makes; ++make) {
    std::int32_t models = static_cast<std::int32_t>(catalogue.ModelNamesOf(make).size());
    for (std::int32_t model = -1; model <= models; ++model) {
      if (auto attributes = catalogue.AttributesOf(make, model))
        quillet::LogoSizeForModel(*attributes);
    }
  }
  return 0;
}

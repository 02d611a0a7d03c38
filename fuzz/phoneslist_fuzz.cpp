// Feeds arbitrary bytes as "phoneslist.xml" to the catalogue reader and looks
// up every position it yields, and some it does not.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzProgramFolder.h"

#include "core/catalogues/PhoneCatalogue.h"
#include "core/platform/Prompts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const quillet::fuzz::FuzzProgramFolder programFolder;
  const std::string& folder = programFolder.Path();
  programFolder.Write("phoneslist.xml", data, size);
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

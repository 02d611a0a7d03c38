// Feeds arbitrary bytes as "options.xml" to the options reader; whatever it
// reads must survive a write and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzProgramFolder.h"

#include "core/platform/Prompts.h"
#include "core/settings/Options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const quillet::fuzz::FuzzProgramFolder programFolder;
  const std::string& folder = programFolder.Path();
  programFolder.Write("options.xml", data, size);
  quillet::SilentPrompts prompts;
  quillet::Options options = quillet::LoadOptions(folder, prompts, {});
  if (!quillet::SaveOptions(options, folder, prompts)) std::abort();
  if (!(quillet::LoadOptions(folder, prompts, {}) == options)) std::abort();
  return 0;
}

// Feeds arbitrary bytes as "parameters.xml" to the server parameter reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzProgramFolder.h"

#include "core/app/ErrorReport.h"
#include "core/catalogues/ServerParameters.h"
#include "core/platform/Prompts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const quillet::fuzz::FuzzProgramFolder programFolder;
  const std::string& folder = programFolder.Path();
  programFolder.Write("parameters.xml", data, size);
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

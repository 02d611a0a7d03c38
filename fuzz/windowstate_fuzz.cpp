// Feeds arbitrary bytes as "windowstate.xml" to its reader; what is read must
// survive being written and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzProgramFolder.h"

#include "core/catalogues/WindowState.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using quillet::fuzz::FuzzProgramFolder;
  static const FuzzProgramFolder programFolder(FuzzProgramFolder::Contents::Empty);
  programFolder.Write("windowstate.xml", data, size);
  const quillet::WindowState state = quillet::ReadWindowState(programFolder.Path());
  programFolder.Write("windowstate.xml", quillet::WindowStateDocument(state));
  if (!(quillet::ReadWindowState(programFolder.Path()) == state)) std::abort();
  return 0;
}

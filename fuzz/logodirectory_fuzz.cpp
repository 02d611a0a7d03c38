// Feeds arbitrary bytes as "logodirectory.xml" to the reader, in a program
// folder that holds a few real logos and folders for the nodes to find.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzProgramFolder.h"

#include "core/logodir/LogoDirectoryFile.h"
#include "core/logodir/LogoTree.h"
#include "core/platform/Prompts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using quillet::fuzz::FuzzProgramFolder;
  static const FuzzProgramFolder programFolder(FuzzProgramFolder::Contents::SampleLogos);
  const std::string& folder = programFolder.Path();
  programFolder.Write("logodirectory.xml", data, size);
  quillet::LogoTree tree;
  quillet::SilentPrompts prompts;
  quillet::LoadLogoDirectory(tree, folder, prompts);
  // Whatever was read must be writable again.
  quillet::LogoDirectoryDocument(tree);
  return 0;
}

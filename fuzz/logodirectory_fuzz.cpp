// Feeds arbitrary bytes as "logodirectory.xml" to the reader, in a program
// folder that holds a few real logos and folders for the nodes to find; what
// it reads must survive a write and read back unchanged.
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
  // Whatever was read is written and read back to the same tree.
  if (!quillet::SaveLogoDirectory(tree, folder, prompts)) std::abort();
  quillet::LogoTree again;
  quillet::LoadLogoDirectory(again, folder, prompts);
  if (quillet::LogoDirectoryDocument(again) != quillet::LogoDirectoryDocument(tree)) std::abort();
  return 0;
}

// The logo directory and the application state as the program reads them.
#include <iostream>

#include "core/app/ErrorReport.h"
#include "core/catalogues/AppState.h"
#include "core/logodir/LogoDirectoryFile.h"
#include "core/logodir/LogoTree.h"
#include "tools/cli/Cli.h"

namespace quillet::cli {
namespace {

std::string ProgramFolderOf(const std::vector<std::string>& words) {
  Args args(words, {"data-dir"});
  if (!args.Positional().empty()) throw UsageError("unexpected argument " + args.Positional()[0]);
  return ProgramFolderFor(args);
}

bool LoadedCleanly(LogoDirectoryLoad status) {
  return status == LogoDirectoryLoad::NoFile || status == LogoDirectoryLoad::Loaded;
}

}  // namespace

// Prints the document the program would write at exit; what it left out goes
// to stderr. Exits 1 when the file is corrupt or could not be read whole.
int RunLogoDir(const std::vector<std::string>& words) {
  std::string folder = ProgramFolderOf(words);
  StderrPrompts prompts(std::cerr);
  LogoTree tree;
  LogoDirectoryLoadResult result = LoadLogoDirectory(tree, folder, prompts);
  for (const DroppedElement& dropped : result.dropped)
    std::cerr << "dropped: " << dropped.path << " (" << dropped.reason << ")\n";
  std::cout << LogoDirectoryDocument(tree);
  std::cout.flush();
  return LoadedCleanly(result.status) ? 0 : 1;
}

// Prints the active node path of the node the program would select at its
// first activation; an empty line when none (or the root).
int RunAppState(const std::vector<std::string>& words) {
  std::string folder = ProgramFolderOf(words);
  StderrPrompts prompts(std::cerr);
  LogoTree tree;
  LoadLogoDirectory(tree, folder, prompts);
  try {
    LogoNode* selected = ReadAppState(tree, folder, prompts);
    std::cout << (selected ? ActiveNodePath(*selected) : std::string()) << '\n';
    return 0;
  } catch (const QuilletError& error) {
    prompts.ReportError(error.what());
    return 1;
  }
}

}  // namespace quillet::cli

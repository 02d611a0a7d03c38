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

}  // namespace

// Prints the document the program would write at exit; what it left out goes
// to stderr. A damaged file is the program's message, not a failure of the
// command.
int RunLogoDir(const std::vector<std::string>& words) {
  std::string folder = ProgramFolderOf(words);
  StderrPrompts prompts(std::cerr);
  LogoTree tree;
  LogoDirectoryLoadResult result = LoadLogoDirectory(tree, folder, prompts);
  for (const DroppedElement& dropped : result.dropped)
    std::cerr << "dropped: " << dropped.path << " (" << dropped.reason << ")\n";
  std::cout << LogoDirectoryDocument(tree);
  std::cout.flush();
  return 0;
}

// Prints the active node path of the node the program would select at its
// first activation; an empty line when none (or the root), as after an
// unreadable state file, which the program reports and then selects nothing.
int RunAppState(const std::vector<std::string>& words) {
  std::string folder = ProgramFolderOf(words);
  StderrPrompts prompts(std::cerr);
  LogoTree tree;
  LoadLogoDirectory(tree, folder, prompts);
  LogoNode* selected = nullptr;
  try {
    selected = ReadAppState(tree, folder, prompts);
  } catch (const QuilletError& error) {
    prompts.ReportError(error.what());
  }
  std::cout << (selected ? ActiveNodePath(*selected) : std::string()) << '\n';
  return 0;
}

}  // namespace quillet::cli

// The logo directory and the application state as the program reads them.
#include <iostream>

#include "core/app/ErrorReport.h"
#include "core/catalogues/AppState.h"
#include "core/logodir/AddedOutside.h"
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

// The tree as start-up builds it: read from the file, and after a damaged
// read completed with the pictures on disk that no node names, with the
// settings of a new logo at start-up.
LogoDirectoryLoadResult LoadAsAtStartUp(LogoTree& tree, const std::string& folder, Prompts& prompts,
                                        FoundPictures& found) {
  LogoDirectoryLoadResult result = LoadLogoDirectory(tree, folder, prompts);
  if (LeftFileUnread(result.status)) {
    LogoDirContext context{tree, nullptr, folder, prompts};
    found = FindPicturesAddedOutside(context, TLogoDirObject());
  }
  return result;
}

std::string PathOf(const LogoNode& node) {
  std::string path;
  for (const LogoNode* n = &node; n != nullptr && !n->IsRoot(); n = n->Parent())
    path = n->Text() + (path.empty() ? "" : "/" + path);
  return path;
}

}  // namespace

// Prints the document the program would write at exit; what it left out, and
// the pictures it found on disk after a damaged read, go to stderr. A damaged file is the program's
// message, not a failure of the command.
int RunLogoDir(const std::vector<std::string>& words) {
  std::string folder = ProgramFolderOf(words);
  StderrPrompts prompts(std::cerr);
  LogoTree tree;
  FoundPictures found;
  LogoDirectoryLoadResult result = LoadAsAtStartUp(tree, folder, prompts, found);
  for (const DroppedElement& dropped : result.dropped)
    std::cerr << "dropped: " << dropped.path << " (" << dropped.reason << ")\n";
  for (const LogoNode* node : found.added)
    std::cerr << "found: " << PathOf(*node) << (node->IsFolder() ? "/" : "") << "\n";
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
  FoundPictures found;
  LoadAsAtStartUp(tree, folder, prompts, found);
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

#include "core/logodir/LogoPaths.h"

#include <vector>

#include "core/app/ErrorReport.h"
#include "core/platform/Text.h"

namespace quillet {
namespace {

// The nodes from the root down to `node`, the root first.
std::vector<const LogoNode*> NodesFromRoot(const LogoNode& node) {
  std::vector<const LogoNode*> nodes;
  for (const LogoNode* n = &node; n != nullptr; n = n->Parent())
    nodes.insert(nodes.begin(), n);
  return nodes;
}

bool HasChildWithBaseName(const LogoNode& folder, std::string_view name, std::string_view exception,
                          bool useException) {
  std::string wanted = UpperAscii(name);
  std::string excepted = UpperAscii(exception);
  for (int i = 0; i < folder.ChildCount(); ++i) {
    std::string base = UpperAscii(BaseNameOf(folder.ChildAt(i)->Text()));
    if (base != wanted) continue;
    if (useException && base == excepted) continue;
    return true;
  }
  return false;
}

}  // namespace

std::string FolderPath(const LogoNode& node, const std::string& programFolder) {
  const LogoNode* folder = &node;
  while (folder->IsLogo() && folder->Parent() != nullptr)
    folder = folder->Parent();
  std::string path = programFolder;
  for (const LogoNode* n : NodesFromRoot(*folder))
    path += n->Text() + "/";
  return path;
}

std::string NodePath(const LogoNode& node, const std::string& programFolder) {
  std::string path = programFolder;
  bool first = true;
  for (const LogoNode* n : NodesFromRoot(node)) {
    if (!first) path += '/';
    path += n->Text();
    first = false;
  }
  return path;
}

std::string LogoFilePath(const LogoNode& node, const std::string& programFolder) {
  if (!node.IsLogo()) throw QuilletError("Unable to get the full file name for non-logo tree node");
  return NodePath(node, programFolder);
}

bool NameIsFree(const LogoNode& folder, std::string_view name) {
  return !HasChildWithBaseName(folder, name, {}, false);
}

bool NameIsFreeExcept(const LogoNode& folder, std::string_view name, std::string_view exception) {
  return !HasChildWithBaseName(folder, name, exception, true);
}

std::string UniqueLogoName(const LogoNode& folder, std::string_view baseName) {
  std::string candidate(baseName);
  for (int counter = 2; !NameIsFree(folder, candidate); ++counter)
    candidate = std::string(baseName) + std::to_string(counter);
  return candidate;
}

std::string DefaultFolderName(const LogoNode& folder) {
  std::string candidate = "New Folder";
  for (int counter = 2; !NameIsFree(folder, candidate); ++counter)
    candidate = "New Folder " + std::to_string(counter);
  return candidate;
}

LogoNode& TargetFolderNode(LogoTree& tree, LogoNode* selected) {
  LogoNode* node = selected ? selected : &tree.Root();
  while (node->IsLogo() && node->Parent() != nullptr)
    node = node->Parent();
  return *node;
}

bool IsSafeNodeName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

}  // namespace quillet

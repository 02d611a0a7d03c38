#include "core/catalogues/AppState.h"

#include <optional>
#include <vector>

#include <pugixml.hpp>

#include "core/app/ErrorReport.h"
#include "core/app/ProgramFolder.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/Xml.h"

namespace quillet {
namespace {

constexpr const char* kRootElement = "appstate";
constexpr const char* kPathElement = "activenodepath";

std::vector<std::string> PathSegments(const std::string& path) {
  std::vector<std::string> segments;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    if (slash > start) segments.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return segments;
}

LogoNode* ChildWithText(const LogoNode& node, const std::string& text) {
  for (int i = 0; i < node.ChildCount(); ++i)
    if (node.ChildAt(i)->Text() == text) return node.ChildAt(i);
  return nullptr;
}

// Follows the path as far as the tree allows; a segment that matches no
// child is passed over and the next one is looked up in the same place.
LogoNode& FollowPath(LogoTree& tree, const std::string& path) {
  LogoNode* current = &tree.Root();
  current->SetExpanded(true);
  for (const std::string& segment : PathSegments(path)) {
    if (LogoNode* child = ChildWithText(*current, segment)) {
      current = child;
      current->SetExpanded(true);
    }
  }
  return *current;
}

// The stored paths, in order. Every element is checked before any is
// applied, so that a faulty file changes nothing in the tree.
std::vector<std::string> StoredPaths(const pugi::xml_node& root) {
  std::vector<std::string> paths;
  for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
    if (!IsElementNamed(child, kPathElement)) continue;
    std::optional<std::string> value = AttributeText(child, "value");
    if (!value)
      throw QuilletError(
          "The application state file has an \"activenodepath\" element without a \"value\" "
          "attribute");
    paths.push_back(*value);
  }
  return paths;
}

}  // namespace

std::string ActiveNodePath(const LogoNode& node) {
  std::string path;
  for (const LogoNode* n = &node; n != nullptr && n->Parent() != nullptr; n = n->Parent())
    path = path.empty() ? n->Text() : n->Text() + "/" + path;
  return path;
}

std::string AppStateDocument(const LogoNode* selected) {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child(kRootElement);
  if (selected != nullptr && selected->Parent() != nullptr)
    root.append_child(kPathElement).append_attribute("value") = ActiveNodePath(*selected).c_str();
  return SerializeXml(doc);
}

bool WriteAppState(const LogoNode* selected, const std::string& programFolder, Prompts& prompts) {
  try {
    WriteFileAtomically(programFolder + kAppStateFile, AppStateDocument(selected));
    return true;
  } catch (const std::exception&) {
    prompts.Error("Unable to save current application state");
    return false;
  }
}

LogoNode* ReadAppState(LogoTree& tree, const std::string& programFolder, Prompts& prompts) {
  std::string path = programFolder + kAppStateFile;
  if (!PathExists(path)) return nullptr;

  pugi::xml_document doc;
  std::string parseError;
  if (!LoadXmlFile(doc, path, parseError))
    throw QuilletError("The application state file cannot be read: " + parseError);
  pugi::xml_node root = doc.document_element();
  if (!IsElementNamed(root, kRootElement)) {
    prompts.Error("Application state file is corrupt.");
    return nullptr;
  }
  LogoNode* selected = nullptr;
  for (const std::string& stored : StoredPaths(root))
    selected = &FollowPath(tree, stored);
  return selected;
}

}  // namespace quillet

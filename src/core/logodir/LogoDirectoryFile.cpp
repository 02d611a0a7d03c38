#include "core/logodir/LogoDirectoryFile.h"

#include <filesystem>
#include <optional>
#include <stdexcept>

#include <pugixml.hpp>

#include "core/app/ProgramFolder.h"
#include "core/logodir/LogoPaths.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/Text.h"
#include "core/platform/Xml.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRootElement = "logodirectory";
constexpr const char* kNodeElement = "logodirnode";

// A fault that ends the whole read: the nodes read so far stay.
class LoadFault : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string RequiredAttribute(const pugi::xml_node& element, const char* name) {
  std::optional<std::string> value = AttributeText(element, name);
  if (!value) throw LoadFault(std::string("a node without \"") + name + "\"");
  return *value;
}

std::int32_t IntegerAttribute(const pugi::xml_node& element, const char* name,
                              std::int32_t fallback) {
  std::optional<std::string> text = AttributeText(element, name);
  if (!text) return fallback;
  return ParseInt32(*text).value_or(fallback);
}

FitKind FitKindFromText(const std::optional<std::string>& text) {
  if (text == "width") return FitKind::Width;
  if (text == "height") return FitKind::Height;
  if (text == "smaller") return FitKind::Smaller;
  return FitKind::Bigger;
}

const char* FitKindText(FitKind kind) {
  switch (kind) {
    case FitKind::Width:
      return "width";
    case FitKind::Height:
      return "height";
    case FitKind::Smaller:
      return "smaller";
    case FitKind::Bigger:
      break;
  }
  return "bigger";
}

bool IsRegularFile(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

bool IsDirectory(const std::string& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

std::string JoinPath(const std::string& parentPath, const std::string& text) {
  return parentPath.empty() ? text : parentPath + "/" + text;
}

class LogoDirectoryReader {
 public:
  LogoDirectoryReader(LogoTree& tree, const std::string& programFolder,
                      std::vector<DroppedElement>& dropped)
      : tree_(tree), programFolder_(programFolder), dropped_(dropped) {}

  void ReadChildren(const pugi::xml_node& element, LogoNode& parent,
                    const std::string& parentPath) {
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
      if (child.type() == pugi::node_element) ReadElement(child, parent, parentPath);
  }

 private:
  void Drop(const pugi::xml_node& element, const std::string& parentPath, std::string reason) {
    std::string label = AttributeText(element, "nodename").value_or("");
    if (label.empty()) label = std::string("<") + element.name() + ">";
    dropped_.push_back({JoinPath(parentPath, label), std::move(reason)});
  }

  void ReadElement(const pugi::xml_node& element, LogoNode& parent, const std::string& parentPath) {
    if (parent.IsLogo()) return Drop(element, parentPath, "inside a logo");
    if (LowerElementName(element) != kNodeElement)
      return Drop(element, parentPath, "not a logodirnode element");
    std::string name = RequiredAttribute(element, "nodename");
    std::string kindText = LowerAscii(RequiredAttribute(element, "nodekind"));
    if (name.empty()) return Drop(element, parentPath, "empty name");
    if (kindText.empty()) return Drop(element, parentPath, "empty kind");

    NodeKind kind;
    if (kindText == "logo") {
      kind = NodeKind::Logo;
    } else if (kindText == "folder") {
      kind = NodeKind::Folder;
    } else {
      return Drop(element, parentPath, "unknown kind \"" + kindText + "\"");
    }
    // A name that could climb out of its folder is never followed.
    if (!IsSafeNodeName(name)) return Drop(element, parentPath, "unsafe name");
    std::string path = FolderPath(parent, programFolder_) + name;
    if (kind == NodeKind::Logo && !IsRegularFile(path))
      return Drop(element, parentPath, "missing file");
    if (kind == NodeKind::Folder && !IsDirectory(path))
      return Drop(element, parentPath, "missing folder");

    TLogoDirObject data = ObjectFromElement(element, kind, name);
    LogoNode& node = tree_.Append(parent, std::move(data));
    // The children of a logo element are not read, only reported.
    ReadChildren(element, node, JoinPath(parentPath, name));
  }

  static TLogoDirObject ObjectFromElement(const pugi::xml_node& element, NodeKind kind,
                                          const std::string& name) {
    TLogoDirObject data(kind, name);
    data.frameleft = IntegerAttribute(element, "frameleft", 0);
    data.frametop = IntegerAttribute(element, "frametop", 0);
    data.framewidth = IntegerAttribute(element, "framewidth", 16);
    data.frameheight = IntegerAttribute(element, "frameheight", 16);
    data.phonemakeid = IntegerAttribute(element, "phonemakeid", -1);
    data.phonemodelid = IntegerAttribute(element, "phonemodelid", -1);
    // The program writes only sizes the panel holds; a hand-edited size
    // beyond them is held to the range, so no logo is ever rendered larger
    // than the panel could show.
    data.logowidth = ClampToLogoSide(IntegerAttribute(element, "logowidth", 16));
    data.logoheight = ClampToLogoSide(IntegerAttribute(element, "logoheight", 16));
    data.fitkind = FitKindFromText(AttributeText(element, "fitkind"));
    data.keepproportions = AttributeText(element, "keepproportions") == "yes";
    data.uploadurl = RequiredAttribute(element, "uploadurl");
    return data;
  }

  LogoTree& tree_;
  const std::string& programFolder_;
  std::vector<DroppedElement>& dropped_;
};

void WriteNode(const LogoNode& node, pugi::xml_node parent) {
  const TLogoDirObject& data = node.Data();
  pugi::xml_node element = parent.append_child(kNodeElement);
  auto set = [&element](const char* name, const std::string& value) {
    element.append_attribute(name) = value.c_str();
  };
  set("nodekind", node.IsFolder() ? "folder" : "logo");
  set("nodename", data.nodename);
  set("frameleft", std::to_string(data.frameleft));
  set("frametop", std::to_string(data.frametop));
  set("framewidth", std::to_string(data.framewidth));
  set("frameheight", std::to_string(data.frameheight));
  set("phonemakeid", std::to_string(data.phonemakeid));
  set("phonemodelid", std::to_string(data.phonemodelid));
  set("logowidth", std::to_string(data.logowidth));
  set("logoheight", std::to_string(data.logoheight));
  set("fitkind", FitKindText(data.fitkind));
  set("keepproportions", data.keepproportions ? "yes" : "no");
  set("uploadurl", data.uploadurl);
  for (int i = 0; i < node.ChildCount(); ++i)
    WriteNode(*node.ChildAt(i), element);
}

void BuildDocument(const LogoTree& tree, pugi::xml_document& doc) {
  pugi::xml_node root = doc.append_child(kRootElement);
  const LogoNode& treeRoot = tree.Root();
  for (int i = 0; i < treeRoot.ChildCount(); ++i)
    WriteNode(*treeRoot.ChildAt(i), root);
}

}  // namespace

LogoDirectoryLoadResult LoadLogoDirectory(LogoTree& tree, const std::string& programFolder,
                                          Prompts& prompts) {
  LogoDirectoryLoadResult result;
  std::string path = programFolder + kLogoDirectoryFile;
  if (!PathExists(path)) return result;

  try {
    pugi::xml_document doc;
    std::string parseError;
    if (!LoadXmlFile(doc, path, parseError)) throw LoadFault(parseError);
    pugi::xml_node root = doc.document_element();
    if (LowerElementName(root) != kRootElement) {
      prompts.Error("The file of mobile logo directory is corrupt.");
      result.status = LogoDirectoryLoad::Corrupt;
      return result;
    }
    LogoDirectoryReader(tree, programFolder, result.dropped).ReadChildren(root, tree.Root(), "");
    tree.Root().SetExpanded(true);
    result.status = LogoDirectoryLoad::Loaded;
  } catch (const LoadFault&) {
    prompts.Error("Error loading mobile logo directory.");
    result.status = LogoDirectoryLoad::Failed;
  }
  return result;
}

std::string LogoDirectoryDocument(const LogoTree& tree) {
  pugi::xml_document doc;
  BuildDocument(tree, doc);
  return SerializeXml(doc);
}

bool SaveLogoDirectory(const LogoTree& tree, const std::string& programFolder, Prompts& prompts) {
  try {
    pugi::xml_document doc;
    BuildDocument(tree, doc);
    SaveXmlFile(doc, programFolder + kLogoDirectoryFile);
    return true;
  } catch (const std::exception&) {
    prompts.Error("Unable to save mobile directory");
    return false;
  }
}

std::string KeepDamagedLogoDirectory(const std::string& programFolder) {
  try {
    std::string content = ReadWholeFile(programFolder + kLogoDirectoryFile);
    std::string name = "logodirectory.damaged.xml";
    for (int counter = 2; PathExists(programFolder + name); ++counter)
      name = "logodirectory.damaged" + std::to_string(counter) + ".xml";
    WriteFileAtomically(programFolder + name, content);
    return name;
  } catch (const std::exception&) {
    return std::string();
  }
}

}  // namespace quillet

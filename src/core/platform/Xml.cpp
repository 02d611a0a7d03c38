#include "core/platform/Xml.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <vector>

#include "core/platform/AtomicFile.h"
#include "core/platform/Text.h"

namespace quillet {

bool IsElementNamed(const pugi::xml_node& node, std::string_view lowerName) {
  return node.type() == pugi::node_element && LowerAscii(node.name()) == lowerName;
}

std::string LowerElementName(const pugi::xml_node& node) {
  return node.type() == pugi::node_element ? LowerAscii(node.name()) : std::string();
}

std::optional<std::string> AttributeText(const pugi::xml_node& element, const char* name) {
  pugi::xml_attribute attribute = element.attribute(name);
  if (!attribute) return std::nullopt;
  return std::string(attribute.value());
}

namespace {

bool HasRepeatedAttribute(const pugi::xml_node& element) {
  std::vector<const char*> names;
  for (pugi::xml_attribute attribute : element.attributes())
    names.push_back(attribute.name());
  auto less = [](const char* a, const char* b) { return std::strcmp(a, b) < 0; };
  std::sort(names.begin(), names.end(), less);
  return std::adjacent_find(names.begin(), names.end(), [](const char* a, const char* b) {
           return std::strcmp(a, b) == 0;
         }) != names.end();
}

// pugixml takes some documents that are not well-formed: a second top-level
// element, or an attribute given twice (of which only the first would be
// read). They are refused like any other broken file, so that a damaged file
// is never half read in silence.
std::string NotWellFormedReason(const pugi::xml_document& doc) {
  int topElements = 0;
  for (pugi::xml_node node : doc.children())
    if (node.type() == pugi::node_element) ++topElements;
  if (topElements > 1) return "More than one document element";
  for (pugi::xml_node node = doc.first_child(); node;) {
    if (node.type() == pugi::node_element && HasRepeatedAttribute(node))
      return "Duplicate attribute in <" + std::string(node.name()) + ">";
    // Depth first without recursion: the nesting of a file is not bounded.
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && !node.next_sibling())
      node = node.parent();
    if (node) node = node.next_sibling();
  }
  return std::string();
}

}  // namespace

bool LoadXmlFile(pugi::xml_document& doc, const std::string& path, std::string& error) {
  // pugixml would take a folder's size for a file's and ask for a huge buffer.
  std::error_code ignored;
  if (std::filesystem::exists(path, ignored) && !std::filesystem::is_regular_file(path, ignored)) {
    error = "Not a regular file";
    return false;
  }
  pugi::xml_parse_result result =
      doc.load_file(path.c_str(), pugi::parse_default, pugi::encoding_auto);
  if (!result) {
    error = result.description();
    return false;
  }
  error = NotWellFormedReason(doc);
  return error.empty();
}

std::string SerializeXml(const pugi::xml_document& doc) {
  std::ostringstream out;
  doc.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.str();
}

void SaveXmlFile(const pugi::xml_document& doc, const std::string& path, NewFileAccess access) {
  WriteFileAtomically(path, SerializeXml(doc), access);
}

}  // namespace quillet

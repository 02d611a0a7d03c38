#include "core/platform/Xml.h"

#include <filesystem>
#include <sstream>

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

bool LoadXmlFile(pugi::xml_document& doc, const std::string& path, std::string& error) {
  // pugixml would take a folder's size for a file's and ask for a huge buffer.
  std::error_code ignored;
  if (std::filesystem::exists(path, ignored) && !std::filesystem::is_regular_file(path, ignored)) {
    error = "Not a regular file";
    return false;
  }
  pugi::xml_parse_result result =
      doc.load_file(path.c_str(), pugi::parse_default, pugi::encoding_auto);
  if (result) return true;
  error = result.description();
  return false;
}

std::string SerializeXml(const pugi::xml_document& doc) {
  std::ostringstream out;
  doc.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.str();
}

void SaveXmlFile(const pugi::xml_document& doc, const std::string& path) {
  WriteFileAtomically(path, SerializeXml(doc));
}

}  // namespace quillet

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "core/platform/AtomicFile.h"

namespace quillet {

// Element names are matched after lower-casing; only element nodes count.
bool IsElementNamed(const pugi::xml_node& node, std::string_view lowerName);
// The lower-cased name of an element, or empty for any other node.
std::string LowerElementName(const pugi::xml_node& node);

// An attribute by its exact name; nullopt when absent (an empty value is "").
std::optional<std::string> AttributeText(const pugi::xml_node& element, const char* name);

// Parses a whole file; on failure fills `error` with the parser's text.
bool LoadXmlFile(pugi::xml_document& doc, const std::string& path, std::string& error);

// The document as the program writes it: no declaration, no indentation,
// UTF-8.
std::string SerializeXml(const pugi::xml_document& doc);

// Writes the document over `path` atomically. Throws std::runtime_error.
void SaveXmlFile(const pugi::xml_document& doc, const std::string& path,
                 NewFileAccess access = NewFileAccess::Default);

}  // namespace quillet

#include "core/catalogues/WindowState.h"

#include <string_view>

#include <pugixml.hpp>

#include "core/app/ProgramFolder.h"
#include "core/platform/Text.h"
#include "core/platform/Xml.h"

namespace quillet {
namespace {

constexpr const char* kRootElement = "windowstate";
constexpr const char* kPanesElement = "panes";

// The file is written in the style of "options.xml": one empty element per
// value, the value in its attribute "value".
std::optional<std::string> ValueOf(const pugi::xml_node& root, std::string_view lowerName) {
  std::optional<std::string> value;
  // As in the options file, the later of two elements wins.
  for (pugi::xml_node child : root.children())
    if (IsElementNamed(child, lowerName)) value = AttributeText(child, "value");
  return value;
}

std::optional<std::int32_t> IntegerIn(const std::optional<std::string>& text, std::int32_t low,
                                      std::int32_t high) {
  if (!text) return std::nullopt;
  std::optional<std::int32_t> value = ParseInt32(*text);
  if (!value || *value < low || *value > high) return std::nullopt;
  return value;
}

bool FlagOf(const pugi::xml_node& root, std::string_view lowerName) {
  std::optional<std::string> text = ValueOf(root, lowerName);
  return text && LowerAscii(*text) == "yes";
}

std::optional<WindowGeometry> GeometryOf(const pugi::xml_node& root) {
  auto left = IntegerIn(ValueOf(root, "left"), -kMaxWindowCoordinate, kMaxWindowCoordinate);
  auto top = IntegerIn(ValueOf(root, "top"), -kMaxWindowCoordinate, kMaxWindowCoordinate);
  auto width = IntegerIn(ValueOf(root, "width"), 1, kMaxWindowCoordinate);
  auto height = IntegerIn(ValueOf(root, "height"), 1, kMaxWindowCoordinate);
  // A part of a geometry is no geometry.
  if (!left || !top || !width || !height) return std::nullopt;
  return WindowGeometry{*left, *top, *width, *height};
}

// "200,600": the sizes of the panes, in order.
std::optional<std::vector<std::int32_t>> SizesOf(const std::string& text) {
  std::vector<std::int32_t> sizes;
  std::size_t start = 0;
  while (true) {
    std::size_t comma = text.find(',', start);
    std::string part = text.substr(start, comma == std::string::npos ? comma : comma - start);
    std::optional<std::int32_t> size = IntegerIn(part, 0, kMaxWindowCoordinate);
    if (!size || sizes.size() == kMaxPanes) return std::nullopt;
    sizes.push_back(*size);
    if (comma == std::string::npos) return sizes;
    start = comma + 1;
  }
}

std::map<std::string, std::vector<std::int32_t>> PaneSizesOf(const pugi::xml_node& root) {
  std::map<std::string, std::vector<std::int32_t>> panes;
  for (pugi::xml_node child : root.children()) {
    if (!IsElementNamed(child, kPanesElement)) continue;
    std::optional<std::string> name = AttributeText(child, "name");
    std::optional<std::string> value = AttributeText(child, "value");
    if (!name || name->empty() || !value) continue;
    if (auto sizes = SizesOf(*value)) panes[*name] = std::move(*sizes);
  }
  return panes;
}

std::string SizesText(const std::vector<std::int32_t>& sizes) {
  std::string text;
  for (std::int32_t size : sizes)
    text += (text.empty() ? "" : ",") + std::to_string(size);
  return text;
}

pugi::xml_document Document(const WindowState& state) {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child(kRootElement);
  auto add = [&root](const char* name, const std::string& value) {
    root.append_child(name).append_attribute("value") = value.c_str();
  };
  if (state.geometry) {
    add("left", std::to_string(state.geometry->left));
    add("top", std::to_string(state.geometry->top));
    add("width", std::to_string(state.geometry->width));
    add("height", std::to_string(state.geometry->height));
  }
  add("maximized", state.maximized ? "yes" : "no");
  add("fitimageintopane", state.fitImageIntoPane ? "yes" : "no");
  for (const auto& [name, sizes] : state.paneSizes) {
    if (name.empty() || sizes.empty()) continue;
    pugi::xml_node panes = root.append_child(kPanesElement);
    panes.append_attribute("name") = name.c_str();
    panes.append_attribute("value") = SizesText(sizes).c_str();
  }
  return doc;
}

}  // namespace

WindowState ReadWindowState(const std::string& programFolder) {
  pugi::xml_document doc;
  std::string error;
  if (!LoadXmlFile(doc, programFolder + kWindowStateFile, error)) return WindowState();
  pugi::xml_node root = doc.document_element();
  if (LowerElementName(root) != kRootElement) return WindowState();
  WindowState state;
  state.geometry = GeometryOf(root);
  state.maximized = FlagOf(root, "maximized");
  state.fitImageIntoPane = FlagOf(root, "fitimageintopane");
  state.paneSizes = PaneSizesOf(root);
  return state;
}

std::string WindowStateDocument(const WindowState& state) {
  return SerializeXml(Document(state));
}

bool WriteWindowState(const WindowState& state, const std::string& programFolder) {
  try {
    SaveXmlFile(Document(state), programFolder + kWindowStateFile);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace quillet

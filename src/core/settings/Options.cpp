#include "core/settings/Options.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <variant>

#include <pugixml.hpp>

#include "core/app/ProgramFolder.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/Text.h"
#include "core/platform/Xml.h"

namespace quillet {
namespace {

using TextField = std::string Options::*;
using FlagField = bool Options::*;
using RetainField = RetainSource Options::*;
using FormatField = AcquiredFormat Options::*;
struct IntegerField {
  std::int32_t Options::*field;
  std::int32_t (*adjust)(std::int32_t);
};
struct ProxySourceField {};
using Field =
    std::variant<TextField, FlagField, IntegerField, RetainField, FormatField, ProxySourceField>;

struct OptionKey {
  std::string_view key;
  Field field;
};

std::int32_t Unchanged(std::int32_t value) {
  return value;
}

// In the order of the file.
const OptionKey kOptionKeys[] = {
    {"login", &Options::login},
    {"password", &Options::password},
    {"proxysource", ProxySourceField{}},
    {"proxyhost", &Options::proxyhost},
    {"proxyport", &Options::proxyport},
    {"proxyauthentication", &Options::proxyauthentication},
    {"proxylogin", &Options::proxylogin},
    {"proxypassword", &Options::proxypassword},
    {"showlogochange", &Options::showlogochange},
    {"fillemptyarea", &Options::fillemptyarea},
    {"emptyareacolor", IntegerField{&Options::emptyareacolor, Unchanged}},
    {"jpegquality", IntegerField{&Options::jpegquality, SnapJpegQuality}},
    {"showjpegdialog", &Options::showjpegdialog},
    {"gifbitdepth", IntegerField{&Options::gifbitdepth, ClampGifBitDepth}},
    {"showgifdialog", &Options::showgifdialog},
    {"convertretainsource", &Options::convertretainsource},
    {"convertasktargetname", &Options::convertasktargetname},
    {"mirrorretainsource", &Options::mirrorretainsource},
    {"mirrorasktargetname", &Options::mirrorasktargetname},
    {"rotateretainsource", &Options::rotateretainsource},
    {"rotateasktargetname", &Options::rotateasktargetname},
    {"importedfileformat", &Options::importedfileformat},
    {"importasktargetname", &Options::importasktargetname},
    {"grabbedfileformat", &Options::grabbedfileformat},
    {"grabasktargetname", &Options::grabasktargetname},
    {"enableaccesshint", &Options::enableaccesshint},
    {"checknewversion", &Options::checknewversion},
};
static_assert(std::size(kOptionKeys) == 27);

template <class... Visitors>
struct Overloaded : Visitors... {
  using Visitors::operator()...;
};
template <class... Visitors>
Overloaded(Visitors...) -> Overloaded<Visitors...>;

const OptionKey* FindOptionKey(std::string_view name) {
  for (const OptionKey& option : kOptionKeys)
    if (option.key == name) return &option;
  return nullptr;
}

ProxySource ProxySourceFromText(std::string_view text) {
  std::string lower = LowerAscii(text);
  if (lower == "manual") return ProxySource::Manual;
  if (lower == "noproxy") return ProxySource::NoProxy;
  return ProxySource::System;
}

// A hand-edited index outside its list reads like a value that is not a
// number: the default. Consumers then always find a choice they can use.
template <class Choice>
Choice ChoiceFromText(std::string_view text, Choice lastItem, Choice fallback) {
  std::optional<std::int32_t> index = ParseInt32(text);
  if (!index || *index < 0 || *index > static_cast<std::int32_t>(lastItem)) return fallback;
  return static_cast<Choice>(*index);
}

void SetOptionFromText(Options& options, const Field& field, const std::string& text) {
  const Options defaults;
  std::visit(Overloaded{
                 [&](TextField f) { options.*f = text; },
                 [&](FlagField f) { options.*f = LowerAscii(text) == "yes"; },
                 [&](IntegerField f) {
                   std::optional<std::int32_t> value = ParseInt32(text);
                   options.*f.field = value ? f.adjust(*value) : defaults.*f.field;
                 },
                 [&](RetainField f) {
                   options.*f = ChoiceFromText(text, RetainSource::Delete, defaults.*f);
                 },
                 [&](FormatField f) {
                   options.*f = ChoiceFromText(text, AcquiredFormat::Ask, defaults.*f);
                 },
                 [&](ProxySourceField) { options.proxysource = ProxySourceFromText(text); },
             },
             field);
}

std::string OptionText(const Options& options, const Field& field) {
  return std::visit(
      Overloaded{
          [&](TextField f) { return options.*f; },
          [&](FlagField f) { return std::string(options.*f ? "yes" : "no"); },
          [&](IntegerField f) { return std::to_string(options.*f.field); },
          [&](RetainField f) { return std::to_string(static_cast<std::int32_t>(options.*f)); },
          [&](FormatField f) { return std::to_string(static_cast<std::int32_t>(options.*f)); },
          [&](ProxySourceField) { return std::string(ProxySourceText(options.proxysource)); },
      },
      field);
}

// Reads the file over the defaults; false when it is damaged. Options read
// before the damage keep their values.
bool ReadOptionsFile(const std::string& path, Options& options) {
  pugi::xml_document doc;
  std::string error;
  if (!LoadXmlFile(doc, path, error)) return false;
  pugi::xml_node root = doc.document_element();
  if (LowerElementName(root) != "options") return false;
  for (pugi::xml_node child : root.children()) {
    const OptionKey* option = FindOptionKey(LowerElementName(child));
    if (!option) continue;
    SetOptionFromText(options, option->field, AttributeText(child, "value").value_or(""));
  }
  return true;
}

pugi::xml_document OptionsDocument(const Options& options) {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("options");
  for (const OptionKey& option : kOptionKeys) {
    pugi::xml_node element = root.append_child(std::string(option.key).c_str());
    element.append_attribute("value") = OptionText(options, option.field).c_str();
  }
  return doc;
}

}  // namespace

void SetDefaultOptions(Options& options) {
  options = Options();
}

Options LoadOptions(const std::string& programFolder, Prompts& prompts,
                    const SystemProxyReader& systemProxy) {
  Options options;
  SetDefaultOptions(options);
  const std::string path = programFolder + kOptionsFile;
  if (PathExists(path) && !ReadOptionsFile(path, options)) prompts.Error(kOptionsCorruptMessage);
  ApplySystemProxy(options, systemProxy);
  return options;
}

void ApplySystemProxy(Options& options, const SystemProxyReader& systemProxy) {
  if (options.proxysource != ProxySource::System) return;
  SystemProxy proxy = systemProxy ? systemProxy() : SystemProxy();
  options.proxyhost = proxy.host;
  options.proxyport = proxy.port;
}

bool SaveOptions(const Options& options, const std::string& programFolder, Prompts& prompts) {
  try {
    // The file holds the service and proxy passwords: a new one is private.
    SaveXmlFile(OptionsDocument(options), programFolder + kOptionsFile,
                NewFileAccess::OwnerOnly);
    return true;
  } catch (const std::exception&) {
    prompts.Error(kOptionsSaveFailedMessage);
    return false;
  }
}

std::string OptionsDocumentText(const Options& options) {
  return SerializeXml(OptionsDocument(options));
}

std::int32_t SnapJpegQuality(std::int32_t position) {
  return (std::clamp(position, 10, 100) + 5) / 10 * 10;
}

std::int32_t ClampGifBitDepth(std::int32_t position) {
  return std::clamp(position, 3, 8);
}

ProxyFieldsEnabled ProxyFieldsEnabledFor(const Options& options) {
  bool manual = options.proxysource == ProxySource::Manual;
  return ProxyFieldsEnabled{manual, manual && options.proxyauthentication};
}

const char* ProxySourceText(ProxySource source) {
  switch (source) {
    case ProxySource::Manual:
      return "manual";
    case ProxySource::NoProxy:
      return "noproxy";
    case ProxySource::System:
      break;
  }
  return "ie";
}

}  // namespace quillet

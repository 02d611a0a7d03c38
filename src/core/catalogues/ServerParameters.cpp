#include "core/catalogues/ServerParameters.h"

#include <stdexcept>

#include <pugixml.hpp>

#include "core/app/ErrorReport.h"
#include "core/app/ProgramFolder.h"
#include "core/platform/Xml.h"

namespace quillet {
namespace {

bool IsParameterKey(const ServerParameters& parameters, std::string_view name) {
  for (const ServerParameters::Entry& entry : parameters.Entries())
    if (entry.key == name) return true;
  return false;
}

}  // namespace

ServerParameters::ServerParameters() {
  const std::string host(kDefaultServiceHost);
  entries_ = {
      {std::string(kUploadHostKey), TStringObject(host)},
      {std::string(kUploadScriptKey), TStringObject("/upload.php")},
      {std::string(kMemberStatusScriptKey), TStringObject("/memberstatus.php")},
      {std::string(kAppVersionScriptKey), TStringObject("/curversion.php")},
      {std::string(kSendMailHostKey), TStringObject(host)},
      {std::string(kSendMailScriptKey), TStringObject("/sendtofriend.php")},
  };
}

const std::string& ServerParameters::Value(std::string_view key) const {
  for (const Entry& entry : entries_)
    if (entry.key == key) return entry.value.Value;
  throw std::invalid_argument("unknown server parameter " + std::string(key));
}

bool ServerParameters::SetValue(std::string_view key, std::string value) {
  for (Entry& entry : entries_) {
    if (entry.key != key) continue;
    entry.value.Value = std::move(value);
    return true;
  }
  return false;
}

std::string ServerParameters::Address(std::string_view hostKey, std::string_view pathKey) const {
  return "http://" + Value(hostKey) + Value(pathKey);
}

std::string ServerParameters::UploadAddress() const {
  return Address(kUploadHostKey, kUploadScriptKey);
}

std::string ServerParameters::MemberStatusAddress() const {
  return Address(kUploadHostKey, kMemberStatusScriptKey);
}

std::string ServerParameters::VersionCheckAddress() const {
  return Address(kUploadHostKey, kAppVersionScriptKey);
}

std::string ServerParameters::SendToFriendAddress() const {
  return Address(kSendMailHostKey, kSendMailScriptKey);
}

void ReadServerParameters(const std::string& programFolder, ServerParameters& parameters,
                          Prompts& prompts) {
  const std::string path = programFolder + kParametersFile;
  std::string error;
  pugi::xml_document doc;
  if (!LoadXmlFile(doc, path, error))
    throw QuilletError(std::string("Cannot read the parameters file ") + kParametersFile + ": " +
                       error);
  pugi::xml_node root = doc.document_element();
  if (LowerElementName(root) != "parameters") {
    prompts.Error(kParametersCorruptMessage);
    return;
  }
  for (pugi::xml_node child : root.children()) {
    std::string key = LowerElementName(child);
    if (!IsParameterKey(parameters, key)) continue;
    std::optional<std::string> value = AttributeText(child, "value");
    if (!value)
      throw QuilletError("The parameters file " + std::string(kParametersFile) + " is invalid: " +
                         "the element \"" + key + "\" has no \"value\" attribute");
    parameters.SetValue(key, std::move(*value));
  }
}

}  // namespace quillet

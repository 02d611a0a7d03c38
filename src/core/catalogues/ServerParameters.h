#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Prompts.h"

namespace quillet {

// The value held for one server parameter.
class TStringObject {
 public:
  explicit TStringObject(std::string value) : Value(std::move(value)) {}
  bool operator==(const TStringObject&) const = default;

  std::string Value;
};

// The service's main web host: where every request goes unless
// "parameters.xml" names another.
inline constexpr std::string_view kDefaultServiceHost = "wap.quillet-logos.com";

inline constexpr std::string_view kUploadHostKey = "uploadhost";
inline constexpr std::string_view kUploadScriptKey = "uploadscript";
inline constexpr std::string_view kMemberStatusScriptKey = "memstatscript";
inline constexpr std::string_view kAppVersionScriptKey = "appverscript";
inline constexpr std::string_view kSendMailHostKey = "sendmailhost";
inline constexpr std::string_view kSendMailScriptKey = "sendmailscript";

inline constexpr const char* kParametersCorruptMessage = "Parameters file is corrupt.";

// Hosts and script paths of the service: six keys in a fixed order, each
// starting at its default. Complete before any worker starts and never
// changed afterwards, so workers read it without a lock.
class ServerParameters {
 public:
  struct Entry {
    std::string key;
    TStringObject value;
  };

  ServerParameters();

  const std::vector<Entry>& Entries() const { return entries_; }
  // The value held for one of the six keys; throws std::invalid_argument for
  // any other key.
  const std::string& Value(std::string_view key) const;
  // Replaces a key's value; false (and nothing changes) for an unknown key.
  bool SetValue(std::string_view key, std::string value);

  // Every address is "http://" + host + path, with nothing in between.
  std::string UploadAddress() const;
  std::string MemberStatusAddress() const;
  std::string VersionCheckAddress() const;
  std::string SendToFriendAddress() const;

 private:
  std::string Address(std::string_view hostKey, std::string_view pathKey) const;

  std::vector<Entry> entries_;
};

// Overrides `parameters` from "parameters.xml" in the program folder. A wrong
// root element is reported here and leaves the defaults. A missing or
// malformed file, or a key element without a "value" attribute, throws
// QuilletError for the program-wide error report; values read before the
// failure stay in `parameters`.
void ReadServerParameters(const std::string& programFolder, ServerParameters& parameters,
                          Prompts& prompts);

}  // namespace quillet

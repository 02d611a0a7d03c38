#pragma once

#include <string>
#include <string_view>

#include "core/service/Credentials.h"
#include "core/service/HttpClient.h"
#include "core/settings/Options.h"

namespace quillet {

// Requests go through a proxy when the source is the system's or the manual
// one and both Host and Port are filled in; otherwise they go direct.
bool ProxyIsUsed(const Options& options);

// "'%s' is not a valid integer value" with `text` in place of %s.
std::string NotAnIntegerMessage(std::string_view text);

// The proxy configuration an activity's client gets from the options: the
// cleared one when no proxy is used. `error` holds the conversion message,
// and the configuration stays cleared, when the Port is not a whole number.
struct ProxyApplication {
  ProxyConfig config;
  std::string error;
  bool ok() const { return error.empty(); }
};
ProxyApplication ProxyConfigFor(const Options& options);

}  // namespace quillet

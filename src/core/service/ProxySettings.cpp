#include "core/service/ProxySettings.h"

#include "core/platform/Text.h"

namespace quillet {

bool ProxyIsUsed(const Options& options) {
  return options.proxysource != ProxySource::NoProxy && !options.proxyhost.empty() &&
         !options.proxyport.empty();
}

std::string NotAnIntegerMessage(std::string_view text) {
  return "'" + std::string(text) + "' is not a valid integer value";
}

ProxyApplication ProxyConfigFor(const Options& options) {
  ProxyApplication application;
  if (!ProxyIsUsed(options)) return application;
  const std::optional<std::int32_t> port = ParseInt32(options.proxyport);
  if (!port) {
    application.error = NotAnIntegerMessage(options.proxyport);
    return application;
  }
  application.config.host = options.proxyhost;
  application.config.port = *port;
  // The dialog lets the user change this only for a manual proxy, but it
  // applies to the system's proxy as well.
  application.config.basicAuthentication = options.proxyauthentication;
  if (options.proxyauthentication) {
    application.config.user = options.proxylogin;
    application.config.password = options.proxypassword;
  }
  return application;
}

}  // namespace quillet

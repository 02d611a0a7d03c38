#include "core/service/Credentials.h"

namespace quillet {
namespace {

bool ProxyInUse(const Options& options) {
  return options.proxysource != ProxySource::NoProxy && !options.proxyhost.empty() &&
         !options.proxyport.empty();
}

// Both loops alike: the fields to fill, asked again until both hold text.
bool AskUntilFilled(std::string& name, std::string& password, const CredentialDialog& ask,
                    const std::function<void()>& save) {
  while (name.empty() || password.empty()) {
    std::optional<Credentials> typed = ask(Credentials{name, password});
    if (!typed) return false;
    name = std::move(typed->name);
    password = std::move(typed->password);
    // Saved even when one field is still empty: a later Cancel must not lose
    // what this OK confirmed.
    if (save) save();
  }
  return true;
}

}  // namespace

bool ServiceLoginNeeded(const Options& options) {
  return options.login.empty() || options.password.empty();
}

bool ProxyLoginNeeded(const Options& options) {
  return ProxyInUse(options) && options.proxyauthentication &&
         (options.proxylogin.empty() || options.proxypassword.empty());
}

bool EnsureServiceLogin(Options& options, const CredentialDialog& ask,
                        const std::function<void()>& save) {
  return AskUntilFilled(options.login, options.password, ask, save);
}

bool EnsureProxyLogin(Options& options, const CredentialDialog& ask,
                      const std::function<void()>& save) {
  if (!ProxyLoginNeeded(options)) return true;
  return AskUntilFilled(options.proxylogin, options.proxypassword, ask, save);
}

}  // namespace quillet

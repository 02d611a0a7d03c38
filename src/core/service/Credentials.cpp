#include "core/service/Credentials.h"

#include "core/service/ProxySettings.h"

namespace quillet {
namespace {

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
  return ProxyIsUsed(options) && options.proxyauthentication &&
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

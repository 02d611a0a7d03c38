#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/settings/Options.h"

namespace quillet {

// An account name and its password, as a credential prompt shows and returns
// them: the service login or the proxy user.
struct Credentials {
  std::string name;
  std::string password;
  bool operator==(const Credentials&) const = default;
};

// Shows a credential prompt filled with the current values; what the user
// typed when the prompt was closed with OK, nullopt when it was closed any
// other way.
using CredentialDialog = std::function<std::optional<Credentials>(const Credentials&)>;

// Whether a request must first ask for the service login: the login or the
// password is empty.
bool ServiceLoginNeeded(const Options& options);

// Whether a request must first ask for the proxy user: a proxy is used (the
// system's or the manual one, with host and port both given), it requires
// authentication, and the proxy user or password is empty. The start-up
// version check skips itself in this case instead of asking.
bool ProxyLoginNeeded(const Options& options);

// Asks until both the login and the password are filled in. Every OK stores
// what was typed in `options` and calls `save` at once, so that a later
// Cancel keeps it; false when the user cancels. Nothing is asked when both
// are already there.
bool EnsureServiceLogin(Options& options, const CredentialDialog& ask,
                        const std::function<void()>& save);

// The same for the proxy user and password, asked only when
// ProxyLoginNeeded().
bool EnsureProxyLogin(Options& options, const CredentialDialog& ask,
                      const std::function<void()>& save);

}  // namespace quillet

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/service/Mail.h"

namespace quillet::service {

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ServiceConfig {
  std::string dataDir;
  std::string listenHost = "0.0.0.0";
  int listenPort = 8711;
  // HOST[:PORT] that goes into the addresses handed out; empty: this
  // machine's address on its local network and the port listened on.
  std::string publicHost;
  std::int64_t maxUpload = 5 * 1024 * 1024;
  std::string currentVersion = QUILLET_VERSION;
  bool guest = true;
  MailRelay relay;               // no url: no relay
  std::int64_t quota = 1000;     // pictures an account keeps
  std::int64_t guestPool = 200;  // guest pictures kept; the oldest go first
  int threads = 16;
  std::int64_t maxPixels = 4096LL * 4096;
  int parallelChecks = 2;
  int loginFailuresPerMinute = 10;
  int mailsPerHour = 20;
  int registrationsPerHour = 20;
};

using EnvironmentLookup = std::function<std::optional<std::string>(const std::string&)>;

// Reads the options of the service (everything after the program name, the
// command word taken off). Throws UsageError with the reason.
ServiceConfig ParseServiceOptions(const std::vector<std::string>& args,
                                  const EnvironmentLookup& environment);

// The data folder when --data-dir is not given: $XDG_DATA_HOME/quillet-service,
// else ~/.local/share/quillet-service.
std::string DefaultDataDir(const EnvironmentLookup& environment);

// "5 MiB", "300 KiB", "12 bytes".
std::string DescribeBytes(std::int64_t bytes);

// The address of this machine that a phone on the same network would use:
// the first private IPv4 address of an interface that is up, else any
// non-loopback IPv4 address, else 127.0.0.1.
std::string LocalNetworkAddress();

}  // namespace quillet::service

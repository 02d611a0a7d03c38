#pragma once

#include <string>

#include "core/catalogues/ServerParameters.h"
#include "core/service/HttpClient.h"
#include "core/service/Worker.h"

namespace quillet {

// The program's own version, as the About box shows it.
inline constexpr const char* kOwnVersion = QUILLET_VERSION;

// Asks the service's version script which version is current. Any failure
// leaves the own version, silently.
class TNewVersionCheckThread : public Worker {
 public:
  TNewVersionCheckThread(std::string ownVersion, HttpClient& client,
                         const ServerParameters& parameters);

  // GUI thread, in the completion: the whole reply body, unchanged, or the
  // own version.
  const std::string& Version() const { return version_; }

 protected:
  void Run() override;
  void Interrupt() override { client_.Cancel(); }

 private:
  HttpClient& client_;
  const std::string url_;
  std::string version_;
};

// Whether the dialog offering the download is shown: versions are not
// ordered, only compared character for character.
inline bool OffersNewVersion(const std::string& version, const std::string& own = kOwnVersion) {
  return version != own;
}

// The page the Yes answer opens: the service's main web host's root URL +
// "download", where the current version and where to get it are shown.
std::string DownloadPageAddress(const ServerParameters& parameters);

}  // namespace quillet

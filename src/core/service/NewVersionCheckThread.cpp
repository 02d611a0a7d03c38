#include "core/service/NewVersionCheckThread.h"

namespace quillet {

TNewVersionCheckThread::TNewVersionCheckThread(std::string ownVersion, HttpClient& client,
                                               const ServerParameters& parameters)
    : client_(client), url_(parameters.VersionCheckAddress()), version_(std::move(ownVersion)) {}

void TNewVersionCheckThread::Run() {
  std::string body;
  const HttpResult request = client_.GetText(url_, body);
  if (request.Succeeded()) {
    version_ = body;
    Finish(WorkerEnd::Done);
  } else {
    Finish(request.kind == HttpResultKind::Cancelled ? WorkerEnd::Cancelled : WorkerEnd::Failed,
           request.Description());
  }
}

std::string DownloadPageAddress(const ServerParameters& parameters) {
  return "http://" + parameters.Value(kUploadHostKey) + "/download";
}

}  // namespace quillet

// Uploads picture files to the service exactly as the window's upload worker
// does, for scripts and for checking the protocol. Nothing is asked: what
// the window would prompt for is a message and exit status 1.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "core/catalogues/ServerParameters.h"
#include "core/service/HttpClient.h"
#include "core/service/ProxySettings.h"
#include "core/service/UploadAddress.h"
#include "core/service/UploadThread.h"
#include "core/settings/Options.h"
#include "tools/cli/Cli.h"

namespace quillet::cli {
namespace {

constexpr const char* kLoginMissingText =
    "Login or password is not set. Open menu \"Edit->Options\" in Quillet and set them in "
    "\"System Authorization\" groupbox, then try again.";
constexpr const char* kProxyLoginMissingText =
    "The proxy requires a user name and a password. Open menu \"Edit->Options\" in Quillet and "
    "set them in \"Proxy Settings\", then try again.";

std::string UploadJson(const std::string& file, const TUploadThread& worker) {
  std::string extra;
  for (const std::string& line : worker.ExtraLines())
    extra += (extra.empty() ? "" : ",") + JsonString(line);
  UploadPanelTexts panel;
  if (worker.Result() == kUploadSucceeded)
    panel = UploadedPanelTexts(worker.ReplyText(), worker.Login(), worker.Password());
  return "{\"file\":" + JsonString(file) + ",\"result\":" + std::to_string(worker.Result()) +
         ",\"reply\":" + JsonString(worker.ReplyText()) + ",\"extra\":[" + extra +
         "],\"address\":" + JsonString(panel.shortUrl) + ",\"id\":" + JsonString(panel.imageId) +
         "}";
}

}  // namespace

int RunUpload(const std::vector<std::string>& words) {
  Args args(words, {"data-dir"});
  if (args.Positional().empty()) throw UsageError("no picture file given");
  StderrPrompts prompts(std::cerr);
  const std::string folder = ProgramFolderFor(args);
  ServerParameters parameters;
  ReadServerParameters(folder, parameters, prompts);
  const Options options = LoadOptions(folder, prompts, ReadSystemProxy);
  if (ServiceLoginNeeded(options)) {
    prompts.Error(kLoginMissingText);
    return 1;
  }
  if (ProxyLoginNeeded(options)) {
    prompts.Error(kProxyLoginMissingText);
    return 1;
  }
  const ProxyApplication proxy = ProxyConfigFor(options);
  if (!proxy.ok()) {
    prompts.Error(proxy.error);
    return 1;
  }

  HttpClient client;
  UiTaskQueue queue;
  MemberStatus status;
  for (const std::string& file : args.Positional()) {
    client.ClearProxy();
    client.ApplyProxy(proxy.config);
    auto worker = std::make_shared<TUploadThread>(options.login, nullptr, file, options.password,
                                                  client, parameters, status);
    bool done = false;
    worker->Start(queue.Poster(), [&done] { done = true; });
    while (!done)
      queue.RunPending(std::chrono::hours(1));
    client.ClearProxy();
    status = worker->Status();
    std::cout << UploadJson(file, *worker) << std::endl;
  }
  return 0;
}

}  // namespace quillet::cli

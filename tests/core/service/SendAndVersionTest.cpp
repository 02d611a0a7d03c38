#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/service/NewVersionCheckThread.h"
#include "core/service/SendToFriendThread.h"
#include "support/CaptureServer.h"
#include "support/TinyProxy.h"

namespace quillet {
namespace {

using testing::CaptureServer;
using namespace std::chrono_literals;

// Runs a worker to its completion, as the window does.
template <typename WorkerType>
void RunToCompletion(WorkerType& worker) {
  UiTaskQueue queue;
  bool done = false;
  worker.Start(queue.Poster(), [&] { done = true; });
  ASSERT_TRUE(queue.RunUntil([&] { return done; }, 30s));
}

ServerParameters ParametersFor(const CaptureServer& server) {
  ServerParameters parameters;
  parameters.SetValue(kUploadHostKey, server.HostAndPort());
  parameters.SetValue(kSendMailHostKey, server.HostAndPort());
  return parameters;
}

TEST(SendToFriendThread, PostsTheFieldsInOrderAndReadsEveryReply) {
  struct Case {
    const char* name;
    CaptureServer::Reply reply;
    std::uint8_t result;
    std::string replyText;
  };
  const std::vector<Case> cases = {
      {"sent", CaptureServer::Ok("SUCCESS\r\n"), kLinkSent, ""},
      {"sent, lower case", CaptureServer::Ok("success"), kLinkSent, ""},
      {"recipient refused", CaptureServer::Ok("MESSAGE\r\nCOULD_NOT_SEND_MAIL\r\n"),
       kSendServiceMessage, "COULD_NOT_SEND_MAIL"},
      {"wrong login", CaptureServer::Ok("MESSAGE\nWRONG_LOGIN_OR_PASSWORD"), kSendServiceMessage,
       "WRONG_LOGIN_OR_PASSWORD"},
      {"service error", CaptureServer::Ok("ERROR\r\nNo mail relay is set up.\r\n"), kSendFailed,
       "No mail relay is set up."},
      {"message without its code", CaptureServer::Ok("MESSAGE\r\n"), kSendFailed,
       kSendLinkFailedText},
      {"empty answer", CaptureServer::Ok(""), kSendFailed, kSendLinkFailedText},
      {"HTTP error", CaptureServer::Answer(404, "Not Found", "SUCCESS"), kSendFailed,
       kSendLinkFailedText},
      {"dropped", {CaptureServer::Reply::Kind::DropMidBody, ""}, kSendFailed, kSendLinkFailedText},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CaptureServer server;
    server.Script({c.reply});
    HttpClient client;
    client.SetRequestTimeoutForTests(30s);
    auto worker = std::make_shared<TSendToFriendThread>("anna", "", "Look!\r\nIt is good.",
                                                        "bob@example.test", "s3cret", client,
                                                        ParametersFor(server));
    RunToCompletion(*worker);
    EXPECT_EQ(worker->Result(), c.result);
    EXPECT_EQ(worker->ReplyText(), c.replyText);
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].starts_with("POST /sendtofriend.php HTTP/1.0\r\n"));
    const std::string body = requests[0].substr(requests[0].find("\r\n\r\n") + 4);
    const std::string b = body.substr(0, body.find("\r\n"));
    EXPECT_EQ(body, b + "\r\nContent-Disposition: form-data; name=\"login\"\r\n\r\nanna\r\n" + b +
                        "\r\nContent-Disposition: form-data; name=\"password\"\r\n\r\ns3cret\r\n" +
                        b +
                        "\r\nContent-Disposition: form-data; name=\"address\"\r\n\r\n"
                        "bob@example.test\r\n" +
                        b +
                        "\r\nContent-Disposition: form-data; name=\"comments\"\r\n\r\n"
                        "Look!\r\nIt is good.\r\n" +
                        b + "\r\nContent-Disposition: form-data; name=\"sendername\"\r\n\r\n\r\n" +
                        "\r\n" + b + "--\r\n");
  }
}

TEST(NewVersionCheckThread, TakesTheWholeBodyOrKeepsTheOwnVersion) {
  struct Case {
    const char* name;
    CaptureServer::Reply reply;
    std::string version;
    bool offered;
  };
  const std::vector<Case> cases = {
      {"same version", CaptureServer::Ok("1.1.3"), "1.1.3", false},
      {"newer", CaptureServer::Ok("1.1.4"), "1.1.4", true},
      {"older is offered too", CaptureServer::Ok("1.0.9"), "1.0.9", true},
      {"a line break is part of the version", CaptureServer::Ok("1.1.3\r\n"), "1.1.3\r\n", true},
      {"empty body", CaptureServer::Ok(""), "", true},
      {"not found", CaptureServer::Answer(404, "Not Found", "1.2.0"), "1.1.3", false},
      {"dropped", {CaptureServer::Reply::Kind::DropMidBody, ""}, "1.1.3", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CaptureServer server;
    server.Script({c.reply});
    HttpClient client;
    client.SetRequestTimeoutForTests(30s);
    auto worker = std::make_shared<TNewVersionCheckThread>("1.1.3", client, ParametersFor(server));
    RunToCompletion(*worker);
    EXPECT_EQ(worker->Version(), c.version);
    EXPECT_EQ(OffersNewVersion(worker->Version(), "1.1.3"), c.offered);
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].starts_with("GET /curversion.php HTTP/1.1\r\n"));
  }
}

TEST(NewVersionCheckThread, AnUnreachableServiceKeepsTheOwnVersionSilently) {
  ServerParameters parameters;
  parameters.SetValue(kUploadHostKey, "127.0.0.1:" + std::to_string(testing::FreeLoopbackPort()));
  HttpClient client;
  auto worker = std::make_shared<TNewVersionCheckThread>("1.1.3", client, parameters);
  RunToCompletion(*worker);
  EXPECT_EQ(worker->Version(), "1.1.3");
  EXPECT_EQ(worker->End(), WorkerEnd::Failed);
}

TEST(NewVersionCheckThread, TheDownloadPageIsOnTheMainWebHost) {
  ServerParameters parameters;
  parameters.SetValue(kUploadHostKey, "192.168.1.5:8711");
  EXPECT_EQ(DownloadPageAddress(parameters), "http://192.168.1.5:8711/download");
}

}  // namespace
}  // namespace quillet

#include "core/service/UploadThread.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/catalogues/ServerParameters.h"
#include "support/CaptureServer.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::CaptureServer;
using testing::TempDir;
using namespace std::chrono_literals;

// The names of the form fields of a captured request, in order.
std::vector<std::string> FieldsOf(const std::string& request) {
  std::vector<std::string> names;
  const std::string marker = "Content-Disposition: form-data; name=\"";
  for (size_t at = request.find(marker); at != std::string::npos;
       at = request.find(marker, at + 1)) {
    const size_t start = at + marker.size();
    names.push_back(request.substr(start, request.find('"', start) - start));
  }
  return names;
}

struct UploadRun {
  std::uint8_t result = 99;
  std::string replyText;
  std::vector<std::string> extra;
  MemberStatus status;
  std::vector<std::string> requests;
  WorkerEnd end = WorkerEnd::Running;
};

// One upload of a small file against the capture server, as the window runs
// it: a worker thread, its completion on this thread through a queue.
class UploadFixture {
 public:
  UploadFixture() {
    parameters.SetValue(kUploadHostKey, server.HostAndPort());
    client.SetRequestTimeoutForTests(30s);
    file = dir.Write("Temp/logo.png", "PNGBYTES");
  }

  std::shared_ptr<TUploadThread> Start(MemberStatus status, const std::string& path) {
    auto worker = std::make_shared<TUploadThread>("anna", nullptr, path, "s3cret", client,
                                                  parameters, status);
    done_ = false;
    worker->Start(queue_.Poster(), [this] { done_ = true; });
    return worker;
  }

  UploadRun Finish(const std::shared_ptr<TUploadThread>& worker) {
    EXPECT_TRUE(queue_.RunUntil([this] { return done_; }, 30s));
    UploadRun run;
    run.result = worker->Result();
    run.replyText = worker->ReplyText();
    run.extra = worker->ExtraLines();
    run.status = worker->Status();
    run.end = worker->End();
    run.requests = server.Requests();
    return run;
  }

  UploadRun Upload(std::vector<CaptureServer::Reply> replies, MemberStatus status = {}) {
    server.Script(std::move(replies));
    return Finish(Start(status, file));
  }

  CaptureServer server;
  HttpClient client;
  TempDir dir;
  std::string file;

  ServerParameters parameters;

 private:
  UiTaskQueue queue_;
  bool done_ = false;
};

const MemberStatus kKnown{{7, 3, 100}};

TEST(UploadThread, FirstUploadAsksForTheMemberStatusThenPostsTheSameFormWithTheFile) {
  UploadFixture fixture;
  UploadRun run = fixture.Upload({CaptureServer::Ok("SUCCESS\r\n7\r\n3\r\n100\r\n"),
                                  CaptureServer::Ok("SUCCESS\r\nhttp://wap:8711/?id=42\r\n")});
  EXPECT_EQ(run.result, kUploadSucceeded);
  EXPECT_EQ(run.end, WorkerEnd::Done);
  EXPECT_EQ(run.replyText, "http://wap:8711/?id=42");
  EXPECT_TRUE(run.extra.empty());
  EXPECT_EQ(run.status, (MemberStatus{{7, 3, 101}}));
  ASSERT_EQ(run.requests.size(), 2u);
  EXPECT_TRUE(run.requests[0].starts_with("POST /memberstatus.php HTTP/1.0\r\n"));
  EXPECT_EQ(FieldsOf(run.requests[0]),
            (std::vector<std::string>{"login", "password", "fakefield"}));
  EXPECT_TRUE(run.requests[1].starts_with("POST /upload.php HTTP/1.0\r\n"));
  EXPECT_EQ(FieldsOf(run.requests[1]),
            (std::vector<std::string>{"login", "password", "fakefield", "logofile"}));
  EXPECT_NE(run.requests[1].find("name=\"logofile\"; filename=\"logo.png\"\r\n"
                                 "Content-Type: image/unknown\r\n\r\nPNGBYTES\r\n"),
            std::string::npos);
}

TEST(UploadThread, OnceTheStatusIsKnownOnlyTheUploadIsPosted) {
  UploadFixture fixture;
  UploadRun run = fixture.Upload({CaptureServer::Ok("SUCCESS\r\nhttp://wap/?id=43\r\n")}, kKnown);
  EXPECT_EQ(run.result, kUploadSucceeded);
  ASSERT_EQ(run.requests.size(), 1u);
  EXPECT_EQ(FieldsOf(run.requests[0]), (std::vector<std::string>{"login", "password", "logofile"}));
  EXPECT_EQ(run.status, (MemberStatus{{7, 3, 101}}));
}

// Each case: the replies, whether the status was known, and the outcome.
struct ReplyCase {
  const char* name;
  std::vector<std::string> bodies;
  bool known;
  std::uint8_t result;
  std::string replyText;
  std::vector<std::string> extra;
  MemberStatus status;
  size_t requests;
};

TEST(UploadThread, EveryReplyShapeGivesItsResult) {
  const MemberStatus unknown;
  const std::vector<ReplyCase> cases = {
      {"status -1 is stored, so the next upload asks again",
       {"SUCCESS\r\n-1\r\n5\r\n7\r\n", "SUCCESS\r\nhttp://wap/?id=1\r\n"},
       false,
       kUploadSucceeded,
       "http://wap/?id=1",
       {},
       {{-1, 5, 8}},
       2},
      {"account not confirmed: no upload",
       {"MESSAGE\r\nUSER_IS_NOT_CONFIRMED\r\n"},
       false,
       kUploadServiceMessage,
       "USER_IS_NOT_CONFIRMED",
       {},
       unknown,
       1},
      {"member status error",
       {"ERROR\r\nService closed for repairs\r\n"},
       false,
       kUploadServiceError,
       "Service closed for repairs",
       {},
       unknown,
       1},
      {"success in lower case",
       {"success\nhttp://wap/?id=9\n"},
       true,
       kUploadSucceeded,
       "http://wap/?id=9",
       {},
       {{7, 3, 101}},
       1},
      {"error with addresses to forget",
       {"ERROR\r\nQuota exceeded\r\nhttp://wap/?id=1\r\nhttp://wap/?id=2\r\n"},
       true,
       kUploadServiceError,
       "Quota exceeded",
       {"http://wap/?id=1", "http://wap/?id=2"},
       kKnown,
       1},
      {"success with addresses to forget",
       {"SUCCESS\rhttp://wap/?id=5\rhttp://wap/?id=1"},
       true,
       kUploadSucceeded,
       "http://wap/?id=5",
       {"http://wap/?id=1"},
       {{7, 3, 101}},
       1},
      {"message on upload",
       {"MESSAGE\r\nWRONG_LOGIN_OR_PASSWORD\r\n"},
       true,
       kUploadServiceMessage,
       "WRONG_LOGIN_OR_PASSWORD",
       {},
       kKnown,
       1},
      {"upload reply of one line",
       {"SUCCESS\r\n"},
       true,
       kUploadConnectionFailed,
       "",
       {},
       kKnown,
       1},
      {"empty upload reply", {""}, true, kUploadConnectionFailed, "", {}, kKnown, 1},
      {"member status of one line",
       {"SUCCESS"},
       false,
       kUploadConnectionFailed,
       "",
       {},
       unknown,
       1},
      {"member status too short for three numbers",
       {"SUCCESS\r\n1\r\n2\r\n"},
       false,
       kUploadConnectionFailed,
       "1",
       {},
       unknown,
       1},
      {"bad first number leaves the status unknown",
       {"SUCCESS\r\nx\r\n2\r\n3\r\n"},
       false,
       kUploadConnectionFailed,
       "x",
       {},
       unknown,
       1},
      {"bad third number keeps the first two",
       {"SUCCESS\r\n4\r\n2\r\nz\r\n"},
       false,
       kUploadConnectionFailed,
       "4",
       {},
       {{4, 2, -1}},
       1},
  };
  for (const ReplyCase& c : cases) {
    SCOPED_TRACE(c.name);
    UploadFixture fixture;
    std::vector<CaptureServer::Reply> replies;
    for (const std::string& body : c.bodies)
      replies.push_back(CaptureServer::Ok(body));
    UploadRun run = fixture.Upload(replies, c.known ? kKnown : unknown);
    EXPECT_EQ(run.result, c.result);
    EXPECT_EQ(run.replyText, c.replyText);
    EXPECT_EQ(run.extra, c.extra);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.requests.size(), c.requests);
  }
}

TEST(UploadThread, AnAnswerThatIsNoStatusWordIsShownAsTheServicesError) {
  UploadFixture fixture;
  UploadRun run =
      fixture.Upload({CaptureServer::Ok("<html>Welcome to nginx</html>\r\nx\r\n")}, kKnown);
  EXPECT_EQ(run.result, kUploadServiceError);
  EXPECT_NE(run.replyText.find("could not be understood"), std::string::npos);
  EXPECT_NE(run.replyText.find("Welcome to nginx"), std::string::npos);
}

TEST(UploadThread, FailuresOfTheConnectionAreResultFour) {
  const std::vector<CaptureServer::Reply> failures = {
      CaptureServer::Answer(500, "Internal Server Error", "oops"),
      CaptureServer::Answer(301, "Moved", "", true, "Location: http://elsewhere/\r\n"),
      {CaptureServer::Reply::Kind::DropMidBody,
       "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nSUCC"},
  };
  for (const CaptureServer::Reply& failure : failures) {
    UploadFixture fixture;
    UploadRun run = fixture.Upload({failure}, kKnown);
    EXPECT_EQ(run.result, kUploadConnectionFailed);
    EXPECT_EQ(run.end, WorkerEnd::Failed);
  }
}

TEST(UploadThread, AFileThatCannotBeReadIsResultFourWithoutAnUpload) {
  UploadFixture fixture;
  fixture.server.Script({CaptureServer::Ok("SUCCESS\r\nx\r\n")});
  UploadRun run = fixture.Finish(fixture.Start(kKnown, fixture.dir.Path() + "Temp/gone.png"));
  EXPECT_EQ(run.result, kUploadConnectionFailed);
  EXPECT_TRUE(run.requests.empty());
}

TEST(UploadThread, StopWhileTheFileIsBeingSentIsResultThree) {
  UploadFixture fixture;
  fixture.server.Script({{CaptureServer::Reply::Kind::StallBeforeHead, ""}});
  auto worker = fixture.Start(kKnown, fixture.file);
  ASSERT_EQ(fixture.server.WaitForRequests(1).size(), 1u);
  worker->Cancel();
  UploadRun run = fixture.Finish(worker);
  EXPECT_EQ(run.result, kUploadStoppedByUser);
  EXPECT_EQ(run.end, WorkerEnd::Cancelled);
}

TEST(UploadThread, ACompletionArrivingAfterTheOwnerLetGoIsDropped) {
  UploadFixture fixture;
  fixture.server.Script({CaptureServer::Ok("SUCCESS\r\nhttp://wap/?id=1\r\n")});
  UiTaskQueue queue;
  bool completed = false;
  {
    auto worker = std::make_shared<TUploadThread>("anna", nullptr, fixture.file, "s3cret",
                                                  fixture.client, fixture.parameters, kKnown);
    worker->Start(queue.Poster(), [&] { completed = true; });
    worker->Cancel();
    worker->Join();
  }
  queue.RunPending(2s);
  EXPECT_FALSE(completed);
}

}  // namespace
}  // namespace quillet

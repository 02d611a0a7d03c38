// A crash in the middle of a stream of uploads: the service is killed with
// SIGKILL, started again on the same data, and must have every picture it
// acknowledged, byte for byte, and no other.
#include <gtest/gtest.h>

#include <signal.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "ServiceHarness.h"

namespace quillet::testing {
namespace {

using Lines = std::vector<std::string>;

constexpr int kUploads = 200;

// The IDs an account page and the pages after it list.
std::vector<std::string> ListedIds(int port, const std::string& login,
                                   const std::string& password) {
  std::vector<std::string> ids;
  for (int page = 1; page < 100; ++page) {
    const HttpResponse reply =
        Get(port, "/?login=" + login + "&password=" + password + "&page=" + std::to_string(page));
    EXPECT_EQ(reply.status, 200);
    std::size_t before = ids.size();
    for (const std::string& id : FindAfter(reply.body, "href=\"/?id=", '"'))
      ids.push_back(id);
    if (ids.size() == before || reply.body.find(">Older<") == std::string::npos) break;
  }
  return ids;
}

TEST(ServiceCrash, SigkillDuringUploadsLosesNoAcknowledgedPicture) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  const int killAfter = 60 + static_cast<int>(random() % 80);
  const auto killDelay = std::chrono::microseconds(random() % 4000);

  // Pictures of some size, each different, made before the clock runs.
  std::vector<std::string> pictures;
  for (int i = 0; i < kUploads; ++i)
    pictures.push_back(NoisePng(200, 200, 1000u + static_cast<unsigned>(i)));

  TempDir keep;
  const std::string dataDir = keep.Path() + "data";
  std::map<std::string, int> acknowledged;  // ID -> picture
  int inFlight = -1;                        // sent when the service died, not acknowledged
  int next = 0;

  auto upload = [&](ServiceProcess& service, int i) {
    const HttpResponse reply =
        SendRaw(service.Port(),
                UploadForm("anna", "anna-pw-1", "n" + std::to_string(i) + ".png", pictures[i])
                    .Request("/upload.php", service.Port()),
                std::chrono::seconds(60));
    const Lines lines = ReplyLines(reply.body);
    if (reply.status == 200 && lines.size() >= 2 && lines[0] == "SUCCESS") {
      acknowledged[IdOfAddress(lines[1])] = i;
      return true;
    }
    return false;
  };

  {
    ServiceProcess service({}, dataDir);
    service.AddUser("anna", "anna-pw-1");
    std::atomic<int> acks{0};
    std::atomic<bool> killed{false};
    std::thread killer([&] {
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(180);
      while (acks < killAfter && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      std::this_thread::sleep_for(killDelay);
      ::kill(service.Pid(), SIGKILL);
      killed = true;
    });
    for (; next < kUploads; ++next) {
      if (!upload(service, next)) {
        inFlight = next++;
        break;
      }
      ++acks;
    }
    killer.join();
    ASSERT_TRUE(killed);
    service.Kill();  // reaps it
  }
  const int killedAt = static_cast<int>(acknowledged.size());
  ASSERT_GE(killedAt, killAfter);
  ASSERT_GE(inFlight, 0) << "the stream went through before the kill";

  // Started again on the same data, it takes the rest of the stream.
  ServiceProcess service({}, dataDir);
  for (; next < kUploads; ++next)
    ASSERT_TRUE(upload(service, next)) << "upload " << next;

  for (const auto& [id, index] : acknowledged) {
    const HttpResponse raw = Get(service.Port(), "/p/" + id + ".png");
    ASSERT_EQ(raw.status, 200) << "acknowledged picture " << index << " is gone";
    EXPECT_TRUE(raw.body == pictures[index]) << "picture " << index << " differs";
  }
  // Nothing else is there but, at most, the one whose answer the kill cut off.
  const std::vector<std::string> listed = ListedIds(service.Port(), "anna", "anna-pw-1");
  int extra = 0;
  for (const std::string& id : listed) {
    if (acknowledged.count(id) != 0) continue;
    ++extra;
    EXPECT_TRUE(Get(service.Port(), "/p/" + id + ".png").body == pictures[inFlight])
        << "a picture nobody sent";
  }
  EXPECT_LE(extra, 1);
  std::printf("killed after %d acknowledged uploads; the upload cut off was %s\n", killedAt,
              extra == 1 ? "stored whole before its answer went" : "not stored");
  EXPECT_EQ(listed.size(), acknowledged.size() + static_cast<std::size_t>(extra));
  const Lines status =
      PostProgramForm(service.Port(), "/memberstatus.php", MemberStatusForm("anna", "anna-pw-1"));
  ASSERT_EQ(status.size(), 4u);
  EXPECT_EQ(status[2], std::to_string(listed.size()));

  EXPECT_EQ(service.Stop(), 0);
  const CommandResult check =
      RunCommand("/usr/bin/sqlite3", {dataDir + "/quillet-service.db", "PRAGMA integrity_check;"});
  EXPECT_EQ(check.out, "ok\n") << check.err;
}

}  // namespace
}  // namespace quillet::testing

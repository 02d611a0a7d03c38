#include "core/acquire/PictureDownload.h"

#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/platform/AtomicFile.h"
#include "support/CaptureServer.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::CaptureServer;
using testing::TempDir;
using namespace std::chrono_literals;

TEST(PictureDownload, TheAddressesExtensionDecidesTheType) {
  struct Case {
    const char* url;
    const char* extension;
    bool accepted;
  };
  const std::vector<Case> cases = {
      {"http://host.test/pics/cat.JPG", ".JPG", true},
      {"https://host.test/a/b.jpeg", ".JPEG", true},
      {"http://host.test/p.png", ".PNG", true},
      {"http://host.test/p.Gif", ".GIF", true},
      {"http://host.test/p.bmp", ".BMP", true},
      {"http://host.test/pic.jpg?size=2", ".JPG?SIZE=2", false},
      {"http://host.test/pic", ".TEST/PIC", false},
      {"http://host.test:8080/pic", "", false},
      {"http://host.test/get?f=a.jpg", ".JPG", true},
      {"http://host/a\\b", "", false},
      {"", "", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UrlExtension(c.url), c.extension) << c.url;
    EXPECT_EQ(IsAcceptedPictureType(UrlExtension(c.url)), c.accepted) << c.url;
  }
}

TEST(PictureDownload, TheTemporaryNameNeverLeadsOutOfItsFolder) {
  struct Case {
    std::string url;
    std::string name;
  };
  const std::vector<Case> cases = {
      {"http://host/pics/cat.JPG", "cat.JPG"},
      {"http://host/get?f=a.jpg", "get?f=a.jpg"},
      {"http://host/my%20cat.png", "my cat.png"},
      {"http://host/a%2F..%2F..%2Fetc.png", "a_.._.._etc.png"},
      {"http://host/..%2f.png", "picture.png"},
      {"http://host/%2E%2E", "picture"},
      {"http://host/.jpg", "picture.jpg"},
      {"http://host/", "picture"},
      {std::string("http://host/a\0b.gif", 19), "a_b.gif"},
      {"http://host/x%00y.gif", "x_y.gif"},
      {"http://host/line%0Abreak.png", "line_break.png"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TemporaryPictureName(c.url), c.name) << c.url;
  const std::string longName = TemporaryPictureName("http://h/" + std::string(400, 'n') + ".png");
  EXPECT_LE(longName.size(), 200u);
  EXPECT_TRUE(longName.ends_with(".png"));
}

TEST(PictureDownload, RequestAddressesEncodeBlanksAndNonAscii) {
  EXPECT_EQ(RequestAddressOf("http://h/my cat.png"), "http://h/my%20cat.png");
  EXPECT_EQ(RequestAddressOf("http://h/caf\xc3\xa9.jpg"), "http://h/caf%C3%A9.jpg");
  EXPECT_EQ(RequestAddressOf("http://h/a%20b.jpg?x=1"), "http://h/a%20b.jpg?x=1");
}

struct Download {
  std::uint8_t result = 99;
  std::string message;
  std::string file;
  bool exists = false;
};

Download Fetch(CaptureServer& server, const std::string& path, bool cancelSoon = false) {
  HttpClient client;
  client.SetRequestTimeoutForTests(30s);
  auto worker = std::make_shared<TPictureDownloadThread>(
      "http://" + server.HostAndPort() + "/pics/cat.jpg", path, client);
  UiTaskQueue queue;
  bool done = false;
  worker->Start(queue.Poster(), [&] { done = true; });
  if (cancelSoon) {
    server.WaitForRequests(1);
    std::this_thread::sleep_for(100ms);
    worker->Cancel();
  }
  EXPECT_TRUE(queue.RunUntil([&] { return done; }, 30s));
  Download download{worker->Result(), worker->Message(), "", false};
  struct stat info {};
  download.exists = ::stat(path.c_str(), &info) == 0;
  if (download.exists) download.file = ReadWholeFile(path);
  return download;
}

TEST(PictureDownload, EachEndOfADownload) {
  const std::string picture(200000, 'j');
  struct Case {
    const char* name;
    CaptureServer::Reply reply;
    std::uint8_t result;
    const char* message;
    std::string file;
  };
  const std::vector<Case> cases = {
      {"whole", CaptureServer::Ok(picture), kPictureDownloaded, "", picture},
      {"no length", CaptureServer::Answer(200, "OK", picture, false), kPictureDownloaded, "",
       picture},
      {"not found", CaptureServer::Answer(404, "Not Found", "<html/>"), kPictureDownloadFailed,
       kPictureDownloadFailedText, ""},
      {"dropped",
       {CaptureServer::Reply::Kind::DropMidBody,
        "HTTP/1.1 200 OK\r\nContent-Length: 9000\r\n\r\npart"},
       kPictureDownloadFailed,
       kPictureDownloadFailedText,
       "part"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    CaptureServer server;
    server.Script({c.reply});
    Download download = Fetch(server, dir.Path() + "cat.jpg");
    EXPECT_EQ(download.result, c.result);
    EXPECT_EQ(download.message, c.message);
    EXPECT_EQ(download.file, c.file);
  }
}

TEST(PictureDownload, CancelInTheMiddleEndsSilentlyWithAPartialFile) {
  TempDir dir;
  CaptureServer server;
  server.Script({{CaptureServer::Reply::Kind::StallMidBody,
                  "HTTP/1.1 200 OK\r\nContent-Length: 90000\r\n\r\nabc"}});
  Download download = Fetch(server, dir.Path() + "cat.jpg", true);
  EXPECT_EQ(download.result, kPictureDownloadCancelled);
  EXPECT_EQ(download.message, "");
  EXPECT_EQ(download.file, "abc");
}

TEST(PictureDownload, ATemporaryFileThatCannotBeCreatedIsTheWriteError) {
  TempDir dir;
  CaptureServer server;
  server.Script({CaptureServer::Ok("x")});
  Download download = Fetch(server, dir.Path() + "missing/cat.jpg");
  EXPECT_EQ(download.result, kPictureDownloadFailed);
  EXPECT_EQ(download.message, std::string(kTempFileWriteFailedText));
  EXPECT_EQ(server.Connections(), 0);
}

TEST(PictureDownload, ALinkPlantedInPlaceOfTheTemporaryFileIsNotFollowed) {
  TempDir dir;
  const std::string target = dir.Write("precious.txt", "keep me");
  ASSERT_EQ(::symlink(target.c_str(), (dir.Path() + "cat.jpg").c_str()), 0);
  CaptureServer server;
  server.Script({CaptureServer::Ok("x")});
  Download download = Fetch(server, dir.Path() + "cat.jpg");
  EXPECT_EQ(download.result, kPictureDownloadFailed);
  EXPECT_EQ(dir.Read("precious.txt"), "keep me");
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

TEST(PictureDownload, OnlyFilesInTheProgramFoldersTempAreTakenFromFileAddresses) {
  TempDir dir;
  const std::string inside = dir.Write("Temp/handoff cat.png", "PNG");
  dir.Write("secret.png", "mine");
  ASSERT_EQ(::symlink((dir.Path() + "secret.png").c_str(), (dir.Path() + "Temp/link.png").c_str()),
            0);
  struct Case {
    std::string url;
    bool taken;
  };
  const std::vector<Case> cases = {
      {"file://" + dir.Path() + "Temp/handoff%20cat.png", true},
      {"file://localhost" + dir.Path() + "Temp/handoff%20cat.png", true},
      {"file://" + dir.Path() + "secret.png", false},
      {"file://" + dir.Path() + "Temp/../secret.png", false},
      {"file://" + dir.Path() + "Temp/%2E%2E/secret.png", false},
      {"file://" + dir.Path() + "Temp/link.png", false},
      {"file://" + dir.Path() + "Temp/missing.png", false},
      {"file://" + dir.Path() + "Temp", false},
      {"file://otherhost/" + dir.Path() + "Temp/handoff%20cat.png", false},
      {"http://127.0.0.1/Temp/handoff%20cat.png", false},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> file = HandOffFileOf(c.url, dir.Path());
    EXPECT_EQ(file.has_value(), c.taken) << c.url;
    if (file) {
      EXPECT_EQ(*file, inside);
    }
  }
}

TEST(PictureDownload, AHandedOverFileIsCopiedOrIsAlreadyInPlace) {
  TempDir dir;
  const std::string source = dir.Write("Temp/handoff-1/cat.png", "PNG-BYTES");
  HttpClient client;
  for (const std::string& target : {dir.Path() + "Temp/cat.png", source}) {
    auto worker =
        std::make_shared<TPictureDownloadThread>("file://" + source, target, client, source);
    UiTaskQueue queue;
    bool done = false;
    worker->Start(queue.Poster(), [&] { done = true; });
    ASSERT_TRUE(queue.RunUntil([&] { return done; }, 30s));
    EXPECT_EQ(worker->Result(), kPictureDownloaded);
    EXPECT_EQ(ReadWholeFile(target), "PNG-BYTES");
  }
}

}  // namespace
}  // namespace quillet

// The scripts of the real service process: member status, upload, version,
// accounts; requests in the program's own layout (built here byte for byte)
// and from a standard client (curl).
#include <gtest/gtest.h>

#include <thread>

#include "ServiceHarness.h"
#include "core/codecs/Codecs.h"
#include "tools/service/Service.h"

namespace quillet::testing {
namespace {

using Lines = std::vector<std::string>;

const std::string kMember = "anna";
const std::string kPassword = "s3cret-Passw0rd";

CommandResult Curl(std::vector<std::string> args) {
  args.insert(args.begin(), {"-sS", "--noproxy", "*", "--max-time", "60"});
  return RunCommand("/usr/bin/curl", args);
}

// A fresh service with one member account.
class ServiceTest : public ::testing::Test {
 protected:
  void StartService(std::vector<std::string> extra = {}) {
    service_ = std::make_unique<ServiceProcess>(std::move(extra));
    service_->AddUser(kMember, kPassword);
  }
  void SetUp() override { StartService(); }

  int Port() const { return service_->Port(); }
  Lines Upload(const std::string& login, const std::string& password, const std::string& name,
               const std::string& bytes) {
    return PostProgramForm(Port(), "/upload.php", UploadForm(login, password, name, bytes));
  }
  Lines MemberStatus(const std::string& login, const std::string& password) {
    return PostProgramForm(Port(), "/memberstatus.php", MemberStatusForm(login, password));
  }
  std::string Raw(const std::string& address) {
    const std::string id = IdOfAddress(address);
    const HttpResponse page = Get(Port(), "/?id=" + id);
    const std::vector<std::string> sources = FindAfter(page.body, "src=\"", '"');
    if (sources.size() != 1) return "(no picture on the page)";
    return Get(Port(), sources[0]).body;
  }

  // "http://" + the service's host + `path` + a picture ID.
  bool IsAddress(const std::string& address, const std::string& path) const {
    const std::string front = "http://" + service_->Host() + path;
    return address.rfind(front, 0) == 0 &&
           service::IsPictureId(std::string_view(address).substr(front.size()));
  }

  std::unique_ptr<ServiceProcess> service_;
  TempDir scratch_;
};

TEST_F(ServiceTest, MemberStatusAnswersForEachKindOfLogin) {
  struct Case {
    std::string login;
    std::string password;
    std::string first;
    std::string second;
  };
  const Case cases[] = {
      {kMember, kPassword, "SUCCESS", ""},
      {"ANNA", kPassword, "SUCCESS", ""},  // names ignore letter case
      {"guest", "guest", "SUCCESS", ""},
      {"Guest", "guest", "SUCCESS", ""},
      {kMember, "wrong", "MESSAGE", "WRONG_LOGIN_OR_PASSWORD"},
      {kMember, "", "MESSAGE", "WRONG_LOGIN_OR_PASSWORD"},
      {"nobody", "guest", "MESSAGE", "WRONG_LOGIN_OR_PASSWORD"},
      {"", "", "MESSAGE", "WRONG_LOGIN_OR_PASSWORD"},
      {"guest", "Guest", "MESSAGE", "WRONG_LOGIN_OR_PASSWORD"},
  };
  for (const Case& c : cases) {
    const Lines lines = MemberStatus(c.login, c.password);
    ASSERT_GE(lines.size(), 2u) << c.login;
    EXPECT_EQ(lines[0], c.first) << c.login << "/" << c.password;
    if (c.first == "SUCCESS") {
      ASSERT_EQ(lines.size(), 4u);
      for (int i = 1; i <= 3; ++i) {
        ASSERT_FALSE(lines[i].empty());
        EXPECT_GE(std::stoll(lines[i]), 0) << "never -1 for a known account";
      }
    } else {
      EXPECT_EQ(lines, (Lines{c.first, c.second}));
    }
  }
}

TEST_F(ServiceTest, MemberStatusCountsTheAccountsPictures) {
  const Lines before = MemberStatus(kMember, kPassword);
  ASSERT_EQ(before.size(), 4u);
  EXPECT_EQ(before[2], "0");
  EXPECT_EQ(before[3], "1000");  // the default quota
  ASSERT_EQ(Upload(kMember, kPassword, "a.png", SolidPng(20, 20, 1, 2, 3))[0], "SUCCESS");
  const Lines after = MemberStatus(kMember, kPassword);
  EXPECT_EQ(after[1], before[1]);
  EXPECT_EQ(after[2], "1");
}

TEST_F(ServiceTest, UploadAnswersWithTheAddressesOfMemberAndGuest) {
  const std::string png = SolidPng(30, 20, 200, 10, 10);
  const Lines member = Upload(kMember, kPassword, "C:\\Temp\\logo.png", png);
  ASSERT_EQ(member.size(), 2u) << "no addresses to forget";
  EXPECT_EQ(member[0], "SUCCESS");
  EXPECT_TRUE(IsAddress(member[1], "/?id=")) << member[1];
  const Lines guest = Upload("GUEST", "guest", "logo.png", png);
  ASSERT_EQ(guest.size(), 2u);
  EXPECT_EQ(guest[0], "SUCCESS");
  EXPECT_TRUE(IsAddress(guest[1], "/guest/?id=")) << guest[1];
  EXPECT_NE(IdOfAddress(member[1]), IdOfAddress(guest[1]));
  // The second upload of a run, without the fake field, is just as good.
  const Lines again = PostProgramForm(Port(), "/upload.php",
                                      UploadForm(kMember, kPassword, "logo.png", png, false));
  EXPECT_EQ(again[0], "SUCCESS");
}

TEST_F(ServiceTest, StoresTheProgramsAndACurlClientsBytesExactly) {
  // A picture followed by a line break of its own: decoders stop at the
  // picture's end, so the file still is a picture, and a reader that took
  // the wrong end of the last part would lose or gain these two bytes.
  const std::vector<std::uint8_t> encoded = EncodeBmp(Bitmap(17, 9, MakeColor(9, 99, 199)));
  const std::string bmp(encoded.begin(), encoded.end());
  const std::string pictures[] = {SolidPng(25, 25, 0, 128, 0), bmp, bmp + "\r\n",
                                  SolidPng(16, 16, 1, 1, 1) + "\r\n\r\n"};
  int index = 0;
  for (const std::string& bytes : pictures) {
    const Lines program = Upload(kMember, kPassword, "p.bmp", bytes);
    ASSERT_EQ(program[0], "SUCCESS") << index << ": " << (program.size() > 1 ? program[1] : "");
    EXPECT_EQ(Raw(program[1]), bytes) << "program layout, picture " << index;

    const std::string path = scratch_.Write("picture" + std::to_string(index) + ".png", bytes);
    const CommandResult curl = Curl({"-F", "login=" + kMember, "-F", "password=" + kPassword, "-F",
                                     "logofile=@" + path, service_->Url("/upload.php")});
    ASSERT_EQ(curl.exitCode, 0) << curl.err;
    const Lines standard = ReplyLines(curl.out);
    ASSERT_EQ(standard[0], "SUCCESS") << curl.out;
    EXPECT_EQ(Raw(standard[1]), bytes) << "curl -F, picture " << index;
    ++index;
  }
}

TEST_F(ServiceTest, ReadsChunkedBodiesButNotCompressedOnes) {
  const std::string bytes = NoisePng(64, 64, 3) + "\r\n";
  const std::string path = scratch_.Write("chunked.png", bytes);
  const CommandResult chunked =
      Curl({"-H", "Transfer-Encoding: chunked", "-F", "login=" + kMember, "-F",
            "password=" + kPassword, "-F", "logofile=@" + path, service_->Url("/upload.php")});
  const Lines reply = ReplyLines(chunked.out);
  ASSERT_EQ(reply.size(), 2u) << chunked.out << chunked.err;
  EXPECT_EQ(reply[0], "SUCCESS");
  EXPECT_EQ(Raw(reply[1]), bytes);

  std::string request = MemberStatusForm(kMember, kPassword).Request("/memberstatus.php", Port());
  request.insert(request.find("\r\n") + 2, "Content-Encoding: gzip\r\n");
  EXPECT_EQ(ReplyLines(SendRaw(Port(), request).body),
            (Lines{"ERROR", "The service could not read the form that was sent."}));
}

TEST_F(ServiceTest, RawPictureComesWithItsOwnContentType) {
  const std::vector<std::uint8_t> jpeg = EncodeJpeg(Bitmap(32, 24, MakeColor(10, 20, 30)), 90);
  const std::vector<std::uint8_t> gif = EncodeGif(Bitmap(32, 24, MakeColor(10, 20, 30)), 8);
  const std::vector<std::uint8_t> bmp = EncodeBmp(Bitmap(32, 24, MakeColor(10, 20, 30)));
  struct Case {
    std::string bytes;
    std::string name;  // deliberately misleading: the bytes decide
    std::string type;
    std::string extension;
  };
  const Case cases[] = {
      {SolidPng(32, 24, 1, 2, 3), "x.jpg", "image/png", ".png"},
      {std::string(jpeg.begin(), jpeg.end()), "x.gif", "image/jpeg", ".jpg"},
      {std::string(gif.begin(), gif.end()), "x.png", "image/gif", ".gif"},
      {std::string(bmp.begin(), bmp.end()), "x", "image/bmp", ".bmp"},
  };
  for (const Case& c : cases) {
    const Lines reply = Upload(kMember, kPassword, c.name, c.bytes);
    ASSERT_EQ(reply[0], "SUCCESS") << c.type;
    const std::string id = IdOfAddress(reply[1]);
    const HttpResponse raw = Get(Port(), "/p/" + id + c.extension);
    EXPECT_EQ(raw.status, 200) << c.type;
    EXPECT_EQ(raw.Header("content-type"), c.type);
    EXPECT_EQ(raw.body, c.bytes);
    const HttpResponse download = Get(Port(), "/p/" + id + c.extension + "?download=1");
    EXPECT_NE(download.Header("content-disposition").find("attachment"), std::string::npos);
    // Another extension is no address of this picture.
    EXPECT_EQ(Get(Port(), "/p/" + id + (c.extension == ".png" ? ".gif" : ".png")).status, 404);
  }
}

TEST_F(ServiceTest, RangeRequestsGetTheWholeAnswer) {
  const std::string png = SolidPng(40, 40, 1, 2, 3);
  const std::string id = IdOfAddress(Upload(kMember, kPassword, "a.png", png)[1]);
  const HttpResponse raw = SendRaw(Port(), "GET /p/" + id +
                                               ".png HTTP/1.1\r\nHost: x\r\nRange: bytes=0-9\r\n"
                                               "Connection: close\r\n\r\n");
  EXPECT_EQ(raw.status, 200);
  EXPECT_EQ(raw.body, png);
  std::string request = MemberStatusForm(kMember, kPassword).Request("/memberstatus.php", Port());
  request.insert(request.find("\r\n") + 2, "Range: bytes=0-3\r\n");
  EXPECT_EQ(ReplyLines(SendRaw(Port(), request).body).size(), 4u);
}

TEST_F(ServiceTest, RefusesFilesThatAreNoPictures) {
  const std::string png = SolidPng(40, 40, 5, 5, 5);
  struct Case {
    std::string name;
    std::string bytes;
  };
  const Case cases[] = {
      {"notes.png", "just some text, named like a picture"},
      {"broken.png", png.substr(0, png.size() / 2)},
      {"header-only.jpg", "\xFF\xD8\xFF\xE0"},
      {"empty.gif", ""},
      {"page.bmp", "BM this is not a bitmap at all, only its first two letters"},
  };
  for (const Case& c : cases) {
    const Lines reply = Upload(kMember, kPassword, c.name, c.bytes);
    ASSERT_EQ(reply.size(), 2u) << c.name;
    EXPECT_EQ(reply[0], "ERROR") << c.name;
    EXPECT_NE(reply[1].find("is not a picture"), std::string::npos) << reply[1];
  }
  EXPECT_EQ(MemberStatus(kMember, kPassword)[2], "0");
  // Without a file field at all.
  ProgramForm noFile;
  noFile.AddText("login", kMember);
  noFile.AddText("password", kPassword);
  EXPECT_EQ(PostProgramForm(Port(), "/upload.php", noFile),
            (Lines{"ERROR", "The upload holds no picture file."}));
}

TEST_F(ServiceTest, RefusesAPictureOverThePixelLimit) {
  // A valid PNG head announcing 5000 x 5000 pixels in a few hundred bytes.
  std::string png = SolidPng(16, 16, 0, 0, 0);
  const unsigned char size[8] = {0, 0, 0x13, 0x88, 0, 0, 0x13, 0x88};
  png.replace(16, 8, reinterpret_cast<const char*>(size), 8);
  const Lines reply = Upload(kMember, kPassword, "huge.png", png);
  EXPECT_EQ(reply, (Lines{"ERROR",
                          "The picture is 5000 x 5000 pixels; this service takes "
                          "pictures of up to 4096 x 4096 pixels."}));
}

TEST_F(ServiceTest, OversizeUploadIsAnsweredWhileTheClientSends) {
  // 6 MiB of picture against the default limit of 5 MiB.
  const std::string big = NoisePng(1200, 1800, 7);
  ASSERT_GT(big.size(), 6u * 1024 * 1024);
  const std::string expected =
      "ERROR\r\nThe picture is larger than this service takes: at most 5 MiB.\r\n";

  const std::string path = scratch_.Write("big.png", big);
  const CommandResult curl = Curl({"-F", "login=guest", "-F", "password=guest", "-F",
                                   "logofile=@" + path, service_->Url("/upload.php")});
  EXPECT_EQ(curl.exitCode, 0) << curl.err;
  EXPECT_EQ(curl.out, expected);

  // The program's HTTP/1.0 request, sent whole.
  const HttpResponse program =
      SendRaw(Port(), UploadForm("guest", "guest", "big.png", big).Request("/upload.php", Port()));
  EXPECT_EQ(program.status, 200);
  EXPECT_EQ(program.body, expected);

  // Just under the limit is taken.
  const std::string fits = big.substr(0, 5 * 1024 * 1024);
  const Lines atLimit = Upload("guest", "guest", "fits.png", fits);
  ASSERT_EQ(atLimit.size(), 2u);
  EXPECT_EQ(atLimit[1].find("larger than"), std::string::npos) << atLimit[1];
  EXPECT_EQ(MemberStatus("guest", "guest")[2], "0");
}

TEST_F(ServiceTest, QuotaStopsAnAccountButTheGuestPoolDropsItsOldest) {
  StartService({"--quota", "2", "--guest-pool", "2"});
  const std::string png = SolidPng(16, 16, 9, 9, 9);
  EXPECT_EQ(Upload(kMember, kPassword, "1.png", png)[0], "SUCCESS");
  EXPECT_EQ(Upload(kMember, kPassword, "2.png", png)[0], "SUCCESS");
  EXPECT_EQ(Upload(kMember, kPassword, "3.png", png),
            (Lines{"ERROR",
                   "Your account holds 2 pictures, as many as this service keeps for "
                   "one account."}));
  EXPECT_EQ(MemberStatus(kMember, kPassword),
            (Lines{"SUCCESS", MemberStatus(kMember, kPassword)[1], "2", "2"}));

  const Lines first = Upload("guest", "guest", "g1.png", png);
  const Lines second = Upload("guest", "guest", "g2.png", png);
  ASSERT_EQ(second.size(), 2u);
  const Lines third = Upload("guest", "guest", "g3.png", png);
  // The program is told to forget the address of the picture that went.
  ASSERT_EQ(third.size(), 3u);
  EXPECT_EQ(third[0], "SUCCESS");
  EXPECT_EQ(third[2], first[1]);
  EXPECT_EQ(Get(Port(), "/guest/?id=" + IdOfAddress(first[1])).status, 404);
  EXPECT_EQ(Get(Port(), "/guest/?id=" + IdOfAddress(second[1])).status, 200);
  EXPECT_EQ(MemberStatus("guest", "guest")[2], "2");
}

TEST_F(ServiceTest, RepeatedFailedLoginsFromOneAddressAreSlowedDown) {
  for (int i = 0; i < 10; ++i)
    ASSERT_EQ(MemberStatus(kMember, "wrong" + std::to_string(i))[1], "WRONG_LOGIN_OR_PASSWORD");
  const Lines wait = {"ERROR",
                      "Too many failed logins from your address. Please wait a minute and try "
                      "again."};
  // Even the right password waits now, on every script and page.
  EXPECT_EQ(MemberStatus(kMember, kPassword), wait);
  EXPECT_EQ(Upload(kMember, kPassword, "a.png", SolidPng(16, 16, 0, 0, 0)), wait);
  EXPECT_EQ(Get(Port(), "/?login=" + kMember + "&password=" + kPassword).status, 429);
}

TEST_F(ServiceTest, VersionScriptAnswersTheConfiguredVersionExactly) {
  struct Case {
    std::vector<std::string> args;
    std::string body;
  };
  const Case cases[] = {
      {{}, "1.1.3"},
      {{"--current-version", "1.1.4"}, "1.1.4"},
      {{"--current-version", "1.0.9"}, "1.0.9"},
      {{"--current-version", "1.1.3\r\n"}, "1.1.3\r\n"},
      {{"--current-version", ""}, ""},
  };
  for (const Case& c : cases) {
    ServiceProcess service(c.args);
    // As the program asks: GET with HTTP/1.1.
    const HttpResponse reply = SendRaw(
        service.Port(),
        "GET /curversion.php HTTP/1.1\r\nContent-Type: text/html\r\nHost: " + service.Host() +
            "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; "
            "Indy Library)\r\n\r\n");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, c.body);
    EXPECT_EQ(reply.Header("content-length"), std::to_string(c.body.size()));
  }
}

TEST_F(ServiceTest, EverythingElseIsNotFoundAndTellsNothing) {
  const std::string png = SolidPng(16, 16, 0, 0, 0);
  const std::string id = IdOfAddress(Upload(kMember, kPassword, "a.png", png)[1]);
  const std::string missing = std::string(21, 'A') + (id.back() == 'B' ? "C" : "B");
  const HttpResponse reference = Get(Port(), "/nothing-here");
  EXPECT_EQ(reference.status, 404);
  for (const std::string& target : std::vector<std::string>{
           "/?id=" + missing, "/guest/?id=" + missing, "/p/" + missing + ".png", "/?id=short",
           "/?id=" + id + "x", "/p/" + id, "/p/../quillet-service.db", "/upload.php",
           "/memberstatus.php", "/quillet-service.db", "/guest/x", "/index.html", "/%2e%2e/"}) {
    const HttpResponse reply = Get(Port(), target);
    EXPECT_EQ(reply.status, 404) << target;
    EXPECT_EQ(reply.body, reference.body) << target;
  }
  EXPECT_EQ(Get(Port(), "/?id=" + id).status, 200);
  const HttpResponse put =
      SendRaw(Port(), "PUT /upload.php HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n\r\nabc");
  EXPECT_EQ(put.status, 404);
}

TEST_F(ServiceTest, HeadsAndFieldsAreBounded) {
  // A head far beyond any real request.
  std::string head = "GET / HTTP/1.1\r\nHost: x\r\n";
  for (int i = 0; i < 400; ++i)
    head += "X-Filler-" + std::to_string(i) + ": " + std::string(100, 'x') + "\r\n";
  const HttpResponse huge = SendRaw(Port(), head + "\r\n");
  EXPECT_EQ(huge.status, 400);
  // A text field larger than any login.
  ProgramForm form;
  form.AddText("login", std::string(20000, 'a'));
  form.AddText("password", "x");
  EXPECT_EQ(PostProgramForm(Port(), "/memberstatus.php", form),
            (Lines{"ERROR", "The service could not read the form that was sent."}));
  // The service still answers.
  EXPECT_EQ(MemberStatus(kMember, kPassword)[0], "SUCCESS");
}

TEST_F(ServiceTest, AccountsComeFromTheRegisterPageAndFromAddUser) {
  const HttpResponse form = Get(Port(), "/register.php");
  EXPECT_EQ(form.status, 200);
  EXPECT_NE(form.body.find("<form action=\"/register.php\" method=\"post\""), std::string::npos);

  auto registerAs = [&](const std::string& fields) {
    const CommandResult curl = Curl({"--data", fields, service_->Url("/register.php")});
    EXPECT_EQ(curl.exitCode, 0) << curl.err;
    return curl.out;
  };
  EXPECT_NE(
      registerAs("login=bob&password=b0b-pass&confirm=b0b-pass").find("Your account bob is ready."),
      std::string::npos);
  EXPECT_EQ(MemberStatus("bob", "b0b-pass")[0], "SUCCESS");
  EXPECT_NE(registerAs("login=BOB&password=other-pw&confirm=other-pw").find("is taken"),
            std::string::npos);
  EXPECT_EQ(MemberStatus("bob", "other-pw")[0], "MESSAGE");
  EXPECT_NE(registerAs("login=guest&password=abcd&confirm=abcd").find("shared guest account"),
            std::string::npos);
  EXPECT_NE(registerAs("login=carl&password=abcd&confirm=abce").find("passwords differ"),
            std::string::npos);
  EXPECT_NE(registerAs("login=%3Cb%3E&password=abcd&confirm=abcd").find("&lt;b&gt;"),
            std::string::npos)
      << "what was typed comes back escaped";
  EXPECT_EQ(MemberStatus("carl", "abcd")[0], "MESSAGE");

  // add-user: a second account of the same name is refused.
  const CommandResult again = RunCommand(
      QUILLET_SERVICE_PATH, {"add-user", "Anna", "--data-dir", service_->DataDir()}, "pw-pw-pw\n");
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_NE(again.err.find("exists already"), std::string::npos) << again.err;
  const CommandResult guest = RunCommand(
      QUILLET_SERVICE_PATH, {"add-user", "guest", "--data-dir", service_->DataDir()}, "pw-pw-pw\n");
  EXPECT_EQ(guest.exitCode, 2);
}

TEST_F(ServiceTest, PasswordsAreKeptAsArgon2idHashesAndNeverLogged) {
  const std::string png = SolidPng(16, 16, 3, 3, 3);
  ASSERT_EQ(Upload(kMember, kPassword, "a.png", png)[0], "SUCCESS");
  ASSERT_EQ(Get(Port(), "/?login=" + kMember + "&password=" + kPassword).status, 200);
  ASSERT_EQ(MemberStatus(kMember, "Wrong-Secret-1")[0], "MESSAGE");
  Curl({"--data", "login=dora&password=D0ra-Secret&confirm=D0ra-Secret",
        service_->Url("/register.php")});
  ASSERT_EQ(MemberStatus("dora", "D0ra-Secret")[0], "SUCCESS");
  service_->Stop();
  const std::string log = service_->Log();
  EXPECT_NE(log.find("POST /upload.php 200"), std::string::npos) << log;
  for (const std::string& secret :
       {kPassword, std::string("Wrong-Secret-1"), std::string("D0ra-Secret")}) {
    EXPECT_EQ(log.find(secret), std::string::npos) << log;
  }
  // The database holds hashes only (the WAL file too).
  std::string stored = ReadFileOrEmpty(service_->DataDir() + "/quillet-service.db") +
                       ReadFileOrEmpty(service_->DataDir() + "/quillet-service.db-wal");
  EXPECT_NE(stored.find("$argon2id$"), std::string::npos);
  EXPECT_EQ(stored.find(kPassword), std::string::npos);
  EXPECT_EQ(stored.find("D0ra-Secret"), std::string::npos);
}

TEST_F(ServiceTest, WithoutGuestTheSharedAccountIsRefused) {
  StartService({"--no-guest"});
  EXPECT_EQ(MemberStatus("guest", "guest"), (Lines{"MESSAGE", "WRONG_LOGIN_OR_PASSWORD"}));
  EXPECT_EQ(Upload("guest", "guest", "a.png", SolidPng(16, 16, 0, 0, 0)),
            (Lines{"MESSAGE", "WRONG_LOGIN_OR_PASSWORD"}));
  const HttpResponse list = Get(Port(), "/guest/");
  EXPECT_NE(list.body.find("switched off"), std::string::npos);
  EXPECT_EQ(MemberStatus(kMember, kPassword)[0], "SUCCESS");
}

TEST_F(ServiceTest, ConcurrentUploadsAreAllKept) {
  constexpr int kClients = 8;
  constexpr int kEach = 6;
  std::vector<std::thread> clients;
  std::vector<std::vector<std::pair<std::string, std::string>>> done(kClients);
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      for (int i = 0; i < kEach; ++i) {
        const std::string bytes = NoisePng(24, 24, static_cast<unsigned>(c * 100 + i));
        const Lines reply =
            PostProgramForm(Port(), "/upload.php", UploadForm(kMember, kPassword, "n.png", bytes));
        if (reply.size() >= 2 && reply[0] == "SUCCESS") done[c].emplace_back(reply[1], bytes);
      }
    });
  }
  for (auto& client : clients)
    client.join();
  int stored = 0;
  for (const auto& list : done) {
    for (const auto& [address, bytes] : list) {
      EXPECT_EQ(Raw(address), bytes);
      ++stored;
    }
  }
  EXPECT_EQ(stored, kClients * kEach);
  EXPECT_EQ(MemberStatus(kMember, kPassword)[2], std::to_string(kClients * kEach));
}

TEST_F(ServiceTest, ASecondServiceCannotTakeTheSamePort) {
  // Were the port shared, each service would get half the requests.
  const CommandResult second =
      RunCommand(QUILLET_SERVICE_PATH,
                 {"--data-dir", scratch_.Path() + "second", "--listen", service_->Host()});
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_NE(second.err.find("cannot listen on " + service_->Host()), std::string::npos)
      << second.err;
  EXPECT_EQ(MemberStatus(kMember, kPassword)[0], "SUCCESS");
}

TEST_F(ServiceTest, StopsCleanlyOnSigterm) {
  EXPECT_EQ(service_->Stop(), 0);
}

}  // namespace
}  // namespace quillet::testing

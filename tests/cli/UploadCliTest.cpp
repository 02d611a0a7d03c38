#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/CaptureServer.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"
#include "support/TinyProxy.h"

namespace quillet {
namespace {

using testing::CaptureServer;
using testing::ProcessResult;
using testing::RunCli;
using testing::TempDir;

std::string ParametersFor(const std::string& host) {
  return "<parameters><uploadhost value=\"" + host +
         "\"/><uploadscript value=\"/upload.php\"/><memstatscript value=\"/memberstatus.php\"/>"
         "</parameters>";
}

std::string OptionsWith(const std::string& login, const std::string& password,
                        const std::string& proxy = "noproxy", const std::string& host = "",
                        const std::string& port = "", bool authentication = false) {
  return "<options><login value=\"" + login + "\"/><password value=\"" + password +
         "\"/><proxysource value=\"" + proxy + "\"/><proxyhost value=\"" + host +
         "\"/><proxyport value=\"" + port + "\"/><proxyauthentication value=\"" +
         (authentication ? "yes" : "no") + "\"/></options>";
}

// A data folder whose service is the capture server, with two pictures.
struct Folder {
  explicit Folder(const CaptureServer& server, const std::string& options) {
    dir.Write("parameters.xml", ParametersFor(server.HostAndPort()));
    dir.Write("options.xml", options);
    first = dir.Write("pics/first.png", "PNG-ONE");
    second = dir.Write("pics/second.jpg", "JPEG-TWO");
  }
  ProcessResult Upload(const std::vector<std::string>& files,
                       std::vector<std::string> environment = {}) const {
    std::vector<std::string> args{"upload"};
    args.insert(args.end(), files.begin(), files.end());
    args.insert(args.end(), {"--data-dir", dir.Path()});
    environment.insert(environment.end(), {"QUILLET_HOME=", "PATH=/nonexistent"});
    return RunCli(args, environment);
  }
  TempDir dir;
  std::string first, second;
};

TEST(UploadCommand, UploadsEachFileInItsOwnFormAskingTheMemberStatusOnce) {
  CaptureServer server;
  server.Script(
      {CaptureServer::Ok("SUCCESS\r\n12\r\n0\r\n100\r\n"),
       CaptureServer::Ok("SUCCESS\r\nhttp://192.168.1.5:8711/?id=Qx7\r\n"),
       CaptureServer::Ok("ERROR\r\nThis file is not a picture.\r\nhttp://old/?id=1\r\n")});
  Folder folder(server, OptionsWith("anna", "s3cret"));
  ProcessResult result = folder.Upload({folder.first, folder.second});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out,
            "{\"file\":\"" + folder.first +
                "\",\"result\":0,\"reply\":\"http://192.168.1.5:8711/?id=Qx7\",\"extra\":[],"
                "\"address\":\"http://192.168.1.5:8711/?id=Qx7\",\"id\":\"Qx7\"}\n"
                "{\"file\":\"" +
                folder.second +
                "\",\"result\":2,\"reply\":\"This file is not a picture.\",\"extra\":["
                "\"http://old/?id=1\"],\"address\":\"\",\"id\":\"\"}\n");
  const std::vector<std::string> requests = server.WaitForRequests(3);
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_TRUE(requests[0].starts_with("POST /memberstatus.php HTTP/1.0\r\n"));
  EXPECT_NE(requests[1].find("name=\"fakefield\""), std::string::npos);
  EXPECT_NE(requests[1].find("filename=\"first.png\"\r\nContent-Type: image/unknown\r\n\r\n"
                             "PNG-ONE\r\n"),
            std::string::npos);
  EXPECT_EQ(requests[2].find("name=\"fakefield\""), std::string::npos);
  EXPECT_NE(requests[2].find("filename=\"second.jpg\""), std::string::npos);
}

TEST(UploadCommand, AGuestUploadShowsTheGuestRootAsItsAddress) {
  CaptureServer server;
  server.Script({CaptureServer::Ok("SUCCESS\r\n1\r\n5\r\n200\r\n"),
                 CaptureServer::Ok("SUCCESS\r\nhttp://wap:8711/guest/?id=Ab9\r\n")});
  Folder folder(server, OptionsWith("Guest", "guest"));
  ProcessResult result = folder.Upload({folder.first});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.out.find("\"address\":\"http://wap:8711/guest/\",\"id\":\"Ab9\""),
            std::string::npos)
      << result.out;
}

TEST(UploadCommand, WhatTheWindowWouldAskForIsAMessageAndNothingIsSent) {
  CaptureServer server;
  struct Case {
    const char* name;
    std::string options;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"no password", OptionsWith("anna", ""), "Error: Login or password is not set."},
      {"no login", OptionsWith("", "x"), "Error: Login or password is not set."},
      {"proxy credentials missing", OptionsWith("anna", "x", "manual", "127.0.0.1", "3128", true),
       "Error: The proxy requires a user name and a password."},
      {"port not a number", OptionsWith("anna", "x", "manual", "127.0.0.1", "31x"),
       "Error: '31x' is not a valid integer value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Folder folder(server, c.options);
    ProcessResult result = folder.Upload({folder.first});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.starts_with(c.message)) << result.err;
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(server.Connections(), 0);
}

// libcurl would take the environment's proxy on its own: "No Proxy" must go
// direct anyway, and a chosen proxy must not be bypassed by no_proxy.
TEST(UploadCommand, TheEnvironmentsProxyVariablesNeverOverrideTheOptions) {
  const std::string deadProxy = "http://127.0.0.1:" + std::to_string(testing::FreeLoopbackPort());
  {
    CaptureServer server;
    server.Script({CaptureServer::Ok("SUCCESS\r\n1\r\n2\r\n3\r\n"),
                   CaptureServer::Ok("SUCCESS\r\nhttp://wap/?id=1\r\n")});
    Folder folder(server, OptionsWith("anna", "x", "noproxy"));
    ProcessResult result = folder.Upload(
        {folder.first},
        {"http_proxy=" + deadProxy, "HTTP_PROXY=" + deadProxy, "ALL_PROXY=" + deadProxy});
    EXPECT_NE(result.out.find("\"result\":0"), std::string::npos) << result.out << result.err;
  }
  {
    CaptureServer service;
    testing::TinyProxy proxy;
    service.Script({CaptureServer::Ok("SUCCESS\r\n1\r\n2\r\n3\r\n"),
                    CaptureServer::Ok("SUCCESS\r\nhttp://wap/?id=2\r\n")});
    Folder folder(service,
                  OptionsWith("anna", "x", "manual", "127.0.0.1", std::to_string(proxy.Port())));
    ProcessResult result =
        folder.Upload({folder.first}, {"no_proxy=*", "NO_PROXY=*", "http_proxy=" + deadProxy});
    EXPECT_NE(result.out.find("\"result\":0"), std::string::npos) << result.out << result.err;
    const std::vector<std::string> requests = service.WaitForRequests(2);
    ASSERT_EQ(requests.size(), 2u);
    // Through a proxy the program asks for "Proxy-Connection: keep-alive",
    // which the proxy takes for itself: only a direct request would arrive
    // with "Connection: keep-alive".
    EXPECT_EQ(requests[1].find("Connection: keep-alive\r\n"), std::string::npos) << requests[1];
  }
}

}  // namespace
}  // namespace quillet

#include "support/TestTls.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "support/RunProcess.h"
#include "support/TinyProxy.h"

extern char** environ;

namespace quillet::testing {
namespace {

void Openssl(const std::vector<std::string>& args) {
  ProcessResult result = RunProcess("/usr/bin/openssl", args);
  if (result.exitCode != 0) throw std::runtime_error("openssl failed: " + result.err);
}

}  // namespace

TestAuthority MakeTestAuthority(const std::string& folder) {
  TestAuthority authority{folder + "ca.pem", folder + "server.pem", folder + "server.key"};
  const std::string caKey = folder + "ca.key", request = folder + "server.csr",
                    extensions = folder + "server.ext";
  Openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", caKey, "-out",
           authority.caFile, "-days", "2", "-subj", "/CN=Quillet Test Authority"});
  Openssl({"req", "-newkey", "rsa:2048", "-nodes", "-keyout", authority.keyFile, "-out", request,
           "-subj", "/CN=127.0.0.1"});
  std::ofstream(extensions) << "subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n";
  Openssl({"x509", "-req", "-in", request, "-CA", authority.caFile, "-CAkey", caKey,
           "-CAcreateserial", "-out", authority.certificateFile, "-days", "2", "-extfile",
           extensions});
  return authority;
}

HttpsFileServer::HttpsFileServer(const TestAuthority& authority, const std::string& folder) {
  port_ = FreeLoopbackPort();
  std::vector<std::string> words{"openssl", "s_server",
                                 "-accept", "127.0.0.1:" + std::to_string(port_),
                                 "-cert",   authority.certificateFile,
                                 "-key",    authority.keyFile,
                                 "-WWW",    "-quiet"};
  std::vector<char*> argv;
  for (std::string& word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (::posix_spawnp(&pid_, "openssl", &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  for (int i = 0; pid_ > 0 && i < 300 && !LoopbackPortAccepts(port_); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

HttpsFileServer::~HttpsFileServer() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
}

}  // namespace quillet::testing

#include "support/TinyProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace quillet::testing {
bool LoopbackPortAccepts(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

int FreeLoopbackPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

TinyProxy::TinyProxy(const std::string& user, const std::string& password) {
  port_ = FreeLoopbackPort();
  std::string config = "Port " + std::to_string(port_) +
                       "\nListen 127.0.0.1\nTimeout 60\nLogLevel Critical\nMaxClients 20\n"
                       "Allow 127.0.0.1\nDisableViaHeader Yes\n";
  if (!user.empty()) config += "BasicAuth " + user + " " + password + "\n";
  const std::string path = folder_.Write("tinyproxy.conf", config);
  std::string program = "tinyproxy", foreground = "-d", option = "-c", file = path;
  char* argv[] = {program.data(), foreground.data(), option.data(), file.data(), nullptr};
  if (::posix_spawnp(&pid_, "tinyproxy", nullptr, nullptr, argv, environ) != 0) {
    pid_ = -1;
    return;
  }
  for (int i = 0; i < 200 && !LoopbackPortAccepts(port_); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

TinyProxy::~TinyProxy() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
}

}  // namespace quillet::testing

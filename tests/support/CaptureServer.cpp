#include "support/CaptureServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace quillet::testing {
namespace {

int ListenOnLoopback(int backlog, int& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket");
  int yes = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, backlog) != 0) {
    ::close(fd);
    throw std::runtime_error("bind/listen");
  }
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return fd;
}

bool SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// The length a request head announces for its body; 0 when none.
size_t ContentLengthOf(const std::string& head) {
  std::string lower;
  for (char c : head)
    lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  const size_t at = lower.find("\r\ncontent-length:");
  if (at == std::string::npos) return 0;
  return std::strtoul(head.c_str() + at + 17, nullptr, 10);
}

}  // namespace

CaptureServer::Reply CaptureServer::Answer(int status, const std::string& reason,
                                           const std::string& body, bool contentLength,
                                           const std::string& extraHeaders) {
  std::string head = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
  if (contentLength) head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  head += extraHeaders;
  head += "Connection: close\r\n\r\n";
  return Reply{Reply::Kind::Send, head + body};
}

CaptureServer::CaptureServer() {
  listener_ = ListenOnLoopback(16, port_);
  if (::pipe2(wake_, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  thread_ = std::thread([this] { Serve(); });
}

CaptureServer::~CaptureServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  (void)!::write(wake_[1], "x", 1);
  thread_.join();
  ::close(listener_);
  ::close(wake_[0]);
  ::close(wake_[1]);
}

std::string CaptureServer::HostAndPort() const {
  return "127.0.0.1:" + std::to_string(port_);
}

void CaptureServer::Script(std::vector<Reply> replies) {
  std::lock_guard lock(mutex_);
  replies_.assign(replies.begin(), replies.end());
}

std::vector<std::string> CaptureServer::WaitForRequests(std::size_t count,
                                                        std::chrono::milliseconds bound) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, bound, [&] { return requests_.size() >= count; });
  return requests_;
}

std::vector<std::string> CaptureServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

int CaptureServer::Connections() const {
  std::lock_guard lock(mutex_);
  return connections_;
}

bool CaptureServer::Stopping() const {
  std::lock_guard lock(mutex_);
  return stopping_;
}

void CaptureServer::Serve() {
  while (!Stopping()) {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents != 0) return;
    int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    {
      std::lock_guard lock(mutex_);
      ++connections_;
    }
    Handle(client);
    ::close(client);
  }
}

// Waits for the client to send or leave, or for the server to stop; false
// when it should give up.
static bool WaitReadable(int client, int wake) {
  pollfd fds[2] = {{client, POLLIN, 0}, {wake, POLLIN, 0}};
  while (::poll(fds, 2, -1) < 0) {
    if (errno != EINTR) return false;
  }
  return fds[1].revents == 0;
}

bool CaptureServer::ReadRequest(int client, std::string& request) {
  char buffer[65536];
  size_t headEnd = std::string::npos;
  for (;;) {
    if (headEnd != std::string::npos && request.size() >= headEnd + ContentLengthOf(request))
      return true;
    if (!WaitReadable(client, wake_[0])) return false;
    ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    request.append(buffer, static_cast<size_t>(n));
    if (headEnd == std::string::npos) {
      const size_t blank = request.find("\r\n\r\n");
      if (blank != std::string::npos) headEnd = blank + 4;
    }
  }
}

void CaptureServer::Handle(int client) {
  std::string request;
  const bool whole = ReadRequest(client, request);
  Reply reply = Answer(500, "No Reply Scripted", "");
  {
    std::lock_guard lock(mutex_);
    if (whole) requests_.push_back(request);
    if (!replies_.empty()) {
      reply = replies_.front();
      replies_.pop_front();
    }
  }
  changed_.notify_all();
  if (!whole) return;
  switch (reply.kind) {
    case Reply::Kind::Send:
    case Reply::Kind::DropMidBody:
      SendAll(client, reply.bytes);
      ::shutdown(client, SHUT_WR);
      // Let the client read what was sent before the socket goes.
      if (reply.kind == Reply::Kind::Send) {
        char sink[4096];
        while (WaitReadable(client, wake_[0]) && ::recv(client, sink, sizeof sink, 0) > 0) {
        }
      }
      return;
    case Reply::Kind::StallMidBody:
      SendAll(client, reply.bytes);
      [[fallthrough]];
    case Reply::Kind::StallBeforeHead: {
      char sink[4096];
      while (WaitReadable(client, wake_[0]) && ::recv(client, sink, sizeof sink, 0) > 0) {
      }
      return;
    }
    case Reply::Kind::Endless: {
      if (!SendAll(client, reply.bytes)) return;
      const std::string chunk(1 << 16, 'x');
      while (!Stopping() && SendAll(client, chunk)) {
      }
      return;
    }
  }
}

UnansweredPort::UnansweredPort() {
  listener_ = ListenOnLoopback(0, port_);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port_));
  // Fill the queue until a connect no longer completes by itself.
  for (int i = 0; i < 16; ++i) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    fillers_.push_back(fd);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) continue;
    pollfd wait{fd, POLLOUT, 0};
    if (::poll(&wait, 1, 200) == 0) return;
  }
}

UnansweredPort::~UnansweredPort() {
  for (int fd : fillers_)
    ::close(fd);
  ::close(listener_);
}

std::string WithPlaceholders(std::string request, int port) {
  const std::string hostPort = "127.0.0.1:" + std::to_string(port);
  for (size_t at = request.find(hostPort); at != std::string::npos;
       at = request.find(hostPort, at + 9))
    request.replace(at, hostPort.size(), "HOST:PORT");
  return request;
}

}  // namespace quillet::testing

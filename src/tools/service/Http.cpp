#include "tools/service/Http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "core/platform/Text.h"

namespace quillet::service {

using Clock = std::chrono::steady_clock;

// The socket of one connection, read through a buffer that lives as long as
// the connection (a pipelined request is never lost between two requests).
// While a head is read it gives out at most maxHeadBytes and stops at the
// head's deadline; cpp-httplib grows its line buffer without a bound, so the
// bound has to be here.
class ConnectionStream : public httplib::Stream {
 public:
  ConnectionStream(int sock, const HttpLimits& limits) : sock_(sock), limits_(limits) {}

  void BeginHead() {
    head_ = true;
    headUsed_ = 0;
    deadline_ = Clock::now() + limits_.headTimeout;
  }
  void BeginBody() {
    head_ = false;
    deadline_ = Clock::now() + limits_.bodyTimeout;
  }
  bool HasBuffered() const { return begin_ < end_; }

  // Waits for the next request of a kept-alive connection; false when the
  // connection stays idle too long or the server stops.
  bool WaitForRequest(const std::atomic<socket_t>& serverSocket) {
    if (HasBuffered()) return true;
    const auto until = Clock::now() + limits_.keepAliveTimeout;
    while (serverSocket != INVALID_SOCKET && Clock::now() < until) {
      pollfd fd{sock_, POLLIN, 0};
      const int rc = ::poll(&fd, 1, 100);
      if (rc > 0) return true;
      if (rc < 0 && errno != EINTR) return false;
    }
    return false;
  }

  bool is_readable() const override {
    return HasBuffered() || Wait(POLLIN, limits_.readTimeout, true);
  }
  bool is_writable() const override { return Wait(POLLOUT, limits_.writeTimeout, false); }

  ssize_t read(char* ptr, size_t size) override {
    if (head_) {
      if (headUsed_ >= limits_.maxHeadBytes) return -1;
      size = std::min(size, limits_.maxHeadBytes - headUsed_);
    }
    if (size == 0) return 0;
    if (!HasBuffered()) {
      if (!Wait(POLLIN, limits_.readTimeout, true)) return -1;
      ssize_t n;
      do {
        n = ::recv(sock_, buffer_.data(), buffer_.size(), 0);
      } while (n < 0 && errno == EINTR);
      if (n <= 0) return n < 0 ? -1 : 0;
      begin_ = 0;
      end_ = static_cast<std::size_t>(n);
    }
    const std::size_t n = std::min(size, end_ - begin_);
    std::memcpy(ptr, buffer_.data() + begin_, n);
    begin_ += n;
    if (head_) headUsed_ += n;
    return static_cast<ssize_t>(n);
  }

  // Writes everything or fails: cpp-httplib writes a formatted head with one
  // call and does not retry a short write itself.
  ssize_t write(const char* ptr, size_t size) override {
    std::size_t done = 0;
    const auto until = Clock::now() + limits_.writeTimeout;
    while (done < size) {
      if (Clock::now() >= until || !Wait(POLLOUT, limits_.writeTimeout, false)) return -1;
      const ssize_t n = ::send(sock_, ptr + done, size - done, MSG_NOSIGNAL);
      if (n < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        return -1;
      }
      done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(size);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    if (::getpeername(sock_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      Describe(address, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    if (::getsockname(sock_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      Describe(address, ip, port);
  }
  socket_t socket() const override { return sock_; }

 private:
  static void Describe(const sockaddr_storage& address, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = "";
    if (address.ss_family == AF_INET) {
      const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
      ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof(text));
      port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
      const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
      ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof(text));
      port = ntohs(v6.sin6_port);
    }
    ip = text;
  }

  // Waits for the socket within `timeout` and, for reading, the request's
  // own deadline (an answer may still go out after a head came too slowly).
  bool Wait(short events, std::chrono::milliseconds timeout, bool reading) const {
    const auto until =
        reading ? std::min(Clock::now() + timeout, deadline_) : Clock::now() + timeout;
    while (true) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
      if (left <= 0) return false;
      pollfd fd{sock_, events, 0};
      const int rc = ::poll(&fd, 1, static_cast<int>(std::min<long long>(left, 1000 * 60)));
      if (rc > 0) return true;
      if (rc < 0 && errno != EINTR) return false;
    }
  }

  int sock_;
  HttpLimits limits_;
  bool head_ = true;
  std::size_t headUsed_ = 0;
  Clock::time_point deadline_ = Clock::now();
  std::array<char, 16 * 1024> buffer_{};
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
};

namespace {

// The context of the request this thread is answering. cpp-httplib calls the
// routing handler on the thread that runs the connection, so a thread-local
// is how the handler finds the connection's stream.
thread_local RequestContext* currentContext = nullptr;
thread_local bool currentHandled = false;

bool ReadLine(ConnectionStream& stream, std::string& line, std::size_t maxBytes) {
  line.clear();
  char c = 0;
  while (line.size() <= maxBytes) {
    if (stream.read(&c, 1) != 1) return false;
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    line.push_back(c);
  }
  return false;
}

std::optional<std::uint64_t> ParseLength(std::string_view text, int base) {
  text = TrimBlanks(text);
  if (text.empty() || text.size() > 15) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0 || digit >= base) return std::nullopt;
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
  }
  return value;
}

void LingeringClose(int sock) {
  // Half-close first and read what the client still sends for a moment, so
  // that closing with unread bytes does not reset the connection before the
  // client has read our answer.
  ::shutdown(sock, SHUT_WR);
  const auto until = Clock::now() + std::chrono::milliseconds(500);
  std::array<char, 16 * 1024> sink{};
  std::size_t drained = 0;
  while (drained < 1024 * 1024) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) break;
    pollfd fd{sock, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(left)) <= 0) break;
    const ssize_t n = ::recv(sock, sink.data(), sink.size(), 0);
    if (n <= 0) break;
    drained += static_cast<std::size_t>(n);
  }
  ::close(sock);
}

// A request in memory, for running the library's request path once before
// any connection thread exists.
class MemoryStream : public httplib::Stream {
 public:
  explicit MemoryStream(std::string input) : input_(std::move(input)) {}
  bool is_readable() const override { return true; }
  bool is_writable() const override { return true; }
  ssize_t read(char* ptr, size_t size) override {
    const std::size_t n = std::min(size, input_.size() - offset_);
    std::memcpy(ptr, input_.data() + offset_, n);
    offset_ += n;
    return static_cast<ssize_t>(n);
  }
  ssize_t write(const char*, size_t size) override { return static_cast<ssize_t>(size); }
  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip = "127.0.0.1";
    port = 0;
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ip = "127.0.0.1";
    port = 0;
  }
  socket_t socket() const override { return INVALID_SOCKET; }

 private:
  std::string input_;
  std::size_t offset_ = 0;
};

}  // namespace

RequestBody RequestContext::ReadBody(const httplib::Request& request, std::size_t keep,
                                     std::size_t drainCap) {
  RequestBody body;
  const std::string encoding = LowerAscii(request.get_header_value("Content-Encoding"));
  const std::string transfer = LowerAscii(request.get_header_value("Transfer-Encoding"));
  const bool chunked = transfer == "chunked";
  // Compressed bodies are not taken (their size says nothing about what they
  // unpack to), nor a body whose length the headers give twice.
  if ((!encoding.empty() && encoding != "identity") || (!transfer.empty() && !chunked) ||
      request.get_header_value_count("Content-Length") > 1) {
    body.status = BodyStatus::Broken;
    CloseAfterResponse();
    return body;
  }
  std::array<char, 64 * 1024> chunk{};
  std::uint64_t seen = 0;
  bool tooLarge = false;
  // Takes `length` bytes off the stream, keeping them while within `keep`.
  auto take = [&](std::uint64_t length) {
    while (length > 0) {
      const std::size_t want =
          static_cast<std::size_t>(std::min<std::uint64_t>(length, chunk.size()));
      const ssize_t n = stream_.read(chunk.data(), want);
      if (n <= 0) return false;
      length -= static_cast<std::uint64_t>(n);
      seen += static_cast<std::uint64_t>(n);
      if (!tooLarge && body.bytes.size() + static_cast<std::size_t>(n) > keep) {
        tooLarge = true;
        std::string().swap(body.bytes);
      }
      if (!tooLarge) body.bytes.append(chunk.data(), static_cast<std::size_t>(n));
    }
    return true;
  };

  if (!chunked) {
    if (!request.has_header("Content-Length")) return body;
    const auto length = ParseLength(request.get_header_value("Content-Length"), 10);
    if (!length) {
      body.status = BodyStatus::Broken;
      CloseAfterResponse();
      return body;
    }
    if (*length > drainCap) {
      body.status = BodyStatus::TooLarge;
      CloseAfterResponse();
      return body;
    }
    if (*length > keep)
      tooLarge = true;
    else
      body.bytes.reserve(static_cast<std::size_t>(*length));
    if (!take(*length)) {
      body.status = BodyStatus::Broken;
      body.bytes.clear();
      CloseAfterResponse();
      return body;
    }
  } else {
    std::string line;
    while (true) {
      if (!ReadLine(stream_, line, 1024)) {
        body.status = BodyStatus::Broken;
        break;
      }
      const auto size = ParseLength(std::string_view(line).substr(0, line.find(';')), 16);
      if (!size) {
        body.status = BodyStatus::Broken;
        break;
      }
      if (*size == 0) {
        std::size_t trailerBytes = 0;
        bool ok = true;
        do {
          ok = ReadLine(stream_, line, 1024);
          trailerBytes += line.size();
        } while (ok && !line.empty() && trailerBytes < 8192);
        if (!ok || !line.empty()) body.status = BodyStatus::Broken;
        break;
      }
      if (seen + *size > drainCap) {
        tooLarge = true;
        body.status = BodyStatus::TooLarge;
        break;
      }
      if (!take(*size) || !ReadLine(stream_, line, 1) || !line.empty()) {
        body.status = BodyStatus::Broken;
        break;
      }
    }
    if (body.status != BodyStatus::Complete) CloseAfterResponse();
  }
  if (body.status == BodyStatus::Broken) body.bytes.clear();
  if (body.status == BodyStatus::Complete && tooLarge) body.status = BodyStatus::TooLarge;
  if (body.status == BodyStatus::TooLarge) std::string().swap(body.bytes);
  return body;
}

HttpServer::HttpServer(const HttpLimits& limits, RequestHandler handler)
    : limits_(limits), handler_(std::move(handler)) {
  const int threads = std::max(1, limits_.threads);
  // Only what the library writes into its Keep-Alive header; the loop below
  // keeps to the same numbers.
  set_keep_alive_max_count(limits_.maxRequestsPerConnection);
  set_keep_alive_timeout(
      std::max<time_t>(1, static_cast<time_t>(limits_.keepAliveTimeout.count() / 1000)));
  new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<std::size_t>(threads)); };
  // SO_REUSEADDR only: cpp-httplib's default also sets SO_REUSEPORT, which
  // lets a second service bind the same port and take half the requests.
  set_socket_options([](socket_t sock) {
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  });
  set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    RequestContext* context = currentContext;
    if (context == nullptr) {
      response.status = 500;
      return HandlerResponse::Handled;
    }
    currentHandled = true;
    context->stream_.BeginBody();
    // The library would cut any answer to a Range header, a script's reply
    // too, whatever its status; every answer here is whole instead, which a
    // server may always give. The request is the library's own non-const
    // object, handed to handlers as const.
    const_cast<httplib::Request&>(request).ranges.clear();
    handler_(request, response, *context);
    return HandlerResponse::Handled;
  });
  RunLibraryOnce();
}

void HttpServer::RunLibraryOnce() {
  // The library keeps function-local statics (the table of methods, for
  // one) that its first request fills. Filled here, on one thread before the
  // pool exists, they are plainly shared; filled by the first of several
  // connection threads, the thread sanitizer cannot see the library's own
  // uninstrumented guard and reports a race. No handler runs for this one:
  // without a connection context the answer is a bare 500, written nowhere.
  MemoryStream stream(
      "GET /?warm=up HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n"
      "Content-Type: text/plain\r\nContent-Length: 0\r\nUser-Agent: x\r\n\r\n");
  bool closed = false;
  process_request(stream, true, closed, nullptr);
}

void HttpServer::WidenBacklog() {
  // Listening again on a listening socket only changes its backlog.
  if (svr_sock_ != INVALID_SOCKET) ::listen(svr_sock_, SOMAXCONN);
}

bool HttpServer::process_and_close_socket(socket_t sock) {
  {
    ConnectionStream stream(sock, limits_);
    for (std::size_t served = 0; served < limits_.maxRequestsPerConnection; ++served) {
      if (!stream.WaitForRequest(svr_sock_)) break;
      stream.BeginHead();
      RequestContext context(stream);
      currentContext = &context;
      currentHandled = false;
      bool closed = false;
      const bool ok =
          process_request(stream, served + 1 == limits_.maxRequestsPerConnection, closed, nullptr);
      currentContext = nullptr;
      // A request that never reached the handler was refused by the library
      // itself (a broken or oversized head): nothing after it can be trusted.
      if (!ok || closed || !currentHandled || context.ClosesAfterResponse()) break;
    }
  }
  LingeringClose(sock);
  return true;
}

}  // namespace quillet::service

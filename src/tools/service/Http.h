#pragma once

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace quillet::service {

struct HttpLimits {
  // Request line and headers together; a longer head is refused.
  std::size_t maxHeadBytes = 16 * 1024;
  std::chrono::milliseconds headTimeout{15000};
  std::chrono::milliseconds readTimeout{20000};
  std::chrono::milliseconds writeTimeout{20000};
  std::chrono::milliseconds bodyTimeout{300000};
  std::chrono::milliseconds keepAliveTimeout{5000};
  std::size_t maxRequestsPerConnection = 100;
  int threads = 16;
};

enum class BodyStatus { Complete, TooLarge, Broken };

struct RequestBody {
  BodyStatus status = BodyStatus::Complete;
  std::string bytes;
};

class ConnectionStream;

// What a handler may do with the connection of the request it answers.
class RequestContext {
 public:
  explicit RequestContext(ConnectionStream& stream) : stream_(stream) {}

  // Reads the request body. At most `keep` bytes are kept; a longer body is
  // read on and thrown away up to `drainCap` bytes (so that a client that is
  // still sending hears the answer) and reported TooLarge. A body that
  // announces more than `drainCap` is not read at all and the connection is
  // closed after the answer.
  RequestBody ReadBody(const httplib::Request& request, std::size_t keep, std::size_t drainCap);

  // The connection ends after this answer (for example when a body was left
  // unread).
  void CloseAfterResponse() { close_ = true; }
  bool ClosesAfterResponse() const { return close_; }

 private:
  friend class HttpServer;
  ConnectionStream& stream_;
  bool close_ = false;
};

using RequestHandler =
    std::function<void(const httplib::Request&, httplib::Response&, RequestContext&)>;

// cpp-httplib's server, with the connection handling of our own: the head of
// every request is bounded in bytes and in time, bodies are read only by the
// handler and only as far as it wants, and one handler answers everything.
class HttpServer : public httplib::Server {
 public:
  HttpServer(const HttpLimits& limits, RequestHandler handler);

  // After bind_to_port: the library listens with a backlog of 5, so a burst
  // of clients has its connections dropped and retried a second later.
  void WidenBacklog();

 private:
  bool process_and_close_socket(socket_t sock) override;
  void RunLibraryOnce();

  HttpLimits limits_;
  RequestHandler handler_;
};

}  // namespace quillet::service

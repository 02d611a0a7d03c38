#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quillet::testing {

// A raw HTTP server on 127.0.0.1 for the client's tests: it records the exact
// bytes of every request and answers each with the next scripted reply, or
// misbehaves as the reply says. One connection at a time; every connection is
// closed after its reply.
class CaptureServer {
 public:
  struct Reply {
    enum class Kind {
      Send,             // `bytes` whole, then close
      StallBeforeHead,  // read the request, then answer nothing until stopped
      StallMidBody,     // `bytes` (a head and part of a body), then nothing
      DropMidBody,      // `bytes`, then close at once
      Endless,          // `bytes` (a head), then body bytes until the client leaves
    };
    Kind kind = Kind::Send;
    std::string bytes;
  };

  // A whole reply: status line, headers with Content-Length (unless
  // `contentLength` is false), body.
  static Reply Answer(int status, const std::string& reason, const std::string& body,
                      bool contentLength = true, const std::string& extraHeaders = "");
  static Reply Ok(const std::string& body) { return Answer(200, "OK", body); }

  CaptureServer();
  ~CaptureServer();
  CaptureServer(const CaptureServer&) = delete;
  CaptureServer& operator=(const CaptureServer&) = delete;

  int Port() const { return port_; }
  // "127.0.0.1:PORT".
  std::string HostAndPort() const;

  // Replies for the coming requests, in order; a request with none left
  // gets 500.
  void Script(std::vector<Reply> replies);

  // Waits until `count` whole requests have arrived (generous bound), then
  // gives every one so far.
  std::vector<std::string> WaitForRequests(
      std::size_t count, std::chrono::milliseconds bound = std::chrono::seconds(20));
  std::vector<std::string> Requests() const;
  // Connections accepted so far (a request that never completed counts).
  int Connections() const;

 private:
  void Serve();
  void Handle(int client);
  bool ReadRequest(int client, std::string& request);
  bool Stopping() const;

  int listener_ = -1;
  int port_ = 0;
  int wake_[2] = {-1, -1};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Reply> replies_;
  std::vector<std::string> requests_;
  int connections_ = 0;
  bool stopping_ = false;
};

// A listening socket on 127.0.0.1 whose queue is full, so that a connect to
// it stays pending: a request stalled while connecting.
class UnansweredPort {
 public:
  UnansweredPort();
  ~UnansweredPort();
  UnansweredPort(const UnansweredPort&) = delete;
  UnansweredPort& operator=(const UnansweredPort&) = delete;
  int Port() const { return port_; }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::vector<int> fillers_;
};

// Replaces the host and port of a captured request by "HOST:PORT" so that
// expected bytes can be written as constants.
std::string WithPlaceholders(std::string request, int port);

}  // namespace quillet::testing

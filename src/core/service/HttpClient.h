#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// The proxy one activity's requests go through; an empty host means none.
struct ProxyConfig {
  std::string host;
  std::int32_t port = 0;
  bool basicAuthentication = false;
  std::string user;
  std::string password;
  bool operator==(const ProxyConfig&) const = default;
};

// How a request ended. Callers tell the kinds apart without reading text.
enum class HttpResultKind {
  Ok,
  HttpStatus,  // the server or proxy answered with a status other than 2xx
  Network,     // no answer: refused, dropped, unreachable, bad address, reply too long
  LocalWrite,  // the reply could not be stored where the caller wanted it
  Cancelled,   // Cancel() was called
};

struct HttpResult {
  HttpResultKind kind = HttpResultKind::Ok;
  int status = 0;      // the HTTP status of an HttpStatus failure
  std::string reason;  // the status line's text, or what went wrong

  bool Succeeded() const { return kind == HttpResultKind::Ok; }
  // One line for logs and command-line messages.
  std::string Description() const;
};

// A multipart/form-data body: text fields and files in the order added. The
// boundary is eight hyphens and the moment of creation as "mmddyyhhnnsszzz".
class MultipartForm {
 public:
  MultipartForm();
  explicit MultipartForm(std::string boundary);

  void AddText(std::string name, std::string value);
  // Reads the file now; false (and nothing added) when it cannot be read.
  // Only the file's own name is sent, never the folders it lies in.
  bool AddFile(std::string name, const std::string& path, std::string contentType);

  const std::string& Boundary() const { return boundary_; }
  // Every part from the first, then the closing delimiter: posting a form
  // twice sends parts added after the first post too.
  std::string Body() const;

  // "--------" followed by the local time as month, day, two-digit year,
  // hours, minutes, seconds and milliseconds.
  static std::string BoundaryAt(std::chrono::system_clock::time_point when);

 private:
  struct Part {
    std::string name;
    std::string value;  // the text, or the file's bytes
    bool file = false;
    std::string fileName;
    std::string contentType;
  };
  std::string boundary_;
  std::vector<Part> parts_;
};

// Where a GET writes its body; false from Write stops the transfer as a
// LocalWrite failure.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(const char* data, std::size_t size) = 0;
};

// Replies of the service's scripts are small: anything longer is refused
// rather than held in memory.
inline constexpr std::int64_t kMaxServiceReplyBytes = 1 << 20;

// How every request of the program names its client. The service tells the
// program's own multipart layout by it (with the boundary's pattern).
inline constexpr std::string_view kProgramUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

// One HTTP client of the program. It sends the program's own request layout
// byte for byte: the request line, exactly its headers in its order and none
// of libcurl's, GET as HTTP/1.1, POST as HTTP/1.0 on a fresh connection.
// Redirects are not followed; cookies are kept for the life of the object.
//
// Threads: ApplyProxy, ClearProxy, Rearm and PrepareRun are called on the GUI thread
// while no request runs; the requests run on one worker thread at a time;
// Cancel may be called from any thread at any time.
class HttpClient {
 public:
  HttpClient();
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  void ApplyProxy(const ProxyConfig& proxy);
  void ClearProxy();
  ProxyConfig Proxy() const;

  // Readies the client for a new activity after an earlier one was cancelled.
  void Rearm();
  // Both, before a worker's run: the proxy of its requests, and a Stop of
  // an earlier run forgotten.
  void PrepareRun(const ProxyConfig& proxy);
  // Ends the request in progress, and every later one until Rearm(), as
  // Cancelled. Wakes a request blocked while connecting or mid-body.
  void Cancel();
  bool CancelRequested() const { return cancelled_.load(); }

  // Progress of the coming transfer: the bytes expected (a request body's
  // length, the reply's Content-Length, 0 when unknown), then the running
  // count. Called on the thread that runs the request.
  std::function<void(std::int64_t expected)> OnWorkBegin;
  std::function<void(std::int64_t count)> OnWork;

  // GET into `sink`; fails on any status but 2xx and when the body passes
  // `maxBytes`. Accepts http and https addresses.
  HttpResult Get(const std::string& url, ByteSink& sink, std::int64_t maxBytes);
  // GET, the whole body as it came.
  HttpResult GetText(const std::string& url, std::string& body,
                     std::int64_t maxBytes = kMaxServiceReplyBytes);
  // POST of a form; the reply body goes to `reply`.
  HttpResult PostForm(const std::string& url, const MultipartForm& form, std::string& reply,
                      std::int64_t maxBytes = kMaxServiceReplyBytes);

  // A bound on each whole request, for tests only: a broken cancel then
  // fails a test instead of hanging it. Zero (the default) waits for ever.
  void SetRequestTimeoutForTests(std::chrono::milliseconds timeout) { testTimeout_ = timeout; }
  // The certificate authorities trusted for https; empty means the system's.
  // The SSL_CERT_FILE environment variable, read at construction, sets it.
  void SetCertificateAuthorities(std::string file) { caFile_ = std::move(file); }

 private:
  struct Request;
  struct Transfer;
  HttpResult Perform(Request& request);

  struct Cookie {
    std::string domain;  // lower case; `hostOnly` when it came without a Domain
    bool hostOnly = true;
    std::string path;
    std::string name;
    std::string value;
    bool secure = false;
    std::int64_t expires = 0;  // seconds since 1970; 0 = for the session
  };
  void StoreCookie(std::string_view setCookie, const std::string& host,
                   const std::string& requestPath);
  std::string CookieHeaderFor(const std::string& host, const std::string& path, bool https);

  void* multi_ = nullptr;  // CURLM*
  std::atomic<bool> cancelled_{false};
  mutable std::mutex mutex_;  // guards proxy_ and cookies_
  ProxyConfig proxy_;
  std::vector<Cookie> cookies_;
  std::chrono::milliseconds testTimeout_{0};
  std::string caFile_;
};

// Whether `url` is an address the client can send a request to: "http://"
// (or "https://" when allowed), a host, and no byte that could put text into
// the request head (controls, blanks, CR, LF).
bool IsUsableAddress(std::string_view url, bool allowHttps);

}  // namespace quillet

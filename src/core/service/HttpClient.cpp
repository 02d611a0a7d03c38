#include "core/service/HttpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>
#include <optional>

#include "core/platform/Text.h"

namespace quillet {
namespace {

constexpr const char* kAccept = "text/html, */*";
// Connecting waits as long as the operating system lets it; libcurl's own
// default would give up after five minutes.
constexpr long kConnectTimeoutSeconds = 24L * 60 * 60;
// How long one wait for the network lasts before the loop looks again; a
// cancel wakes it at once, so this only bounds a lost wake-up.
constexpr int kPollMilliseconds = 1000;

void InitialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool IsHeadByte(unsigned char c) {
  return c > 0x20 && c != 0x7F;
}

// The parts of an address the request head is made from.
struct Address {
  bool https = false;
  std::string host;  // as written, brackets of an IPv6 literal included
  int port = 80;
  std::string target;  // path and query, "/" at least; the fragment dropped
};

std::optional<Address> ParseAddress(std::string_view url, bool allowHttps) {
  if (url.empty() || !std::all_of(url.begin(), url.end(),
                                  [](char c) { return IsHeadByte(static_cast<unsigned char>(c)); }))
    return std::nullopt;
  Address address;
  const std::string lower = LowerAscii(url.substr(0, 8));
  if (lower.starts_with("http://")) {
    url.remove_prefix(7);
  } else if (allowHttps && lower.starts_with("https://")) {
    url.remove_prefix(8);
    address.https = true;
    address.port = 443;
  } else {
    return std::nullopt;
  }
  const size_t end = url.find_first_of("/?#");
  std::string_view authority = url.substr(0, end);
  std::string_view rest = end == std::string_view::npos ? std::string_view() : url.substr(end);
  // Credentials in the address would become a header of libcurl's own.
  if (authority.empty() || authority.find('@') != std::string_view::npos) return std::nullopt;
  const size_t bracket = authority.rfind(']');
  const size_t colon = authority.rfind(':');
  if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
    std::string_view digits = authority.substr(colon + 1);
    authority = authority.substr(0, colon);
    if (!digits.empty()) {
      int port = 0;
      auto [next, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
      if (error != std::errc() || next != digits.data() + digits.size() || port <= 0 ||
          port > 65535)
        return std::nullopt;
      address.port = port;
    }
  }
  if (authority.empty()) return std::nullopt;
  address.host = std::string(authority);
  rest = rest.substr(0, rest.find('#'));
  address.target =
      rest.empty() || rest.front() != '/' ? "/" + std::string(rest) : std::string(rest);
  return address;
}

std::string HostHeaderValue(const Address& address) {
  const int standard = address.https ? 443 : 80;
  if (address.port == standard) return address.host;
  return address.host + ":" + std::to_string(address.port);
}

std::string Base64(std::string_view bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                       (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                       static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[(v >> 18) & 63];
    out += kDigits[(v >> 12) & 63];
    out += kDigits[(v >> 6) & 63];
    out += kDigits[v & 63];
  }
  if (i < bytes.size()) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kDigits[(v >> 18) & 63];
    out += kDigits[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

// Quotes and line breaks in a file name would end the header line early.
std::string QuotedParameter(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '"')
      out += "%22";
    else if (c == '\r')
      out += "%0D";
    else if (c == '\n')
      out += "%0A";
    else
      out += c;
  }
  return out;
}

std::string_view FileNameOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view TrimmedBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() &&
         (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

class StringSink : public ByteSink {
 public:
  explicit StringSink(std::string& out) : out_(out) { out_.clear(); }
  bool Write(const char* data, std::size_t size) override {
    out_.append(data, size);
    return true;
  }

 private:
  std::string& out_;
};

class CurlHeaders {
 public:
  CurlHeaders() = default;
  ~CurlHeaders() { curl_slist_free_all(list_); }
  CurlHeaders(const CurlHeaders&) = delete;
  CurlHeaders& operator=(const CurlHeaders&) = delete;
  // A header whose value is empty is not sent.
  void Add(std::string_view name, std::string_view value) {
    if (value.empty()) return;
    Append(std::string(name) + ": " + std::string(value));
  }
  // Keeps libcurl from sending a header of its own under this name.
  void Suppress(std::string_view name) { Append(std::string(name) + ":"); }
  curl_slist* List() const { return list_; }

 private:
  void Append(const std::string& line) {
    if (curl_slist* grown = curl_slist_append(list_, line.c_str())) list_ = grown;
  }
  curl_slist* list_ = nullptr;
};

}  // namespace

std::string HttpResult::Description() const {
  switch (kind) {
    case HttpResultKind::Ok:
      return "OK";
    case HttpResultKind::HttpStatus:
      return "HTTP " + std::to_string(status) + (reason.empty() ? "" : " " + reason);
    case HttpResultKind::Network:
      return "connection failed: " + reason;
    case HttpResultKind::LocalWrite:
      return "the reply could not be stored: " + reason;
    case HttpResultKind::Cancelled:
      return "cancelled";
  }
  return reason;
}

bool IsUsableAddress(std::string_view url, bool allowHttps) {
  return ParseAddress(url, allowHttps).has_value();
}

// --- MultipartForm -------------------------------------------------------

MultipartForm::MultipartForm() : boundary_(BoundaryAt(std::chrono::system_clock::now())) {}

MultipartForm::MultipartForm(std::string boundary) : boundary_(std::move(boundary)) {}

std::string MultipartForm::BoundaryAt(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()) % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char digits[32];
  std::snprintf(digits, sizeof digits, "%02d%02d%02d%02d%02d%02d%03d", local.tm_mon + 1,
                local.tm_mday, local.tm_year % 100, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(millis.count() < 0 ? millis.count() + 1000 : millis.count()));
  return "--------" + std::string(digits);
}

void MultipartForm::AddText(std::string name, std::string value) {
  parts_.push_back(Part{std::move(name), std::move(value), false, {}, {}});
}

bool MultipartForm::AddFile(std::string name, const std::string& path, std::string contentType) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::streamoff size = in.tellg();
  if (size < 0) return false;
  std::string bytes(static_cast<size_t>(size), '\0');
  in.seekg(0);
  if (!in.read(bytes.data(), size)) return false;
  parts_.push_back(Part{std::move(name), std::move(bytes), true, std::string(FileNameOf(path)),
                        std::move(contentType)});
  return true;
}

std::string MultipartForm::Body() const {
  // Room for everything at once: growing past a picture's bytes would copy
  // them again and hold twice their size through the transfer.
  std::size_t size = 2 * boundary_.size() + 16;
  for (const Part& part : parts_)
    size += boundary_.size() + part.name.size() + part.fileName.size() + part.contentType.size() +
            part.value.size() + 128;
  std::string body;
  body.reserve(size);
  for (const Part& part : parts_) {
    body += "--" + boundary_ + "\r\n";
    body += "Content-Disposition: form-data; name=\"" + QuotedParameter(part.name) + "\"";
    if (part.file) {
      body += "; filename=\"" + QuotedParameter(part.fileName) + "\"\r\n";
      body += "Content-Type: " + part.contentType + "\r\n";
    } else {
      body += "\r\n";
    }
    body += "\r\n";
    body += part.value;
    body += "\r\n";
  }
  body += "\r\n--" + boundary_ + "--\r\n";
  return body;
}

// --- HttpClient ----------------------------------------------------------

struct HttpClient::Request {
  bool post = false;
  std::string url;
  bool allowHttps = false;
  std::string body;
  std::string boundary;
  ByteSink* sink = nullptr;
  std::int64_t maxBytes = 0;
};

// What the callbacks of one transfer share.
struct HttpClient::Transfer {
  HttpClient* client = nullptr;
  const Request* request = nullptr;
  Address address;
  std::size_t sent = 0;
  int status = 0;
  std::string reason;
  std::int64_t received = 0;
  bool refused = false;  // a final status other than 2xx
  bool tooLong = false;
  bool sinkFailed = false;
  std::int64_t contentLength = -1;

  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static size_t OnSend(char* data, size_t size, size_t count, void* self);
};

size_t HttpClient::Transfer::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto& transfer = *static_cast<Transfer*>(self);
  const std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) {
    // A new response begins: an interim 1xx reply is followed by another.
    transfer.status = 0;
    transfer.reason.clear();
    transfer.contentLength = -1;
    const size_t blank = line.find(' ');
    if (blank != std::string_view::npos) {
      std::string_view rest = line.substr(blank + 1);
      const size_t next = rest.find(' ');
      std::string_view code = rest.substr(0, next);
      std::from_chars(code.data(), code.data() + code.size(), transfer.status);
      if (next != std::string_view::npos) transfer.reason = TrimmedBlanks(rest.substr(next + 1));
    }
    return line.size();
  }
  const std::string_view content = TrimmedBlanks(line);
  if (content.empty()) {
    if (transfer.status >= 100 && transfer.status < 200) return line.size();
    if (transfer.status < 200 || transfer.status > 299) {
      transfer.refused = true;
      return 0;  // the body of a refusal is of no use to anyone
    }
    if (transfer.client->OnWorkBegin)
      transfer.client->OnWorkBegin(transfer.contentLength < 0 ? 0 : transfer.contentLength);
    return line.size();
  }
  const size_t colon = content.find(':');
  if (colon == std::string_view::npos) return line.size();
  const std::string name = LowerAscii(content.substr(0, colon));
  const std::string_view value = TrimmedBlanks(content.substr(colon + 1));
  if (name == "content-length") {
    std::int64_t length = -1;
    auto [next, error] = std::from_chars(value.data(), value.data() + value.size(), length);
    if (error == std::errc() && next == value.data() + value.size())
      transfer.contentLength = length;
  } else if (name == "set-cookie") {
    transfer.client->StoreCookie(value, LowerAscii(transfer.address.host), transfer.address.target);
  }
  return line.size();
}

size_t HttpClient::Transfer::OnBody(char* data, size_t size, size_t count, void* self) {
  auto& transfer = *static_cast<Transfer*>(self);
  const size_t bytes = size * count;
  if (transfer.received + static_cast<std::int64_t>(bytes) > transfer.request->maxBytes) {
    transfer.tooLong = true;
    return 0;
  }
  if (!transfer.request->sink->Write(data, bytes)) {
    transfer.sinkFailed = true;
    return 0;
  }
  transfer.received += static_cast<std::int64_t>(bytes);
  if (transfer.client->OnWork) transfer.client->OnWork(transfer.received);
  return bytes;
}

size_t HttpClient::Transfer::OnSend(char* data, size_t size, size_t count, void* self) {
  auto& transfer = *static_cast<Transfer*>(self);
  const std::string& body = transfer.request->body;
  const size_t bytes = std::min(size * count, body.size() - transfer.sent);
  std::copy_n(body.data() + transfer.sent, bytes, data);
  transfer.sent += bytes;
  if (bytes > 0 && transfer.client->OnWork)
    transfer.client->OnWork(static_cast<std::int64_t>(transfer.sent));
  return bytes;
}

HttpClient::HttpClient() {
  InitialiseCurlOnce();
  multi_ = curl_multi_init();
  if (const char* authorities = std::getenv("SSL_CERT_FILE"); authorities && *authorities)
    caFile_ = authorities;
}

HttpClient::~HttpClient() {
  curl_multi_cleanup(static_cast<CURLM*>(multi_));
}

void HttpClient::ApplyProxy(const ProxyConfig& proxy) {
  std::lock_guard lock(mutex_);
  proxy_ = proxy;
}

void HttpClient::ClearProxy() {
  std::lock_guard lock(mutex_);
  proxy_ = ProxyConfig();
}

ProxyConfig HttpClient::Proxy() const {
  std::lock_guard lock(mutex_);
  return proxy_;
}

void HttpClient::Rearm() {
  cancelled_.store(false);
}

void HttpClient::PrepareRun(const ProxyConfig& proxy) {
  ApplyProxy(proxy);
  Rearm();
}

void HttpClient::Cancel() {
  cancelled_.store(true);
  curl_multi_wakeup(static_cast<CURLM*>(multi_));
}

HttpResult HttpClient::Get(const std::string& url, ByteSink& sink, std::int64_t maxBytes) {
  Request request;
  request.url = url;
  request.allowHttps = true;
  request.sink = &sink;
  request.maxBytes = maxBytes;
  return Perform(request);
}

HttpResult HttpClient::GetText(const std::string& url, std::string& body, std::int64_t maxBytes) {
  StringSink sink(body);
  Request request;
  request.url = url;
  request.sink = &sink;
  request.maxBytes = maxBytes;
  return Perform(request);
}

HttpResult HttpClient::PostForm(const std::string& url, const MultipartForm& form,
                                std::string& reply, std::int64_t maxBytes) {
  StringSink sink(reply);
  Request request;
  request.post = true;
  request.url = url;
  request.body = form.Body();
  request.boundary = form.Boundary();
  request.sink = &sink;
  request.maxBytes = maxBytes;
  return Perform(request);
}

HttpResult HttpClient::Perform(Request& request) {
  if (cancelled_.load()) return {HttpResultKind::Cancelled, 0, {}};
  std::optional<Address> address = ParseAddress(request.url, request.allowHttps);
  if (!address) return {HttpResultKind::Network, 0, "the address cannot be used: " + request.url};

  const ProxyConfig proxy = Proxy();
  const bool viaProxy = !proxy.host.empty();
  // An https request reaches its server through a tunnel: the proxy sees
  // only the CONNECT, with its own credentials.
  const bool plainProxy = viaProxy && !address->https;

  CurlHeaders headers;
  // libcurl puts a Host header given to it right after the request line; an
  // empty one first makes it send none of its own, and the real one then
  // goes out in the program's order.
  headers.Suppress("Host");
  if (request.post) {
    headers.Add(plainProxy ? "Proxy-Connection" : "Connection", "keep-alive");
    headers.Add("Content-Type", "multipart/form-data; boundary=" + request.boundary);
    headers.Add("Content-Length", std::to_string(request.body.size()));
  } else {
    headers.Add("Content-Type", "text/html");
    if (plainProxy) headers.Suppress("Proxy-Connection");
  }
  headers.Add("Host", HostHeaderValue(*address));
  headers.Add("Accept", kAccept);
  headers.Add("User-Agent", kProgramUserAgent);
  if (plainProxy && proxy.basicAuthentication)
    headers.Add("Proxy-Authorization", "Basic " + Base64(proxy.user + ":" + proxy.password));
  headers.Add("Cookie",
              CookieHeaderFor(LowerAscii(address->host), address->target, address->https));
  headers.Suppress("Expect");
  headers.Suppress("Transfer-Encoding");

  Transfer transfer;
  transfer.client = this;
  transfer.request = &request;
  transfer.address = *address;

  CURL* easy = curl_easy_init();
  if (easy == nullptr) return {HttpResultKind::Network, 0, "out of memory"};
  char errorText[CURL_ERROR_SIZE] = {};
  const std::string proxyAddress =
      viaProxy ? "http://" + proxy.host + ":" + std::to_string(proxy.port) : std::string();
  curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, request.allowHttps ? "http,https" : "http");
  curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  if (testTimeout_.count() > 0)
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(testTimeout_.count()));
  // An empty proxy means a direct connection even when http_proxy is set in
  // the environment; an empty exception list keeps no_proxy from sending a
  // request around the proxy the user chose.
  curl_easy_setopt(easy, CURLOPT_PROXY, proxyAddress.c_str());
  curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
  if (viaProxy && address->https) {
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (proxy.basicAuthentication) {
      curl_easy_setopt(easy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
      curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, proxy.user.c_str());
      curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, proxy.password.c_str());
    }
  }
  curl_easy_setopt(easy, CURLOPT_HEADEROPT,
                   address->https ? CURLHEADER_SEPARATE : CURLHEADER_UNIFIED);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.List());
  if (!caFile_.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, caFile_.c_str());
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
  if (request.post) {
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request.body.size()));
    curl_easy_setopt(easy, CURLOPT_READFUNCTION, &Transfer::OnSend);
    curl_easy_setopt(easy, CURLOPT_READDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    if (OnWorkBegin) OnWorkBegin(static_cast<std::int64_t>(request.body.size()));
  } else {
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  }

  auto* multi = static_cast<CURLM*>(multi_);
  curl_multi_add_handle(multi, easy);
  CURLcode code = CURLE_OK;
  bool done = false;
  while (!done && !cancelled_.load()) {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      code = CURLE_OUT_OF_MEMORY;
      break;
    }
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
      if (message->msg == CURLMSG_DONE) {
        code = message->data.result;
        done = true;
      }
    }
    if (done || cancelled_.load()) break;
    curl_multi_poll(multi, nullptr, 0, kPollMilliseconds, nullptr);
  }
  long connectCode = 0;
  curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &connectCode);
  // Removing a transfer before its end closes its connection.
  curl_multi_remove_handle(multi, easy);
  curl_easy_cleanup(easy);

  if (cancelled_.load()) return {HttpResultKind::Cancelled, 0, {}};
  if (transfer.refused) return {HttpResultKind::HttpStatus, transfer.status, transfer.reason};
  if (transfer.tooLong)
    return {HttpResultKind::Network, 0,
            "the reply is longer than " + std::to_string(request.maxBytes) + " bytes"};
  if (transfer.sinkFailed) return {HttpResultKind::LocalWrite, 0, "write failed"};
  if (code == CURLE_OK) return {};
  if (connectCode >= 300) return {HttpResultKind::HttpStatus, static_cast<int>(connectCode), {}};
  return {HttpResultKind::Network, 0, *errorText ? errorText : curl_easy_strerror(code)};
}

// --- Cookies -------------------------------------------------------------

void HttpClient::StoreCookie(std::string_view setCookie, const std::string& host,
                             const std::string& requestPath) {
  Cookie cookie;
  std::string_view rest = setCookie;
  std::string_view pair = rest.substr(0, rest.find(';'));
  const size_t equals = pair.find('=');
  if (equals == std::string_view::npos) return;
  cookie.name = TrimmedBlanks(pair.substr(0, equals));
  cookie.value = TrimmedBlanks(pair.substr(equals + 1));
  if (cookie.name.empty()) return;
  cookie.domain = host;
  const size_t lastSlash = requestPath.substr(0, requestPath.find('?')).rfind('/');
  cookie.path =
      lastSlash == 0 || lastSlash == std::string::npos ? "/" : requestPath.substr(0, lastSlash);
  bool remove = false;
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  bool maxAgeSeen = false;
  for (size_t semicolon = rest.find(';'); semicolon != std::string_view::npos;) {
    rest.remove_prefix(semicolon + 1);
    semicolon = rest.find(';');
    const std::string_view attribute = TrimmedBlanks(rest.substr(0, semicolon));
    const size_t is = attribute.find('=');
    const std::string key = LowerAscii(TrimmedBlanks(attribute.substr(0, is)));
    const std::string value = is == std::string_view::npos
                                  ? std::string()
                                  : std::string(TrimmedBlanks(attribute.substr(is + 1)));
    if (key == "domain" && !value.empty()) {
      std::string domain = LowerAscii(value.front() == '.' ? value.substr(1) : value);
      // A server may widen a cookie to its own domain, never to another.
      if (host != domain && !host.ends_with("." + domain)) return;
      cookie.domain = domain;
      cookie.hostOnly = false;
    } else if (key == "path" && !value.empty() && value.front() == '/') {
      cookie.path = value;
    } else if (key == "secure") {
      cookie.secure = true;
    } else if (key == "max-age") {
      std::int64_t seconds = 0;
      auto [next, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
      if (error == std::errc()) {
        maxAgeSeen = true;
        if (seconds <= 0)
          remove = true;
        else
          cookie.expires = now + seconds;
      }
    } else if (key == "expires" && !maxAgeSeen) {
      const time_t when = curl_getdate(value.c_str(), nullptr);
      if (when != -1) {
        if (when <= now)
          remove = true;
        else
          cookie.expires = when;
      }
    }
  }
  std::lock_guard lock(mutex_);
  std::erase_if(cookies_, [&](const Cookie& old) {
    return old.name == cookie.name && old.domain == cookie.domain && old.path == cookie.path;
  });
  if (!remove) cookies_.push_back(std::move(cookie));
}

std::string HttpClient::CookieHeaderFor(const std::string& host, const std::string& path,
                                        bool https) {
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  std::lock_guard lock(mutex_);
  std::erase_if(cookies_, [now](const Cookie& c) { return c.expires != 0 && c.expires <= now; });
  std::string header;
  for (const Cookie& cookie : cookies_) {
    const bool hostMatches = cookie.hostOnly
                                 ? host == cookie.domain
                                 : host == cookie.domain || host.ends_with("." + cookie.domain);
    const bool pathMatches = path.starts_with(cookie.path) &&
                             (path.size() == cookie.path.size() || cookie.path.back() == '/' ||
                              path[cookie.path.size()] == '/' || path[cookie.path.size()] == '?');
    if (!hostMatches || !pathMatches || (cookie.secure && !https)) continue;
    if (!header.empty()) header += "; ";
    header += cookie.name + "=" + cookie.value;
  }
  return header;
}

}  // namespace quillet

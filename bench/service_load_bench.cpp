// Load on quillet-service: 1000 uploads of a 400 x 400 PNG from 16 clients at
// once over loopback, each a request in the program's own layout (HTTP/1.0,
// a fresh connection, the multipart body it writes). Reports uploads per
// second and latencies, and the same load against a reference server in
// this program that only reads each request and answers it (no decoding, no
// database): the ratio is what the service's own work costs.
//
//   service_load_bench --service PATH [--uploads N] [--clients N]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "core/codecs/Codecs.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string Logo400() {
  // Photographic enough that the PNG is of a realistic size.
  quillet::Bitmap picture(400, 400);
  std::uint32_t state = 12345;
  for (int y = 0; y < 400; ++y) {
    std::uint8_t* row = picture.Row(y);
    for (int x = 0; x < 400; ++x) {
      state = state * 1664525u + 1013904223u;
      const int noise = static_cast<int>(state >> 28) - 8;
      const int dx = x - 200, dy = y - 200;
      const bool disc = dx * dx + dy * dy < 120 * 120;
      row[x * 3 + 0] = static_cast<std::uint8_t>(std::clamp(x * 255 / 400 + noise, 0, 255));
      row[x * 3 + 1] =
          static_cast<std::uint8_t>(std::clamp((disc ? 220 : y * 255 / 400) + noise, 0, 255));
      row[x * 3 + 2] = static_cast<std::uint8_t>(std::clamp((x + y) * 255 / 800 + noise, 0, 255));
    }
  }
  const std::vector<std::uint8_t> bytes = quillet::EncodePng(picture);
  return std::string(bytes.begin(), bytes.end());
}

std::string ProgramRequest(int port, const std::string& bytes) {
  const std::string boundary = "--------121024153045123";
  auto text = [&](const char* name, const char* value) {
    return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
           value + "\r\n";
  };
  const std::string body =
      text("login", "bench") + text("password", "bench-password") + "--" + boundary +
      "\r\nContent-Disposition: form-data; name=\"logofile\"; filename=\"logo.png\"\r\n"
      "Content-Type: image/unknown\r\n\r\n" +
      bytes + "\r\n\r\n--" + boundary + "--\r\n";
  return "POST /upload.php HTTP/1.0\r\nConnection: keep-alive\r\n"
         "Content-Type: multipart/form-data; boundary=" +
         boundary + "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nHost: 127.0.0.1:" + std::to_string(port) +
         "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Indy "
         "Library)\r\n\r\n" +
         body;
}

// One request on a fresh connection; the whole answer, or empty.
std::string Exchange(int port, const std::string& request) {
  const int sock = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval timeout{60, 0};
  ::setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  ::setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
  std::string answer;
  if (::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
    std::size_t sent = 0;
    while (sent < request.size()) {
      const ssize_t n = ::send(sock, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    char buffer[16 * 1024];
    while (true) {
      const ssize_t n = ::recv(sock, buffer, sizeof(buffer), 0);
      if (n <= 0) break;
      answer.append(buffer, static_cast<std::size_t>(n));
    }
  }
  ::close(sock);
  return answer;
}

struct Result {
  int ok = 0;
  int failed = 0;
  double seconds = 0;
  std::vector<double> latencies;  // milliseconds
};

Result Load(int port, int uploads, int clients, const std::string& picture) {
  const std::string request = ProgramRequest(port, picture);
  std::atomic<int> next{0};
  std::vector<std::vector<double>> latencies(static_cast<std::size_t>(clients));
  std::atomic<int> ok{0}, failed{0};
  const auto start = Clock::now();
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      while (next++ < uploads) {
        const auto begin = Clock::now();
        const std::string answer = Exchange(port, request);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
        latencies[static_cast<std::size_t>(c)].push_back(ms);
        const std::size_t body = answer.find("\r\n\r\n");
        if (body != std::string::npos && answer.compare(body + 4, 7, "SUCCESS") == 0)
          ++ok;
        else
          ++failed;
      }
    });
  }
  for (auto& thread : threads)
    thread.join();
  Result result;
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  result.ok = ok;
  result.failed = failed;
  for (auto& list : latencies)
    result.latencies.insert(result.latencies.end(), list.begin(), list.end());
  std::sort(result.latencies.begin(), result.latencies.end());
  return result;
}

double Percentile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0;
  const std::size_t index =
      std::min(sorted.size() - 1, static_cast<std::size_t>(std::ceil(p / 100 * sorted.size())) - 1);
  return sorted[index];
}

// The reference: reads a request's head and its Content-Length bytes and
// answers with a fixed reply, one thread a connection.
class ReferenceServer {
 public:
  ReferenceServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    ::listen(listener_, 128);
    socklen_t length = sizeof(address);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    accepter_ = std::thread([this] { Accept(); });
  }
  ~ReferenceServer() {
    stop_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    accepter_.join();
    ::close(listener_);
  }
  int Port() const { return port_; }

 private:
  void Accept() {
    std::vector<std::thread> connections;
    while (!stop_) {
      pollfd fd{listener_, POLLIN, 0};
      if (::poll(&fd, 1, 100) <= 0) continue;
      const int sock = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (sock < 0) continue;
      connections.emplace_back([sock] { Serve(sock); });
    }
    for (auto& connection : connections)
      connection.join();
  }
  static void Serve(int sock) {
    std::string data;
    char buffer[64 * 1024];
    std::size_t need = std::string::npos;
    while (need == std::string::npos || data.size() < need) {
      const ssize_t n = ::recv(sock, buffer, sizeof(buffer), 0);
      if (n <= 0) break;
      data.append(buffer, static_cast<std::size_t>(n));
      if (need == std::string::npos) {
        const std::size_t end = data.find("\r\n\r\n");
        const std::size_t at = data.find("Content-Length: ");
        if (end != std::string::npos && at != std::string::npos && at < end)
          need = end + 4 + std::stoull(data.substr(at + 16));
      }
    }
    const std::string reply =
        "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 60\r\nConnection: "
        "close\r\n\r\nSUCCESS\r\nhttp://127.0.0.1/?id=AAAAAAAAAAAAAAAAAAAAAA\r\n";
    ::send(sock, reply.data(), reply.size(), MSG_NOSIGNAL);
    ::shutdown(sock, SHUT_WR);
    while (::recv(sock, buffer, sizeof(buffer), 0) > 0) {
    }
    ::close(sock);
  }

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread accepter_;
};

int Run(const std::string& program, const std::vector<std::string>& args, const std::string& in,
        std::string* firstLine, pid_t* keep) {
  int input[2], output[2];
  if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], 0);
  posix_spawn_file_actions_adddup2(&actions, output[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(input[0]);
  ::close(output[1]);
  if (rc != 0) return -1;
  if (!in.empty()) (void)!::write(input[1], in.data(), in.size());
  ::close(input[1]);
  std::string line;
  char c = 0;
  while (::read(output[0], &c, 1) == 1 && c != '\n')
    line.push_back(c);
  ::close(output[0]);
  if (firstLine != nullptr) *firstLine = line;
  if (keep != nullptr) {
    *keep = pid;
    return 0;
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Bytes per second of writes of `chunk`, each made durable with fdatasync
// before the next, in `folder`: what the disk allows a database that syncs
// every commit.
double SyncedWriteRate(const std::filesystem::path& folder, const std::string& chunk, int count) {
  const std::string path = (folder / "synced-write-probe").string();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return 0;
  const auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    if (::write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) break;
    ::fdatasync(fd);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ::close(fd);
  ::unlink(path.c_str());
  return static_cast<double>(chunk.size()) * count / seconds;
}

void Report(const char* what, const Result& result) {
  std::printf(
      "%-34s %8.1f uploads/s   p50 %7.1f ms   p99 %7.1f ms   max %7.1f ms   (%d ok, %d "
      "failed)\n",
      what, result.ok / result.seconds, Percentile(result.latencies, 50),
      Percentile(result.latencies, 99), result.latencies.empty() ? 0 : result.latencies.back(),
      result.ok, result.failed);
}

}  // namespace

int main(int argc, char** argv) {
  std::string service;
  int uploads = 1000, clients = 16;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--service")
      service = argv[i + 1];
    else if (option == "--uploads")
      uploads = std::atoi(argv[i + 1]);
    else if (option == "--clients")
      clients = std::atoi(argv[i + 1]);
  }
  if (service.empty() || uploads < 1 || clients < 1) {
    std::cerr << "usage: service_load_bench --service PATH [--uploads N] [--clients N]\n";
    return 2;
  }
  ::signal(SIGPIPE, SIG_IGN);
  const std::string picture = Logo400();
  const std::filesystem::path data = std::filesystem::temp_directory_path() /
                                     ("quillet-service-bench-" + std::to_string(::getpid()));
  std::filesystem::remove_all(data);

  if (Run(service, {"add-user", "bench", "--data-dir", data.string()}, "bench-password\n", nullptr,
          nullptr) != 0) {
    std::cerr << "cannot add the bench account\n";
    return 1;
  }
  std::string line;
  pid_t pid = -1;
  Run(service,
      {"--data-dir", data.string(), "--listen", "127.0.0.1:0", "--quota", "1000000", "--no-guest"},
      "", &line, &pid);
  const std::size_t at = line.find("127.0.0.1:");
  const int port = at == std::string::npos ? 0 : std::atoi(line.c_str() + at + 10);
  if (port <= 0) {
    std::cerr << "the service did not start: " << line << "\n";
    return 1;
  }

  std::printf("%d uploads of a 400 x 400 PNG (%zu bytes), %d clients at once, loopback\n", uploads,
              picture.size(), clients);
  // The first login pays for Argon2id; the load measures uploads.
  Exchange(port, ProgramRequest(port, picture));
  const Result ours = Load(port, uploads, clients, picture);
  ::kill(pid, SIGTERM);
  int status = 0;
  ::waitpid(pid, &status, 0);
  std::filesystem::remove_all(data);

  Result reference;
  {
    ReferenceServer server;
    reference = Load(server.Port(), uploads, clients, picture);
  }
  Report("quillet-service", ours);
  Report("reference (read and answer only)", reference);
  std::printf("ratio to the reference: throughput %.3f, p99 latency %.2f\n",
              (ours.ok / ours.seconds) / (reference.ok / reference.seconds),
              Percentile(ours.latencies, 99) / Percentile(reference.latencies, 99));
  // Every picture is written twice (the WAL, then the database at a
  // checkpoint) and every commit is synced: the disk sets the ceiling.
  const double synced = SyncedWriteRate(std::filesystem::temp_directory_path(), picture, 100);
  const double ceiling = synced / (2.0 * static_cast<double>(picture.size()));
  std::printf(
      "synced writes of the picture's size here: %.1f MB/s, so at most %.1f uploads/s; "
      "ratio to that ceiling %.2f\n",
      synced / 1e6, ceiling, (ours.ok / ours.seconds) / ceiling);
  return ours.failed == 0 ? 0 : 1;
}

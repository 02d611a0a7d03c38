// The HTTP layer's two figures: how soon a cancel ends a request stalled on
// the network, and how many logo uploads a second reach a loopback server.
// bench/network runs it next to curl posting the same file to the same
// server.
//
//   http_bench serve                 prints the port, answers until killed
//   http_bench cancel N              N cancels of a stalled request
//   http_bench upload FILE N PORT    N uploads of FILE to 127.0.0.1:PORT
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/service/HttpClient.h"

namespace {

using Clock = std::chrono::steady_clock;

int Listen(int& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int yes = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(fd, 64);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return fd;
}

// Reads one request whole; answers it unless `stall`, then closes.
void Answer(int client, bool stall) {
  std::string request;
  char buffer[65536];
  size_t need = std::string::npos;
  while (need == std::string::npos || request.size() < need) {
    ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<size_t>(n));
    const size_t head = request.find("\r\n\r\n");
    if (need == std::string::npos && head != std::string::npos) {
      const char* length = ::strcasestr(request.c_str(), "\r\ncontent-length:");
      need =
          head + 4 +
          (length && length < request.c_str() + head ? std::strtoul(length + 17, nullptr, 10) : 0);
    }
  }
  if (stall) {
    while (::recv(client, buffer, sizeof buffer, 0) > 0) {
    }
  } else {
    static const char kReply[] =
        "HTTP/1.1 200 OK\r\nContent-Length: 40\r\nConnection: close\r\n\r\n"
        "SUCCESS\r\nhttp://127.0.0.1/?id=abcdefgh\r\n";
    (void)!::send(client, kReply, sizeof kReply - 1, MSG_NOSIGNAL);
  }
  ::close(client);
}

int Serve(bool stall, int listener, std::atomic<bool>* stop) {
  while (!stop || !stop->load()) {
    pollfd wait{listener, POLLIN, 0};
    if (::poll(&wait, 1, 100) <= 0) continue;
    int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    if (stall)
      std::thread(Answer, client, true).detach();
    else
      Answer(client, false);
  }
  return 0;
}

quillet::MultipartForm Form(const std::string& file) {
  quillet::MultipartForm form;
  form.AddText("login", "bench");
  form.AddText("password", "bench");
  if (!file.empty() && !form.AddFile("logofile", file, "image/unknown")) {
    std::fprintf(stderr, "cannot read %s\n", file.c_str());
    std::exit(1);
  }
  return form;
}

int Cancels(int count) {
  int port = 0;
  const int listener = Listen(port);
  std::atomic<bool> stop{false};
  std::thread server(Serve, true, listener, &stop);
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/upload.php";
  std::vector<double> latencies;
  quillet::HttpClient client;
  for (int i = 0; i < count; ++i) {
    client.Rearm();
    Clock::time_point ended;
    std::thread request([&] {
      std::string reply;
      client.PostForm(url, Form(""), reply);
      ended = Clock::now();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const Clock::time_point cancelled = Clock::now();
    client.Cancel();
    request.join();
    latencies.push_back(std::chrono::duration<double, std::milli>(ended - cancelled).count());
  }
  stop = true;
  server.join();
  ::close(listener);
  std::sort(latencies.begin(), latencies.end());
  std::printf("cancel latency over %d cancels: median %.3f ms, max %.3f ms\n", count,
              latencies[latencies.size() / 2], latencies.back());
  return 0;
}

int Uploads(const std::string& file, int count, int port) {
  quillet::HttpClient client;
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/upload.php";
  const auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    std::string reply;
    const quillet::HttpResult result = client.PostForm(url, Form(file), reply);
    if (!result.Succeeded()) {
      std::fprintf(stderr, "upload failed: %s\n", result.Description().c_str());
      return 1;
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("%.1f\n", count / seconds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "serve") {
    int port = 0;
    const int listener = Listen(port);
    std::printf("%d\n", port);
    std::fflush(stdout);
    return Serve(false, listener, nullptr);
  }
  if (mode == "cancel") return Cancels(argc > 2 ? std::atoi(argv[2]) : 50);
  if (mode == "upload" && argc > 4) return Uploads(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
  std::fprintf(stderr, "usage: http_bench serve | cancel N | upload FILE N PORT\n");
  return 2;
}

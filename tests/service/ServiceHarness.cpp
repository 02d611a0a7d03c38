#include "ServiceHarness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "core/codecs/Codecs.h"
#include "support/RunProcess.h"
#include "support/TestFailure.h"

extern char** environ;

namespace quillet::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Waits for a child for at most `timeout`; -1 when it is still running.
int WaitFor(pid_t pid, std::chrono::milliseconds timeout) {
  const auto until = Clock::now() + timeout;
  while (true) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (done < 0 && errno != EINTR) return -2;
    if (Clock::now() >= until) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

pid_t Spawn(const std::string& program, std::vector<std::string> argv, int in, int out,
            const std::string& errPath, const std::string& outPath = "") {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (in >= 0)
    posix_spawn_file_actions_adddup2(&actions, in, 0);
  else
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (out >= 0)
    posix_spawn_file_actions_adddup2(&actions, out, 1);
  else
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                   0600);
  argv.insert(argv.begin(), program);
  auto pointers = ArgvPointers(argv);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + program + ": " + std::strerror(rc));
  return pid;
}

std::string TwoDigits(int value) {
  char text[8];
  std::snprintf(text, sizeof(text), "%02d", value % 100);
  return text;
}

}  // namespace

std::vector<std::string> FindAfter(const std::string& text, const std::string& prefix, char end) {
  std::vector<std::string> found;
  for (std::size_t at = text.find(prefix); at != std::string::npos;
       at = text.find(prefix, at + 1)) {
    const std::size_t start = at + prefix.size();
    const std::size_t stop = text.find(end, start);
    if (stop == std::string::npos) break;
    found.push_back(text.substr(start, stop - start));
  }
  return found;
}

ServiceProcess::ServiceProcess(std::vector<std::string> extraArgs, std::string dataDir)
    : dataDir_(dataDir.empty() ? scratch_.Path() + "data" : std::move(dataDir)) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  std::vector<std::string> args{"--data-dir", dataDir_, "--listen", "127.0.0.1:0"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  pid_ = Spawn(QUILLET_SERVICE_PATH, args, -1, pipeFds[1], scratch_.Path() + "log");
  ::close(pipeFds[1]);
  // The first line says where it listens.
  std::string line;
  const auto until = Clock::now() + std::chrono::seconds(30);
  while (line.find('\n') == std::string::npos && Clock::now() < until) {
    pollfd fd{pipeFds[0], POLLIN, 0};
    if (::poll(&fd, 1, 200) <= 0) continue;
    char c = 0;
    if (::read(pipeFds[0], &c, 1) != 1) break;
    line.push_back(c);
  }
  ::close(pipeFds[0]);
  const std::string marker = "http://127.0.0.1:";
  const std::size_t at = line.find(marker);
  if (at != std::string::npos) port_ = std::atoi(line.c_str() + at + marker.size());
  if (port_ <= 0) {
    Kill();
    throw std::runtime_error("quillet-service did not start: \"" + line + "\"\n" + Log());
  }
}

ServiceProcess::~ServiceProcess() {
  if (pid_ > 0) {
    const int status = Stop();
    if (status != 0)
      ReportTestFailure("quillet-service ended with status " + std::to_string(status) + "\n" +
                        Log());
  }
  // The sanitizers report into the log; a report fails the test that ran it.
  const std::string log = Log();
  for (const char* marker : {"Sanitizer", "runtime error:"}) {
    if (log.find(marker) != std::string::npos) {
      ReportTestFailure("quillet-service reported a sanitizer error:\n" + log);
      break;
    }
  }
}

std::string ServiceProcess::Log() const {
  return ReadFileOrEmpty(scratch_.Path() + "log");
}

int ServiceProcess::Stop() {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  int status = WaitFor(pid_, std::chrono::seconds(30));
  if (status == -1) {
    ReportTestFailure("quillet-service did not stop on SIGTERM within 30 s");
    ::kill(pid_, SIGKILL);
    status = WaitFor(pid_, std::chrono::seconds(30));
  }
  pid_ = -1;
  return status;
}

void ServiceProcess::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  WaitFor(pid_, std::chrono::seconds(30));
  pid_ = -1;
}

void ServiceProcess::AddUser(const std::string& name, const std::string& password) const {
  CommandResult result =
      RunCommand(QUILLET_SERVICE_PATH, {"add-user", name, "--data-dir", dataDir_}, password + "\n");
  if (result.exitCode != 0)
    ReportTestFailure("add-user " + name + " failed: " + result.out + result.err);
}

SmtpSink::SmtpSink() {
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  pid_ = Spawn("/usr/bin/python3",
               {std::string(QUILLET_SERVICE_TEST_DIR) + "/smtp_sink.py", folder_.Path()}, in[0],
               out[1], folder_.Path() + "sink.log");
  ::close(in[0]);
  ::close(out[1]);
  input_ = in[1];
  std::string line;
  const auto until = Clock::now() + std::chrono::seconds(30);
  while (line.find('\n') == std::string::npos && Clock::now() < until) {
    pollfd fd{out[0], POLLIN, 0};
    if (::poll(&fd, 1, 200) <= 0) continue;
    char c = 0;
    if (::read(out[0], &c, 1) != 1) break;
    line.push_back(c);
  }
  ::close(out[0]);
  if (line.rfind("port ", 0) == 0) port_ = std::atoi(line.c_str() + 5);
  if (port_ <= 0)
    throw std::runtime_error("the SMTP sink did not start: " +
                             ReadFileOrEmpty(folder_.Path() + "sink.log"));
}

SmtpSink::~SmtpSink() {
  ::close(input_);
  if (WaitFor(pid_, std::chrono::seconds(10)) == -1) {
    ::kill(pid_, SIGKILL);
    WaitFor(pid_, std::chrono::seconds(10));
  }
}

std::vector<std::string> SmtpSink::Messages(std::size_t count, std::chrono::milliseconds timeout) {
  const auto until = Clock::now() + timeout;
  std::vector<std::string> messages;
  while (true) {
    messages.clear();
    for (int i = 1;; ++i) {
      const std::string path = folder_.Path() + "message-" + std::to_string(i) + ".eml";
      if (::access(path.c_str(), R_OK) != 0) break;
      messages.push_back(ReadFileOrEmpty(path));
    }
    if (messages.size() >= count || Clock::now() >= until) return messages;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input) {
  TempDir scratch;
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid =
      Spawn(program, args, pipeFds[0], -1, scratch.Path() + "err", scratch.Path() + "out");
  ::close(pipeFds[0]);
  ::signal(SIGPIPE, SIG_IGN);
  std::size_t done = 0;
  while (done < input.size()) {
    const ssize_t n = ::write(pipeFds[1], input.data() + done, input.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(pipeFds[1]);
  CommandResult result;
  result.exitCode = WaitFor(pid, std::chrono::seconds(120));
  if (result.exitCode == -1) {
    ::kill(pid, SIGKILL);
    WaitFor(pid, std::chrono::seconds(10));
    ReportTestFailure(program + " did not end within 120 s");
  }
  result.out = ReadFileOrEmpty(scratch.Path() + "out");
  result.err = ReadFileOrEmpty(scratch.Path() + "err");
  return result;
}

std::string HttpResponse::Header(const std::string& lowerName) const {
  auto it = headers.find(lowerName);
  return it == headers.end() ? std::string() : it->second;
}

HttpResponse SendRaw(int port, const std::string& request, std::chrono::milliseconds timeout) {
  HttpResponse response;
  const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    ::close(sock);
    return response;
  }
  const auto until = Clock::now() + timeout;
  auto left = [&] {
    return static_cast<int>(std::max<long long>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count()));
  };
  // Send and read at once: a server may answer before it has read it all.
  std::string received;
  std::size_t sent = 0;
  bool sending = true;
  while (left() > 0) {
    pollfd fd{sock, static_cast<short>(POLLIN | (sending ? POLLOUT : 0)), 0};
    if (::poll(&fd, 1, std::min(left(), 1000)) <= 0) continue;
    if ((fd.revents & POLLOUT) != 0 && sending) {
      const ssize_t n = ::send(sock, request.data() + sent,
                               std::min<std::size_t>(request.size() - sent, 64 * 1024),
                               MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) sent += static_cast<std::size_t>(n);
      if (n < 0 && errno != EAGAIN && errno != EINTR) sending = false;
      if (sent == request.size()) sending = false;
    }
    if ((fd.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      char buffer[64 * 1024];
      const ssize_t n = ::recv(sock, buffer, sizeof(buffer), MSG_DONTWAIT);
      if (n > 0) {
        received.append(buffer, static_cast<std::size_t>(n));
        const std::size_t headEnd = received.find("\r\n\r\n");
        if (headEnd != std::string::npos) {
          const std::string head = received.substr(0, headEnd);
          const std::size_t lengthAt = head.find("\nContent-Length: ");
          if (lengthAt != std::string::npos &&
              received.size() >= headEnd + 4 + std::stoull(head.substr(lengthAt + 17)))
            break;
        }
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        break;
      }
    }
  }
  ::close(sock);
  const std::size_t headEnd = received.find("\r\n\r\n");
  if (received.rfind("HTTP/1.", 0) != 0 || headEnd == std::string::npos) return response;
  response.status = std::atoi(received.c_str() + 9);
  std::istringstream head(received.substr(0, headEnd));
  std::string line;
  std::getline(head, line);
  while (std::getline(head, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string name = line.substr(0, colon);
    for (char& c : name)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ')
      value.erase(value.begin());
    response.headers[name] = value;
  }
  response.body = received.substr(headEnd + 4);
  if (!response.Header("content-length").empty())
    response.body.resize(std::min<std::size_t>(response.body.size(),
                                               std::stoull(response.Header("content-length"))));
  return response;
}

HttpResponse Get(int port, const std::string& target) {
  return SendRaw(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                           "\r\nConnection: close\r\n\r\n");
}

ProgramForm::ProgramForm() {
  // mmddyyhhnnsszzz, as the program makes it.
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const int millis = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm local{};
  localtime_r(&seconds, &local);
  char millisText[8];
  std::snprintf(millisText, sizeof(millisText), "%03d", millis);
  boundary_ = "--------" + TwoDigits(local.tm_mon + 1) + TwoDigits(local.tm_mday) +
              TwoDigits(local.tm_year) + TwoDigits(local.tm_hour) + TwoDigits(local.tm_min) +
              TwoDigits(local.tm_sec) + millisText;
}

void ProgramForm::AddText(const std::string& name, const std::string& value) {
  parts_ += "--" + boundary_ + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
            value + "\r\n";
}

void ProgramForm::AddFile(const std::string& name, const std::string& fileName,
                          const std::string& bytes, const std::string& contentType) {
  parts_ += "--" + boundary_ + "\r\nContent-Disposition: form-data; name=\"" + name +
            "\"; filename=\"" + fileName + "\"\r\nContent-Type: " + contentType + "\r\n\r\n" +
            bytes + "\r\n";
}

std::string ProgramForm::Body() const {
  return parts_ + "\r\n--" + boundary_ + "--\r\n";
}

std::string ProgramForm::Request(const std::string& path, int port) const {
  const std::string body = Body();
  return "POST " + path +
         " HTTP/1.0\r\n"
         "Connection: keep-alive\r\n"
         "Content-Type: multipart/form-data; boundary=" +
         boundary_ + "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nHost: 127.0.0.1:" + std::to_string(port) +
         "\r\nAccept: text/html, */*\r\n"
         "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n\r\n" +
         body;
}

std::vector<std::string> ReplyLines(std::string_view body) {
  body = body.substr(0, body.find('\0'));
  std::vector<std::string> lines;
  std::string line;
  bool open = false;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      open = false;
      if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ++i;
    } else {
      line.push_back(c);
      open = true;
    }
  }
  if (open) lines.push_back(line);
  return lines;
}

std::vector<std::string> PostProgramForm(int port, const std::string& path,
                                         const ProgramForm& form) {
  const HttpResponse response = SendRaw(port, form.Request(path, port));
  if (response.status != 200) {
    ReportTestFailure(path + " answered HTTP " + std::to_string(response.status));
    return {};
  }
  return ReplyLines(response.body);
}

ProgramForm UploadForm(const std::string& login, const std::string& password,
                       const std::string& fileName, const std::string& bytes, bool withFakeField) {
  ProgramForm form;
  form.AddText("login", login);
  form.AddText("password", password);
  if (withFakeField) form.AddText("fakefield", "qqq");
  form.AddFile("logofile", fileName, bytes);
  return form;
}

ProgramForm MemberStatusForm(const std::string& login, const std::string& password) {
  ProgramForm form;
  form.AddText("login", login);
  form.AddText("password", password);
  form.AddText("fakefield", "qqq");
  return form;
}

std::string IdOfAddress(const std::string& address) {
  const std::size_t at = address.find("?id=");
  return at == std::string::npos ? std::string() : address.substr(at + 4);
}

std::string SolidPng(int width, int height, unsigned r, unsigned g, unsigned b) {
  const Bitmap picture(width, height,
                       MakeColor(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                 static_cast<std::uint8_t>(b)));
  const std::vector<std::uint8_t> bytes = EncodePng(picture);
  return std::string(bytes.begin(), bytes.end());
}

std::string NoisePng(int width, int height, unsigned seed) {
  Bitmap picture(width, height);
  std::uint32_t state = seed * 2654435761u + 1;
  for (std::size_t i = 0; i < picture.SizeInBytes(); ++i) {
    state = state * 1664525u + 1013904223u;
    picture.Data()[i] = static_cast<std::uint8_t>(state >> 24);
  }
  const std::vector<std::uint8_t> bytes = EncodePng(picture);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace quillet::testing

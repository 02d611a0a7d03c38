#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/TempDir.h"

namespace quillet::testing {

// A real quillet-service process on 127.0.0.1 with a port of its own choosing
// and a fresh data folder (or a given one, to restart on the same data).
class ServiceProcess {
 public:
  explicit ServiceProcess(std::vector<std::string> extraArgs = {}, std::string dataDir = "");
  ~ServiceProcess();
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  int Port() const { return port_; }
  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
  std::string Url(std::string_view path) const { return "http://" + Host() + std::string(path); }
  const std::string& DataDir() const { return dataDir_; }
  pid_t Pid() const { return pid_; }
  // What the service wrote to standard error so far.
  std::string Log() const;

  // SIGTERM and wait; the exit status (128 + signal when killed).
  int Stop();
  // SIGKILL at once, as a crash would.
  void Kill();

  // Adds an account with quillet-service add-user (password on stdin).
  void AddUser(const std::string& name, const std::string& password) const;

 private:
  TempDir scratch_;
  std::string dataDir_;
  pid_t pid_ = -1;
  int port_ = 0;
};

// A real SMTP server (aiosmtpd, tests/service/smtp_sink.py) on 127.0.0.1
// that keeps every message as a file and refuses refused@example.org.
class SmtpSink {
 public:
  SmtpSink();
  ~SmtpSink();
  SmtpSink(const SmtpSink&) = delete;
  SmtpSink& operator=(const SmtpSink&) = delete;

  int Port() const { return port_; }
  std::string Url() const { return "smtp://127.0.0.1:" + std::to_string(port_); }
  // The messages received so far, oldest first, each with the envelope lines
  // in front; waits up to `timeout` for at least `count` of them.
  std::vector<std::string> Messages(std::size_t count = 0,
                                    std::chrono::milliseconds timeout = std::chrono::seconds(20));

 private:
  TempDir folder_;
  pid_t pid_ = -1;
  int input_ = -1;
  int port_ = 0;
};

struct CommandResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};
// Runs a program with `input` on its standard input; bounded in time.
CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = "");

struct HttpResponse {
  int status = 0;                              // 0: no answer at all
  std::map<std::string, std::string> headers;  // names lower-cased
  std::string body;
  std::string Header(const std::string& lowerName) const;
};

// Sends `request` as it stands to 127.0.0.1:port and reads the answer up to
// its Content-Length or the end of the connection. Bounded in time.
HttpResponse SendRaw(int port, const std::string& request,
                     std::chrono::milliseconds timeout = std::chrono::seconds(60));
HttpResponse Get(int port, const std::string& target);

// The program's request layout: an ordered form, posted as HTTP/1.0 with
// its headers in its order and its multipart body, byte for byte.
class ProgramForm {
 public:
  ProgramForm();  // boundary "--------" + fifteen digits
  void AddText(const std::string& name, const std::string& value);
  void AddFile(const std::string& name, const std::string& fileName, const std::string& bytes,
               const std::string& contentType = "image/unknown");
  const std::string& Boundary() const { return boundary_; }
  std::string Body() const;
  std::string Request(const std::string& path, int port) const;

 private:
  std::string boundary_;
  std::string parts_;
};

// A ServiceReply split into lines the way the program splits it.
std::vector<std::string> ReplyLines(std::string_view body);

// Posts the program's form to a script and returns the reply's lines.
std::vector<std::string> PostProgramForm(int port, const std::string& path,
                                         const ProgramForm& form);

// A form as the upload worker builds it.
ProgramForm UploadForm(const std::string& login, const std::string& password,
                       const std::string& fileName, const std::string& bytes,
                       bool withFakeField = true);
ProgramForm MemberStatusForm(const std::string& login, const std::string& password);

// The ID at the end of an upload address ("...?id=ID").
std::string IdOfAddress(const std::string& address);

// A PNG of width x height filled with one colour (R, G, B), from the core's
// own encoder.
std::string SolidPng(int width, int height, unsigned r, unsigned g, unsigned b);
// A PNG of noise, different for every seed.
std::string NoisePng(int width, int height, unsigned seed);

// Every text that follows `prefix` in `text`, up to the next `end`
// character (quote of an attribute, for instance).
std::vector<std::string> FindAfter(const std::string& text, const std::string& prefix, char end);

}  // namespace quillet::testing

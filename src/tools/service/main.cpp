// quillet-service: a local web service that speaks the upload service's
// protocol, for trying the program out, for the tests, and for serving logos
// to phones on a local network.
#include <curl/curl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/platform/Text.h"
#include "tools/service/Config.h"
#include "tools/service/Http.h"
#include "tools/service/Log.h"
#include "tools/service/Passwords.h"
#include "tools/service/Service.h"
#include "tools/service/Store.h"

namespace {

using namespace quillet::service;

constexpr const char* kUsage =
    "usage: quillet-service [serve] [--data-dir DIR] [--listen ADDRESS:PORT]\n"
    "                       [--public-host HOST[:PORT]] [--max-upload SIZE]\n"
    "                       [--current-version TEXT] [--no-guest] [--quota N] [--guest-pool N]\n"
    "                       [--smtp URL [--smtp-user USER] [--smtp-password-file FILE]]\n"
    "                       [--mail-from ADDRESS] [--threads N]\n"
    "       quillet-service add-user NAME [--data-dir DIR]\n"
    "\n"
    "Serves the upload service's scripts and the pages for phones. The data folder\n"
    "defaults to $XDG_DATA_HOME/quillet-service; the service listens on all\n"
    "addresses, port 8711, and hands out addresses with this machine's address on\n"
    "its local network unless --public-host names another. add-user reads the\n"
    "password from the terminal, or the first line of standard input.\n";

std::optional<std::string> Environment(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::string StorePath(const std::string& dataDir) {
  return dataDir + "/quillet-service.db";
}

void PrepareDataDir(const std::string& dataDir) {
  std::error_code error;
  std::filesystem::create_directories(dataDir, error);
  if (error) throw StoreError("cannot make the data folder " + dataDir + ": " + error.message());
  // Password hashes and other people's pictures: for the service's user only.
  ::chmod(dataDir.c_str(), 0700);
}

std::string ReadPassword(const std::string& name) {
  if (::isatty(STDIN_FILENO) == 0) {
    std::string line;
    std::getline(std::cin, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }
  termios saved{};
  ::tcgetattr(STDIN_FILENO, &saved);
  termios quiet = saved;
  quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
  auto ask = [&](const std::string& prompt) {
    std::cerr << prompt << std::flush;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::string line;
    std::getline(std::cin, line);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << '\n';
    return line;
  };
  const std::string first = ask("Password for " + name + ": ");
  const std::string second = ask("The same password again: ");
  if (first != second) throw UsageError("the two passwords differ");
  return first;
}

int AddUser(const std::vector<std::string>& args) {
  std::string name;
  std::vector<std::string> options;
  for (const std::string& arg : args) {
    if (name.empty() && arg.rfind("--", 0) != 0 &&
        (options.empty() || options.back() != "--data-dir"))
      name = arg;
    else
      options.push_back(arg);
  }
  for (const std::string& option : options)
    if (option.rfind("--", 0) == 0 && option.rfind("--data-dir", 0) != 0)
      throw UsageError("add-user takes a name and --data-dir only");
  if (name.empty()) throw UsageError("add-user needs the name of the new account");
  if (quillet::EqualsIgnoringAsciiCase(name, kGuestName))
    throw UsageError("the guest account is made by the service itself");
  if (!IsValidNewAccountName(name))
    throw UsageError(
        "a name has 1 to 32 letters, digits, dots, hyphens or underscores, and "
        "begins with a letter or a digit");
  const ServiceConfig config = ParseServiceOptions(options, Environment);
  const std::string password = ReadPassword(name);
  if (!IsValidNewPassword(password))
    throw UsageError("a password has 4 to 128 characters, none of them a control character");
  PrepareDataDir(config.dataDir);
  Store store(StorePath(config.dataDir));
  if (!store.AddAccount(name, HashPassword(password))) {
    std::cerr << "quillet-service: an account named " << name << " exists already.\n";
    return 1;
  }
  std::cout << "Account " << name << " added.\n";
  return 0;
}

int Serve(const std::vector<std::string>& args) {
  const ServiceConfig config = ParseServiceOptions(args, Environment);

  // The signals are taken by one thread of our own; every thread started
  // from here on inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  PrepareDataDir(config.dataDir);
  Store store(StorePath(config.dataDir));

  Service* service = nullptr;
  HttpLimits limits;
  limits.threads = config.threads;
  HttpServer server(
      limits, [&service](const httplib::Request& request, httplib::Response& response,
                         RequestContext& context) { service->Handle(request, response, context); });
  server.set_logger([](const httplib::Request& request, const httplib::Response& response) {
    // The path only: queries carry passwords.
    Log(request.remote_addr + " " + request.method + " " + request.path + " " +
        std::to_string(response.status) + " " + std::to_string(response.body.size()));
  });

  int port = config.listenPort;
  errno = 0;
  const bool bound = port == 0 ? (port = server.bind_to_any_port(config.listenHost)) > 0
                               : server.bind_to_port(config.listenHost, port);
  if (!bound) {
    std::cerr << "quillet-service: cannot listen on " << config.listenHost << ":"
              << config.listenPort << (errno != 0 ? std::string(": ") + std::strerror(errno) : "")
              << "\n";
    return 1;
  }
  server.WidenBacklog();
  const bool everywhere = config.listenHost == "0.0.0.0" || config.listenHost == "::";
  std::string publicHost = config.publicHost;
  if (publicHost.empty()) {
    publicHost = everywhere ? LocalNetworkAddress() : config.listenHost;
    if (publicHost.find(':') != std::string::npos) publicHost = "[" + publicHost + "]";
    if (port != 80) publicHost += ":" + std::to_string(port);
  }
  Service theService(config, store, publicHost);
  theService.PrepareGuest();
  service = &theService;

  std::atomic<bool> done{false};
  std::thread signals([&] {
    timespec tick{0, 200 * 1000 * 1000};
    while (!done) {
      const int signal = sigtimedwait(&stopSignals, nullptr, &tick);
      if (signal > 0) {
        Log(std::string("stopping on ") + strsignal(signal));
        server.stop();
        return;
      }
    }
  });

  std::string host = config.listenHost.find(':') != std::string::npos
                         ? "[" + config.listenHost + "]"
                         : config.listenHost;
  std::cout << "quillet-service listening on http://" << host << ":" << port << "/";
  if (everywhere)
    std::cout << " (all addresses); addresses handed out begin with http://" << publicHost << "/";
  std::cout << std::endl;
  Log("data in " + config.dataDir + "; addresses begin with http://" + publicHost + "/" +
      (config.relay.url.empty() ? "; no mail relay" : "; mail through the relay"));

  const bool ok = server.listen_after_bind();
  done = true;
  signals.join();
  Log("stopped");
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Before any thread exists, as libcurl asks.
  curl_global_init(CURL_GLOBAL_DEFAULT);
  if (!InitializeCrypto()) {
    std::cerr << "quillet-service: cannot set up the random number source\n";
    return 1;
  }
  std::vector<std::string> args(argv + 1, argv + argc);
  int status = 0;
  try {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
      std::cout << kUsage;
    } else if (!args.empty() && args[0] == "--version") {
      std::cout << "quillet-service " << QUILLET_VERSION << "\n";
    } else if (!args.empty() && args[0] == "add-user") {
      status = AddUser({args.begin() + 1, args.end()});
    } else {
      if (!args.empty() && args[0] == "serve") args.erase(args.begin());
      status = Serve(args);
    }
  } catch (const UsageError& error) {
    std::cerr << "quillet-service: " << error.what() << "\n" << kUsage;
    status = 2;
  } catch (const std::exception& error) {
    std::cerr << "quillet-service: " << error.what() << "\n";
    status = 1;
  }
  curl_global_cleanup();
  return status;
}

#include "core/service/SystemProxy.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace quillet {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

// gsettings prints strings quoted ('proxy.lan') and numbers bare, sometimes
// with their type in front ("uint32 8080").
std::string GSettingsValue(std::string_view printed) {
  printed = Trimmed(printed);
  if (printed.size() >= 2 && printed.front() == '\'' && printed.back() == '\'')
    return std::string(printed.substr(1, printed.size() - 2));
  auto blank = printed.find_last_of(" \t");
  if (blank != std::string_view::npos) printed.remove_prefix(blank + 1);
  return std::string(printed);
}

std::optional<std::string> GSettingsGet(const CommandRunner& runCommand, const char* schema,
                                        const char* key) {
  std::optional<std::string> printed = runCommand({"gsettings", "get", schema, key});
  if (!printed) return std::nullopt;
  return GSettingsValue(*printed);
}

SystemProxy GnomeProxy(const CommandRunner& runCommand) {
  if (!runCommand) return {};
  std::optional<std::string> mode = GSettingsGet(runCommand, "org.gnome.system.proxy", "mode");
  if (!mode || *mode != "manual") return {};
  std::optional<std::string> host = GSettingsGet(runCommand, "org.gnome.system.proxy.http", "host");
  if (!host || host->empty()) return {};
  std::optional<std::string> port = GSettingsGet(runCommand, "org.gnome.system.proxy.http", "port");
  if (!port || port->empty() || *port == "0") port = std::string(kDefaultProxyPort);
  return SystemProxy{*host, *port};
}

std::optional<std::string> RealEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return std::string(value);
}

std::string ReadAll(int fd) {
  std::string output;
  char buffer[4096];
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    output.append(buffer, static_cast<std::size_t>(got));
  }
  return output;
}

// Runs the command without a shell, its error output discarded.
std::optional<std::string> RunProgram(const std::vector<std::string>& command) {
  if (command.empty()) return std::nullopt;
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  std::vector<char*> argv;
  for (const std::string& word : command)
    argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    return std::nullopt;
  }
  std::string output = ReadAll(pipeFds[0]);
  ::close(pipeFds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return std::nullopt;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return output;
}

}  // namespace

SystemProxy ParseProxySetting(std::string_view setting) {
  setting = Trimmed(setting);
  if (auto scheme = setting.find("://"); scheme != std::string_view::npos)
    setting.remove_prefix(scheme + 3);
  setting = setting.substr(0, setting.find('/'));
  if (auto at = setting.rfind('@'); at != std::string_view::npos) setting.remove_prefix(at + 1);
  std::string_view host = setting;
  std::string_view port;
  // An IPv6 address keeps its brackets; its colons are not the port's.
  std::size_t hostEnd = setting.starts_with('[') ? setting.find(']') : 0;
  if (hostEnd == std::string_view::npos) hostEnd = 0;
  if (auto colon = setting.find(':', hostEnd); colon != std::string_view::npos) {
    host = setting.substr(0, colon);
    port = setting.substr(colon + 1);
  }
  if (host.empty()) return {};
  if (port.empty()) port = kDefaultProxyPort;
  return SystemProxy{std::string(host), std::string(port)};
}

SystemProxy ReadSystemProxyWith(const EnvironmentLookup& environment,
                                const CommandRunner& runCommand) {
  for (const char* name : {"http_proxy", "HTTP_PROXY"}) {
    std::optional<std::string> value = environment ? environment(name) : std::nullopt;
    if (value && !Trimmed(*value).empty()) return ParseProxySetting(*value);
  }
  return GnomeProxy(runCommand);
}

SystemProxy ReadSystemProxy() {
  return ReadSystemProxyWith(RealEnvironment, RunProgram);
}

}  // namespace quillet

#include "tools/service/Config.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <limits>

namespace quillet::service {
namespace {

std::int64_t ParseCount(const std::string& option, const std::string& text, std::int64_t low,
                        std::int64_t high) {
  if (text.empty() || text.size() > 12 || !std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
      }))
    throw UsageError(option + " needs a whole number, not \"" + text + "\"");
  const std::int64_t value = std::stoll(text);
  if (value < low || value > high)
    throw UsageError(option + " must lie between " + std::to_string(low) + " and " +
                     std::to_string(high));
  return value;
}

std::int64_t ParseSize(const std::string& option, const std::string& text) {
  std::size_t digits = 0;
  while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])))
    ++digits;
  std::string unit = text.substr(digits);
  for (char& c : unit)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::int64_t scale = 0;
  if (unit.empty() || unit == "b") scale = 1;
  if (unit == "k" || unit == "kib" || unit == "kb") scale = 1024;
  if (unit == "m" || unit == "mib" || unit == "mb") scale = 1024 * 1024;
  if (digits == 0 || digits > 10 || scale == 0)
    throw UsageError(option + " needs a size such as 5M or 300K, not \"" + text + "\"");
  const std::int64_t value = std::stoll(text.substr(0, digits)) * scale;
  if (value < 1 || value > (1LL << 30))
    throw UsageError(option + " must lie between 1 byte and 1 GiB");
  return value;
}

void ParseListen(const std::string& text, ServiceConfig& config) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos)
    throw UsageError("--listen needs ADDRESS:PORT, not \"" + text + "\"");
  std::string host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  if (host.empty()) host = "0.0.0.0";
  config.listenHost = host;
  config.listenPort = static_cast<int>(ParseCount("--listen", text.substr(colon + 1), 0, 65535));
}

void CheckPublicHost(const std::string& host) {
  if (host.empty() || host.size() > 255) throw UsageError("--public-host needs HOST[:PORT]");
  for (char c : host) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F || c == '/' || c == '?' || c == '#' || c == '@' || c == '\\')
      throw UsageError("--public-host takes a host name and a port only, such as 192.168.1.5:8711");
  }
}

std::string FirstLine(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw UsageError("cannot read the SMTP password file " + path);
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

std::string DefaultDataDir(const EnvironmentLookup& environment) {
  if (auto xdg = environment("XDG_DATA_HOME"); xdg && !xdg->empty() && xdg->front() == '/')
    return *xdg + "/quillet-service";
  const std::string home = environment("HOME").value_or("");
  if (home.empty()) throw UsageError("no HOME to keep the data in; give --data-dir DIR");
  return home + "/.local/share/quillet-service";
}

ServiceConfig ParseServiceOptions(const std::vector<std::string>& args,
                                  const EnvironmentLookup& environment) {
  ServiceConfig config;
  std::string passwordFile;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string option = args[i];
    std::optional<std::string> inlineValue;
    if (option.rfind("--", 0) == 0) {
      if (const std::size_t equals = option.find('='); equals != std::string::npos) {
        inlineValue = option.substr(equals + 1);
        option = option.substr(0, equals);
      }
    }
    auto value = [&]() -> std::string {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= args.size()) throw UsageError(option + " needs a value");
      return args[++i];
    };
    if (option == "--data-dir") {
      config.dataDir = value();
      if (config.dataDir.empty()) throw UsageError("--data-dir needs a folder");
    } else if (option == "--listen") {
      ParseListen(value(), config);
    } else if (option == "--public-host") {
      config.publicHost = value();
      CheckPublicHost(config.publicHost);
    } else if (option == "--max-upload") {
      config.maxUpload = ParseSize(option, value());
    } else if (option == "--current-version") {
      config.currentVersion = value();
    } else if (option == "--no-guest" && !inlineValue) {
      config.guest = false;
    } else if (option == "--smtp") {
      config.relay.url = value();
      if (config.relay.url.rfind("smtp://", 0) != 0 && config.relay.url.rfind("smtps://", 0) != 0)
        throw UsageError("--smtp needs an address such as smtp://mail.example.org:25");
    } else if (option == "--smtp-user") {
      config.relay.user = value();
    } else if (option == "--smtp-password-file") {
      passwordFile = value();
    } else if (option == "--mail-from") {
      config.relay.from = value();
      if (!IsPlausibleMailAddress(config.relay.from))
        throw UsageError("--mail-from needs an e-mail address");
    } else if (option == "--quota") {
      config.quota = ParseCount(option, value(), 1, 1000000);
    } else if (option == "--guest-pool") {
      config.guestPool = ParseCount(option, value(), 1, 1000000);
    } else if (option == "--threads") {
      config.threads = static_cast<int>(ParseCount(option, value(), 1, 256));
    } else {
      throw UsageError("unknown option " + args[i]);
    }
  }
  if (config.dataDir.empty()) config.dataDir = DefaultDataDir(environment);
  if (!passwordFile.empty())
    config.relay.password = FirstLine(passwordFile);
  else if (auto password = environment("QUILLET_SMTP_PASSWORD"))
    config.relay.password = *password;
  if (config.relay.from.empty()) config.relay.from = "quillet-service@localhost";
  return config;
}

std::string DescribeBytes(std::int64_t bytes) {
  if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0)
    return std::to_string(bytes / (1024 * 1024)) + " MiB";
  if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes / 1024) + " KiB";
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::string LocalNetworkAddress() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return "127.0.0.1";
  std::string privateAddress, otherAddress;
  for (ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
    if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) continue;
    if ((it->ifa_flags & IFF_UP) == 0 || (it->ifa_flags & IFF_LOOPBACK) != 0) continue;
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
    const std::uint32_t a = ntohl(v4->sin_addr.s_addr);
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &v4->sin_addr, text, sizeof(text));
    const bool isPrivate =
        (a >> 24) == 10 || (a >> 20) == ((172u << 4) | 1u) || (a >> 16) == ((192u << 8) | 168u);
    if (isPrivate && privateAddress.empty()) privateAddress = text;
    if (!isPrivate && otherAddress.empty() && (a >> 16) != ((169u << 8) | 254u))
      otherAddress = text;
  }
  freeifaddrs(list);
  if (!privateAddress.empty()) return privateAddress;
  if (!otherAddress.empty()) return otherAddress;
  return "127.0.0.1";
}

}  // namespace quillet::service

#include "core/service/UploadAddress.h"

#include <algorithm>

#include "core/logodir/LogoTree.h"
#include "core/platform/Text.h"

namespace quillet {

std::string ImageIdOf(std::string_view address) {
  const size_t question = address.find('?');
  const size_t start = question == std::string_view::npos ? 3 : question + 4;
  return start >= address.size() ? std::string() : std::string(address.substr(start));
}

std::string HostOf(std::string_view address) {
  const size_t scheme = address.find("://");
  if (scheme == std::string_view::npos) return {};
  std::string_view rest = address.substr(scheme + 3);
  return std::string(rest.substr(0, rest.find_first_of("/?#")));
}

std::string GuestRootOf(std::string_view address) {
  return "http://" + HostOf(address) + "/guest/";
}

bool IsGuestAddress(std::string_view address) {
  if (HostOf(address).empty()) return false;
  const std::string root = GuestRootOf(address);
  return address.size() >= root.size() &&
         EqualsIgnoringAsciiCase(address.substr(0, root.size()), root);
}

bool IsGuestLogin(std::string_view login) {
  return EqualsIgnoringAsciiCase(login, "guest");
}

std::string QueryValue(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                       (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                       byte == '~';
    if (plain) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    }
  }
  return out;
}

std::string FullAddress(std::string_view address, std::string_view login,
                        std::string_view password) {
  std::string full(address);
  if (!login.empty()) full += "&login=" + QueryValue(login);
  if (!password.empty()) full += "&password=" + QueryValue(password);
  return full;
}

UploadPanelTexts PanelTextsFor(std::string_view address, std::string_view login,
                               std::string_view password) {
  UploadPanelTexts texts;
  if (address.empty()) return texts;
  if (IsGuestAddress(address)) {
    texts.fullUrl = address;
    texts.shortUrl = address.substr(0, address.find('?'));
  } else {
    texts.fullUrl = FullAddress(address, login, password);
    texts.shortUrl = address;
  }
  texts.imageId = ImageIdOf(address);
  return texts;
}

UploadPanelTexts UploadedPanelTexts(std::string_view address, std::string_view login,
                                    std::string_view password) {
  UploadPanelTexts texts;
  texts.imageId = ImageIdOf(address);
  if (IsGuestLogin(login)) {
    texts.fullUrl = address;
    texts.shortUrl = address.substr(0, address.find('?'));
  } else {
    texts.shortUrl = address;
    texts.fullUrl = FullAddress(address, login, password);
  }
  return texts;
}

std::string MobileUrlFor(std::string_view address, std::string_view login,
                         std::string_view password) {
  if (IsGuestLogin(login)) return GuestRootOf(address);
  return "http://" + HostOf(address) + "/?login=" + QueryValue(login) +
         "&password=" + QueryValue(password);
}

namespace {

void ForgetIn(LogoNode& node, std::vector<std::string>& lines) {
  for (int i = 0; i < node.ChildCount() && !lines.empty(); ++i) {
    LogoNode& child = *node.ChildAt(i);
    std::string& address = child.Data().uploadurl;
    if (child.IsLogo() && !address.empty()) {
      auto line = std::find_if(lines.begin(), lines.end(), [&](const std::string& candidate) {
        return EqualsIgnoringAsciiCase(candidate, address);
      });
      if (line != lines.end()) {
        address.clear();
        lines.erase(line);
      }
    }
    ForgetIn(child, lines);
  }
}

}  // namespace

void ForgetAddresses(LogoTree& tree, std::vector<std::string> lines) {
  if (lines.empty()) return;
  ForgetIn(tree.Root(), lines);
}

}  // namespace quillet

#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillet {

class LogoTree;

// What the upload panel shows for a logo's upload address.
struct UploadPanelTexts {
  std::string shortUrl;
  std::string fullUrl;
  std::string imageId;
};

// The image ID of an address: what follows its first "?" and the three
// characters after it ("?id="); with no "?", the text from its fourth
// character.
std::string ImageIdOf(std::string_view address);

// The host of an address, with its port: "http://host:port/..." gives
// "host:port".
std::string HostOf(std::string_view address);

// The service answers a guest's upload with "http://" + host + "/guest/?id="
// + ID: the guest root URL is "http://" + host + "/guest/", the root of the
// host the address names.
std::string GuestRootOf(std::string_view address);
// Whether the address begins with the guest root of its own host, letter
// case ignored.
bool IsGuestAddress(std::string_view address);
bool IsGuestLogin(std::string_view login);

// A value put into an address's query: everything but letters, digits and
// "-._~" percent-encoded, so that a password holding "&" or "#" arrives whole.
std::string QueryValue(std::string_view text);

// The address followed by the credentials, each only when not empty.
std::string FullAddress(std::string_view address, std::string_view login,
                        std::string_view password);

// The panel for a logo shown with its stored address (empty: all empty).
UploadPanelTexts PanelTextsFor(std::string_view address, std::string_view login,
                               std::string_view password);

// The panel right after an upload that answered `address`; the login in use
// decides how it is shown.
UploadPanelTexts UploadedPanelTexts(std::string_view address, std::string_view login,
                                    std::string_view password);

// The address the hint dialog offers for the phone's favourites: the
// account's page, or the guests' page for the guest.
std::string MobileUrlFor(std::string_view address, std::string_view login,
                         std::string_view password);

// Clears the upload address of the logos named in `lines` (letter case
// ignored): walking the tree depth-first, parent before children, each line
// clears the first logo that holds it, once.
void ForgetAddresses(LogoTree& tree, std::vector<std::string> lines);

}  // namespace quillet

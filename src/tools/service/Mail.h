#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace quillet::service {

// The SMTP relay the service hands its mail to.
struct MailRelay {
  std::string url;  // smtp://host[:port] or smtps://host[:port]
  std::string user;
  std::string password;
  std::string from;  // the envelope and From address
};

struct MailOutcome {
  enum class Kind { Sent, RecipientRefused, RelayFailed } kind = Kind::Sent;
  std::string detail;  // for the log
};

// An address the service is willing to hand to a relay: one mailbox, a local
// part and a domain with a dot, no blanks, controls or list separators.
bool IsPlausibleMailAddress(std::string_view address);

// Text from the program is single-byte text: valid UTF-8 stays as it is,
// anything else is read as Latin-1.
std::string ToUtf8(std::string_view text);

// The recommendation as a whole message (headers and a quoted-printable
// body), lines ending in CR LF.
std::string ComposeRecommendation(const MailRelay& relay, std::string_view recipient,
                                  std::string_view senderName, std::string_view comments,
                                  std::string_view link, std::time_t now);

// Sends one message to one recipient with libcurl. Blocks for at most about
// half a minute.
MailOutcome SendMail(const MailRelay& relay, std::string_view recipient,
                     const std::string& message);

}  // namespace quillet::service

#include "tools/service/Mail.h"

#include <curl/curl.h>
#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace quillet::service {
namespace {

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    std::uint32_t value = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      length = 2;
      value = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3;
      value = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4;
      value = c & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      value = (value << 6) | (next & 0x3F);
    }
    static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
      return false;
    i += length;
  }
  return true;
}

// One line of a header value: controls (CR and LF above all) become blanks,
// so nothing typed into a form can add a header of its own.
std::string HeaderSafe(std::string_view text, std::size_t maxBytes) {
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    out.push_back(u < 0x20 || u == 0x7F ? ' ' : c);
  }
  if (out.size() > maxBytes) {
    out.resize(maxBytes);
    // Never cut a UTF-8 sequence in two.
    while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80)
      out.pop_back();
    if (!out.empty() && static_cast<unsigned char>(out.back()) >= 0xC0) out.pop_back();
  }
  return out;
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string Base64(std::string_view bytes) {
  std::vector<char> out(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL));
  sodium_bin2base64(out.data(), out.size(), reinterpret_cast<const unsigned char*>(bytes.data()),
                    bytes.size(), sodium_base64_VARIANT_ORIGINAL);
  return out.data();
}

// RFC 2047 for a header text that is not plain ASCII.
std::string EncodedWord(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  return "=?UTF-8?B?" + Base64(text) + "?=";
}

// Quoted-printable (RFC 2045) of text whose lines end in CR LF.
std::string QuotedPrintable(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  std::size_t column = 0;
  auto emit = [&](std::string_view piece) {
    if (column + piece.size() > 75) {
      out += "=\r\n";
      column = 0;
    }
    out += piece;
    column += piece.size();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      out += "\r\n";
      column = 0;
      ++i;
      continue;
    }
    const bool lineEnds = i + 1 == text.size() || text[i + 1] == '\r';
    const bool literal =
        (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !lineEnds);
    if (literal) {
      const char one[1] = {static_cast<char>(c)};
      emit(std::string_view(one, 1));
    } else {
      const char escaped[3] = {'=', kHex[c >> 4], kHex[c & 15]};
      emit(std::string_view(escaped, 3));
    }
  }
  return out;
}

// Any line ending (CR LF, lone CR, lone LF) becomes CR LF.
std::string CrLfLines(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text[i] == '\n') {
      out += "\r\n";
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::string MailDate(std::time_t now) {
  std::tm utc{};
  gmtime_r(&now, &utc);
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[64];
  std::snprintf(text, sizeof(text), "%s, %02d %s %04d %02d:%02d:%02d +0000", kDays[utc.tm_wday],
                utc.tm_mday, kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min,
                utc.tm_sec);
  return text;
}

struct Upload {
  const std::string* message;
  std::size_t offset = 0;
};

size_t ReadMessage(char* buffer, size_t size, size_t count, void* user) {
  auto* upload = static_cast<Upload*>(user);
  const std::size_t n = std::min(size * count, upload->message->size() - upload->offset);
  std::memcpy(buffer, upload->message->data() + upload->offset, n);
  upload->offset += n;
  return n;
}

}  // namespace

bool IsPlausibleMailAddress(std::string_view address) {
  if (address.empty() || address.size() > 254) return false;
  const std::size_t at = address.rfind('@');
  if (at == 0 || at == std::string_view::npos || at + 1 >= address.size()) return false;
  if (address.find('@') != at) return false;
  for (char c : address) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F || std::strchr("<>()[]\\,;:\"", c) != nullptr) return false;
  }
  const std::string_view domain = address.substr(at + 1);
  const std::size_t dot = domain.find('.');
  return dot != std::string_view::npos && dot != 0 && domain.back() != '.' &&
         domain.find("..") == std::string_view::npos;
}

std::string ToUtf8(std::string_view text) {
  if (IsValidUtf8(text)) return std::string(text);
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (u >> 6)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
  return out;
}

std::string ComposeRecommendation(const MailRelay& relay, std::string_view recipient,
                                  std::string_view senderName, std::string_view comments,
                                  std::string_view link, std::time_t now) {
  const std::string name = HeaderSafe(ToUtf8(senderName), 120);
  unsigned char random[12];
  randombytes_buf(random, sizeof(random));
  std::string messageId;
  for (unsigned char b : random) {
    static constexpr char kHex[] = "0123456789abcdef";
    messageId.push_back(kHex[b >> 4]);
    messageId.push_back(kHex[b & 15]);
  }
  std::string text;
  text += "Hello!\r\n\r\n";
  text += "This message was sent to you on behalf of\r\n" + name + ".\r\n";
  text += "We want to introduce you \"Quillet\" - application\r\n";
  text += "which lets you turn any picture from a web page in your\r\n";
  text += "browser into a logo or background on your mobile\r\n";
  text += "phone in three clicks without cables or SMS services.\r\n";
  text += "\"Quillet\" is the easiest and fastest way to get picture\r\n";
  text += "you like on your mobile phone!\r\n\r\n";
  const std::string comment = CrLfLines(ToUtf8(comments));
  if (!comment.empty()) {
    text += name + " adds:\r\n\r\n" + comment + "\r\n\r\n";
  }
  text += "You can download it at address " + std::string(link) + "\r\n\r\n";
  text += "With best regards from \"Quillet\" developers!\r\n";

  std::string message;
  message += "From: Quillet <" + relay.from + ">\r\n";
  message += "To: <" + std::string(recipient) + ">\r\n";
  message += "Subject: " + EncodedWord(name + " recommends Quillet") + "\r\n";
  message += "Date: " + MailDate(now) + "\r\n";
  message += "Message-ID: <" + messageId + "@quillet-service>\r\n";
  message += "MIME-Version: 1.0\r\n";
  message += "Content-Type: text/plain; charset=utf-8\r\n";
  message += "Content-Transfer-Encoding: quoted-printable\r\n";
  message += "\r\n";
  message += QuotedPrintable(text);
  return message;
}

MailOutcome SendMail(const MailRelay& relay, std::string_view recipient,
                     const std::string& message) {
  MailOutcome outcome;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) {
    outcome.kind = MailOutcome::Kind::RelayFailed;
    outcome.detail = "cannot start a mail transfer";
    return outcome;
  }
  char error[CURL_ERROR_SIZE] = "";
  const std::string from = "<" + relay.from + ">";
  curl_slist* recipients = curl_slist_append(nullptr, ("<" + std::string(recipient) + ">").c_str());
  Upload upload{&message};
  curl_easy_setopt(curl, CURLOPT_URL, relay.url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  // The environment's all_proxy must not divert the mail.
  curl_easy_setopt(curl, CURLOPT_PROXY, "");
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 10L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.c_str());
  curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadMessage);
  curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
  curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
  if (!relay.user.empty()) {
    curl_easy_setopt(curl, CURLOPT_USERNAME, relay.user.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, relay.password.c_str());
    // Credentials only over an encrypted connection.
    curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
  } else {
    curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
  }
  const CURLcode rc = curl_easy_perform(curl);
  if (rc != CURLE_OK) {
    outcome.detail = error[0] != '\0' ? error : curl_easy_strerror(rc);
    // libcurl says "RCPT failed: <code>" when the relay refuses the address.
    outcome.kind = outcome.detail.rfind("RCPT failed", 0) == 0 ? MailOutcome::Kind::RecipientRefused
                                                               : MailOutcome::Kind::RelayFailed;
  }
  curl_slist_free_all(recipients);
  curl_easy_cleanup(curl);
  return outcome;
}

}  // namespace quillet::service

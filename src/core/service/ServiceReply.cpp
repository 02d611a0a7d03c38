#include "core/service/ServiceReply.h"

#include "core/platform/Text.h"

namespace quillet {

std::vector<std::string> ServiceReplyLines(std::string_view body) {
  body = body.substr(0, body.find('\0'));
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '\r' && body[i] != '\n') continue;
    lines.emplace_back(body.substr(start, i - start));
    if (body[i] == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < body.size()) lines.emplace_back(body.substr(start));
  return lines;
}

ReplyStatus StatusOfReply(const std::vector<std::string>& lines) {
  if (lines.empty()) return ReplyStatus::Unknown;
  const std::string word = UpperAscii(lines.front());
  if (word == "SUCCESS") return ReplyStatus::Success;
  if (word == "MESSAGE") return ReplyStatus::Message;
  if (word == "ERROR") return ReplyStatus::Error;
  return ReplyStatus::Unknown;
}

std::string NotUnderstoodReplyText(const std::vector<std::string>& lines) {
  std::string first = lines.empty() ? std::string() : lines.front();
  if (first.size() > 80) first = first.substr(0, 80) + "...";
  return "The server's answer could not be understood (\"" + first +
         "\"). Please check the server addresses and try again later.";
}

}  // namespace quillet

#include "core/service/FriendMessage.h"

#include "core/platform/Text.h"

namespace quillet {

std::vector<std::string> RecommendationLines(std::string_view rootUrl) {
  // Several lines end in a blank: the text reads as one paragraph when the
  // lines are run together.
  return {
      "",
      "Hello!",
      "",
      "This message was sent to you on behalf of ",
      "<<YOUR NAME WILL BE HERE>>.",
      "We want to introduce you \"Quillet\" - application ",
      "which lets you turn any picture from the HTML page in your ",
      "Internet Explorer into a logo or background on your mobile ",
      "phone in three clicks without cables or SMS services.",
      "\"Quillet\" is the easiest and fastest way to get picture ",
      "you like on your mobile phone!",
      "You can download it at address " + std::string(rootUrl),
      "",
      "With best regards from \"Quillet\" developers!",
  };
}

std::string RootUrlOf(std::string_view host) {
  return "http://" + std::string(host) + "/";
}

bool RecipientAddressLooksValid(std::string_view address) {
  const std::size_t at = address.find('@');
  if (at == std::string_view::npos) return false;
  return address.find('.', at) != std::string_view::npos;
}

std::string JoinCommentLines(const std::vector<std::string>& lines) {
  std::string joined;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) joined += "\r\n";
    joined += lines[i];
  }
  return joined;
}

}  // namespace quillet

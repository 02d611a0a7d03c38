#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// The recommendation the send-to-friend dialog shows, line by line: fourteen
// lines, the twelfth ending in `rootUrl`. Only the user sees it; the service
// writes the message it sends itself.
std::vector<std::string> RecommendationLines(std::string_view rootUrl);

// "http://" + host + "/": the address of a web host's front page.
std::string RootUrlOf(std::string_view host);

// The recipient address has the form the service can send to: not empty,
// with an "@" and a "." somewhere after the first "@".
bool RecipientAddressLooksValid(std::string_view address);

// The comment as the service receives it: its lines joined by CR LF.
std::string JoinCommentLines(const std::vector<std::string>& lines);

inline constexpr const char* kWrongRecipientAddressMessage =
    "Wrong format of recipient address. Please check it and try again.";
inline constexpr const char* kEmptySenderNameMessage =
    "\"Your Name\" field cannot be empty. Please fill it in and try again.";

}  // namespace quillet

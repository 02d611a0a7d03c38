#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// The answer of the service's scripts, split into lines: a line ends at
// CR LF, a lone CR or a lone LF; a break at the very end adds no empty line;
// a NUL ends the text; an empty body has no lines.
std::vector<std::string> ServiceReplyLines(std::string_view body);

enum class ReplyStatus { Success, Message, Error, Unknown };

// Line 1, compared after upper-casing ASCII letters; Unknown for no lines.
ReplyStatus StatusOfReply(const std::vector<std::string>& lines);

inline constexpr const char* kWrongLoginCode = "WRONG_LOGIN_OR_PASSWORD";
inline constexpr const char* kNotConfirmedCode = "USER_IS_NOT_CONFIRMED";
inline constexpr const char* kCouldNotSendMailCode = "COULD_NOT_SEND_MAIL";

// What an answer whose first line is no status word becomes: the program
// shows it as the service's error rather than taking it for a success.
std::string NotUnderstoodReplyText(const std::vector<std::string>& lines);

}  // namespace quillet

#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace quillet {

inline constexpr std::string_view kApplicationTitle = "Quillet";

// An error that ends the current operation and reaches the program-wide
// error report; what() is the English text shown to the user.
class QuilletError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The text of the program-wide error report: a period is added when the last
// character sorts after "." (so "...failed" gets one, "...failed." and
// "(code 5)" do not).
std::string ErrorReportText(std::string_view text);

}  // namespace quillet

#include "core/app/ErrorReport.h"

namespace quillet {

std::string ErrorReportText(std::string_view text) {
  std::string result(text);
  if (!result.empty() && static_cast<unsigned char>(result.back()) > '.') result += '.';
  return result;
}

}  // namespace quillet

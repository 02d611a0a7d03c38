#pragma once

#include <string_view>

namespace quillet::service {

// One line to standard error with the time in front, whole even when
// several threads log at once. Nothing that a client sent as a password or a
// query is ever passed here.
void Log(std::string_view line);

}  // namespace quillet::service

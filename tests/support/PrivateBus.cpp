#include "support/PrivateBus.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace quillet::testing {

void RerunOnPrivateBus(int argc, char** argv) {
  if (std::getenv("QUILLET_TEST_PRIVATE_BUS") != nullptr) return;
  ::setenv("QUILLET_TEST_PRIVATE_BUS", "1", 1);
  ::setenv("XDG_DATA_HOME", "/nonexistent/quillet-private-bus", 1);
  std::vector<char*> arguments = {const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
  for (int i = 0; i < argc; ++i)
    arguments.push_back(argv[i]);
  arguments.push_back(nullptr);
  ::execvp("dbus-run-session", arguments.data());
  std::perror("dbus-run-session");
  std::exit(1);
}

}  // namespace quillet::testing

#pragma once

#include <string>
#include <vector>

namespace quillet::testing {

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs a program with the given arguments (no shell), standard input empty,
// and collects its exit status and both output streams. `environment` holds
// extra "NAME=value" entries; "NAME=" removes NAME.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& environment = {});

// The words as the null-ended array of pointers that exec and posix_spawn
// take; valid while `words` is unchanged.
std::vector<char*> ArgvPointers(std::vector<std::string>& words);

#ifdef QUILLET_CLI_PATH
// The built quillet-cli.
inline ProcessResult RunCli(const std::vector<std::string>& args,
                            const std::vector<std::string>& environment = {"QUILLET_HOME="}) {
  return RunProcess(QUILLET_CLI_PATH, args, environment);
}
#endif

}  // namespace quillet::testing

#include "support/RunProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/TempDir.h"

extern char** environ;

namespace quillet::testing {
namespace {

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& changes) {
  std::vector<std::string> merged;
  for (char** e = environ; *e != nullptr; ++e)
    merged.emplace_back(*e);
  for (const std::string& change : changes) {
    std::string name = change.substr(0, change.find('=') + 1);
    std::erase_if(merged, [&](const std::string& entry) { return entry.rfind(name, 0) == 0; });
    if (change.size() > name.size()) merged.push_back(change);
  }
  return merged;
}

}  // namespace

std::vector<char*> ArgvPointers(std::vector<std::string>& words) {
  std::vector<char*> pointers;
  for (std::string& word : words)
    pointers.push_back(word.data());
  pointers.push_back(nullptr);
  return pointers;
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& environment) {
  // Output goes through files: no pipe can fill up and block the child.
  TempDir scratch;
  std::string outPath = scratch.Path() + "out", errPath = scratch.Path() + "err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> env = MergedEnvironment(environment);
  auto argvPointers = ArgvPointers(argv);
  auto envPointers = ArgvPointers(env);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argvPointers.data(),
                       envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + program + ": " + std::strerror(rc));
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    // Only an interruption is worth a retry; anything else would spin here.
    if (errno != EINTR)
      throw std::runtime_error("cannot wait for " + program + ": " + std::strerror(errno));
  }
  ProcessResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = scratch.Read("out");
  result.err = scratch.Read("err");
  return result;
}

}  // namespace quillet::testing

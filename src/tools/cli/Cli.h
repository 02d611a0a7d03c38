#pragma once

#include <iosfwd>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Prompts.h"

namespace quillet::cli {

// Command-line words after the command name: "--name value" and "-x value"
// options (named "name" and "x") and positional arguments, in order.
class Args {
 public:
  // `optionsWithValue` names the options that take a value; any other "--x" is
  // an error. Throws UsageError.
  Args(const std::vector<std::string>& words, const std::vector<std::string>& optionsWithValue);

  std::optional<std::string> Option(std::string_view name) const;
  bool Has(std::string_view name) const { return Option(name).has_value(); }
  const std::vector<std::string>& Positional() const { return positional_; }

 private:
  std::map<std::string, std::string, std::less<>> options_;
  std::vector<std::string> positional_;
};

// A wrong command line; main prints it with the usage and exits 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Messages the program would show, printed on stderr as "<Caption>: <text>".
// Questions are answered No / Cancel: a checker never changes anything.
class StderrPrompts : public Prompts {
 public:
  explicit StderrPrompts(std::ostream& out) : out_(out) {}
  Answer Message(MessageKind kind, std::string_view text, Buttons buttons) override;
  std::optional<std::string> Input(std::string_view caption, std::string_view prompt,
                                   std::string_view initial) override;

 private:
  std::ostream& out_;
};

// JSON text of a string, with quotes and escapes.
std::string JsonString(std::string_view text);

// The program folder for a command: --data-dir, QUILLET_HOME, or the folder
// of quillet-cli itself (where the shipped data files are).
std::string ProgramFolderFor(const Args& args);

// Every command: words after the command name; returns the exit status.
int RunCatalogue(const std::vector<std::string>& words);
int RunParameters(const std::vector<std::string>& words);
int RunOptions(const std::vector<std::string>& words);
int RunLogoDir(const std::vector<std::string>& words);
int RunAppState(const std::vector<std::string>& words);
int RunFrame(const std::vector<std::string>& words);
int RunRender(const std::vector<std::string>& words);
int RunResample(const std::vector<std::string>& words);
int RunEncode(const std::vector<std::string>& words);
int RunTransform(const std::vector<std::string>& words);
int RunInfo(const std::vector<std::string>& words);
int RunUpload(const std::vector<std::string>& words);

}  // namespace quillet::cli

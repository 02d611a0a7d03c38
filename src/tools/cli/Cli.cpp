#include "tools/cli/Cli.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "core/app/ProgramFolder.h"

namespace quillet::cli {

Args::Args(const std::vector<std::string>& words,
           const std::vector<std::string>& optionsWithValue) {
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    bool longOption = word.size() > 2 && word.rfind("--", 0) == 0;
    bool shortOption = word.size() == 2 && word[0] == '-' &&
                       ((word[1] >= 'a' && word[1] <= 'z') || (word[1] >= 'A' && word[1] <= 'Z'));
    if (!longOption && !shortOption) {
      positional_.push_back(word);
      continue;
    }
    std::string name = word.substr(longOption ? 2 : 1);
    if (std::find(optionsWithValue.begin(), optionsWithValue.end(), name) ==
        optionsWithValue.end())
      throw UsageError("unknown option " + word);
    if (i + 1 >= words.size()) throw UsageError("option " + word + " needs a value");
    options_[name] = words[++i];
  }
}

std::optional<std::string> Args::Option(std::string_view name) const {
  auto it = options_.find(name);
  if (it == options_.end()) return std::nullopt;
  return it->second;
}

Answer StderrPrompts::Message(MessageKind kind, std::string_view text, Buttons buttons) {
  out_ << CaptionOf(kind) << ": " << text << '\n';
  switch (buttons) {
    case Buttons::Ok:
      return Answer::Ok;
    case Buttons::YesNo:
      return Answer::No;
    case Buttons::YesNoCancel:
      return Answer::Cancel;
  }
  return Answer::Ok;
}

std::optional<std::string> StderrPrompts::Input(std::string_view caption, std::string_view prompt,
                                                std::string_view) {
  out_ << caption << ": " << prompt << '\n';
  return std::nullopt;
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string ProgramFolderFor(const Args& args) { return ResolveProgramFolder(args.Option("data-dir")); }

}  // namespace quillet::cli

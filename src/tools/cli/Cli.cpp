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
    if (std::find(optionsWithValue.begin(), optionsWithValue.end(), name) == optionsWithValue.end())
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

namespace {

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0.
size_t Utf8SequenceLength(std::string_view text) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(0);
  size_t length = lead < 0x80                    ? 1
                  : lead >= 0xC2 && lead <= 0xDF ? 2
                  : (lead & 0xF0) == 0xE0        ? 3
                  : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                 : 0;
  if (length == 0 || length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i)
    if ((byte(i) & 0xC0) != 0x80) return 0;
  // No overlong forms, no surrogates, nothing past U+10FFFF.
  if (lead == 0xE0 && byte(1) < 0xA0) return 0;
  if (lead == 0xED && byte(1) >= 0xA0) return 0;
  if (lead == 0xF0 && byte(1) < 0x90) return 0;
  if (lead == 0xF4 && byte(1) >= 0x90) return 0;
  return length;
}

}  // namespace

// A file read without a declared encoding may hold bytes that are not UTF-8
// (a catalogue saved as Latin-1); each such byte becomes U+FFFD so that the
// output is always valid JSON.
std::string JsonString(std::string_view text) {
  std::string out = "\"";
  while (!text.empty()) {
    size_t length = Utf8SequenceLength(text);
    if (length == 0) {
      out += "\\ufffd";
      text.remove_prefix(1);
      continue;
    }
    if (length > 1) {
      out += text.substr(0, length);
      text.remove_prefix(length);
      continue;
    }
    unsigned char c = static_cast<unsigned char>(text.front());
    text.remove_prefix(1);
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

std::string ProgramFolderFor(const Args& args) {
  return ResolveProgramFolder(args.Option("data-dir"));
}

}  // namespace quillet::cli

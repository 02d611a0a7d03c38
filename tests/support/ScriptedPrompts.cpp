#include "support/ScriptedPrompts.h"

#include "support/TestFailure.h"

namespace quillet::testing {

Answer ScriptedPrompts::Message(MessageKind kind, std::string_view text, Buttons buttons) {
  shown_.push_back({std::string(CaptionOf(kind)), std::string(text)});
  if (buttons == Buttons::Ok) return Answer::Ok;
  if (answers_.empty()) {
    ReportTestFailure("unscripted question: " + std::string(text));
    return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
  }
  Answer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

std::optional<std::string> ScriptedPrompts::Input(std::string_view caption, std::string_view prompt,
                                                  std::string_view initial) {
  inputPrompts_.push_back(std::string(caption) + "|" + std::string(prompt) + "|" +
                          std::string(initial));
  if (inputs_.empty()) {
    ReportTestFailure("unscripted input box: " + std::string(caption));
    return std::nullopt;
  }
  auto typed = inputs_.front();
  inputs_.pop_front();
  return typed;
}

std::vector<std::string> ScriptedPrompts::Lines() const {
  std::vector<std::string> lines;
  for (const auto& shown : shown_)
    lines.push_back(shown.caption + ": " + shown.text);
  return lines;
}

}  // namespace quillet::testing

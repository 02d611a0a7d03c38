#include "support/ScriptedPrompts.h"

#include <gtest/gtest.h>

namespace quillet::testing {

Answer ScriptedPrompts::Message(MessageKind kind, std::string_view text, Buttons buttons) {
  shown_.push_back({std::string(CaptionOf(kind)), std::string(text)});
  if (buttons == Buttons::Ok) return Answer::Ok;
  if (answers_.empty()) {
    ADD_FAILURE() << "unscripted question: " << text;
    return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
  }
  Answer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

std::optional<std::string> ScriptedPrompts::Input(std::string_view caption,
                                                  std::string_view prompt,
                                                  std::string_view initial) {
  inputPrompts_.push_back(std::string(caption) + "|" + std::string(prompt) + "|" +
                          std::string(initial));
  if (inputs_.empty()) {
    ADD_FAILURE() << "unscripted input box: " << caption;
    return std::nullopt;
  }
  auto typed = inputs_.front();
  inputs_.pop_front();
  return typed;
}

std::vector<std::string> ScriptedPrompts::Lines() const {
  std::vector<std::string> lines;
  for (const auto& shown : shown_) lines.push_back(shown.caption + ": " + shown.text);
  return lines;
}

}  // namespace quillet::testing

#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/Prompts.h"

namespace quillet::testing {

// A Prompts that records every message and input box and answers from
// scripted queues. An unscripted question fails the test that asked it.
class ScriptedPrompts : public Prompts {
 public:
  struct Shown {
    std::string caption;
    std::string text;
  };

  Answer Message(MessageKind kind, std::string_view text, Buttons buttons) override;
  std::optional<std::string> Input(std::string_view caption, std::string_view prompt,
                                   std::string_view initial) override;

  void QueueAnswer(Answer answer) { answers_.push_back(answer); }
  void QueueInput(std::optional<std::string> typed) { inputs_.push_back(std::move(typed)); }

  const std::vector<Shown>& Messages() const { return shown_; }
  // "<Caption>: <text>" of every message, in order.
  std::vector<std::string> Lines() const;
  const std::vector<std::string>& InputPrompts() const { return inputPrompts_; }
  void Clear() {
    shown_.clear();
    inputPrompts_.clear();
  }

 private:
  std::vector<Shown> shown_;
  std::vector<std::string> inputPrompts_;
  std::deque<Answer> answers_;
  std::deque<std::optional<std::string>> inputs_;
};

}  // namespace quillet::testing

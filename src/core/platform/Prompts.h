#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// The kinds of message box the program shows; each has its fixed caption.
enum class MessageKind { Error, Warning, Information, Confirm, ErrorReport };
enum class Buttons { Ok, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

// Caption of a message box of the given kind ("Error", "Warning",
// "Information", "Confirm"; the program-wide error report uses the title).
std::string_view CaptionOf(MessageKind kind);

// Every message the program shows to the user goes through this interface,
// so that the core never depends on a windowing toolkit and tests can answer
// and record every prompt.
class Prompts {
 public:
  virtual ~Prompts() = default;

  virtual Answer Message(MessageKind kind, std::string_view text, Buttons buttons) = 0;
  // A modal input box; nullopt when the user cancels.
  virtual std::optional<std::string> Input(std::string_view caption, std::string_view prompt,
                                           std::string_view initial) = 0;

  void Error(std::string_view text) { Message(MessageKind::Error, text, Buttons::Ok); }
  void Warning(std::string_view text) { Message(MessageKind::Warning, text, Buttons::Ok); }
  void Information(std::string_view text) {
    Message(MessageKind::Information, text, Buttons::Ok);
  }
  // The program-wide error report: the text gets its closing period here.
  void ReportError(std::string_view text);
  bool ConfirmYesNo(std::string_view text) {
    return Message(MessageKind::Confirm, text, Buttons::YesNo) == Answer::Yes;
  }
  Answer ConfirmYesNoCancel(std::string_view text) {
    return Message(MessageKind::Confirm, text, Buttons::YesNoCancel);
  }
};

// A Prompts that shows nothing and answers No/Cancel; for code paths that
// must not talk to the user.
class SilentPrompts : public Prompts {
 public:
  Answer Message(MessageKind, std::string_view, Buttons buttons) override {
    return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
  }
  std::optional<std::string> Input(std::string_view, std::string_view,
                                   std::string_view) override {
    return std::nullopt;
  }
};

}  // namespace quillet

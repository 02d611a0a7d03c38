#pragma once

#include <QPointer>
#include <QWidget>

#include "core/platform/Prompts.h"

namespace quillet {

// Message boxes and input boxes of the running program: the kind gives the
// caption and the icon; the buttons read "OK", "&Yes", "&No" and "Cancel".
class QtPrompts : public Prompts {
 public:
  explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}

  Answer Message(MessageKind kind, std::string_view text, Buttons buttons) override;
  std::optional<std::string> Input(std::string_view caption, std::string_view prompt,
                                   std::string_view initial) override;

  void SetParent(QWidget* parent) { parent_ = parent; }

 private:
  // Guarded: the parent window may go before the prompts object.
  QPointer<QWidget> parent_;
};

}  // namespace quillet

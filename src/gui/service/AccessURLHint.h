#pragma once

#include <string>

#include "gui/service/ServiceDialog.h"

class QCheckBox;

namespace quillet {

class TOptionsForm;
class TQRCodeView;

// Shown after a successful upload: the address through which the phone finds
// the recently uploaded pictures, as text and as a QR code to scan. "Close"
// stores "Show this dialog box again" in the options and writes them at
// once; Escape and the close box change nothing.
class TAccessURLHintForm : public TServiceDialog {
  Q_OBJECT

 public:
  explicit TAccessURLHintForm(TOptionsForm& options, QWidget* parent = nullptr);

  // Shows the dialog modally with `mobileUrl`.
  void Execute(const std::string& mobileUrl);

  QLabel* TitleLabel = nullptr;
  QLabel* HintLabel = nullptr;
  QLineEdit* MobileURL = nullptr;
  TQRCodeView* MobileURLQRCode = nullptr;
  QCheckBox* ShowAgainCheckBox = nullptr;
  QPushButton* CloseButton = nullptr;

 private:
  void FormShow();
  void CloseButtonClick();

  TOptionsForm& options_;
};

}  // namespace quillet

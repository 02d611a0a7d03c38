#include "gui/service/AccessURLHint.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/service/QRCodeView.h"
#include "gui/settings/OptionsForm.h"

namespace quillet {

using namespace servicedialog;

namespace {

// Large enough for a phone to read from across a desk: a login address
// needs a code of about 40 modules with its quiet zone.
constexpr int kQRCodeSide = 200;
constexpr int kTextCharacters = 52;

}  // namespace

TAccessURLHintForm::TAccessURLHintForm(TOptionsForm& options, QWidget* parent)
    : TServiceDialog(parent), options_(options) {
  setObjectName(QStringLiteral("AccessURLHintForm"));
  setWindowTitle(QStringLiteral("Access URL Hint"));

  TitleLabel = NewBoldLabel(QStringLiteral("Image successfully uploaded"), "TitleLabel", this);
  HintLabel = Named(new QLabel(QStringLiteral("The easiest and fastest way to access your recently "
                                              "uploaded pictures from mobile phone is to add the "
                                              "following URL to your WAP browser favourites list"),
                               this),
                    "HintLabel");
  HintLabel->setTextFormat(Qt::PlainText);
  HintLabel->setWordWrap(true);
  const int textWidth = std::max(kQRCodeSide, TextWidth(*HintLabel, kTextCharacters));
  HintLabel->setFixedWidth(textWidth);

  MobileURL = Named(new QLineEdit(this), "MobileURL");
  MobileURL->setReadOnly(true);
  MobileURL->setFixedWidth(textWidth);
  MobileURLQRCode = Named(new TQRCodeView(this), "MobileURLQRCode");
  MobileURLQRCode->setFixedSize(kQRCodeSide, kQRCodeSide);

  ShowAgainCheckBox =
      Named(new QCheckBox(QStringLiteral("Show this dialog box again"), this), "ShowAgainCheckBox");
  CloseButton = NewButton(QStringLiteral("Close"), "CloseButton", this);
  CloseButton->setDefault(true);
  connect(CloseButton, &QPushButton::clicked, this, &TAccessURLHintForm::CloseButtonClick);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ShowAgainCheckBox);
  buttons->addStretch(1);
  buttons->addWidget(CloseButton);

  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addWidget(TitleLabel);
  layout->addWidget(HintLabel);
  layout->addWidget(MobileURL);
  layout->addWidget(MobileURLQRCode, 0, Qt::AlignHCenter);
  layout->addLayout(buttons);
}

void TAccessURLHintForm::Execute(const std::string& mobileUrl) {
  const QString address = QString::fromStdString(mobileUrl);
  MobileURL->setText(address);
  MobileURLQRCode->SetText(address);
  FormShow();
  exec();
}

void TAccessURLHintForm::FormShow() {
  ShowAgainCheckBox->setChecked(options_.Current().enableaccesshint);
  // Ready for Ctrl+C, and scrolled to the start of the address; Enter still
  // closes, the field being read-only.
  const int length = static_cast<int>(MobileURL->text().size());
  MobileURL->setSelection(length, -length);
  MobileURL->setFocus(Qt::OtherFocusReason);
}

void TAccessURLHintForm::CloseButtonClick() {
  options_.Edit().enableaccesshint = ShowAgainCheckBox->isChecked();
  options_.ApplyToControls();
  options_.SaveCurrent();
  accept();
}

}  // namespace quillet

// The two credential prompts: the service login and the proxy user.
#include "gui/service/CredentialsForm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/service/LinkLabel.h"
#include "gui/settings/OptionsForm.h"

namespace quillet {

using namespace servicedialog;

namespace {

// Room for an ordinary account name or password without scrolling.
constexpr int kFieldCharacters = 22;

QString FromStd(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

TCredentialsForm::TCredentialsForm(const char* caption, const char* nameLabel,
                                   const char* nameField, const char* passwordLabel,
                                   const char* passwordField, QWidget* parent)
    : TServiceDialog(parent) {
  setWindowTitle(QString::fromLatin1(caption));

  NameEdit = Named(new QLineEdit(this), nameField);
  PasswordEdit = NewPasswordEdit(passwordField, this);
  NameEdit->setMinimumWidth(TextWidth(*NameEdit, kFieldCharacters));
  PasswordEdit->setMinimumWidth(TextWidth(*PasswordEdit, kFieldCharacters));
  auto* nameCaption = new QLabel(QString::fromLatin1(nameLabel), this);
  auto* passwordCaption = new QLabel(QString::fromLatin1(passwordLabel), this);
  nameCaption->setBuddy(NameEdit);
  passwordCaption->setBuddy(PasswordEdit);
  auto* fields = new QGridLayout;
  fields->addWidget(nameCaption, 0, 0);
  fields->addWidget(NameEdit, 0, 1);
  fields->addWidget(passwordCaption, 1, 0);
  fields->addWidget(PasswordEdit, 1, 1);
  fields->setColumnStretch(1, 1);

  OKButton = NewButton(QStringLiteral("OK"), "OKButton", this);
  CancelButton = NewButton(QStringLiteral("Cancel"), "CancelButton", this);
  OKButton->setDefault(true);
  buttonRow_ = new QHBoxLayout;
  buttonRow_->addStretch(1);
  buttonRow_->addWidget(OKButton);
  buttonRow_->addWidget(CancelButton);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addLayout(fields);
  layout->addSpacing(4);
  layout->addLayout(buttonRow_);
  setTabOrder(NameEdit, PasswordEdit);
}

std::optional<Credentials> TCredentialsForm::Ask(const Credentials& current) {
  NameEdit->setText(FromStd(current.name));
  PasswordEdit->setText(FromStd(current.password));
  // The keyboard starts where something is missing.
  QLineEdit* first = current.name.empty() || !current.password.empty() ? NameEdit : PasswordEdit;
  first->selectAll();
  first->setFocus(Qt::OtherFocusReason);
  if (exec() != QDialog::Accepted) return std::nullopt;
  return Credentials{NameEdit->text().toStdString(), PasswordEdit->text().toStdString()};
}

TSysAuthForm::TSysAuthForm(std::function<void()> openRegisterPage, QWidget* parent)
    : TCredentialsForm("System Authorization", "Login", "Login", "Password", "Password", parent),
      openRegisterPage_(std::move(openRegisterPage)) {
  setObjectName(QStringLiteral("SysAuthForm"));
  Login = NameEdit;
  Password = PasswordEdit;
  RegisterLabel = Named(new TLinkLabel(QStringLiteral("Register"), true, this), "RegisterLabel");
  RegisterLabel->setToolTip(QStringLiteral("Open the registration page of the service"));
  ButtonRow()->insertWidget(0, RegisterLabel, 0, Qt::AlignVCenter);
  connect(RegisterLabel, &TLinkLabel::Clicked, this, &TSysAuthForm::RegisterLabelClick);
  setTabOrder(PasswordEdit, OKButton);
  setTabOrder(OKButton, CancelButton);
  setTabOrder(CancelButton, RegisterLabel);
}

void TSysAuthForm::RegisterLabelClick() {
  if (openRegisterPage_) openRegisterPage_();
}

TProxyAuthForm::TProxyAuthForm(QWidget* parent)
    : TCredentialsForm("Proxy Authentication", "Proxy User", "ProxyLogin", "Proxy Password",
                       "ProxyPassword", parent) {
  setObjectName(QStringLiteral("ProxyAuthForm"));
  ProxyLogin = NameEdit;
  ProxyPassword = PasswordEdit;
}

namespace {

// Each OK is kept at once, in the options window too, so that the options
// dialog shows and a Cancel of it re-reads what the prompt stored.
std::function<void()> SaverOf(TOptionsForm& options) {
  return [&options] {
    options.ApplyToControls();
    options.SaveCurrent();
  };
}

}  // namespace

bool EnsureServiceLogin(TOptionsForm& options, TSysAuthForm& prompt) {
  return EnsureServiceLogin(
      options.Edit(), [&prompt](const Credentials& current) { return prompt.Ask(current); },
      SaverOf(options));
}

bool EnsureProxyLogin(TOptionsForm& options, TProxyAuthForm& prompt) {
  return EnsureProxyLogin(
      options.Edit(), [&prompt](const Credentials& current) { return prompt.Ask(current); },
      SaverOf(options));
}

}  // namespace quillet

#pragma once

#include <functional>
#include <optional>

#include "core/service/Credentials.h"
#include "gui/service/ServiceDialog.h"

class QHBoxLayout;

namespace quillet {

class TLinkLabel;
class TOptionsForm;

// A credential prompt: an account name, its password (shown as stars), OK
// and Cancel. What the fields hold on OK is the answer; Cancel, Escape and
// the close box answer nothing.
class TCredentialsForm : public TServiceDialog {
  Q_OBJECT

 public:
  // Fills the fields with `current`, shows the prompt modally and returns
  // the two fields when the user chose OK, nullopt otherwise.
  std::optional<Credentials> Ask(const Credentials& current);

  QLineEdit* NameEdit = nullptr;
  QLineEdit* PasswordEdit = nullptr;
  QPushButton* OKButton = nullptr;
  QPushButton* CancelButton = nullptr;

 protected:
  TCredentialsForm(const char* caption, const char* nameLabel, const char* nameField,
                   const char* passwordLabel, const char* passwordField, QWidget* parent);

  // Left of OK and Cancel, for what a prompt adds.
  QHBoxLayout* ButtonRow() const { return buttonRow_; }

 private:
  QHBoxLayout* buttonRow_ = nullptr;
};

// The service login, asked for before an upload or a send when the options
// hold none: "Login" and "Password", and a "Register" link for a user who
// has no account yet; the link leaves the prompt open.
class TSysAuthForm : public TCredentialsForm {
  Q_OBJECT

 public:
  // `openRegisterPage` opens the service's registration page in the browser.
  explicit TSysAuthForm(std::function<void()> openRegisterPage, QWidget* parent = nullptr);

  QLineEdit* Login = nullptr;
  QLineEdit* Password = nullptr;
  TLinkLabel* RegisterLabel = nullptr;

 private:
  void RegisterLabelClick();

  std::function<void()> openRegisterPage_;
};

// The user and password of a proxy that requires authentication.
class TProxyAuthForm : public TCredentialsForm {
  Q_OBJECT

 public:
  explicit TProxyAuthForm(QWidget* parent = nullptr);

  QLineEdit* ProxyLogin = nullptr;
  QLineEdit* ProxyPassword = nullptr;
};

// The loops of the two prompts over the options window: every OK stores the
// fields in the options, shows them in the options window and writes
// "options.xml" at once. False when the user cancels.
bool EnsureServiceLogin(TOptionsForm& options, TSysAuthForm& prompt);
bool EnsureProxyLogin(TOptionsForm& options, TProxyAuthForm& prompt);

}  // namespace quillet

#pragma once

#include <functional>
#include <string>

#include "core/platform/Prompts.h"
#include "gui/service/ServiceDialog.h"

class QPlainTextEdit;
class QTextEdit;

namespace quillet {

class TLinkLabel;

// "Send application link to friend": the recommendation as the friend will
// read it, a link to the service's front page, the user's comment and the
// recipient's address, and for the guest account the sender's name. OK
// checks the address (and the guest's name) and stays open with a warning
// until they will do. What was typed stays for the next showing.
class TSendToFriendForm : public TServiceDialog {
  Q_OBJECT

 public:
  // How much taller the window is while it asks for the guest's name.
  static constexpr int kSenderNameHeight = 40;

  // `openWebPage` opens an address in the browser.
  TSendToFriendForm(Prompts& prompts, std::function<void(const std::string&)> openWebPage,
                    QWidget* parent = nullptr);

  // Shows the dialog modally for the guest account or another, with the
  // front page `rootUrl`; true when it was closed with OK.
  bool Execute(bool guest, const std::string& rootUrl);

  // The comment, its lines joined by CR LF.
  std::string Comments() const;
  std::string RecipientAddress() const;
  // As typed: empty unless typed while the guest account was in use.
  std::string SenderName() const;

  QTextEdit* MessageTextMemo = nullptr;
  TLinkLabel* RootURLLabel = nullptr;
  QLabel* SenderCommentsLabel = nullptr;
  QPlainTextEdit* SenderCommentsMemo = nullptr;
  QLabel* RecipientAddressLabel = nullptr;
  QLineEdit* RecipientAddressEdit = nullptr;
  QWidget* SenderNamePanel = nullptr;
  QLabel* SenderNameLabel = nullptr;
  QLineEdit* SenderNameEdit = nullptr;
  QPushButton* OKButton = nullptr;
  QPushButton* CancelButton = nullptr;

 private:
  void FormShow(bool guest, const std::string& rootUrl);
  void FitPreview();
  void FormClose();
  void ShowSenderName(bool shown);
  void OKButtonClick();
  void RootURLLabelClick();

  Prompts& prompts_;
  std::function<void(const std::string&)> openWebPage_;
  std::string rootUrl_;
  bool guest_ = false;
};

}  // namespace quillet

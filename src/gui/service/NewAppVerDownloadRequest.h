#pragma once

#include <string>

#include "gui/service/ServiceDialog.h"

namespace quillet {

// "New Version Download": tells the user that the service offers another
// version than this one and asks whether to download it now.
class TNewAppVerDownloadRequestForm : public TServiceDialog {
  Q_OBJECT

 public:
  explicit TNewAppVerDownloadRequestForm(QWidget* parent = nullptr);

  // Shows the dialog modally with the version text the service sent; true
  // when the user answers Yes.
  bool Ask(const std::string& version);

  // The version text as the service sent it. The label shows it whole when
  // it is one short line; anything longer (a server's error page, say) is
  // cut to one line ending in "…", and the label's tool tip holds it all.
  const QString& Version() const { return version_; }

  QLabel* NewVersionLabel = nullptr;
  QPushButton* YesButton = nullptr;
  QPushButton* NoButton = nullptr;

 private:
  void ShowVersion(const QString& version);

  QString version_;
};

}  // namespace quillet

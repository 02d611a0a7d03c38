// Help contents, the FAQ page, the links and the About box.
#include <QAction>
#include <QMenu>

#include "gui/app/AboutBox.h"
#include "gui/app/Help.h"
#include "gui/app/MainAppForm.h"
#include "gui/app/WebPage.h"

namespace quillet {

void TMainAppForm::AddLinks(QMenu* menu) {
  for (const auto& link : WebLinks()) {
    QAction* item = menu->addAction(QString::fromStdString(link.caption));
    const QString address = QString::fromStdString(link.address);
    item->setToolTip(address);
    item->setStatusTip(address);
    item->setData(address);
    connect(item, &QAction::triggered, this, &TMainAppForm::WallpaperandbackgroundCollection1Click);
  }
  menu->setToolTipsVisible(true);
}

void TMainAppForm::ContentsToolButtonClick() {
  if (helpForm_ != nullptr) helpForm_->ShowContents();
}

void TMainAppForm::CloseHelp() {
  if (helpForm_ != nullptr) helpForm_->CloseHelp();
}

void TMainAppForm::FAQMenuItemClick() {
  OpenWebPage(FaqAddress(parameters_.Value(kUploadHostKey)), prompts_);
}

void TMainAppForm::WallpaperandbackgroundCollection1Click() {
  auto* item = qobject_cast<QAction*>(sender());
  if (item == nullptr) return;
  // The address is the item's hint, whatever its caption says.
  OpenWebPage(item->data().toString().toStdString(), prompts_);
}

void TMainAppForm::AboutToolButtonClick() {
  if (aboutBox_ != nullptr) aboutBox_->exec();
}

}  // namespace quillet

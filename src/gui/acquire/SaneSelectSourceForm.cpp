// The scanner selection dialog.
#include "gui/acquire/SaneSelectSourceForm.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "gui/app/WindowPlacement.h"

namespace quillet {

TSaneSelectSourceForm::TSaneSelectSourceForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("SaneSelectSourceForm"));
  setWindowTitle(QStringLiteral("Select Source"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  auto* layout = new QVBoxLayout(this);
  SourcesLabel = new QLabel(QStringLiteral("&Sources:"));
  SourcesLabel->setObjectName(QStringLiteral("SourcesLabel"));
  layout->addWidget(SourcesLabel);
  SourceList = new QTreeWidget;
  SourceList->setObjectName(QStringLiteral("SourceList"));
  SourceList->setRootIsDecorated(false);
  SourceList->setAllColumnsShowFocus(true);
  SourceList->setHeaderLabels(
      {QStringLiteral("Vendor"), QStringLiteral("Model"), QStringLiteral("Device")});
  SourceList->header()->setStretchLastSection(true);
  SourcesLabel->setBuddy(SourceList);
  layout->addWidget(SourceList);
  HintLabel = new QLabel(QStringLiteral(
      "Network scanners (eSCL, WSD) are listed when the package sane-airscan is installed."));
  HintLabel->setObjectName(QStringLiteral("HintLabel"));
  HintLabel->setWordWrap(true);
  layout->addWidget(HintLabel);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  SelectButton = new QPushButton(QStringLiteral("Select"));
  SelectButton->setObjectName(QStringLiteral("SelectButton"));
  SelectButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("Cancel"));
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  buttons->addWidget(SelectButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);
  connect(SelectButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(SourceList, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
  connect(SourceList, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item) { SelectButton->setEnabled(item != nullptr); });
  resize(520, 300);
}

std::optional<std::string> TSaneSelectSourceForm::Choose(const std::vector<SaneDeviceInfo>& devices,
                                                         const std::string& current) {
  SourceList->clear();
  QTreeWidgetItem* selected = nullptr;
  for (const SaneDeviceInfo& device : devices) {
    auto* item = new QTreeWidgetItem(
        SourceList, {QString::fromStdString(device.vendor), QString::fromStdString(device.model),
                     QString::fromStdString(device.name)});
    item->setData(0, Qt::UserRole, QString::fromStdString(device.name));
    if (device.name == current || selected == nullptr) selected = item;
  }
  SourcesLabel->setText(devices.empty() ? QStringLiteral("No scanner was found.")
                                        : QStringLiteral("&Sources:"));
  SourceList->setCurrentItem(selected);
  SelectButton->setEnabled(selected != nullptr);
  for (int column = 0; column < 2; ++column)
    SourceList->resizeColumnToContents(column);
  CentreOnScreen(*this);
  if (exec() != QDialog::Accepted || SourceList->currentItem() == nullptr) return std::nullopt;
  return SourceList->currentItem()->data(0, Qt::UserRole).toString().toStdString();
}

}  // namespace quillet

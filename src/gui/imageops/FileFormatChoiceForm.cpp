// The file format choice of grabbed and scanned pictures.
#include "gui/imageops/FileFormatChoiceForm.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/app/WindowPlacement.h"

namespace quillet {

TFileFormatChoiceForm::TFileFormatChoiceForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FileFormatChoiceForm"));
  setWindowTitle(QStringLiteral("Graphic file format choice"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Please choose graphic file format:")));
  FileFormatComboBox = new QComboBox;
  FileFormatComboBox->setObjectName(QStringLiteral("FileFormatComboBox"));
  FileFormatComboBox->addItems({QStringLiteral("BMP (Windows Bitmap)"),
                                QStringLiteral("JPG (JPEG JFIF Format)"),
                                QStringLiteral("GIF (Graphics Interchange Format)"),
                                QStringLiteral("PNG (Portable Network Graphics)")});
  FileFormatComboBox->setCurrentIndex(static_cast<int>(LogoFormat::Png));
  layout->addWidget(FileFormatComboBox);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  OKButton = new QPushButton(QStringLiteral("OK"));
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("Cancel"));
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  setFixedSize(sizeHint());
}

std::optional<LogoFormat> TFileFormatChoiceForm::Choose() {
  const int previous = FileFormatComboBox->currentIndex();
  CentreOnScreen(*this);
  if (exec() != QDialog::Accepted) {
    FileFormatComboBox->setCurrentIndex(previous);
    return std::nullopt;
  }
  return static_cast<LogoFormat>(FileFormatComboBox->currentIndex());
}

}  // namespace quillet

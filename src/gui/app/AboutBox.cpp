#include "gui/app/AboutBox.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/app/Resources.h"
#include "gui/app/WindowPlacement.h"

namespace quillet {

namespace {

constexpr QSize kPictureSize(265, 161);

QLabel* BoldLabel(const QString& text, QWidget* parent, const char* name) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  InitResources();
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("About"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameShape(QFrame::StyledPanel);
  Panel1->setFrameShadow(QFrame::Sunken);
  ProgramIcon = new QLabel(Panel1);
  ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
  ProgramIcon->setFixedSize(kPictureSize);
  ProgramIcon->setScaledContents(true);
  // Drawn from the SVG at the screen's pixel density, so it stays sharp.
  ProgramIcon->setPixmap(
      QIcon(QStringLiteral(":/icons/about-picture.svg")).pixmap(kPictureSize, devicePixelRatioF()));
  ProductName = BoldLabel(QStringLiteral("Quillet"), Panel1, "ProductName");
  Version = BoldLabel(QStringLiteral("Version: %1").arg(QLatin1String(kProgramVersion)), Panel1,
                      "Version");
  auto* panelLayout = new QVBoxLayout(Panel1);
  panelLayout->addWidget(ProgramIcon, 0, Qt::AlignHCenter);
  panelLayout->addWidget(ProductName);
  panelLayout->addWidget(Version);

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  OKButton->setFixedSize(75, 25);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Panel1);
  layout->addWidget(OKButton, 0, Qt::AlignHCenter);
  setFixedSize(sizeHint());
}

void TAboutBox::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(*this);
}

}  // namespace quillet

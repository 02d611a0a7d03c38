#include "gui/service/NewAppVerDownloadRequest.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace quillet {

using namespace servicedialog;

namespace {

// Room for any version number; a longer reply is not a version to show.
constexpr int kVersionCharacters = 16;

QLabel* PlainLabel(const QString& text, const char* name, QWidget* parent) {
  auto* label = Named(new QLabel(text, parent), name);
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

TNewAppVerDownloadRequestForm::TNewAppVerDownloadRequestForm(QWidget* parent)
    : TServiceDialog(parent) {
  setObjectName(QStringLiteral("NewAppVerDownloadRequestForm"));
  setWindowTitle(QStringLiteral("New Version Download"));

  NewVersionLabel = NewBoldLabel(QString(), "NewVersionLabel", this);
  NewVersionLabel->setAlignment(Qt::AlignCenter);
  QPalette palette = NewVersionLabel->palette();
  palette.setColor(QPalette::WindowText, QColor(0, 0, 128));
  NewVersionLabel->setPalette(palette);
  NewVersionLabel->setMinimumWidth(TextWidth(*NewVersionLabel, kVersionCharacters / 2));

  auto* first = new QHBoxLayout;
  first->addWidget(PlainLabel(QStringLiteral("New version"), "NewVersionCaption", this));
  first->addWidget(NewVersionLabel, 1);
  first->addWidget(PlainLabel(QStringLiteral("of \"Quillet\""), "ProgramNameCaption", this));

  YesButton = NewButton(QStringLiteral("&Yes"), "YesButton", this);
  NoButton = NewButton(QStringLiteral("&No"), "NoButton", this);
  YesButton->setDefault(true);
  connect(YesButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(NoButton, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(YesButton);
  buttons->addWidget(NoButton);
  buttons->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addLayout(first);
  layout->addWidget(PlainLabel(QStringLiteral("is available for download from the server."),
                               "AvailableCaption", this));
  layout->addWidget(PlainLabel(QStringLiteral("Do you want to download and install it now?"),
                               "QuestionCaption", this));
  layout->addSpacing(6);
  layout->addLayout(buttons);
}

bool TNewAppVerDownloadRequestForm::Ask(const std::string& version) {
  ShowVersion(QString::fromStdString(version));
  YesButton->setFocus(Qt::OtherFocusReason);
  return exec() == QDialog::Accepted;
}

void TNewAppVerDownloadRequestForm::ShowVersion(const QString& version) {
  version_ = version;
  const int limit = TextWidth(*NewVersionLabel, kVersionCharacters);
  const QFontMetrics metrics = NewVersionLabel->fontMetrics();
  // A version may come with a line break after it; it shows as one line.
  QString firstLine = version.section(QRegularExpression(QStringLiteral("[\r\n]")), 0, 0);
  const bool moreLines = !version.mid(firstLine.size()).trimmed().isEmpty();
  QString shown = metrics.elidedText(firstLine, Qt::ElideRight, limit);
  if (moreLines && !shown.endsWith(QChar(0x2026))) shown += QChar(0x2026);
  NewVersionLabel->setText(shown);
  NewVersionLabel->setToolTip(shown == version ? QString() : version);
}

}  // namespace quillet

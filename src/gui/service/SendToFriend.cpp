#include "gui/service/SendToFriend.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/service/FriendMessage.h"
#include "gui/service/LinkLabel.h"

namespace quillet {

using namespace servicedialog;

namespace {

constexpr int kCommentLines = 4;
constexpr int kRowSpacing = 6;
// Wider than any line of the preview but for a very long front-page address,
// which scrolls instead of widening the window off the screen.
constexpr int kMaximumPreviewCharacters = 90;
// Against rounding in the text layout.
constexpr int kPreviewSlack = 2;

QString PreviewText(const std::string& rootUrl) {
  QStringList lines;
  for (const std::string& line : RecommendationLines(rootUrl))
    lines << QString::fromStdString(line);
  return lines.join(QLatin1Char('\n'));
}

// The room a plain-text box needs to show `lines` lines of its font.
int MemoHeight(const QPlainTextEdit& memo, int lines) {
  const int margins = static_cast<int>(2 * memo.document()->documentMargin());
  return lines * memo.fontMetrics().lineSpacing() + margins + 2 * memo.frameWidth() + 2;
}

}  // namespace

TSendToFriendForm::TSendToFriendForm(Prompts& prompts,
                                     std::function<void(const std::string&)> openWebPage,
                                     QWidget* parent)
    : TServiceDialog(parent), prompts_(prompts), openWebPage_(std::move(openWebPage)) {
  setObjectName(QStringLiteral("SendToFriendForm"));
  setWindowTitle(QStringLiteral("Send application link to friend"));

  MessageTextMemo = Named(new QTextEdit(this), "MessageTextMemo");
  MessageTextMemo->setReadOnly(true);
  MessageTextMemo->setAcceptRichText(false);
  MessageTextMemo->setLineWrapMode(QTextEdit::NoWrap);
  MessageTextMemo->setTabChangesFocus(true);
  // Readable and copyable with the mouse, but not a stop of the Tab key.
  MessageTextMemo->setFocusPolicy(Qt::ClickFocus);

  RootURLLabel = Named(new TLinkLabel(QString(), false, this), "RootURLLabel");
  connect(RootURLLabel, &TLinkLabel::Clicked, this, &TSendToFriendForm::RootURLLabelClick);

  SenderCommentsLabel = NewBoldLabel(QStringLiteral("Your comments:"), "SenderCommentsLabel", this);
  SenderCommentsMemo = Named(new QPlainTextEdit(this), "SenderCommentsMemo");
  SenderCommentsMemo->setTabChangesFocus(true);
  SenderCommentsMemo->setFixedHeight(MemoHeight(*SenderCommentsMemo, kCommentLines));
  SenderCommentsLabel->setBuddy(SenderCommentsMemo);

  RecipientAddressLabel =
      NewBoldLabel(QStringLiteral("Recipient address:"), "RecipientAddressLabel", this);
  RecipientAddressEdit = Named(new QLineEdit(this), "RecipientAddressEdit");
  RecipientAddressLabel->setBuddy(RecipientAddressEdit);

  SenderNamePanel = Named(new QWidget(this), "SenderNamePanel");
  SenderNameLabel = NewBoldLabel(QStringLiteral("Your Name:"), "SenderNameLabel", SenderNamePanel);
  SenderNameEdit = Named(new QLineEdit(SenderNamePanel), "SenderNameEdit");
  SenderNameLabel->setBuddy(SenderNameEdit);
  const int labelWidth =
      std::max(RecipientAddressLabel->sizeHint().width(), SenderNameLabel->sizeHint().width());
  RecipientAddressLabel->setFixedWidth(labelWidth);
  SenderNameLabel->setFixedWidth(labelWidth);

  OKButton = NewButton(QStringLiteral("OK"), "OKButton", this);
  CancelButton = NewButton(QStringLiteral("Cancel"), "CancelButton", this);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &TSendToFriendForm::OKButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->setSpacing(kRowSpacing);
  layout->addWidget(MessageTextMemo);
  layout->addWidget(RootURLLabel);
  layout->addWidget(SenderCommentsLabel);
  layout->addWidget(SenderCommentsMemo);
  auto* address = new QHBoxLayout;
  address->addWidget(RecipientAddressLabel);
  address->addWidget(RecipientAddressEdit, 1);
  layout->addLayout(address);

  // The name row takes the room of the rows above, and the spacing before
  // it, so that the window grows by the row and no more.
  auto* name = new QHBoxLayout(SenderNamePanel);
  name->setContentsMargins(0, 0, 0, 0);
  name->addWidget(SenderNameLabel);
  name->addWidget(SenderNameEdit, 1);
  SenderNamePanel->setFixedHeight(
      std::max(kSenderNameHeight - kRowSpacing, SenderNamePanel->sizeHint().height()));
  layout->addWidget(SenderNamePanel);
  SenderNamePanel->hide();

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);

  setTabOrder(SenderCommentsMemo, RecipientAddressEdit);
  setTabOrder(RecipientAddressEdit, SenderNameEdit);
  setTabOrder(SenderNameEdit, OKButton);
  setTabOrder(OKButton, CancelButton);
  setTabOrder(CancelButton, RootURLLabel);
}

bool TSendToFriendForm::Execute(bool guest, const std::string& rootUrl) {
  FormShow(guest, rootUrl);
  const bool accepted = exec() == QDialog::Accepted;
  FormClose();
  return accepted;
}

void TSendToFriendForm::FormShow(bool guest, const std::string& rootUrl) {
  rootUrl_ = rootUrl;
  guest_ = guest;
  MessageTextMemo->setPlainText(PreviewText(rootUrl));
  RootURLLabel->setText(QString::fromStdString(rootUrl));
  FitPreview();
  ShowSenderName(guest);
  SenderCommentsMemo->setFocus(Qt::OtherFocusReason);
}

void TSendToFriendForm::FitPreview() {
  // The whole text at once, as far as the screen allows: the box takes the
  // size of the text laid out in its own font. Scroll bars shown only in
  // case would take room from the text and then stay for good.
  const QSizeF text = MessageTextMemo->document()->size();
  const int frame = 2 * MessageTextMemo->frameWidth() + kPreviewSlack;
  const int widest = TextWidth(*MessageTextMemo, kMaximumPreviewCharacters);
  int width = static_cast<int>(std::ceil(text.width())) + frame;
  int height = static_cast<int>(std::ceil(text.height())) + frame;
  const bool scrolls = width > widest;
  if (scrolls) {
    width = widest;
    height += MessageTextMemo->horizontalScrollBar()->sizeHint().height();
  }
  MessageTextMemo->setHorizontalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn
                                                        : Qt::ScrollBarAlwaysOff);
  MessageTextMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  MessageTextMemo->setFixedSize(width, height);
}

void TSendToFriendForm::FormClose() {
  ShowSenderName(false);
}

void TSendToFriendForm::ShowSenderName(bool shown) {
  SenderNamePanel->setVisible(shown);
  // Resized now, not at the next pass of the event loop, so that the window
  // opens centred at its final size.
  layout()->activate();
}

void TSendToFriendForm::OKButtonClick() {
  if (!RecipientAddressLooksValid(RecipientAddress())) {
    prompts_.Warning(kWrongRecipientAddressMessage);
    RecipientAddressEdit->setFocus(Qt::OtherFocusReason);
    return;
  }
  if (guest_ && SenderNameEdit->text().isEmpty()) {
    prompts_.Warning(kEmptySenderNameMessage);
    SenderNameEdit->setFocus(Qt::OtherFocusReason);
    return;
  }
  accept();
}

void TSendToFriendForm::RootURLLabelClick() {
  if (openWebPage_) openWebPage_(rootUrl_);
}

std::string TSendToFriendForm::Comments() const {
  std::vector<std::string> lines;
  for (const QString& line : SenderCommentsMemo->toPlainText().split(QLatin1Char('\n')))
    lines.push_back(line.toStdString());
  return JoinCommentLines(lines);
}

std::string TSendToFriendForm::RecipientAddress() const {
  return RecipientAddressEdit->text().toStdString();
}

std::string TSendToFriendForm::SenderName() const {
  return SenderNameEdit->text().toStdString();
}

}  // namespace quillet

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

#include "core/service/FriendMessage.h"
#include "core/settings/Options.h"
#include "gui/service/AccessURLHint.h"
#include "gui/service/CredentialsForm.h"
#include "gui/service/LinkLabel.h"
#include "gui/service/NewAppVerDownloadRequest.h"
#include "gui/service/QRCodeView.h"
#include "gui/service/SendToFriend.h"
#include "gui/settings/OptionsForm.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

using quillet::Credentials;
using quillet::Options;
using quillet::TAccessURLHintForm;
using quillet::TCredentialsForm;
using quillet::TNewAppVerDownloadRequestForm;
using quillet::TOptionsForm;
using quillet::TProxyAuthForm;
using quillet::TSendToFriendForm;
using quillet::TSysAuthForm;
using quillet::testing::ScriptedPrompts;
using quillet::testing::TempDir;

namespace quillet {

// How QCOMPARE shows an answer of a credential prompt.
char* toString(const std::optional<Credentials>& answer) {
  if (!answer) return qstrdup("nothing");
  return qstrdup(("{" + answer->name + ", " + answer->password + "}").c_str());
}

}  // namespace quillet

namespace {

// Plays one action each time a modal dialog opens, as the user answers it;
// a showing with no action left is cancelled and counted.
class UserScript : public QObject {
 public:
  UserScript(QDialog& dialog, std::vector<std::function<void()>> actions)
      : dialog_(dialog), actions_(std::move(actions)) {
    dialog_.installEventFilter(this);
  }
  ~UserScript() override { dialog_.removeEventFilter(this); }

  // Leaves the dialog to the next script; later showings are not counted.
  void Release() { dialog_.removeEventFilter(this); }

  int Showings() const { return showings_; }
  int Unexpected() const { return unexpected_; }
  bool Finished() const { return next_ == actions_.size(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &dialog_ && event->type() == QEvent::Show) {
      ++showings_;
      QTimer::singleShot(0, this, [this] { Play(); });
    }
    return false;
  }

 private:
  void Play() {
    if (next_ >= actions_.size()) {
      ++unexpected_;
      dialog_.reject();
      return;
    }
    actions_[next_++]();
  }

  QDialog& dialog_;
  std::vector<std::function<void()>> actions_;
  std::size_t next_ = 0;
  int showings_ = 0;
  int unexpected_ = 0;
};

// A program folder, its options window and the prompts it reports through.
struct Program {
  explicit Program(const char* optionsXml = nullptr) {
    if (optionsXml != nullptr) dir.Write("options.xml", optionsXml);
    options =
        std::make_unique<TOptionsForm>(dir.Path(), prompts, nullptr, quillet::SystemProxyReader{});
  }
  // The options as the file holds them now.
  Options Saved() const {
    quillet::SilentPrompts silent;
    return quillet::LoadOptions(dir.Path(), silent, {});
  }

  TempDir dir;
  ScriptedPrompts prompts;
  std::unique_ptr<TOptionsForm> options;
};

bool IsCentred(const QWidget& window) {
  const QPoint centre = window.screen()->availableGeometry().center();
  return (window.frameGeometry().center() - centre).manhattanLength() <= 2;
}

bool IsFixedSize(const QWidget& window) {
  return window.minimumSize() == window.maximumSize() && window.size() == window.minimumSize();
}

QStringList LabelTexts(const QWidget& window) {
  QStringList texts;
  for (const QLabel* label : window.findChildren<QLabel*>())
    if (!label->isHidden()) texts << label->text();
  return texts;
}

// The ways of closing a dialog, as the user has them.
enum class Close { Default, EnterKey, Cancel, EscapeKey, CloseBox };

void CloseBy(QDialog& dialog, Close how, QPushButton* defaultButton, QPushButton* cancelButton) {
  QWidget* focus = dialog.focusWidget() != nullptr ? dialog.focusWidget() : &dialog;
  switch (how) {
    case Close::Default:
      defaultButton->click();
      break;
    case Close::EnterKey:
      QTest::keyClick(focus, Qt::Key_Return);
      break;
    case Close::Cancel:
      cancelButton->click();
      break;
    case Close::EscapeKey:
      QTest::keyClick(focus, Qt::Key_Escape);
      break;
    case Close::CloseBox:
      dialog.close();
      break;
  }
}

}  // namespace

Q_DECLARE_METATYPE(Close)
Q_DECLARE_METATYPE(std::optional<Credentials>)

class ServiceDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void sysAuthFormShowsFieldsAndRegisterLink();
  void proxyAuthFormShowsItsFields();
  void credentialPromptAnswers_data();
  void credentialPromptAnswers();
  void promptStartsAtTheMissingFieldCentred();
  void registerLinkOpensThePageAndThePromptStays();
  void serviceLoginSavesEveryOkAtOnce();
  void proxyLoginIsAskedOnlyWhenNeeded();

  void accessHintShowsTheAddressAsTextAndCode();
  void accessHintCloseStoresShowAgain_data();
  void accessHintCloseStoresShowAgain();

  void sendToFriendShowsTheRecommendation();
  void sendToFriendChecksAddressThenGuestName_data();
  void sendToFriendChecksAddressThenGuestName();
  void sendToFriendClosesWithoutChecks_data();
  void sendToFriendClosesWithoutChecks();
  void guestNameRowGrowsTheWindowAndGoesAgain();
  void typedTextsStayForTheNextShowing();

  void newVersionDialogTexts();
  void newVersionAnswers_data();
  void newVersionAnswers();
  void newVersionShowsTheVersionText_data();
  void newVersionShowsTheVersionText();
};

// ---------------------------------------------------------------------------
// Credential prompts

void ServiceDialogsTest::sysAuthFormShowsFieldsAndRegisterLink() {
  TSysAuthForm form([] {});
  QCOMPARE(form.windowTitle(), QStringLiteral("System Authorization"));
  QCOMPARE(form.objectName(), QStringLiteral("SysAuthForm"));
  QCOMPARE(LabelTexts(form), (QStringList{QStringLiteral("Login"), QStringLiteral("Password"),
                                          QStringLiteral("Register")}));
  QCOMPARE(form.Login->objectName(), QStringLiteral("Login"));
  QCOMPARE(form.Password->objectName(), QStringLiteral("Password"));
  QCOMPARE(form.Login->echoMode(), QLineEdit::Normal);
  QCOMPARE(form.Password->echoMode(), QLineEdit::Password);
  QVERIFY(form.Password->styleSheet().contains(QStringLiteral("lineedit-password-character: 42")));
  QCOMPARE(form.OKButton->text(), QStringLiteral("OK"));
  QCOMPARE(form.CancelButton->text(), QStringLiteral("Cancel"));
  QVERIFY(form.OKButton->isDefault());

  const QFont font = form.RegisterLabel->font();
  QVERIFY(font.bold());
  QVERIFY(font.underline());
  QCOMPARE(form.RegisterLabel->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  QCOMPARE(form.RegisterLabel->cursor().shape(), Qt::PointingHandCursor);
  QCOMPARE(form.RegisterLabel->textFormat(), Qt::PlainText);

  form.show();
  QVERIFY(IsFixedSize(form));
  // Every caption and field fits.
  QVERIFY(form.Login->width() >= form.Login->minimumSizeHint().width());
  QVERIFY(form.RegisterLabel->width() >= form.RegisterLabel->sizeHint().width());
}

void ServiceDialogsTest::proxyAuthFormShowsItsFields() {
  TProxyAuthForm form;
  QCOMPARE(form.windowTitle(), QStringLiteral("Proxy Authentication"));
  QCOMPARE(LabelTexts(form),
           (QStringList{QStringLiteral("Proxy User"), QStringLiteral("Proxy Password")}));
  QCOMPARE(form.ProxyLogin->objectName(), QStringLiteral("ProxyLogin"));
  QCOMPARE(form.ProxyPassword->echoMode(), QLineEdit::Password);
  QVERIFY(form.OKButton->isDefault());
  form.show();
  QVERIFY(IsFixedSize(form));
}

void ServiceDialogsTest::credentialPromptAnswers_data() {
  QTest::addColumn<bool>("proxy");
  QTest::addColumn<Close>("how");
  QTest::addColumn<std::optional<Credentials>>("answer");
  const std::optional<Credentials> typed = Credentials{"ann smith", "s3cr*t"};
  const std::optional<Credentials> none;
  for (bool proxy : {false, true}) {
    const char* form = proxy ? "proxy: " : "login: ";
    QTest::addRow("%sOK", form) << proxy << Close::Default << typed;
    QTest::addRow("%sEnter", form) << proxy << Close::EnterKey << typed;
    QTest::addRow("%sCancel", form) << proxy << Close::Cancel << none;
    QTest::addRow("%sEscape", form) << proxy << Close::EscapeKey << none;
    QTest::addRow("%sclose box", form) << proxy << Close::CloseBox << none;
  }
}

void ServiceDialogsTest::credentialPromptAnswers() {
  QFETCH(bool, proxy);
  QFETCH(Close, how);
  QFETCH(std::optional<Credentials>, answer);
  TSysAuthForm sysAuth([] {});
  TProxyAuthForm proxyAuth;
  TCredentialsForm& form = proxy ? static_cast<TCredentialsForm&>(proxyAuth) : sysAuth;

  QString shownName;
  QString shownPassword;
  UserScript user(form, {[&] {
                    shownName = form.NameEdit->text();
                    shownPassword = form.PasswordEdit->text();
                    form.NameEdit->clear();
                    form.PasswordEdit->clear();
                    QTest::keyClicks(form.NameEdit, QStringLiteral("ann smith"));
                    form.PasswordEdit->setFocus();
                    QTest::keyClicks(form.PasswordEdit, QStringLiteral("s3cr*t"));
                    CloseBy(form, how, form.OKButton, form.CancelButton);
                  }});
  const std::optional<Credentials> result = form.Ask(Credentials{"ann", "old"});
  QCOMPARE(shownName, QStringLiteral("ann"));
  QCOMPARE(shownPassword, QStringLiteral("old"));
  QCOMPARE(result, answer);
  QVERIFY(!form.isVisible());
  QVERIFY(user.Finished());
  QCOMPARE(user.Unexpected(), 0);
  user.Release();

  // The same window again, filled afresh.
  UserScript again(form, {[&] {
                     shownName = form.NameEdit->text();
                     shownPassword = form.PasswordEdit->text();
                     form.reject();
                   }});
  QCOMPARE(form.Ask(Credentials{"bob", ""}), std::optional<Credentials>());
  QCOMPARE(shownName, QStringLiteral("bob"));
  QCOMPARE(shownPassword, QString());
}

void ServiceDialogsTest::promptStartsAtTheMissingFieldCentred() {
  QWidget parent;
  parent.setGeometry(0, 0, 200, 150);
  parent.show();
  TSysAuthForm form([] {}, &parent);
  struct Seen {
    QWidget* focus = nullptr;
    bool centred = false;
  };
  std::vector<Seen> seen;
  auto look = [&] {
    seen.push_back({form.focusWidget(), IsCentred(form)});
    form.reject();
  };
  UserScript user(form, {look, look, look});
  form.Ask(Credentials{"ann", ""});
  form.Ask(Credentials{"", "pw"});
  form.Ask(Credentials{"ann", "pw"});
  QCOMPARE(seen.size(), std::size_t(3));
  QCOMPARE(seen[0].focus, form.Password);
  QCOMPARE(seen[1].focus, form.Login);
  QCOMPARE(seen[2].focus, form.Login);
  for (const Seen& s : seen)
    QVERIFY(s.centred);
}

void ServiceDialogsTest::registerLinkOpensThePageAndThePromptStays() {
  int opened = 0;
  TSysAuthForm form([&] { ++opened; });
  bool visibleAfterClick = false;
  bool visibleAfterKey = false;
  UserScript user(form, {[&] {
                    QTest::mouseClick(form.RegisterLabel, Qt::LeftButton);
                    visibleAfterClick = form.isVisible();
                    form.RegisterLabel->setFocus();
                    QTest::keyClick(form.RegisterLabel, Qt::Key_Space);
                    visibleAfterKey = form.isVisible();
                    // A press that leaves the link before its release opens nothing.
                    QTest::mousePress(form.RegisterLabel, Qt::LeftButton);
                    QTest::mouseRelease(form.RegisterLabel, Qt::LeftButton, Qt::NoModifier,
                                        QPoint(-20, -20));
                    QTest::keyClicks(form.Password, QStringLiteral("pw"));
                    form.OKButton->click();
                  }});
  QCOMPARE(form.Ask(Credentials{"ann", ""}), std::optional<Credentials>(Credentials{"ann", "pw"}));
  QCOMPARE(opened, 2);
  QVERIFY(visibleAfterClick);
  QVERIFY(visibleAfterKey);
}

void ServiceDialogsTest::serviceLoginSavesEveryOkAtOnce() {
  Program program;
  TSysAuthForm form([] {});
  std::vector<QString> shownLogins;
  std::vector<bool> fileExisted;
  UserScript user(form, {[&] {
                           shownLogins.push_back(form.Login->text());
                           fileExisted.push_back(program.dir.Exists("options.xml"));
                           QTest::keyClicks(form.Login, QStringLiteral("ann"));
                           form.OKButton->click();  // no password yet
                         },
                         [&] {
                           shownLogins.push_back(form.Login->text());
                           fileExisted.push_back(program.dir.Exists("options.xml"));
                           form.CancelButton->click();
                         }});
  QVERIFY(!quillet::EnsureServiceLogin(*program.options, form));
  QCOMPARE(user.Showings(), 2);
  QCOMPARE(shownLogins, (std::vector<QString>{QString(), QStringLiteral("ann")}));
  QCOMPARE(fileExisted, (std::vector<bool>{false, true}));
  // The cancel keeps what the first OK saved, in the file and the window.
  QCOMPARE(program.Saved().login, "ann");
  QCOMPARE(program.Saved().password, "");
  QCOMPARE(program.options->Current().login, "ann");
  QCOMPARE(program.options->Login->text(), QStringLiteral("ann"));
  user.Release();

  UserScript more(form, {[&] {
                    QTest::keyClicks(form.Password, QStringLiteral("pw"));
                    QTest::keyClick(form.Password, Qt::Key_Return);
                  }});
  QVERIFY(quillet::EnsureServiceLogin(*program.options, form));
  QCOMPARE(program.Saved().password, "pw");
  QCOMPARE(program.options->Password->text(), QStringLiteral("pw"));
  QCOMPARE(more.Showings(), 1);
  more.Release();

  // With both present nothing is asked.
  UserScript none(form, {});
  QVERIFY(quillet::EnsureServiceLogin(*program.options, form));
  QCOMPARE(none.Showings(), 0);
  QVERIFY(program.prompts.Messages().empty());
}

void ServiceDialogsTest::proxyLoginIsAskedOnlyWhenNeeded() {
  Program program(
      "<options><proxysource value=\"manual\"/><proxyhost value=\"127.0.0.1\"/>"
      "<proxyport value=\"3128\"/><proxyauthentication value=\"yes\"/>"
      "<proxylogin value=\"carol\"/></options>");
  TProxyAuthForm form;
  QString shownUser;
  UserScript user(form, {[&] {
                    shownUser = form.ProxyLogin->text();
                    QTest::keyClicks(form.ProxyPassword, QStringLiteral("tiny"));
                    form.OKButton->click();
                  }});
  QVERIFY(quillet::EnsureProxyLogin(*program.options, form));
  QCOMPARE(user.Showings(), 1);
  QCOMPARE(shownUser, QStringLiteral("carol"));
  QCOMPARE(program.Saved().proxypassword, "tiny");
  QCOMPARE(program.options->ProxyPassword->text(), QStringLiteral("tiny"));
  user.Release();

  program.options->Edit().proxypassword.clear();
  program.options->Edit().proxysource = quillet::ProxySource::NoProxy;
  UserScript none(form, {});
  QVERIFY(quillet::EnsureProxyLogin(*program.options, form));
  QCOMPARE(none.Showings(), 0);
}

// ---------------------------------------------------------------------------
// Access URL Hint

void ServiceDialogsTest::accessHintShowsTheAddressAsTextAndCode() {
  Program program;
  TAccessURLHintForm form(*program.options);
  const std::string address = "http://wap.quillet-logos.com/?login=ann&password=pw";
  struct Seen {
    QString url;
    bool readOnly = false;
    QString code;
    bool hasCode = false;
    bool centred = false;
    bool fixed = false;
    bool codeFits = false;
  } seen;
  UserScript user(form, {[&] {
                    seen = {form.MobileURL->text(),
                            form.MobileURL->isReadOnly(),
                            form.MobileURLQRCode->Text(),
                            form.MobileURLQRCode->HasCode(),
                            IsCentred(form),
                            IsFixedSize(form),
                            form.MobileURLQRCode->width() >=
                                form.MobileURLQRCode->minimumSizeHint().width() * 4};
                    form.reject();
                  }});
  form.Execute(address);
  QCOMPARE(form.windowTitle(), QStringLiteral("Access URL Hint"));
  QCOMPARE(form.TitleLabel->text(), QStringLiteral("Image successfully uploaded"));
  QVERIFY(form.TitleLabel->font().bold());
  QCOMPARE(form.HintLabel->text(),
           QStringLiteral("The easiest and fastest way to access your recently uploaded pictures "
                          "from mobile phone is to add the following URL to your WAP browser "
                          "favourites list"));
  QCOMPARE(form.ShowAgainCheckBox->text(), QStringLiteral("Show this dialog box again"));
  QCOMPARE(form.CloseButton->text(), QStringLiteral("Close"));
  QVERIFY(form.CloseButton->isDefault());
  QCOMPARE(seen.url, QString::fromStdString(address));
  QVERIFY(seen.readOnly);
  QCOMPARE(seen.code, QString::fromStdString(address));
  QVERIFY(seen.hasCode);
  // Large: at least four pixels a module for an address of this length.
  QVERIFY(seen.codeFits);
  QVERIFY(seen.centred);
  QVERIFY(seen.fixed);
}

void ServiceDialogsTest::accessHintCloseStoresShowAgain_data() {
  QTest::addColumn<bool>("optionBefore");
  QTest::addColumn<bool>("toggle");
  QTest::addColumn<Close>("how");
  QTest::addColumn<bool>("optionAfter");
  QTest::addColumn<bool>("saved");
  QTest::newRow("unticked, Close") << true << true << Close::Default << false << true;
  QTest::newRow("unticked, Enter") << true << true << Close::EnterKey << false << true;
  QTest::newRow("unticked, Escape") << true << true << Close::EscapeKey << true << false;
  QTest::newRow("unticked, close box") << true << true << Close::CloseBox << true << false;
  QTest::newRow("ticked again, Close") << false << true << Close::Default << true << true;
  QTest::newRow("left alone, Close") << false << false << Close::Default << false << true;
}

void ServiceDialogsTest::accessHintCloseStoresShowAgain() {
  QFETCH(bool, optionBefore);
  QFETCH(bool, toggle);
  QFETCH(Close, how);
  QFETCH(bool, optionAfter);
  QFETCH(bool, saved);
  Program program(optionBefore ? nullptr : "<options><enableaccesshint value=\"no\"/></options>");
  const std::string fileBefore = optionBefore ? "" : program.dir.Read("options.xml");
  TAccessURLHintForm form(*program.options);
  bool shownChecked = !optionBefore;
  UserScript user(form, {[&] {
                    shownChecked = form.ShowAgainCheckBox->isChecked();
                    if (toggle) form.ShowAgainCheckBox->click();
                    CloseBy(form, how, form.CloseButton, nullptr);
                  }});
  form.Execute("http://127.0.0.1/");
  QCOMPARE(user.Showings(), 1);
  QCOMPARE(shownChecked, optionBefore);
  QCOMPARE(program.options->Current().enableaccesshint, optionAfter);
  QCOMPARE(program.options->AccessHintCheckBox->isChecked(), optionAfter);
  if (saved) {
    QCOMPARE(program.Saved().enableaccesshint, optionAfter);
  } else if (optionBefore) {
    QVERIFY(!program.dir.Exists("options.xml"));
  } else {
    QCOMPARE(program.dir.Read("options.xml"), fileBefore);
  }
  QVERIFY(program.prompts.Messages().empty());
  user.Release();

  // Shown again, the box starts from the option.
  UserScript again(form, {[&] {
                     shownChecked = form.ShowAgainCheckBox->isChecked();
                     form.reject();
                   }});
  form.Execute("http://127.0.0.1/");
  QCOMPARE(shownChecked, optionAfter);
}

// ---------------------------------------------------------------------------
// Send to friend

void ServiceDialogsTest::sendToFriendShowsTheRecommendation() {
  ScriptedPrompts prompts;
  std::vector<std::string> opened;
  TSendToFriendForm form(prompts, [&](const std::string& url) { opened.push_back(url); });
  const std::string root = "http://wap.quillet-logos.com/";
  struct Seen {
    QStringList preview;
    bool readOnly = false;
    bool wholePreviewShown = false;
    QString link;
    bool visibleAfterLink = false;
    bool nameShown = true;
    bool centred = false;
    bool fixed = false;
  } seen;
  UserScript user(form, {[&] {
                    seen.preview = form.MessageTextMemo->toPlainText().split(QLatin1Char('\n'));
                    seen.readOnly = form.MessageTextMemo->isReadOnly();
                    seen.wholePreviewShown =
                        form.MessageTextMemo->verticalScrollBar()->maximum() == 0 &&
                        form.MessageTextMemo->horizontalScrollBar()->maximum() == 0;
                    seen.link = form.RootURLLabel->text();
                    QTest::mouseClick(form.RootURLLabel, Qt::LeftButton);
                    seen.visibleAfterLink = form.isVisible();
                    seen.nameShown = form.SenderNamePanel->isVisible();
                    seen.centred = IsCentred(form);
                    seen.fixed = IsFixedSize(form);
                    form.CancelButton->click();
                  }});
  QVERIFY(!form.Execute(false, root));
  QCOMPARE(form.windowTitle(), QStringLiteral("Send application link to friend"));
  QStringList expected;
  for (const std::string& line : quillet::RecommendationLines(root))
    expected << QString::fromStdString(line);
  QCOMPARE(seen.preview, expected);
  QCOMPARE(seen.preview.size(), 14);
  QCOMPARE(seen.preview[11],
           QStringLiteral("You can download it at address ") + QString::fromStdString(root));
  QVERIFY(seen.readOnly);
  QVERIFY(seen.wholePreviewShown);
  QCOMPARE(seen.link, QString::fromStdString(root));
  QCOMPARE(opened, std::vector<std::string>{root});
  QVERIFY(seen.visibleAfterLink);
  QVERIFY(!seen.nameShown);
  QVERIFY(seen.centred);
  QVERIFY(seen.fixed);

  QVERIFY(form.RootURLLabel->font().bold());
  QCOMPARE(form.RootURLLabel->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  QCOMPARE(form.RootURLLabel->cursor().shape(), Qt::PointingHandCursor);
  for (QLabel* label : {form.SenderCommentsLabel, form.RecipientAddressLabel, form.SenderNameLabel})
    QVERIFY2(label->font().bold(), qPrintable(label->text()));
  QCOMPARE(form.SenderCommentsLabel->text(), QStringLiteral("Your comments:"));
  QCOMPARE(form.RecipientAddressLabel->text(), QStringLiteral("Recipient address:"));
  QCOMPARE(form.SenderNameLabel->text(), QStringLiteral("Your Name:"));
  QCOMPARE(form.OKButton->text(), QStringLiteral("OK"));
  QCOMPARE(form.CancelButton->text(), QStringLiteral("Cancel"));
  QVERIFY(form.OKButton->isDefault());
  QVERIFY(prompts.Messages().empty());
}

void ServiceDialogsTest::sendToFriendChecksAddressThenGuestName_data() {
  QTest::addColumn<bool>("guest");
  QTest::addColumn<QString>("address");
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("accepted");
  QTest::addColumn<QString>("warning");
  const QString wrongAddress =
      QStringLiteral("Warning: Wrong format of recipient address. Please check it and try again.");
  const QString emptyName = QStringLiteral(
      "Warning: \"Your Name\" field cannot be empty. Please fill it in and try again.");
  QTest::newRow("valid address") << false << "ann@example.org"
                                 << "" << true << "";
  QTest::newRow("empty address") << false << ""
                                 << "" << false << wrongAddress;
  QTest::newRow("only dot before the at sign") << false << "ann.smith@example"
                                               << "" << false << wrongAddress;
  QTest::newRow("no at sign") << false << "ann.example.org"
                              << "" << false << wrongAddress;
  QTest::newRow("at sign and dot") << false << "@."
                                   << "" << true << "";
  QTest::newRow("guest without name") << true << "ann@example.org"
                                      << "" << false << emptyName;
  QTest::newRow("guest, wrong address and no name") << true << "ann@example"
                                                    << "" << false << wrongAddress;
  QTest::newRow("guest with name") << true << "ann@example.org"
                                   << "Bob" << true << "";
}

void ServiceDialogsTest::sendToFriendChecksAddressThenGuestName() {
  QFETCH(bool, guest);
  QFETCH(QString, address);
  QFETCH(QString, name);
  QFETCH(bool, accepted);
  QFETCH(QString, warning);
  ScriptedPrompts prompts;
  TSendToFriendForm form(prompts, [](const std::string&) {});
  bool openAfterOk = false;
  QWidget* focusAfterOk = nullptr;
  UserScript user(form, {[&] {
                    QTest::keyClicks(form.RecipientAddressEdit, address);
                    if (guest) QTest::keyClicks(form.SenderNameEdit, name);
                    // Enter in the address field is OK.
                    QTest::keyClick(form.RecipientAddressEdit, Qt::Key_Return);
                    openAfterOk = form.isVisible();
                    focusAfterOk = form.focusWidget();
                    if (openAfterOk) form.CancelButton->click();
                  }});
  QCOMPARE(form.Execute(guest, "http://127.0.0.1/"), accepted);
  QCOMPARE(openAfterOk, !accepted);
  std::vector<std::string> expected;
  if (!warning.isEmpty()) expected.push_back(warning.toStdString());
  QCOMPARE(prompts.Lines(), expected);
  if (!accepted) {
    // The keyboard is back where the user has to correct something.
    QCOMPARE(focusAfterOk, warning.contains(QStringLiteral("Your Name"))
                               ? static_cast<QWidget*>(form.SenderNameEdit)
                               : static_cast<QWidget*>(form.RecipientAddressEdit));
  }
  QCOMPARE(QString::fromStdString(form.RecipientAddress()), address);
}

void ServiceDialogsTest::sendToFriendClosesWithoutChecks_data() {
  QTest::addColumn<Close>("how");
  QTest::newRow("Cancel") << Close::Cancel;
  QTest::newRow("Escape") << Close::EscapeKey;
  QTest::newRow("close box") << Close::CloseBox;
}

void ServiceDialogsTest::sendToFriendClosesWithoutChecks() {
  QFETCH(Close, how);
  ScriptedPrompts prompts;
  TSendToFriendForm form(prompts, [](const std::string&) {});
  UserScript user(form, {[&] {
                    QTest::keyClicks(form.RecipientAddressEdit, QStringLiteral("no address"));
                    form.RecipientAddressEdit->setFocus();
                    CloseBy(form, how, form.OKButton, form.CancelButton);
                  }});
  QVERIFY(!form.Execute(true, "http://127.0.0.1/"));
  QVERIFY(prompts.Messages().empty());
  QVERIFY(form.SenderNamePanel->isHidden());
}

void ServiceDialogsTest::guestNameRowGrowsTheWindowAndGoesAgain() {
  ScriptedPrompts prompts;
  TSendToFriendForm form(prompts, [](const std::string&) {});
  struct Seen {
    QSize size;
    int buttonsTop = 0;
    bool nameShown = false;
    bool centred = false;
  };
  std::vector<Seen> seen;
  auto look = [&] {
    seen.push_back({form.size(), form.OKButton->geometry().top(), form.SenderNameEdit->isVisible(),
                    IsCentred(form)});
    QCOMPARE(form.CancelButton->geometry().top(), form.OKButton->geometry().top());
    form.reject();
  };
  UserScript user(form, {look, look, look});
  form.Execute(false, "http://127.0.0.1/");
  const QSize closedAfterOther = form.size();
  form.Execute(true, "http://127.0.0.1/");
  const QSize closedAfterGuest = form.size();
  form.Execute(false, "http://127.0.0.1/");
  QCOMPARE(seen.size(), std::size_t(3));

  QVERIFY(!seen[0].nameShown);
  QVERIFY(seen[1].nameShown);
  QVERIFY(!seen[2].nameShown);
  const int growth = seen[1].size.height() - seen[0].size.height();
  QVERIFY2(growth >= TSendToFriendForm::kSenderNameHeight, qPrintable(QString::number(growth)));
  QCOMPARE(seen[1].buttonsTop - seen[0].buttonsTop, growth);
  QCOMPARE(seen[1].size.width(), seen[0].size.width());
  // Undone on closing.
  QCOMPARE(seen[2].size, seen[0].size);
  QCOMPARE(seen[2].buttonsTop, seen[0].buttonsTop);
  QCOMPARE(closedAfterGuest, closedAfterOther);
  QVERIFY(form.SenderNamePanel->isHidden());
  for (const Seen& s : seen)
    QVERIFY(s.centred);
}

void ServiceDialogsTest::typedTextsStayForTheNextShowing() {
  ScriptedPrompts prompts;
  TSendToFriendForm form(prompts, [](const std::string&) {});
  QString commentsShown;
  QString addressShown;
  QString nameShown;
  UserScript user(form,
                  {[&] {
                     QTest::keyClicks(form.SenderCommentsMemo, QStringLiteral("Look at this"));
                     QTest::keyClick(form.SenderCommentsMemo, Qt::Key_Return);
                     QTest::keyClick(form.SenderCommentsMemo, Qt::Key_Return);
                     QTest::keyClicks(form.SenderCommentsMemo, QStringLiteral("Ann"));
                     QTest::keyClicks(form.RecipientAddressEdit, QStringLiteral("bob@example.org"));
                     QTest::keyClicks(form.SenderNameEdit, QStringLiteral("Ann Smith"));
                     // Return in the comment is a new line, not OK.
                     QVERIFY(form.isVisible());
                     form.OKButton->click();
                   },
                   [&] {
                     commentsShown = form.SenderCommentsMemo->toPlainText();
                     addressShown = form.RecipientAddressEdit->text();
                     nameShown = form.SenderNameEdit->text();
                     form.CancelButton->click();
                   }});
  QVERIFY(form.Execute(true, "http://127.0.0.1/"));
  QCOMPARE(form.Comments(), std::string("Look at this\r\n\r\nAnn"));
  QCOMPARE(form.RecipientAddress(), std::string("bob@example.org"));
  QCOMPARE(form.SenderName(), std::string("Ann Smith"));

  QVERIFY(!form.Execute(false, "http://127.0.0.1/"));
  QCOMPARE(commentsShown, QStringLiteral("Look at this\n\nAnn"));
  QCOMPARE(addressShown, QStringLiteral("bob@example.org"));
  QCOMPARE(nameShown, QStringLiteral("Ann Smith"));
  // The name typed as guest stays and goes with a later send, as typed.
  QCOMPARE(form.SenderName(), std::string("Ann Smith"));
  QVERIFY(user.Finished());
}

// ---------------------------------------------------------------------------
// New Version Download

void ServiceDialogsTest::newVersionDialogTexts() {
  TNewAppVerDownloadRequestForm form;
  bool centred = false;
  bool fixed = false;
  bool yesIsDefault = false;
  UserScript user(form, {[&] {
                    yesIsDefault = form.YesButton->isDefault();
                    centred = IsCentred(form);
                    fixed = IsFixedSize(form);
                    form.reject();
                  }});
  form.Ask("1.1.4");
  QCOMPARE(form.windowTitle(), QStringLiteral("New Version Download"));
  QCOMPARE(LabelTexts(form),
           (QStringList{QStringLiteral("1.1.4"), QStringLiteral("New version"),
                        QStringLiteral("of \"Quillet\""),
                        QStringLiteral("is available for download from the server."),
                        QStringLiteral("Do you want to download and install it now?")}));
  QVERIFY(form.NewVersionLabel->font().bold());
  QCOMPARE(form.NewVersionLabel->palette().color(QPalette::WindowText), QColor(0, 0, 128));
  QCOMPARE(form.NewVersionLabel->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
  QCOMPARE(form.YesButton->text(), QStringLiteral("&Yes"));
  QCOMPARE(form.NoButton->text(), QStringLiteral("&No"));
  QVERIFY(yesIsDefault);
  QVERIFY(centred);
  QVERIFY(fixed);
}

void ServiceDialogsTest::newVersionAnswers_data() {
  QTest::addColumn<Close>("how");
  QTest::addColumn<bool>("yes");
  QTest::newRow("Yes") << Close::Default << true;
  QTest::newRow("Enter") << Close::EnterKey << true;
  QTest::newRow("No") << Close::Cancel << false;
  QTest::newRow("Escape") << Close::EscapeKey << false;
  QTest::newRow("close box") << Close::CloseBox << false;
}

void ServiceDialogsTest::newVersionAnswers() {
  QFETCH(Close, how);
  QFETCH(bool, yes);
  TNewAppVerDownloadRequestForm form;
  UserScript user(form, {[&] { CloseBy(form, how, form.YesButton, form.NoButton); }});
  QCOMPARE(form.Ask("1.0.9"), yes);
  QCOMPARE(user.Showings(), 1);
}

void ServiceDialogsTest::newVersionShowsTheVersionText_data() {
  QTest::addColumn<QString>("version");
  QTest::addColumn<QString>("shown");
  QTest::addColumn<bool>("elided");
  QTest::newRow("a version") << "1.1.4"
                             << "1.1.4" << false;
  QTest::newRow("line break after it") << "1.1.3\n"
                                       << "1.1.3" << false;
  QTest::newRow("empty body") << ""
                              << "" << false;
  QTest::newRow("markup is text") << "<b>2.0</b>"
                                  << "<b>2.0</b>" << false;
  QTest::newRow("two lines") << "1.2\r\nbeta"
                             << "1.2…" << false;
  QTest::newRow("an error page") << QStringLiteral("<html><body>") +
                                        QString(4000, QLatin1Char('x')) +
                                        QStringLiteral("\n</body></html>")
                                 << "" << true;
}

void ServiceDialogsTest::newVersionShowsTheVersionText() {
  QFETCH(QString, version);
  QFETCH(QString, shown);
  QFETCH(bool, elided);
  TNewAppVerDownloadRequestForm form;
  QSize shortSize;
  QSize size;
  auto look = [&](QSize& into) {
    return [&] {
      into = form.size();
      form.reject();
    };
  };
  UserScript user(form, {look(shortSize), look(size)});
  form.Ask("1.1.4");
  QVERIFY(!form.Ask(version.toStdString()));
  QCOMPARE(form.Version(), version);
  QCOMPARE(form.NewVersionLabel->textFormat(), Qt::PlainText);
  if (elided) {
    QVERIFY(form.NewVersionLabel->text().endsWith(QChar(0x2026)));
    QVERIFY(form.NewVersionLabel->text().size() < 40);
  } else {
    QCOMPARE(form.NewVersionLabel->text(), shown);
  }
  QCOMPARE(form.NewVersionLabel->toolTip(),
           form.NewVersionLabel->text() == version ? QString() : version);
  // Whatever came, the window keeps to the size of a short version's.
  QVERIFY2(size.width() <=
               shortSize.width() + form.NewVersionLabel->fontMetrics().averageCharWidth() * 16,
           qPrintable(QStringLiteral("%1 against %2").arg(size.width()).arg(shortSize.width())));
  QCOMPARE(size.height(), shortSize.height());
}

QTEST_MAIN(ServiceDialogsTest)
#include "ServiceDialogsTest.moc"

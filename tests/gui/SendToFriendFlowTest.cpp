// Send to friend from the main window against a capture server on
// 127.0.0.1: the dialog, the worker, the status texts and the messages.
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "gui/app/MainAppForm.h"
#include "gui/service/CredentialsForm.h"
#include "gui/service/SendToFriend.h"
#include "gui/settings/OptionsForm.h"
#include "support/CaptureServer.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

using quillet::testing::CaptureServer;
using quillet::testing::ScriptedPrompts;
using quillet::testing::TempDir;

namespace {

struct Window {
  CaptureServer server;
  TempDir dir;
  ScriptedPrompts prompts;
  ScriptedPrompts dialogPrompts;
  std::unique_ptr<quillet::TMainAppForm> form;
  std::unique_ptr<quillet::TOptionsForm> options;
  std::unique_ptr<quillet::TSysAuthForm> sysAuth;
  std::unique_ptr<quillet::TSendToFriendForm> send;

  explicit Window(const std::string& login) {
    dir.Write("parameters.xml", "<parameters><uploadhost value=\"" + server.HostAndPort() +
                                    "\"/><sendmailhost value=\"" + server.HostAndPort() +
                                    "\"/></parameters>");
    dir.Write("options.xml", "<options><login value=\"" + login +
                                 "\"/><password value=\"pw\"/><proxysource value=\"noproxy\"/>"
                                 "</options>");
    dir.Write("phoneslist.xml", "<phoneslist><make name=\"A\"/></phoneslist>");
    form = std::make_unique<quillet::TMainAppForm>(dir.Path(), prompts);
    options = std::make_unique<quillet::TOptionsForm>(dir.Path(), prompts, form.get(),
                                                      quillet::SystemProxyReader{});
    form->AttachOptionsForm(options.get());
    sysAuth = std::make_unique<quillet::TSysAuthForm>([] {}, form.get());
    form->AttachSysAuthForm(sysAuth.get());
    send = std::make_unique<quillet::TSendToFriendForm>(
        dialogPrompts, [](const std::string&) {}, form.get());
    form->AttachSendToFriendForm(send.get());
    form->HTTPSendConn.SetRequestTimeoutForTests(std::chrono::seconds(30));
    form->FormActivate();
  }
  ~Window() {
    send.reset();
    sysAuth.reset();
    options.reset();
    form.reset();
  }

  // Opens the dialog, types the address (and the name for the guest), OK.
  void SendTo(const QString& address, const QString& name = QString()) {
    QTimer::singleShot(50, [this, address, name] {
      send->RecipientAddressEdit->setText(address);
      send->SenderCommentsMemo->setPlainText("Line one\nLine two");
      if (!name.isNull()) send->SenderNameEdit->setText(name);
      send->OKButton->click();
    });
    form->SendToFriendToolButton->click();
  }
  bool WaitForEnd() {
    return QTest::qWaitFor([this] { return !form->IsSending(); }, 30000);
  }
};

}  // namespace

class SendToFriendFlowTest : public QObject {
  Q_OBJECT

 private slots:
  void aSentLinkSaysSo() {
    Window w("anna");
    w.server.Script({CaptureServer::Ok("SUCCESS\r\n")});
    w.SendTo("bob@example.test");
    QCOMPARE(w.form->StatusText(), QStringLiteral("Sending application link to friend..."));
    QVERIFY(!w.form->SendToFriendToolButton->isEnabled());
    QVERIFY(w.WaitForEnd());
    QCOMPARE(w.form->StatusText(), QStringLiteral("Application link was successfully sent."));
    QVERIFY(w.form->SendToFriendToolButton->isEnabled());
    QVERIFY(w.prompts.Messages().empty());
    const std::string request = w.server.Requests().at(0);
    QVERIFY(request.find("\r\n\r\nbob@example.test\r\n") != std::string::npos);
    QVERIFY(request.find("\r\n\r\nLine one\r\nLine two\r\n") != std::string::npos);
  }

  void everyRefusalHasItsMessage_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("message");
    QTest::newRow("recipient refused")
        << "MESSAGE\r\nCOULD_NOT_SEND_MAIL\r\n"
        << "Error: Unable to send application link. Please check recipient address and try "
           "again.";
    QTest::newRow("wrong login")
        << "MESSAGE\r\nWRONG_LOGIN_OR_PASSWORD\r\n"
        << "Error: Unable to send application link because of incorrect login or password! In "
           "order to enter login and password open menu \"Edit->Options\" and set parameters in "
           "\"System Authorization\" groupbox.";
    QTest::newRow("unknown code") << "MESSAGE\r\nSOMETHING\r\n"
                                  << "";
    QTest::newRow("no second line") << "MESSAGE\r\n"
                                    << "Error: Error occurred while sending application link.";
    QTest::newRow("service error") << "ERROR\r\nThe service has no mail relay set up.\r\n"
                                   << "Error: The service has no mail relay set up.";
  }
  void everyRefusalHasItsMessage() {
    QFETCH(QString, reply);
    QFETCH(QString, message);
    Window w("anna");
    w.server.Script({CaptureServer::Ok(reply.toStdString())});
    w.SendTo("bob@example.test");
    QVERIFY(w.WaitForEnd());
    QCOMPARE(w.form->StatusText(), QStringLiteral("Failed to send application link."));
    const std::vector<std::string> expected = message.isEmpty()
                                                  ? std::vector<std::string>{}
                                                  : std::vector<std::string>{message.toStdString()};
    QCOMPARE(w.prompts.Lines(), expected);
  }

  void theGuestSendsItsName() {
    Window w("GUEST");
    w.server.Script({CaptureServer::Ok("SUCCESS\r\n")});
    w.SendTo("bob@example.test", "Carol");
    QVERIFY(w.WaitForEnd());
    QVERIFY(w.server.Requests().at(0).find("name=\"sendername\"\r\n\r\nCarol\r\n") !=
            std::string::npos);
  }
};

QTEST_MAIN(SendToFriendFlowTest)
#include "SendToFriendFlowTest.moc"

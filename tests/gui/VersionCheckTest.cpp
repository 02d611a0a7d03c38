// The start-up check for a new version against a capture server on
// 127.0.0.1: when the dialog appears, what Yes opens, and when nothing is
// asked at all.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "core/catalogues/ServerParameters.h"
#include "gui/service/NewAppVerDownloadRequest.h"
#include "gui/settings/OptionsForm.h"
#include "support/CaptureServer.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

using quillet::testing::CaptureServer;
using quillet::testing::ScriptedPrompts;
using quillet::testing::TempDir;

namespace {

struct Check {
  CaptureServer server;
  TempDir dir;
  ScriptedPrompts prompts;
  quillet::ServerParameters parameters;
  std::unique_ptr<quillet::TOptionsForm> options;
  quillet::TNewAppVerDownloadRequestForm dialog;
  std::vector<std::string> opened;
  QString shownVersion;
  bool dialogShown = false;

  Check(const std::string& optionsXml, bool answerYes) {
    dir.Write("options.xml", optionsXml);
    parameters.SetValue(quillet::kUploadHostKey, server.HostAndPort());
    options = std::make_unique<quillet::TOptionsForm>(dir.Path(), prompts, nullptr,
                                                      quillet::SystemProxyReader{});
    options->AppVerConn.SetRequestTimeoutForTests(std::chrono::seconds(30));
    // Answers the dialog whenever it comes up.
    auto* timer = new QTimer(options.get());
    QObject::connect(timer, &QTimer::timeout, [this, answerYes] {
      if (QApplication::activeModalWidget() != &dialog) return;
      dialogShown = true;
      shownVersion = dialog.NewVersionLabel->text();
      (answerYes ? dialog.YesButton : dialog.NoButton)->click();
    });
    timer->start(20);
  }

  void Run() {
    options->StartNewVersionCheck(parameters, &dialog,
                                  [this](const std::string& page) { opened.push_back(page); });
    QVERIFY(QTest::qWaitFor([this] { return !options->VersionCheckRunning(); }, 30000));
    QTest::qWait(50);
  }
};

const std::string kOn =
    "<options><checknewversion value=\"yes\"/><proxysource value=\"noproxy\"/></options>";

}  // namespace

class VersionCheckTest : public QObject {
  Q_OBJECT

 private slots:
  void aDifferentVersionOffersTheDownloadPage() {
    Check check(kOn, true);
    check.server.Script({CaptureServer::Ok("1.0.9")});
    check.Run();
    QVERIFY(check.dialogShown);
    QCOMPARE(check.shownVersion, QStringLiteral("1.0.9"));
    QCOMPARE(check.opened,
             std::vector<std::string>{"http://" + check.server.HostAndPort() + "/download"});
    QVERIFY(check.prompts.Messages().empty());
  }

  void noOpensNothing() {
    Check check(kOn, false);
    check.server.Script({CaptureServer::Ok("1.1.4")});
    check.Run();
    QVERIFY(check.dialogShown);
    QVERIFY(check.opened.empty());
  }

  void theOwnVersionOrAFailureShowsNothing_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("body");
    QTest::newRow("same version") << 200 << "1.1.3";
    QTest::newRow("not found") << 404 << "1.1.4";
  }
  void theOwnVersionOrAFailureShowsNothing() {
    QFETCH(int, status);
    QFETCH(QString, body);
    Check check(kOn, true);
    check.server.Script({CaptureServer::Answer(status, "X", body.toStdString())});
    check.Run();
    QVERIFY(!check.dialogShown);
    QVERIFY(check.prompts.Messages().empty());
    QCOMPARE(check.server.Requests().size(), std::size_t{1});
  }

  void nothingIsAskedWhenTheOptionIsOffOrTheProxyLacksCredentials_data() {
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("message");
    QTest::newRow("option off") << "<options><checknewversion value=\"no\"/></options>"
                                << "";
    QTest::newRow("proxy credentials missing")
        << "<options><proxysource value=\"manual\"/><proxyhost value=\"127.0.0.1\"/>"
           "<proxyport value=\"3128\"/><proxyauthentication value=\"yes\"/></options>"
        << "";
    QTest::newRow("port not a number")
        << "<options><proxysource value=\"manual\"/><proxyhost value=\"127.0.0.1\"/>"
           "<proxyport value=\"31x\"/></options>"
        << "Error: '31x' is not a valid integer value";
  }
  void nothingIsAskedWhenTheOptionIsOffOrTheProxyLacksCredentials() {
    QFETCH(QString, options);
    QFETCH(QString, message);
    Check check(options.toStdString(), true);
    check.Run();
    QCOMPARE(check.server.Connections(), 0);
    QVERIFY(!check.dialogShown);
    const std::vector<std::string> expected = message.isEmpty()
                                                  ? std::vector<std::string>{}
                                                  : std::vector<std::string>{message.toStdString()};
    QCOMPARE(check.prompts.Lines(), expected);
  }
};

QTEST_MAIN(VersionCheckTest)
#include "VersionCheckTest.moc"

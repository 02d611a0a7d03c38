// The upload flow of the main window against a capture server on 127.0.0.1:
// the checks and prompts, the window while the worker runs, and every way an
// upload ends.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <functional>
#include <memory>

#include "core/codecs/Codecs.h"
#include "core/logodir/LogoDirectoryFile.h"
#include "gui/app/MainAppForm.h"
#include "gui/app/UploadProgressPanel.h"
#include "gui/imageops/PicturePropsForm.h"
#include "gui/service/AccessURLHint.h"
#include "gui/service/CredentialsForm.h"
#include "gui/service/QRCodeView.h"
#include "gui/settings/OptionsForm.h"
#include "support/CaptureServer.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

using quillet::LogoNode;
using quillet::NodeKind;
using quillet::TLogoDirObject;
using quillet::testing::CaptureServer;
using quillet::testing::ScriptedPrompts;
using quillet::testing::TempDir;

namespace {

constexpr const char* kMemberStatus = "SUCCESS\r\n7\r\n0\r\n100\r\n";

std::string OptionsXml(const std::string& login, const std::string& password, bool hint,
                       bool jpegDialog = false) {
  return "<options><login value=\"" + login + "\"/><password value=\"" + password +
         "\"/><proxysource value=\"noproxy\"/><showjpegdialog value=\"" +
         (jpegDialog ? "yes" : "no") +
         "\"/><showgifdialog value=\"no\"/><enableaccesshint value=\"" + (hint ? "yes" : "no") +
         "\"/></options>";
}

// Runs `answer` on the next modal window that opens (a bounded wait).
void AnswerNextModal(std::function<void(QWidget*)> answer) {
  auto* timer = new QTimer;
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, tries, answer] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      answer(modal);
    } else if (++*tries > 500) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start(20);
}

// A program folder whose service is the capture server, with three logos
// in "Cars" (one of them with an address already), and the windows the
// upload flow uses.
struct Window {
  CaptureServer server;
  TempDir dir;
  ScriptedPrompts prompts;
  std::unique_ptr<quillet::TMainAppForm> form;
  std::unique_ptr<quillet::TOptionsForm> options;
  std::unique_ptr<quillet::TSysAuthForm> sysAuth;
  std::unique_ptr<quillet::TProxyAuthForm> proxyAuth;
  std::unique_ptr<quillet::TAccessURLHintForm> hint;
  std::unique_ptr<quillet::TJPEGPropsForm> jpegProps;

  explicit Window(const std::string& optionsXml) {
    dir.Write("parameters.xml",
              "<parameters><uploadhost value=\"" + server.HostAndPort() + "\"/></parameters>");
    dir.Write("options.xml", optionsXml);
    dir.Write("phoneslist.xml",
              "<phoneslist><make name=\"Acme\"><model name=\"A\" screenwidth=\"120\" "
              "screenheight=\"90\"/></make></phoneslist>");
    quillet::LogoTree tree;
    LogoNode& cars = tree.Append(tree.Root(), TLogoDirObject(NodeKind::Folder, "Cars"));
    dir.MakeDir("Logo Directory/Cars");
    for (const char* name : {"sun.png", "photo.jpeg", "old.png"}) {
      quillet::WritePictureFile(dir.Path() + "Logo Directory/Cars/" + name,
                                quillet::Bitmap(200, 100, quillet::MakeColor(200, 30, 30)),
                                quillet::LogoFormatOfFileName(name), 90, 8);
      TLogoDirObject logo(NodeKind::Logo, name);
      if (std::string(name) == "old.png") logo.uploadurl = "http://wap/?id=old";
      tree.Append(cars, logo);
    }
    dir.Write("logodirectory.xml", quillet::LogoDirectoryDocument(tree));

    form = std::make_unique<quillet::TMainAppForm>(dir.Path(), prompts);
    options = std::make_unique<quillet::TOptionsForm>(dir.Path(), prompts, form.get(),
                                                      quillet::SystemProxyReader{});
    form->AttachOptionsForm(options.get());
    sysAuth = std::make_unique<quillet::TSysAuthForm>([] {}, form.get());
    form->AttachSysAuthForm(sysAuth.get());
    proxyAuth = std::make_unique<quillet::TProxyAuthForm>(form.get());
    form->AttachProxyAuthForm(proxyAuth.get());
    hint = std::make_unique<quillet::TAccessURLHintForm>(*options, form.get());
    form->AttachAccessURLHintForm(hint.get());
    jpegProps = std::make_unique<quillet::TJPEGPropsForm>(dir.Path(), *options, form.get());
    form->AttachJPEGPropsForm(jpegProps.get());
    form->HTTPConnection.SetRequestTimeoutForTests(std::chrono::seconds(30));
    form->FormActivate();
  }
  ~Window() {
    hint.reset();
    jpegProps.reset();
    sysAuth.reset();
    proxyAuth.reset();
    options.reset();
    form.reset();
  }

  LogoNode& Logo(int row) { return *form->Tree().Root().ChildAt(0)->ChildAt(row); }
  void Select(LogoNode& node) { form->SelectNode(&node); }
  QString Text(const char* name) {
    if (auto* edit = form->findChild<QLineEdit*>(name)) return edit->text();
    if (auto* memo = form->findChild<QPlainTextEdit*>(name)) return memo->toPlainText();
    return QStringLiteral("<no control>");
  }
  bool WaitForEnd() {
    return QTest::qWaitFor([this] { return !form->IsUploading(); }, 30000);
  }
  bool TempFileLeft() { return dir.Exists("Temp/sun.png") || dir.Exists("Temp/photo.jpeg"); }
  void Upload() { form->UploadButton->click(); }
};

}  // namespace

class UploadFlowTest : public QObject {
  Q_OBJECT

 private slots:
  void memberUploadFillsThePanelAndShowsTheHint();
  void guestUploadShowsTheGuestRoot();
  void controlsFollowTheState();
  void theProgressStripRunsTwentyPhases();
  void anotherSelectionKeepsThePanel();
  void stopEndsTheUploadQuietly();
  void aFailedConnectionSaysSoAfterDone();
  void serviceMessagesAndErrors_data();
  void serviceMessagesAndErrors();
  void extraLinesForgetOtherLogosAddresses();
  void nothingInTheFrameWarnsAndSendsNothing();
  void aCancelledLoginSendsNothing();
  void theLoginPromptSavesAndUploads();
  void aJpegLogoAsksForItsSettingsFirst();
  void deleteKeyDuringUploadIsRefused();
  void thePortMustBeAWholeNumber();
};

void UploadFlowTest::memberUploadFillsThePanelAndShowsTheHint() {
  Window w(OptionsXml("anna", "s3cret", true));
  w.server.Script({CaptureServer::Ok(kMemberStatus),
                   CaptureServer::Ok("SUCCESS\r\nhttp://192.168.1.5:8711/?id=Qx7\r\n")});
  w.Select(w.Logo(0));
  QString mobile;
  bool showAgain = false;
  AnswerNextModal([&](QWidget* modal) {
    auto* hint = qobject_cast<quillet::TAccessURLHintForm*>(modal);
    QVERIFY(hint != nullptr);
    mobile = hint->MobileURL->text();
    showAgain = hint->ShowAgainCheckBox->isChecked();
    QVERIFY(hint->MobileURLQRCode->HasCode());
    hint->CloseButton->click();
  });
  w.Upload();
  QCOMPARE(w.form->StatusText(), QStringLiteral("Uploading image to server..."));
  QVERIFY(w.WaitForEnd());
  QCOMPARE(mobile, QStringLiteral("http://192.168.1.5:8711/?login=anna&password=s3cret"));
  QVERIFY(showAgain);
  QCOMPARE(w.Logo(0).Data().uploadurl, std::string("http://192.168.1.5:8711/?id=Qx7"));
  QCOMPARE(w.Text("ImageWapShortURL"), QStringLiteral("http://192.168.1.5:8711/?id=Qx7"));
  QCOMPARE(w.Text("ImageWapURL"),
           QStringLiteral("http://192.168.1.5:8711/?id=Qx7&login=anna&password=s3cret"));
  QCOMPARE(w.Text("ImageID"), QStringLiteral("Qx7"));
  QVERIFY(w.form->ImageWapQRCode->HasCode());
  QCOMPARE(w.form->StatusText(), QStringLiteral("Done."));
  QCOMPARE(w.form->UploadButton->text(), QStringLiteral("Upload again"));
  QVERIFY(w.prompts.Messages().empty());
  QVERIFY(!w.TempFileLeft());
  QCOMPARE(w.form->CurrentMemberStatus().values[2], 101);
  // The member status was asked once in this run: the next upload posts
  // the file alone.
  w.server.Script({CaptureServer::Ok("SUCCESS\r\nhttp://192.168.1.5:8711/?id=Qx8\r\n")});
  AnswerNextModal([](QWidget* modal) { modal->close(); });
  w.Upload();
  QVERIFY(w.WaitForEnd());
  QCOMPARE(w.server.Requests().size(), std::size_t{3});
  QVERIFY(w.server.Requests()[2].starts_with("POST /upload.php"));
}

void UploadFlowTest::guestUploadShowsTheGuestRoot() {
  Window w(OptionsXml("Guest", "guest", true));
  w.server.Script({CaptureServer::Ok(kMemberStatus),
                   CaptureServer::Ok("SUCCESS\r\nhttp://wap:8711/guest/?id=Ab9\r\n")});
  w.Select(w.Logo(0));
  QString mobile;
  AnswerNextModal([&](QWidget* modal) {
    mobile = qobject_cast<quillet::TAccessURLHintForm*>(modal)->MobileURL->text();
    modal->close();
  });
  w.Upload();
  QVERIFY(w.WaitForEnd());
  QCOMPARE(mobile, QStringLiteral("http://wap:8711/guest/"));
  QCOMPARE(w.Text("ImageWapShortURL"), QStringLiteral("http://wap:8711/guest/"));
  QCOMPARE(w.Text("ImageWapURL"), QStringLiteral("http://wap:8711/guest/?id=Ab9"));
  QCOMPARE(w.Text("ImageID"), QStringLiteral("Ab9"));
  // Shown again later, the logo's guest address looks the same.
  w.Select(w.Logo(1));
  w.Select(w.Logo(0));
  QCOMPARE(w.Text("ImageWapShortURL"), QStringLiteral("http://wap:8711/guest/"));
  QCOMPARE(w.Text("ImageWapURL"), QStringLiteral("http://wap:8711/guest/?id=Ab9"));
}

void UploadFlowTest::controlsFollowTheState() {
  Window w(OptionsXml("anna", "s3cret", false));
  auto captions = [&] {
    return QStringList{w.form->UploadMenuItem->text(), w.form->UploadToolButton->toolTip(),
                       w.form->UploadButton->text()};
  };
  w.Select(w.Logo(0));
  QCOMPARE(captions(), QStringList({"Upload", "Upload", "Upload"}));
  w.Select(w.Logo(2));
  QCOMPARE(captions(), QStringList({"Upload again", "Upload again", "Upload again"}));
  QCOMPARE(w.Text("ImageWapShortURL"), QStringLiteral("http://wap/?id=old"));
  QCOMPARE(w.Text("ImageWapURL"), QStringLiteral("http://wap/?id=old&login=anna&password=s3cret"));
  w.server.Script({{CaptureServer::Reply::Kind::StallBeforeHead, ""}});
  w.Upload();
  QCOMPARE(captions(), QStringList({"Stop upload", "Stop upload", "Stop upload"}));
  // While it runs: Upload stops it even from a folder; the commands that
  // would change the logo are off.
  w.Select(*w.form->Tree().Root().ChildAt(0));
  QVERIFY(w.form->UploadButton->isEnabled());
  QCOMPARE(captions(), QStringList({"Stop upload", "Stop upload", "Stop upload"}));
  w.Select(w.Logo(0));
  QVERIFY(!w.form->DeleteToolButton->isEnabled());
  QVERIFY(!w.form->ConvertToolButton->isEnabled());
  QVERIFY(!w.form->GrabFromScreenToolButton->isEnabled());
  QVERIFY(!w.form->LogoWidthUpDown->isEnabled());
  QVERIFY(w.form->RenameToolButton->isEnabled());
  w.Upload();
  QVERIFY(w.WaitForEnd());
  QCOMPARE(captions(), QStringList({"Upload", "Upload", "Upload"}));
  QVERIFY(w.form->DeleteToolButton->isEnabled());
}

void UploadFlowTest::theProgressStripRunsTwentyPhases() {
  Window w(OptionsXml("anna", "s3cret", false));
  QCOMPARE(w.form->UploadAnimationPhase(), -1);
  w.server.Script({{CaptureServer::Reply::Kind::StallBeforeHead, ""}});
  w.Select(w.Logo(0));
  w.Upload();
  QCOMPARE(w.form->UploadAnimationPhase(), 0);
  QVERIFY(w.form->UploadProgressTimer->isActive());
  QCOMPARE(w.form->UploadProgressTimer->interval(), 40);
  w.form->UploadProgressTimer->stop();  // ticked by hand from here
  QList<int> phases;
  for (int i = 0; i < 22; ++i) {
    w.form->UploadProgressTimerTimer();
    phases << w.form->UploadAnimationPhase();
  }
  QCOMPARE(phases.mid(0, 3), QList<int>({1, 2, 3}));
  QCOMPARE(phases.mid(17, 5), QList<int>({18, 19, 0, 1, 2}));
  // The strip paints over the panel; idle the panel is plain.
  w.form->show();
  QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
  const QImage running = w.form->ProgressPanel->grab().toImage();
  w.Upload();
  QVERIFY(w.WaitForEnd());
  QCOMPARE(w.form->UploadAnimationPhase(), -1);
  QVERIFY(!w.form->UploadProgressTimer->isActive());
  const QImage idle = w.form->ProgressPanel->grab().toImage();
  QVERIFY(running != idle);
  QCOMPARE(idle.pixelColor(idle.width() / 2, idle.height() / 2),
           w.form->ProgressPanel->palette().color(QPalette::Button));
}

void UploadFlowTest::anotherSelectionKeepsThePanel() {
  Window v(OptionsXml("anna", "s3cret", false));
  v.server.Script(
      {CaptureServer::Ok(kMemberStatus), CaptureServer::Ok("SUCCESS\r\nhttp://wap/?id=new\r\n")});
  v.Select(v.Logo(0));
  v.Upload();
  // The completion cannot come before this: it runs on this thread.
  v.Select(v.Logo(2));
  QVERIFY(v.WaitForEnd());
  QCOMPARE(v.Logo(0).Data().uploadurl, std::string("http://wap/?id=new"));
  QCOMPARE(v.Text("ImageWapShortURL"), QStringLiteral("http://wap/?id=old"));
  QCOMPARE(v.Text("ImageID"), QStringLiteral("old"));
  QCOMPARE(v.form->UploadButton->text(), QStringLiteral("Upload again"));
}

void UploadFlowTest::stopEndsTheUploadQuietly() {
  Window w(OptionsXml("anna", "s3cret", true));
  w.server.Script(
      {CaptureServer::Ok(kMemberStatus), {CaptureServer::Reply::Kind::StallBeforeHead, ""}});
  w.Select(w.Logo(0));
  w.Upload();
  QCOMPARE(w.server.WaitForRequests(2).size(), std::size_t{2});
  QVERIFY(w.dir.Exists("Temp/sun.png"));
  w.form->UploadMenuItem->trigger();
  QVERIFY(w.WaitForEnd());
  QCOMPARE(w.form->StatusText(), QStringLiteral("Upload broken by user."));
  QVERIFY(w.prompts.Messages().empty());
  QVERIFY(!w.TempFileLeft());
  QCOMPARE(w.Logo(0).Data().uploadurl, std::string());
}

void UploadFlowTest::aFailedConnectionSaysSoAfterDone() {
  Window w(OptionsXml("anna", "s3cret", true));
  w.server.Script({CaptureServer::Answer(500, "Internal Server Error", "")});
  w.Select(w.Logo(0));
  w.Upload();
  QVERIFY(w.WaitForEnd());
  QCOMPARE(w.form->StatusText(), QStringLiteral("Done."));
  QCOMPARE(w.prompts.Lines(),
           std::vector<std::string>{"Error: Connection to server failed. Please check your proxy "
                                    "settings in menu \"Edit->Options\" and try again."});
  QVERIFY(!w.TempFileLeft());
}

void UploadFlowTest::serviceMessagesAndErrors_data() {
  QTest::addColumn<QString>("reply");
  QTest::addColumn<QString>("message");
  QTest::newRow("wrong login") << "MESSAGE\r\nWRONG_LOGIN_OR_PASSWORD\r\n"
                               << "Error: Login or password incorrect! In order to enter login "
                                  "and password open menu \"Edit->Options\" and set parameters in "
                                  "\"System Authorization\" groupbox.";
  QTest::newRow("not confirmed")
      << "MESSAGE\r\nUSER_IS_NOT_CONFIRMED\r\n"
      << "Error: Your account registration is not confirmed. In order to confirm it follow the "
         "link in EMail which was sent to you after registration.";
  QTest::newRow("other code") << "MESSAGE\r\nSOMETHING_NEW\r\n"
                              << "";
  QTest::newRow("error text") << "ERROR\r\nThis file is not a picture.\r\n"
                              << "Error: This file is not a picture.";
}

void UploadFlowTest::serviceMessagesAndErrors() {
  QFETCH(QString, reply);
  QFETCH(QString, message);
  Window w(OptionsXml("anna", "s3cret", true));
  w.server.Script({CaptureServer::Ok(kMemberStatus), CaptureServer::Ok(reply.toStdString())});
  w.Select(w.Logo(0));
  w.Upload();
  QVERIFY(w.WaitForEnd());
  QCOMPARE(w.form->StatusText(), QStringLiteral("Done."));
  const std::vector<std::string> expected = message.isEmpty()
                                                ? std::vector<std::string>{}
                                                : std::vector<std::string>{message.toStdString()};
  QCOMPARE(w.prompts.Lines(), expected);
  QCOMPARE(w.Logo(0).Data().uploadurl, std::string());
  QVERIFY(!w.TempFileLeft());
}

void UploadFlowTest::extraLinesForgetOtherLogosAddresses() {
  Window w(OptionsXml("anna", "s3cret", false));
  w.server.Script(
      {CaptureServer::Ok(kMemberStatus),
       CaptureServer::Ok("SUCCESS\r\nhttp://wap/?id=new\r\nhttp://WAP/?id=old\r\nhttp://x/\r\n")});
  w.Select(w.Logo(0));
  w.Upload();
  QVERIFY(w.WaitForEnd());
  QCOMPARE(w.Logo(0).Data().uploadurl, std::string("http://wap/?id=new"));
  QCOMPARE(w.Logo(2).Data().uploadurl, std::string());
}

void UploadFlowTest::nothingInTheFrameWarnsAndSendsNothing() {
  Window w(OptionsXml("anna", "s3cret", false));
  w.Select(w.Logo(0));
  TLogoDirObject& logo = w.Logo(0).Data();
  logo.frameleft = 5000;
  logo.frametop = 5000;
  w.Select(w.Logo(1));
  w.Select(w.Logo(0));
  w.Upload();
  QCOMPARE(w.prompts.Lines(),
           std::vector<std::string>{"Warning: There is no part of source picture in the selection "
                                    "area. Please select some part of picture and try again"});
  QVERIFY(!w.form->IsUploading());
  QVERIFY(!w.dir.Exists("Temp/sun.png"));
  QCOMPARE(w.server.Connections(), 0);
}

void UploadFlowTest::aCancelledLoginSendsNothing() {
  Window w(OptionsXml("", "", false));
  w.Select(w.Logo(0));
  AnswerNextModal([](QWidget* modal) {
    auto* prompt = qobject_cast<quillet::TSysAuthForm*>(modal);
    QVERIFY(prompt != nullptr);
    prompt->CancelButton->click();
  });
  w.Upload();
  QVERIFY(!w.form->IsUploading());
  QVERIFY(!w.dir.Exists("Temp/sun.png"));
  QCOMPARE(w.server.Connections(), 0);
}

void UploadFlowTest::theLoginPromptSavesAndUploads() {
  Window w(OptionsXml("", "", false));
  w.server.Script(
      {CaptureServer::Ok(kMemberStatus), CaptureServer::Ok("SUCCESS\r\nhttp://wap/?id=1\r\n")});
  w.Select(w.Logo(0));
  AnswerNextModal([](QWidget* modal) {
    auto* prompt = qobject_cast<quillet::TSysAuthForm*>(modal);
    QVERIFY(prompt != nullptr);
    prompt->Login->setText("bob");
    prompt->Password->setText("pw");
    prompt->OKButton->click();
  });
  w.Upload();
  QVERIFY(w.WaitForEnd());
  QVERIFY(w.dir.Read("options.xml").find("<login value=\"bob\"/>") != std::string::npos);
  QVERIFY(w.server.Requests()[0].find("\r\n\r\nbob\r\n") != std::string::npos);
  QCOMPARE(w.Logo(0).Data().uploadurl, std::string("http://wap/?id=1"));
}

void UploadFlowTest::aJpegLogoAsksForItsSettingsFirst() {
  Window w(OptionsXml("anna", "s3cret", false, true));
  w.Select(w.Logo(1));  // photo.jpeg
  bool asked = false;
  AnswerNextModal([&](QWidget* modal) {
    asked = qobject_cast<quillet::TJPEGPropsForm*>(modal) != nullptr;
    modal->close();
  });
  w.Upload();
  QVERIFY(asked);
  QVERIFY(!w.form->IsUploading());
  QVERIFY(!w.dir.Exists("Temp/photo.jpeg"));
  QCOMPARE(w.server.Connections(), 0);
}

void UploadFlowTest::deleteKeyDuringUploadIsRefused() {
  Window w(OptionsXml("anna", "s3cret", false));
  w.server.Script({{CaptureServer::Reply::Kind::StallBeforeHead, ""}});
  w.Select(w.Logo(0));
  w.Upload();
  QTest::keyClick(w.form->LogoTreeView, Qt::Key_Delete);
  QCOMPARE(w.prompts.Lines(),
           std::vector<std::string>{"Warning: Function is not supported during image upload."});
  QVERIFY(w.dir.Exists("Logo Directory/Cars/sun.png"));
  w.Upload();
  QVERIFY(w.WaitForEnd());
}

void UploadFlowTest::thePortMustBeAWholeNumber() {
  Window w(
      "<options><login value=\"a\"/><password value=\"b\"/><proxysource value=\"manual\"/>"
      "<proxyhost value=\"127.0.0.1\"/><proxyport value=\"8o8o\"/></options>");
  w.Select(w.Logo(0));
  w.Upload();
  QCOMPARE(w.prompts.Lines(),
           std::vector<std::string>{"Error: '8o8o' is not a valid integer value"});
  QVERIFY(!w.form->IsUploading());
  QVERIFY(!w.dir.Exists("Temp/sun.png"));
}

QTEST_MAIN(UploadFlowTest)
#include "UploadFlowTest.moc"

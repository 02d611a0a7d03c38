// Pictures by their address: the download dialog against servers on
// 127.0.0.1 (a capture server, openssl's https server), through "Add picture
// from address..." and a link dropped on the tree.
#include <QAction>
#include <QApplication>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <memory>

#include "core/codecs/Codecs.h"
#include "core/logodir/LogoDirectoryFile.h"
#include "gui/acquire/PictureDownloadForm.h"
#include "gui/app/MainAppForm.h"
#include "gui/service/CredentialsForm.h"
#include "gui/settings/OptionsForm.h"
#include "support/CaptureServer.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TestTls.h"

using quillet::LogoNode;
using quillet::NodeKind;
using quillet::TLogoDirObject;
using quillet::testing::CaptureServer;
using quillet::testing::ScriptedPrompts;
using quillet::testing::TempDir;

namespace {

std::string PngBytes(int width, int height) {
  const std::vector<std::uint8_t> bytes =
      quillet::EncodePng(quillet::Bitmap(width, height, quillet::MakeColor(10, 120, 250)));
  return std::string(bytes.begin(), bytes.end());
}

struct Window {
  CaptureServer server;
  TempDir dir;
  ScriptedPrompts prompts;
  std::unique_ptr<quillet::TMainAppForm> form;
  std::unique_ptr<quillet::TOptionsForm> options;
  std::unique_ptr<quillet::TProxyAuthForm> proxyAuth;
  std::unique_ptr<quillet::TPictureDownloadForm> download;

  Window() {
    dir.Write("phoneslist.xml",
              "<phoneslist><make name=\"A\"><model name=\"B\" screenwidth=\"120\" "
              "screenheight=\"90\"/></make></phoneslist>");
    dir.Write("options.xml", "<options><proxysource value=\"noproxy\"/></options>");
    dir.Write("parameters.xml", "<parameters/>");
    quillet::LogoTree tree;
    tree.Append(tree.Root(), TLogoDirObject(NodeKind::Folder, "Web"));
    dir.MakeDir("Logo Directory/Web");
    dir.Write("logodirectory.xml", quillet::LogoDirectoryDocument(tree));
    form = std::make_unique<quillet::TMainAppForm>(dir.Path(), prompts);
    options = std::make_unique<quillet::TOptionsForm>(dir.Path(), prompts, form.get(),
                                                      quillet::SystemProxyReader{});
    form->AttachOptionsForm(options.get());
    proxyAuth = std::make_unique<quillet::TProxyAuthForm>(form.get());
    download = std::make_unique<quillet::TPictureDownloadForm>(dir.Path(), *options, prompts,
                                                               proxyAuth.get(), form.get());
    download->PictDownloadConn.SetRequestTimeoutForTests(std::chrono::seconds(30));
    form->AttachPictureDownloadForm(download.get());
    form->FormActivate();
    form->SelectNode(&Web());
  }
  ~Window() {
    download.reset();
    proxyAuth.reset();
    options.reset();
    form.reset();
  }

  LogoNode& Web() { return *form->Tree().Root().ChildAt(0); }
  std::string Url(const std::string& path) { return "http://" + server.HostAndPort() + path; }
  void AddFromAddress(const std::string& url) {
    prompts.QueueInput(url);
    form->AddPictureFromAddressMenuItem->trigger();
  }
  std::string SelectedName() {
    LogoNode* node = form->SelectedNode();
    return node == nullptr ? "" : node->Text();
  }
  bool TempEmpty() {
    std::error_code error;
    return !std::filesystem::exists(dir.Path() + "Temp", error) ||
           std::filesystem::is_empty(dir.Path() + "Temp", error);
  }
};

}  // namespace

class PictureDownloadFormTest : public QObject {
  Q_OBJECT

 private slots:
  void aPictureByItsAddressBecomesASelectedLogo() {
    Window w;
    w.server.Script({CaptureServer::Ok(PngBytes(40, 30)), CaptureServer::Ok(PngBytes(50, 20))});
    w.AddFromAddress(w.Url("/pics/cat.png"));
    QCOMPARE(w.SelectedName(), std::string("cat.png"));
    QVERIFY(w.dir.Exists("Logo Directory/Web/cat.png"));
    QVERIFY(w.TempEmpty());
    QVERIFY(w.prompts.Lines().size() == 0);
    QVERIFY(w.prompts.InputPrompts().at(0).starts_with("Add picture from address|"));
    // The same name again is made unique in its folder.
    w.form->SelectNode(&w.Web());
    w.AddFromAddress(w.Url("/other/cat.png"));
    QCOMPARE(w.SelectedName(), std::string("cat2.png"));
    QVERIFY(w.server.Requests().at(0).starts_with("GET /pics/cat.png HTTP/1.1\r\n"));
  }

  void failuresAddNothingAndLeaveNoTemporaryFile_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("message");
    QTest::newRow("not found") << "/pics/cat.png" << 404 << ""
                               << "Error: Error downloading picture. Please check proxy settings "
                                  "in menu Edit->Options and try again.";
    QTest::newRow("unsupported type") << "/pic.jpg?size=2" << 0 << ""
                                      << "Error: Unsupported picture file type : .JPG?SIZE=2";
    QTest::newRow("no extension") << "/pic" << 0 << ""
                                  << "Error: Unsupported picture file type : ";
    QTest::newRow("not a picture") << "/fake.png" << 200 << "<html>not a picture</html>"
                                   << "Error: Error loading image. Check if you have enough disk "
                                      "space and write permissions.";
  }
  void failuresAddNothingAndLeaveNoTemporaryFile() {
    QFETCH(QString, path);
    QFETCH(int, status);
    QFETCH(QString, body);
    QFETCH(QString, message);
    Window w;
    if (status != 0) w.server.Script({CaptureServer::Answer(status, "X", body.toStdString())});
    w.AddFromAddress(w.Url(path.toStdString()));
    QCOMPARE(w.prompts.Lines(), std::vector<std::string>{message.toStdString()});
    QCOMPARE(w.Web().ChildCount(), 0);
    QVERIFY(w.TempEmpty());
    if (status == 0) QCOMPARE(w.server.Connections(), 0);
  }

  void cancelEndsAStalledDownloadSilently() {
    Window w;
    // No length announced: the bar is a busy bar while the body comes.
    w.server.Script({{CaptureServer::Reply::Kind::StallMidBody, "HTTP/1.1 200 OK\r\n\r\n\x89PNG"}});
    bool busyBar = false, refusedToClose = false;
    QTimer::singleShot(300, [&] {
      busyBar = w.download->PictureDownloadProgressBar->maximum() == 0;
      w.download->reject();  // Escape waits for the download
      refusedToClose = w.download->isVisible();
      w.download->CancelButton->click();
    });
    w.AddFromAddress(w.Url("/pics/slow.png"));
    QVERIFY(busyBar);
    QVERIFY(refusedToClose);
    QVERIFY(!w.download->isVisible());
    QVERIFY(w.prompts.Lines().empty());
    QCOMPARE(w.Web().ChildCount(), 0);
    QVERIFY(w.TempEmpty());
  }

  void anHttpsAddressIsFetchedWithVerification() {
    Window w;
    TempDir tls;
    const quillet::testing::TestAuthority authority =
        quillet::testing::MakeTestAuthority(tls.Path());
    tls.Write("www/secure.png", PngBytes(32, 32));
    quillet::testing::HttpsFileServer server(authority, tls.Path() + "www");
    QVERIFY(server.Running());
    w.download->PictDownloadConn.SetCertificateAuthorities(authority.caFile);
    w.AddFromAddress("https://127.0.0.1:" + std::to_string(server.Port()) + "/secure.png");
    QCOMPARE(w.SelectedName(), std::string("secure.png"));
    QVERIFY(w.prompts.Lines().empty());
  }

  void aLinkDroppedOnTheTreeIsDownloaded() {
    Window w;
    w.server.Script({CaptureServer::Ok(PngBytes(64, 48))});
    auto* mime = new QMimeData;
    mime->setUrls({QUrl(QString::fromStdString(w.Url("/gallery/dropped.png")))});
    QWidget* viewport = w.form->LogoTreeView->viewport();
    const QPoint where =
        w.form->LogoTreeView->visualRect(w.form->LogoTreeView->currentIndex()).center();
    QDragEnterEvent enter(where, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(where), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    QVERIFY(drop.isAccepted());
    QVERIFY(QTest::qWaitFor([&] { return w.Web().ChildCount() == 1; }, 30000));
    QCOMPARE(w.Web().ChildAt(0)->Text(), std::string("dropped.png"));
    delete mime;
  }

  void onlyTheHandOffsOwnFilesAreTakenFromFileAddresses() {
    Window w;
    w.dir.Write("elsewhere.png", PngBytes(20, 20));
    w.AddFromAddress("file://" + w.dir.Path() + "elsewhere.png");
    QCOMPARE(w.Web().ChildCount(), 0);
    QCOMPARE(w.prompts.Lines().size(), std::size_t{1});
    QVERIFY(w.dir.Exists("elsewhere.png"));
    w.prompts.Clear();
    w.dir.Write("Temp/handoff/page-picture.png", PngBytes(20, 20));
    w.AddFromAddress("file://" + w.dir.Path() + "Temp/handoff/page-picture.png");
    QCOMPARE(w.SelectedName(), std::string("page-picture.png"));
    QVERIFY(w.prompts.Lines().empty());
  }
};

QTEST_MAIN(PictureDownloadFormTest)
#include "PictureDownloadFormTest.moc"

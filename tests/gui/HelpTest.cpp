#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <set>

#include "core/app/ProgramFolder.h"
#include "gui/app/Help.h"
#include "gui/app/Resources.h"
#include "gui/app/WebPage.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

using quillet::testing::ScriptedPrompts;
using quillet::testing::TempDir;

namespace {

// A browser that records its argument and its working folder, then ends.
std::string WriteRecordingBrowser(const TempDir& folder) {
  std::string path = folder.Write("bin/browser",
                                  "#!/bin/sh\n"
                                  "pwd > \"$(dirname \"$0\")/cwd.tmp\"\n"
                                  "printf '%s|%s' \"$#\" \"$1\" > \"$(dirname \"$0\")/args.tmp\"\n"
                                  "mv \"$(dirname \"$0\")/cwd.tmp\" \"$(dirname \"$0\")/cwd\"\n"
                                  "mv \"$(dirname \"$0\")/args.tmp\" \"$(dirname \"$0\")/args\"\n");
  QFile::setPermissions(QString::fromStdString(path),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  return path;
}

bool WaitForFile(const TempDir& folder, const char* name) {
  return QTest::qWaitFor([&] { return folder.Exists(name); }, 10000);
}

QString SourceHelpText() {
  QFile file(QStringLiteral(QUILLET_SOURCE_DIR "/data/qhelp.html"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

}  // namespace

class HelpTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { quillet::InitResources(); }
  void init() { qunsetenv("BROWSER"); }
  void webLinksAreNumberedAndWellFormed();
  void faqAddressIsOnTheGivenHost();
  void browserComesFromTheEnvironment_data();
  void browserComesFromTheEnvironment();
  void missingBrowserShowsSystemTextAndPath_data();
  void missingBrowserShowsSystemTextAndPath();
  void browserGetsTheAddressAsOneArgumentInItsFolder();
  void helpWindowShowsTheFile();
  void missingHelpFileIsReported();
  void webLinksInTheHelpGoToTheBrowser();
  void shippedHelpCoversCommandsAndShortcuts();
  void shippedHelpAnchorsAndPicturesResolve();
  void shippedHelpDescribesTheCommandsAsTheyWork();
};

void HelpTest::webLinksAreNumberedAndWellFormed() {
  const auto& links = quillet::WebLinks();
  QCOMPARE(links.size(), std::size_t(21));
  std::set<std::string> addresses;
  for (std::size_t i = 0; i < links.size(); ++i) {
    const std::string prefix = std::to_string(i + 1) + ". ";
    QVERIFY2(links[i].caption.rfind(prefix, 0) == 0, links[i].caption.c_str());
    QVERIFY(links[i].caption.size() > prefix.size());
    QUrl url(QString::fromStdString(links[i].address), QUrl::StrictMode);
    QVERIFY2(
        url.isValid() && url.scheme().startsWith(QLatin1String("http")) && !url.host().isEmpty(),
        links[i].address.c_str());
    addresses.insert(links[i].address);
  }
  QCOMPARE(addresses.size(), links.size());
}

void HelpTest::faqAddressIsOnTheGivenHost() {
  QCOMPARE(quillet::FaqAddress("wap.example.org"), std::string("http://wap.example.org/faq.php"));
}

void HelpTest::browserComesFromTheEnvironment_data() {
  QTest::addColumn<QByteArray>("value");
  QTest::addColumn<bool>("set");
  QTest::addColumn<QString>("browser");
  QTest::newRow("unset") << QByteArray() << false << "xdg-open";
  QTest::newRow("empty") << QByteArray("") << true << "xdg-open";
  QTest::newRow("one program") << QByteArray("/opt/web/browse") << true << "/opt/web/browse";
  QTest::newRow("a list") << QByteArray("firefox:chromium") << true << "firefox";
}

void HelpTest::browserComesFromTheEnvironment() {
  QFETCH(QByteArray, value);
  QFETCH(bool, set);
  QFETCH(QString, browser);
  if (set) qputenv("BROWSER", value);
  QCOMPARE(QString::fromStdString(quillet::BrowserProgram()), browser);
}

void HelpTest::missingBrowserShowsSystemTextAndPath_data() {
  QTest::addColumn<QString>("browser");
  QTest::addColumn<QString>("systemText");
  QTest::newRow("no such file") << "/nonexistent/quillet-browser"
                                << "No such file or directory";
  QTest::newRow("not on PATH") << "quillet-no-such-browser"
                               << "No such file or directory";
  QTest::newRow("not executable") << ""
                                  << "Permission denied";
}

void HelpTest::missingBrowserShowsSystemTextAndPath() {
  QFETCH(QString, browser);
  QFETCH(QString, systemText);
  TempDir folder;
  std::string program = browser.toStdString();
  if (program.empty()) program = folder.Write("plain.txt", "not a program");
  ScriptedPrompts prompts;
  qputenv("BROWSER", QByteArray::fromStdString(program));
  QVERIFY(!quillet::OpenWebPage("http://example.org/", prompts));
  QCOMPARE(prompts.Lines(),
           (std::vector<std::string>{"Error: " + systemText.toStdString() + " " + program}));
}

void HelpTest::browserGetsTheAddressAsOneArgumentInItsFolder() {
  TempDir folder;
  const std::string browser = WriteRecordingBrowser(folder);
  ScriptedPrompts prompts;
  const std::string address = "http://example.org/a b?x=1&y='2'";
  qputenv("BROWSER", QByteArray::fromStdString(browser));
  QVERIFY(quillet::OpenWebPage(address, prompts));
  QVERIFY(WaitForFile(folder, "bin/args"));
  QVERIFY(WaitForFile(folder, "bin/cwd"));
  QCOMPARE(folder.Read("bin/args"), "1|" + address);
  QCOMPARE(folder.Read("bin/cwd"), folder.Path() + "bin\n");
  QVERIFY(prompts.Messages().empty());
}

void HelpTest::helpWindowShowsTheFile() {
  TempDir folder;
  folder.Write("qhelp.html",
               "<html><body><h1><a name=\"contents\"></a>Quillet Help</h1>"
               "<p>Open a picture.</p></body></html>");
  ScriptedPrompts prompts;
  quillet::THelpForm help(folder.Path(), prompts);
  QVERIFY(help.ShowContents());
  QVERIFY(help.isVisible());
  QVERIFY(help.isWindow());
  // Placed in the middle of the screen (give or take the window frame),
  // not in its corner.
  const QPoint middle = QGuiApplication::primaryScreen()->availableGeometry().center();
  QVERIFY((help.frameGeometry().center() - middle).manhattanLength() <= 8);
  QVERIFY(help.HelpBrowser->toPlainText().contains(QStringLiteral("Open a picture.")));
  QVERIFY(help.ShowContents());  // again, while it is open
  help.CloseHelp();
  QVERIFY(!help.isVisible());
  // Escape puts it away too.
  QVERIFY(help.ShowContents());
  help.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&help));
  QTest::keyClick(help.HelpBrowser, Qt::Key_Escape);
  QVERIFY(!help.isVisible());
  QVERIFY(prompts.Messages().empty());
}

void HelpTest::missingHelpFileIsReported() {
  TempDir folder;
  ScriptedPrompts prompts;
  quillet::THelpForm help(folder.Path(), prompts);
  QVERIFY(!help.ShowContents());
  QVERIFY(!help.isVisible());
  QCOMPARE(prompts.Lines(), (std::vector<std::string>{"Error: The help file " + folder.Path() +
                                                      "qhelp.html was not found."}));
  help.CloseHelp();  // the shutdown step with no window open
}

void HelpTest::webLinksInTheHelpGoToTheBrowser() {
  TempDir folder;
  folder.Write("qhelp.html", "<p><a href=\"#x\">x</a></p>");
  const std::string browser = WriteRecordingBrowser(folder);
  qputenv("BROWSER", QByteArray::fromStdString(browser));
  ScriptedPrompts prompts;
  quillet::THelpForm help(folder.Path(), prompts);
  QVERIFY(help.ShowContents());
  const QUrl shown = help.HelpBrowser->source();
  emit help.HelpBrowser->anchorClicked(QUrl(QStringLiteral("https://example.org/pictures")));
  QVERIFY(WaitForFile(folder, "bin/args"));
  QCOMPARE(folder.Read("bin/args"), std::string("1|https://example.org/pictures"));
  QCOMPARE(help.HelpBrowser->source(), shown);
}

void HelpTest::shippedHelpCoversCommandsAndShortcuts() {
  const QString text = SourceHelpText();
  QVERIFY(!text.isEmpty());
  for (const char* phrase : {"Open...",
                             "Save...",
                             "Import from TWAIN source",
                             "Acquire image...",
                             "Select source...",
                             "Grab from screen",
                             "Upload",
                             "Stop upload",
                             "New folder...",
                             "Exit",
                             "Rename...",
                             "Delete",
                             "Convert to",
                             "Mirror",
                             "Rotate",
                             "Options...",
                             "Fit image into pane",
                             "Links",
                             "Contents",
                             "FAQ",
                             "Send to friend...",
                             "About...",
                             "Connectivity",
                             "Imaging",
                             "Confirmations",
                             "General",
                             "Picture Width",
                             "Picture Height",
                             "Smaller Dimension",
                             "Bigger Dimension",
                             "Keep proportions",
                             "Ctrl+O",
                             "Ctrl+S",
                             "Del",
                             "F2",
                             "Ctrl+Q",
                             "F1",
                             "Ctrl+Shift+N",
                             "Ctrl+V",
                             "Ctrl+F",
                             "Logo Directory",
                             "options.xml",
                             "logodirectory.xml",
                             "QUILLET_HOME"}) {
    QVERIFY2(text.contains(QString::fromUtf8(phrase)), phrase);
  }
}

void HelpTest::shippedHelpAnchorsAndPicturesResolve() {
  const QString text = SourceHelpText();
  QSet<QString> anchors;
  for (const auto& match :
       QRegularExpression(QStringLiteral("name=\"([^\"]+)\"")).globalMatch(text))
    anchors.insert(match.captured(1));
  QVERIFY(anchors.contains(QStringLiteral("contents")));
  for (const auto& match :
       QRegularExpression(QStringLiteral("href=\"#([^\"]+)\"")).globalMatch(text))
    QVERIFY2(anchors.contains(match.captured(1)), qPrintable(match.captured(1)));
  // The pictures of the help are the program's own icons.
  QTextBrowser browser;
  for (const auto& match :
       QRegularExpression(QStringLiteral("src=\"([^\"]+)\"")).globalMatch(text)) {
    QVariant picture = browser.loadResource(QTextDocument::ImageResource, QUrl(match.captured(1)));
    QVERIFY2(picture.isValid() && !picture.toByteArray().isEmpty(), qPrintable(match.captured(1)));
  }
}

void HelpTest::shippedHelpDescribesTheCommandsAsTheyWork() {
  // The help describes what works as working, and says so of what does not
  // work yet.
  const QString text = SourceHelpText();
  auto description = [&](const char* command) {
    const qsizetype row = text.indexOf(QString::fromUtf8(command));
    return row < 0 ? QString() : text.mid(row, text.indexOf(QStringLiteral("</tr>"), row) - row);
  };
  for (const char* command : {"Import from TWAIN source</td>", "Grab from screen</td>",
                              "Upload</td>", "Send to friend...</td>"}) {
    QVERIFY2(!description(command).isEmpty(), command);
    QVERIFY2(!description(command).contains(QStringLiteral("later version")), command);
  }
  QVERIFY(!text.contains(QStringLiteral("later version")));
  const qsizetype upload = text.indexOf(QStringLiteral("name=\"upload\""));
  QVERIFY(upload >= 0);
  QVERIFY(!text.mid(upload, 400).contains(QStringLiteral("later version")));
}

QTEST_MAIN(HelpTest)
#include "HelpTest.moc"

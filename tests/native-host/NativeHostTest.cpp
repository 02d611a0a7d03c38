// quillet-native-host driven through its real framing on standard input, on
// a private session bus where this test offers the real automation object
// under the program's bus name.
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "core/automation/HandOff.h"
#include "core/automation/HandOffPicture.h"
#include "core/automation/Registration.h"
#include "gui/automation/QuilletPIBusObject.h"
#include "support/PrivateBus.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using quillet::testing::ReadFileOrEmpty;
using quillet::testing::TempDir;

constexpr std::uint32_t kLimit = 8u << 20;
const QByteArray kPng("\x89PNG\r\n\x1a\n\0\0\0\rIHDR-rest-of-a-picture", 32);

QByteArray Frame(const QByteArray& json) {
  const auto length = static_cast<std::uint32_t>(json.size());
  QByteArray frame(reinterpret_cast<const char*>(&length), sizeof length);
  return frame + json;
}

QByteArray Json(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray UrlMessage(const QString& url) {
  return Json({{QStringLiteral("url"), url}});
}

QByteArray BytesMessage(const QByteArray& bytes, const QString& type, const QString& name) {
  return Json({{QStringLiteral("bytes"), QString::fromLatin1(bytes.toBase64())},
               {QStringLiteral("type"), type},
               {QStringLiteral("name"), name}});
}

struct HostRun {
  int exitCode = -1;
  bool finished = false;
  std::vector<QJsonObject> replies;
  QByteArray leftover;  // output that is no whole frame
  QByteArray errors;
};

class NativeHostTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void addressesGoOverAsTheyAre();
  void picturesSentAsBytesAreStoredInTemp();
  void dataAddressesAreStoredToo();
  void ownFileAddressesAndNoOthers();
  void badMessagesAreRefusedAndTheSessionGoesOn();
  void aMessageOfExactlyTheLimitIsRead();
  void aLargerMessageIsRefusedAndEndsTheSession();
  void brokenFramesEndTheSessionWithoutAnAnswer();
  void withoutRegistrationOnlyAddressesGo();
  void aProgramThatCannotBeReachedIsReportedAndTheCopyGoes();
  void aKeyThatCannotBeOpenedIsReported();

 private:
  HostRun RunHost(const QByteArray& input);
  std::string Temp() const { return dir_->Path() + "program/Temp"; }
  std::string ImageUrl() const {
    return quillet::ParseHandOffText(ReadFileOrEmpty(key_.file)).imageUrl.value_or("<none>");
  }

  std::unique_ptr<TempDir> dir_;
  quillet::HandOffKey key_;
  std::unique_ptr<quillet::TQuilletPIBusObject> object_;
  int takeRequests_ = 0;
};

void NativeHostTest::init() {
  dir_ = std::make_unique<TempDir>();
  key_ = quillet::HandOffKeyIn(dir_->Path() + "config");
  QVERIFY(quillet::WriteHandOffAppPath(key_, dir_->Path() + "program").ok);
  object_ = std::make_unique<quillet::TQuilletPIBusObject>(key_);
  takeRequests_ = 0;
  connect(object_.get(), &quillet::TQuilletPIBusObject::TakeHandedOverPictureRequested, this,
          [this] { ++takeRequests_; });
  QDBusConnection bus = QDBusConnection::sessionBus();
  QVERIFY(object_->Register(bus));
  QCOMPARE(bus.interface()
               ->registerService(QLatin1String(quillet::kBusName),
                                 QDBusConnectionInterface::DontQueueService)
               .value(),
           QDBusConnectionInterface::ServiceRegistered);
}

void NativeHostTest::cleanup() {
  QDBusConnection::sessionBus().interface()->unregisterService(QLatin1String(quillet::kBusName));
  object_.reset();
  dir_.reset();
}

HostRun NativeHostTest::RunHost(const QByteArray& input) {
  HostRun run;
  QProcess host;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("HOME"), QString::fromStdString(dir_->Path() + "home"));
  environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                     QString::fromStdString(dir_->Path() + "config"));
  host.setProcessEnvironment(environment);
  // As a browser starts it: the extension's origin as the argument.
  host.start(QStringLiteral(QUILLET_NATIVE_HOST_PATH),
             {QStringLiteral("chrome-extension://%1/").arg(quillet::kChromiumExtensionId)});
  if (!host.waitForStarted(10000)) return run;
  host.write(input);
  host.closeWriteChannel();
  // The host's calls come back to the object here: keep the loop running.
  const QDeadlineTimer deadline(60000);
  while (host.state() != QProcess::NotRunning && !deadline.hasExpired())
    QTest::qWait(5);
  if (host.state() != QProcess::NotRunning) {
    host.kill();
    host.waitForFinished(5000);
    return run;
  }
  run.finished = host.exitStatus() == QProcess::NormalExit;
  run.exitCode = host.exitCode();
  run.errors = host.readAllStandardError();
  QByteArray out = host.readAllStandardOutput();
  while (out.size() >= 4) {
    std::uint32_t length = 0;
    std::memcpy(&length, out.constData(), sizeof length);
    if (out.size() < 4 + static_cast<qsizetype>(length)) break;
    run.replies.push_back(QJsonDocument::fromJson(out.mid(4, length)).object());
    out.remove(0, 4 + length);
  }
  run.leftover = out;
  return run;
}

// Every run ends by itself, cleanly, with whole frames only.
#define CHECK_CLEAN_RUN(run)                                                                 \
  do {                                                                                       \
    QVERIFY2((run).finished, (run).errors.constData());                                      \
    QVERIFY2(!(run).errors.contains("Sanitizer") && !(run).errors.contains("runtime error"), \
             (run).errors.constData());                                                      \
    QVERIFY((run).leftover.isEmpty());                                                       \
  } while (false)

QJsonObject Ok() {
  return {{QStringLiteral("ok"), true}};
}

QString ErrorOf(const QJsonObject& reply) {
  if (reply.value(QStringLiteral("ok")).toBool(true)) return QStringLiteral("<ok>");
  return reply.value(QStringLiteral("error")).toString();
}

void NativeHostTest::addressesGoOverAsTheyAre() {
  const QString first = QStringLiteral("http://127.0.0.1:8080/pics/cat.JPG");
  const QString second = QStringLiteral("HTTPS://example.test/фото/кот.png?size=2");
  const HostRun run = RunHost(Frame(UrlMessage(first)) + Frame(UrlMessage(second)));
  CHECK_CLEAN_RUN(run);
  QCOMPARE(run.exitCode, 0);
  QCOMPARE(run.replies.size(), 2u);
  QCOMPARE(run.replies[0], Ok());
  QCOMPARE(run.replies[1], Ok());
  // The latest address waits in the file; the program was asked twice.
  QCOMPARE(ImageUrl(), second.toStdString());
  QTRY_COMPARE(takeRequests_, 2);
}

void NativeHostTest::picturesSentAsBytesAreStoredInTemp() {
  const HostRun run = RunHost(
      Frame(BytesMessage(kPng, QStringLiteral("image/png"), QStringLiteral("../../cat.png"))) +
      Frame(BytesMessage("GIF89a-second", QStringLiteral("image/gif"), QString())));
  CHECK_CLEAN_RUN(run);
  QCOMPARE(run.replies.size(), 2u);
  QCOMPARE(run.replies[0], Ok());
  QCOMPARE(run.replies[1], Ok());
  const std::string cat = Temp() + "/cat.png";
  QCOMPARE(ReadFileOrEmpty(cat), kPng.toStdString());
  QCOMPARE(ReadFileOrEmpty(Temp() + "/picture.gif"), std::string("GIF89a-second"));
  QCOMPARE(ImageUrl(), quillet::FileUrlOf(Temp() + "/picture.gif"));
  QCOMPARE(quillet::OwnTempFilePath(quillet::FileUrlOf(cat), Temp()), cat);
  // Nothing climbed out of "Temp", nothing half-written stayed there.
  QVERIFY(!fs::exists(dir_->Path() + "cat.png"));
  QCOMPARE(std::distance(fs::directory_iterator(Temp()), fs::directory_iterator()), 2);
  QTRY_COMPARE(takeRequests_, 2);
}

void NativeHostTest::dataAddressesAreStoredToo() {
  const QString url =
      QStringLiteral("data:image/png;base64,") + QString::fromLatin1(kPng.toBase64());
  const HostRun run = RunHost(Frame(UrlMessage(url)));
  CHECK_CLEAN_RUN(run);
  QCOMPARE(run.replies.size(), 1u);
  QCOMPARE(run.replies[0], Ok());
  QCOMPARE(ReadFileOrEmpty(Temp() + "/picture.png"), kPng.toStdString());
  QCOMPARE(ImageUrl(), quillet::FileUrlOf(Temp() + "/picture.png"));
}

void NativeHostTest::ownFileAddressesAndNoOthers() {
  fs::create_directories(Temp());
  const std::string own = dir_->Write("program/Temp/own picture.png", "png");
  dir_->Write("program/options.xml", "<options/>");
  const HostRun run =
      RunHost(Frame(UrlMessage(QString::fromStdString(quillet::FileUrlOf(own)))) +
              Frame(UrlMessage(QString::fromStdString("file://" + Temp() + "/../options.xml"))) +
              Frame(UrlMessage(QStringLiteral("file:///etc/passwd"))));
  CHECK_CLEAN_RUN(run);
  QCOMPARE(run.replies.size(), 3u);
  QCOMPARE(run.replies[0], Ok());
  QCOMPARE(ImageUrl(), quillet::FileUrlOf(own));
  for (int i : {1, 2})
    QVERIFY2(ErrorOf(run.replies[i]).contains("Temp"), qPrintable(ErrorOf(run.replies[i])));
}

void NativeHostTest::badMessagesAreRefusedAndTheSessionGoesOn() {
  struct Case {
    QByteArray message;
    const char* error;
  };
  const std::vector<Case> cases = {
      {"not json", "not a JSON object"},
      {"[\"http://a/b.png\"]", "not a JSON object"},
      {"{\"url\": \"http://a/b.png\"", "not a JSON object"},
      {"{\"url\": 7}", "\"url\" is not a text"},
      {"{\"url\": \"http://a/b.png\", \"extra\": \"x\"}", "Unknown field \"extra\""},
      {"{\"url\": \"http://a/b.png\", \"name\": \"b.png\"}", "no other field"},
      {"{\"name\": \"b.png\"}", "\"bytes\" with \"type\""},
      {"{\"bytes\": \"iVBORw==\"}", "\"bytes\" with \"type\""},
      {"{}", "\"bytes\" with \"type\""},
      {"{\"url\": \"ftp://a/b.png\"}", "Only http, https and data"},
      {"{\"url\": \"javascript:alert(1)\"}", "Only http, https and data"},
      {"{\"url\": \"blob:http://a/1234\"}", "Only http, https and data"},
      {"{\"url\": \"http://\"}", "Only http, https and data"},
      {"{\"url\": \"http://a/b.png\\nAppPath=/tmp\"}", "line break"},
      {"{\"url\": \"http://a/b.png\\u0000.jpg\"}", "line break"},
      {"{\"url\": \"data:image/png;base64,!!!\"}", "data: address cannot be read"},
      {"{\"url\": \"data:text/html,<b>hi</b>\"}", "Unsupported picture type: text/html"},
      {"{\"bytes\": \"iVBORw0KGgo\", \"type\": \"image/png\"}", "not base64"},
      {"{\"bytes\": \"iVBO Rw==\", \"type\": \"image/png\"}", "not base64"},
      {"{\"bytes\": \"UklGRg==\", \"type\": \"image/webp\"}",
       "Unsupported picture type: image/webp"},
      {"{\"bytes\": \"\", \"type\": \"image/png\"}", "picture is empty"},
      {"", "not a JSON object"},
  };
  QByteArray input;
  for (const Case& c : cases)
    input += Frame(c.message);
  input += Frame(UrlMessage(QStringLiteral("http://a/after.png")));  // still read
  const HostRun run = RunHost(input);
  CHECK_CLEAN_RUN(run);
  QCOMPARE(run.exitCode, 0);
  QCOMPARE(run.replies.size(), cases.size() + 1);
  for (std::size_t i = 0; i < cases.size(); ++i)
    QVERIFY2(ErrorOf(run.replies[i]).contains(QLatin1String(cases[i].error)),
             qPrintable(QString::fromLatin1(cases[i].message) + " -> " + ErrorOf(run.replies[i])));
  QCOMPARE(run.replies.back(), Ok());
  QCOMPARE(ImageUrl(), std::string("http://a/after.png"));
  QVERIFY(!fs::exists(Temp()) || fs::is_empty(Temp()));
}

void NativeHostTest::aMessageOfExactlyTheLimitIsRead() {
  const QByteArray empty = BytesMessage({}, QStringLiteral("image/png"), QString());
  const qsizetype room = kLimit - empty.size();
  const qsizetype base64 = room / 4 * 4;
  QByteArray bytes = QByteArray::fromBase64(QByteArray(base64, 'A'));
  bytes.replace(0, kPng.size(), kPng);
  const QByteArray message =
      BytesMessage(bytes, QStringLiteral("image/png"), QString(room - base64, QLatin1Char('b')));
  QCOMPARE(message.size(), qsizetype(kLimit));
  const HostRun run = RunHost(Frame(message));
  CHECK_CLEAN_RUN(run);
  QCOMPARE(run.replies.size(), 1u);
  QCOMPARE(run.replies[0], Ok());
  const std::string path = quillet::OwnTempFilePath(ImageUrl(), Temp()).value_or("");
  QCOMPARE(fs::file_size(path), std::uintmax_t(bytes.size()));
}

void NativeHostTest::aLargerMessageIsRefusedAndEndsTheSession() {
  // Only the length is sent: the host must not wait for the bytes.
  const std::uint32_t length = kLimit + 1;
  const QByteArray header(reinterpret_cast<const char*>(&length), sizeof length);
  const HostRun run =
      RunHost(header + QByteArray(64, 'x') + Frame(UrlMessage(QStringLiteral("http://a/b.png"))));
  CHECK_CLEAN_RUN(run);
  QCOMPARE(run.exitCode, 1);
  QCOMPARE(run.replies.size(), 1u);
  QVERIFY2(ErrorOf(run.replies[0]).contains("larger than 8388608 bytes"),
           qPrintable(ErrorOf(run.replies[0])));
  QVERIFY(!quillet::ParseHandOffText(ReadFileOrEmpty(key_.file)).imageUrl);

  const std::uint32_t huge = 0xFFFFFFFFu;
  const HostRun hugeRun = RunHost(QByteArray(reinterpret_cast<const char*>(&huge), 4));
  CHECK_CLEAN_RUN(hugeRun);
  QCOMPARE(hugeRun.exitCode, 1);
  QCOMPARE(hugeRun.replies.size(), 1u);
}

void NativeHostTest::brokenFramesEndTheSessionWithoutAnAnswer() {
  struct Case {
    QByteArray input;
    int exitCode;
    std::size_t replies;
  };
  const QByteArray whole = Frame(UrlMessage(QStringLiteral("http://a/whole.png")));
  const std::vector<Case> cases = {
      {{}, 0, 0},                      // nothing at all
      {whole, 0, 1},                   // one whole message
      {whole + whole.left(2), 1, 1},   // half a length after it
      {whole + whole.left(10), 1, 1},  // a message cut short
      {Frame(QByteArray(100, ' ')).left(20), 1, 0},
  };
  for (const Case& c : cases) {
    const HostRun run = RunHost(c.input);
    CHECK_CLEAN_RUN(run);
    QCOMPARE(run.exitCode, c.exitCode);
    QCOMPARE(run.replies.size(), c.replies);
  }
}

void NativeHostTest::withoutRegistrationOnlyAddressesGo() {
  fs::remove(key_.file);  // no "AppPath": the host cannot know the program folder
  const HostRun run = RunHost(Frame(BytesMessage(kPng, QStringLiteral("image/png"), "x.png")) +
                              Frame(UrlMessage(QStringLiteral("http://a/b.png"))));
  CHECK_CLEAN_RUN(run);
  QCOMPARE(run.replies.size(), 2u);
  QVERIFY2(ErrorOf(run.replies[0]).contains("quillet --regserver"),
           qPrintable(ErrorOf(run.replies[0])));
  QCOMPARE(run.replies[1], Ok());
  QCOMPARE(ImageUrl(), std::string("http://a/b.png"));
}

void NativeHostTest::aProgramThatCannotBeReachedIsReportedAndTheCopyGoes() {
  // No copy owns the name, and this bus has no activation file for it.
  QDBusConnection::sessionBus().interface()->unregisterService(QLatin1String(quillet::kBusName));
  const HostRun run = RunHost(Frame(BytesMessage(kPng, QStringLiteral("image/jpeg"), "a.jpg")) +
                              Frame(UrlMessage(QStringLiteral("http://a/b.png"))));
  CHECK_CLEAN_RUN(run);
  QCOMPARE(run.replies.size(), 2u);
  for (const QJsonObject& reply : run.replies)
    QVERIFY2(ErrorOf(reply).startsWith("Quillet is not running and not registered to be started"),
             qPrintable(ErrorOf(reply)));
  QVERIFY(!fs::exists(Temp()) || fs::is_empty(Temp()));
  QVERIFY(!quillet::ParseHandOffText(ReadFileOrEmpty(key_.file)).imageUrl);
  QCOMPARE(takeRequests_, 0);
}

void NativeHostTest::aKeyThatCannotBeOpenedIsReported() {
  // The program runs but its hand-off folder is gone: E_FAIL comes back.
  fs::remove_all(key_.folder);
  const HostRun run = RunHost(Frame(UrlMessage(QStringLiteral("http://a/b.png"))));
  CHECK_CLEAN_RUN(run);
  QCOMPARE(run.replies.size(), 1u);
  QVERIFY2(ErrorOf(run.replies[0])
               .startsWith("Quillet could not take the picture: Cannot open "
                           "the hand-off folder"),
           qPrintable(ErrorOf(run.replies[0])));
  QCOMPARE(takeRequests_, 0);
}

}  // namespace

// On a bus of its own, which finds none of the user's activation files.
int main(int argc, char** argv) {
  quillet::testing::RerunOnPrivateBus(argc, argv);
  QCoreApplication application(argc, argv);
  NativeHostTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "NativeHostTest.moc"

// The automation object on a private session bus, called over a second
// connection as another program would: its methods and results, S_OK and
// E_FAIL as replies and errors, and its requests to the window coming only
// after the caller has its reply.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTest>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "core/automation/HandOff.h"
#include "core/automation/Registration.h"
#include "gui/automation/QuilletPIBusObject.h"
#include "support/PrivateBus.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using quillet::OleCmd;
using quillet::testing::ReadFileOrEmpty;
using quillet::testing::TempDir;

// Each method's arguments as "in:s", ..., "out:a(uu)", ...: the in-arguments
// in order, then the out-arguments in order (how the two interleave in a
// description means nothing to a caller).
using Methods = std::map<QString, QStringList>;

Methods MethodsOf(const QString& xml, const QString& interfaceName) {
  Methods methods;
  QXmlStreamReader reader(xml);
  bool inInterface = false;
  QString method;
  while (!reader.atEnd()) {
    reader.readNext();
    if (reader.isStartElement()) {
      const auto attributes = reader.attributes();
      if (reader.name() == QLatin1String("interface"))
        inInterface = attributes.value(QLatin1String("name")) == interfaceName;
      if (!inInterface) continue;
      if (reader.name() == QLatin1String("method")) {
        method = attributes.value(QLatin1String("name")).toString();
        methods[method];
      }
      if (reader.name() == QLatin1String("arg") && !method.isEmpty()) {
        const QString direction = attributes.hasAttribute(QLatin1String("direction"))
                                      ? attributes.value(QLatin1String("direction")).toString()
                                      : QStringLiteral("in");
        methods[method].append(direction + ':' +
                               attributes.value(QLatin1String("type")).toString());
      }
    } else if (reader.isEndElement()) {
      if (reader.name() == QLatin1String("method") && !method.isEmpty()) {
        QStringList& arguments = methods[method];
        std::stable_partition(arguments.begin(), arguments.end(),
                              [](const QString& a) { return a.startsWith(QLatin1String("in:")); });
        method.clear();
      }
      if (reader.name() == QLatin1String("interface")) inInterface = false;
    }
  }
  return methods;
}

class AutomationBusTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void theObjectIsThereBeforeTheNameAndMatchesItsInstalledDescription();
  void addImageURLHandsOverAndAsksAfterTheReply();
  void failuresAreTheFailedErrorAndAskNothing();
  void execBringsTheProgramUpOrFails();
  void queryStatusChangesOnlyTheFirstEntry();
  void theSiteIsNotKept();

 private:
  // A call from another connection, waited for while this program's loop
  // runs (the object answers on it).
  QDBusMessage Call(const QString& method, const QVariantList& arguments = {},
                    const QString& destination = QString());
  void WatchRequests();

  std::unique_ptr<TempDir> dir_;
  quillet::HandOffKey key_;
  std::unique_ptr<quillet::TQuilletPIBusObject> object_;
  std::unique_ptr<QDBusConnection> client_;
  std::vector<QString> requests_;
  bool replied_ = false;
  std::vector<bool> repliedAtRequest_;
};

void AutomationBusTest::init() {
  dir_ = std::make_unique<TempDir>();
  key_ = quillet::HandOffKeyIn(dir_->Path() + "config");
  QVERIFY(quillet::WriteHandOffAppPath(key_, "/opt/quillet").ok);
  object_ = std::make_unique<quillet::TQuilletPIBusObject>(key_);
  // As the program does it: the object first, then the name.
  QVERIFY(object_->Register(QDBusConnection::sessionBus()));
  QCOMPARE(QDBusConnection::sessionBus()
               .interface()
               ->registerService(QLatin1String(quillet::kBusName),
                                 QDBusConnectionInterface::DontQueueService)
               .value(),
           QDBusConnectionInterface::ServiceRegistered);
  client_ = std::make_unique<QDBusConnection>(
      QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client")));
  QVERIFY(client_->isConnected());
  requests_.clear();
  repliedAtRequest_.clear();
  WatchRequests();
}

void AutomationBusTest::cleanup() {
  QDBusConnection::sessionBus().interface()->unregisterService(QLatin1String(quillet::kBusName));
  client_.reset();
  QDBusConnection::disconnectFromBus(QStringLiteral("client"));
  object_.reset();
  dir_.reset();
}

void AutomationBusTest::WatchRequests() {
  // Each request is handled as the window would: with a loop of its own (the
  // download dialog is modal). The caller must get its answer meanwhile.
  const auto handle = [this](const QString& request) {
    requests_.push_back(request);
    for (int waited = 0; !replied_ && waited < 3000; waited += 5)
      QTest::qWait(5);
    repliedAtRequest_.push_back(replied_);
  };
  connect(object_.get(), &quillet::TQuilletPIBusObject::TakeHandedOverPictureRequested, this,
          [handle] { handle(QStringLiteral("take")); });
  connect(object_.get(), &quillet::TQuilletPIBusObject::BringToFrontRequested, this,
          [handle] { handle(QStringLiteral("front")); });
}

QDBusMessage AutomationBusTest::Call(const QString& method, const QVariantList& arguments,
                                     const QString& destination) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      destination.isEmpty() ? QLatin1String(quillet::kBusName) : destination,
      QLatin1String(quillet::kQuilletPIPath), QLatin1String(quillet::kQuilletPIInterface), method);
  call.setArguments(arguments);
  replied_ = false;
  QDBusPendingCall pending = client_->asyncCall(call, 10000);
  QDBusPendingCallWatcher watcher(pending);
  connect(&watcher, &QDBusPendingCallWatcher::finished, this, [this] { replied_ = true; });
  for (int waited = 0; !replied_ && waited < 15000; waited += 5)
    QTest::qWait(5);
  // Requests queued behind the reply arrive now.
  QTest::qWait(50);
  return pending.reply();
}

void AutomationBusTest::theObjectIsThereBeforeTheNameAndMatchesItsInstalledDescription() {
  // Reachable at the program's own connection, whatever name it owns.
  QDBusConnection::sessionBus().interface()->unregisterService(QLatin1String(quillet::kBusName));
  const QString unique = QDBusConnection::sessionBus().baseService();
  QDBusMessage introspect = QDBusMessage::createMethodCall(
      unique, QLatin1String(quillet::kQuilletPIPath),
      QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
  QDBusPendingCall pending = client_->asyncCall(introspect, 10000);
  QTRY_VERIFY(pending.isFinished());
  const QDBusMessage reply = pending.reply();
  QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
  const QString live = reply.arguments().value(0).toString();

  const QString installed = QString::fromUtf8(quillet::QuilletPIInterfaceXml().data(),
                                              quillet::QuilletPIInterfaceXml().size());
  const Methods expected = MethodsOf(installed, QLatin1String(quillet::kQuilletPIInterface));
  QCOMPARE(expected.size(), std::size_t(5));
  QCOMPARE(expected.at(QStringLiteral("QueryStatus")),
           (QStringList{"in:s", "in:a(uu)", "out:a(uu)"}));
  QCOMPARE(MethodsOf(live, QLatin1String(quillet::kQuilletPIInterface)), expected);

  // The Exec call by the unique name works as well as by the program's name.
  const QDBusMessage exec = Call(QStringLiteral("Exec"), {}, unique);
  QCOMPARE(exec.type(), QDBusMessage::ReplyMessage);
}

void AutomationBusTest::addImageURLHandsOverAndAsksAfterTheReply() {
  const QString url = QStringLiteral("http://127.0.0.1:8000/pics/кот.JPG");
  const QDBusMessage reply = Call(QStringLiteral("AddImageURL"), {url});
  QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
  QVERIFY(reply.arguments().isEmpty());
  QCOMPARE(ReadFileOrEmpty(key_.file),
           "AppPath=/opt/quillet\nImageURL=" + url.toStdString() + "\n");
  QCOMPARE(requests_, std::vector<QString>{QStringLiteral("take")});
  // The window is asked only once the caller has its answer.
  QCOMPARE(repliedAtRequest_, std::vector<bool>{true});

  // A second address before the first is taken replaces it.
  QCOMPARE(Call(QStringLiteral("AddImageURL"), {QStringLiteral("https://a/2.png")}).type(),
           QDBusMessage::ReplyMessage);
  QCOMPARE(quillet::TakeHandedOverImageUrl(key_), std::optional<std::string>("https://a/2.png"));
  QCOMPARE(requests_.size(), std::size_t(2));
}

void AutomationBusTest::failuresAreTheFailedErrorAndAskNothing() {
  struct Case {
    const char* what;
    std::function<void()> arrange;
    QString url;
    const char* detail;
  };
  const std::vector<Case> cases = {
      {"a line break", [] {}, QStringLiteral("http://a/b.png\nAppPath=/tmp"), "line break"},
      {"no hand-off folder", [this] { fs::remove_all(key_.folder); },
       QStringLiteral("http://a/b.png"), "Cannot open the hand-off folder"},
      {"a folder in the file's place",
       [this] {
         fs::remove_all(key_.folder);
         fs::create_directories(key_.file);
       },
       QStringLiteral("http://a/b.png"), "Is a directory"},
  };
  for (const Case& c : cases) {
    c.arrange();
    const QDBusMessage reply = Call(QStringLiteral("AddImageURL"), {c.url});
    QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
    QCOMPARE(reply.errorName(), QLatin1String("io.github.quillet.QuilletPI.Error.Failed"));
    QVERIFY2(reply.errorMessage().contains(QLatin1String(c.detail)),
             qPrintable(QLatin1String(c.what) + QLatin1String(": ") + reply.errorMessage()));
  }
  QVERIFY(requests_.empty());
  QVERIFY(fs::is_directory(key_.file));
}

void AutomationBusTest::execBringsTheProgramUpOrFails() {
  QCOMPARE(Call(QStringLiteral("Exec")).type(), QDBusMessage::ReplyMessage);
  QCOMPARE(requests_, std::vector<QString>{QStringLiteral("front")});
  QCOMPARE(repliedAtRequest_, std::vector<bool>{true});
  QCOMPARE(ReadFileOrEmpty(key_.file), std::string("AppPath=/opt/quillet\n"));

  fs::remove_all(key_.folder);
  const QDBusMessage failed = Call(QStringLiteral("Exec"));
  QCOMPARE(failed.type(), QDBusMessage::ErrorMessage);
  QCOMPARE(failed.errorName(), QLatin1String(quillet::kQuilletPIFailedError));
  QCOMPARE(requests_.size(), std::size_t(1));
}

void AutomationBusTest::queryStatusChangesOnlyTheFirstEntry() {
  struct Case {
    QList<OleCmd> in, out;
  };
  const std::vector<Case> cases = {
      {{{1, 0}, {2, 0}, {3, 16}}, {{1, 2}, {2, 0}, {3, 16}}},
      {{{7, 0xFFFFFFFFu}}, {{7, 2}}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    const QDBusMessage reply =
        Call(QStringLiteral("QueryStatus"),
             {QStringLiteral("{00000000-0000-0000-0000-000000000000}"), QVariant::fromValue(c.in)});
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    QCOMPARE(reply.signature(), QStringLiteral("a(uu)"));
    const QList<OleCmd> out =
        qdbus_cast<QList<OleCmd>>(reply.arguments().value(0).value<QDBusArgument>());
    QCOMPARE(out.size(), c.out.size());
    for (qsizetype i = 0; i < out.size(); ++i) {
      QCOMPARE(out[i].cmdID, c.out[i].cmdID);
      QCOMPARE(out[i].cmdf, c.out[i].cmdf);
    }
  }
  QVERIFY(requests_.empty());
}

void AutomationBusTest::theSiteIsNotKept() {
  QCOMPARE(Call(QStringLiteral("SetSite"), {QStringLiteral("a site")}).type(),
           QDBusMessage::ReplyMessage);
  const QDBusMessage site =
      Call(QStringLiteral("GetSite"), {QStringLiteral("{FC4801A3-2BA9-11CF-A229-00AA003D7352}")});
  QCOMPARE(site.type(), QDBusMessage::ReplyMessage);
  QCOMPARE(site.arguments(), QVariantList{QString()});
  QVERIFY(requests_.empty());
}

}  // namespace

// On a bus of its own, which finds none of the user's activation files.
int main(int argc, char** argv) {
  quillet::testing::RerunOnPrivateBus(argc, argv);
  QCoreApplication application(argc, argv);
  AutomationBusTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "AutomationBusTest.moc"

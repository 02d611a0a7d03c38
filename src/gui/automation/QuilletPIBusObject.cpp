#include "gui/automation/QuilletPIBusObject.h"

#include <QDBusMetaType>
#include <QMetaObject>
#include <vector>

#include "core/automation/Registration.h"

namespace quillet {

QDBusArgument& operator<<(QDBusArgument& argument, const OleCmd& command) {
  argument.beginStructure();
  argument << quint32(command.cmdID) << quint32(command.cmdf);
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, OleCmd& command) {
  quint32 id = 0;
  quint32 flags = 0;
  argument.beginStructure();
  argument >> id >> flags;
  argument.endStructure();
  command.cmdID = id;
  command.cmdf = flags;
  return argument;
}

TQuilletPIBusObject::TQuilletPIBusObject(std::optional<HandOffKey> key, QObject* parent)
    : QObject(parent), object_(std::move(key), *this) {
  qDBusRegisterMetaType<OleCmd>();
  qDBusRegisterMetaType<QList<OleCmd>>();
}

TQuilletPIBusObject::~TQuilletPIBusObject() {
  if (connectionName_)
    QDBusConnection(*connectionName_).unregisterObject(QLatin1String(kQuilletPIPath));
}

bool TQuilletPIBusObject::Register(QDBusConnection bus) {
  if (!bus.isConnected()) return false;
  if (!bus.registerObject(QLatin1String(kQuilletPIPath), this,
                          QDBusConnection::ExportScriptableSlots))
    return false;
  connectionName_ = bus.name();
  return true;
}

void TQuilletPIBusObject::AddImageURL(const QString& ImageURL) {
  Answer(object_.AddImageURL(ImageURL.toStdString()));
}

void TQuilletPIBusObject::Exec() {
  Answer(object_.Exec());
}

QList<OleCmd> TQuilletPIBusObject::QueryStatus(const QString& group,
                                               const QList<OleCmd>& commands) {
  std::vector<OleCmd> status(commands.begin(), commands.end());
  TQuilletPI::QueryStatus(group.toStdString(), status);
  return QList<OleCmd>(status.begin(), status.end());
}

void TQuilletPIBusObject::SetSite(const QString& site) {
  object_.SetSite(site.toStdString());
}

QString TQuilletPIBusObject::GetSite(const QString& iid) {
  return QString::fromStdString(object_.GetSite(iid.toStdString()));
}

void TQuilletPIBusObject::BringToFront() {
  QMetaObject::invokeMethod(
      this, [this] { emit BringToFrontRequested(); }, Qt::QueuedConnection);
}

void TQuilletPIBusObject::TakeHandedOverPicture() {
  QMetaObject::invokeMethod(
      this, [this] { emit TakeHandedOverPictureRequested(); }, Qt::QueuedConnection);
}

void TQuilletPIBusObject::Answer(const HResult& result) {
  if (result.ok || !calledFromDBus()) return;
  sendErrorReply(QLatin1String(kQuilletPIFailedError), QString::fromStdString(result.detail));
}

}  // namespace quillet

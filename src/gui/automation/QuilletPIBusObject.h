#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QString>
#include <optional>

#include "core/automation/QuilletPI.h"

namespace quillet {

// "(uu)": the command and its flags.
QDBusArgument& operator<<(QDBusArgument& argument, const OleCmd& command);
const QDBusArgument& operator>>(const QDBusArgument& argument, OleCmd& command);

}  // namespace quillet

Q_DECLARE_METATYPE(quillet::OleCmd)

namespace quillet {

// The automation object on the session bus: io.github.quillet.QuilletPI at
// /QuilletPI, a thin adaptor over TQuilletPI. A failure is the error
// io.github.quillet.QuilletPI.Error.Failed with what failed as its text.
//
// Register it before the program claims its bus name, so that a call that
// made the bus start the program finds the object. Its requests to the
// window are signals sent from the program's own loop after the caller has
// its reply: a window that opens a modal dialog on them never keeps a caller
// waiting.
class TQuilletPIBusObject : public QObject, protected QDBusContext, private QuilletPIHost {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "io.github.quillet.QuilletPI")

 public:
  explicit TQuilletPIBusObject(std::optional<HandOffKey> key, QObject* parent = nullptr);
  ~TQuilletPIBusObject() override;

  // Offers the object at /QuilletPI; false when the bus is not there or the
  // path is taken.
  bool Register(QDBusConnection bus);

 public slots:
  Q_SCRIPTABLE void AddImageURL(const QString& ImageURL);
  Q_SCRIPTABLE void Exec();
  Q_SCRIPTABLE QList<quillet::OleCmd> QueryStatus(const QString& group,
                                                  const QList<quillet::OleCmd>& commands);
  Q_SCRIPTABLE void SetSite(const QString& site);
  Q_SCRIPTABLE QString GetSite(const QString& iid);

 signals:
  // AddImageURL succeeded: bring the main window to the front and run its
  // picture hand-off check.
  void TakeHandedOverPictureRequested();
  // Exec succeeded: bring the main window up.
  void BringToFrontRequested();

 private:
  void BringToFront() override;
  void TakeHandedOverPicture() override;
  void Answer(const HResult& result);

  TQuilletPI object_;
  std::optional<QString> connectionName_;
};

}  // namespace quillet

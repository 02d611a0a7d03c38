#pragma once

#include <QObject>

namespace quillet {

// The object the running program offers on the session bus; a second start
// calls its methods.
class TQuilletBusObject : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "io.github.quillet.Quillet")

 public:
  using QObject::QObject;

 public slots:
  // Bring the main window to the front.
  Q_SCRIPTABLE void Activate();

 signals:
  void ActivateRequested();
};

inline constexpr const char* kQuilletBusName = "io.github.quillet.Quillet";
inline constexpr const char* kQuilletBusPath = "/Quillet";

// One running copy per session: the running program owns a name on the
// session bus; a later start finds it, asks the owner to come to the front,
// and ends. Without a session bus every start runs alone.
class SingleInstance : public QObject {
  Q_OBJECT

 public:
  enum class Outcome {
    Alone,         // no session bus: run without the check
    Owner,         // this program owns the name now
    OtherRunning,  // another copy owns it and was asked to come forward
  };

  explicit SingleInstance(QObject* parent = nullptr);
  ~SingleInstance() override;

  // Claims the name, or activates the copy that holds it.
  Outcome Claim();
  TQuilletBusObject& BusObject() { return busObject_; }

 private:
  TQuilletBusObject busObject_;
  bool owner_ = false;
};

}  // namespace quillet

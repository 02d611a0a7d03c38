// quillet-handoff-peer: the program's automation side without its window, for
// the hand-off tests. It reads the same switches, registers the same way,
// offers the same object before claiming the same bus name, and where the
// main window would bring itself forward and take the handed-over picture it
// takes the address from the hand-off file and writes a line to "peer.log"
// in its program folder:
//   start PID automation=0|1   once it owns the bus name
//   other-running              when another copy owns it (and it ends)
//   front                      every request to come to the front
//   taken URL                  every address taken
// It ends by itself after two minutes, so that no test leaves it behind.
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTimer>
#include <fstream>
#include <string>

#include "core/app/ProgramFolder.h"
#include "core/automation/HandOff.h"
#include "core/automation/Registration.h"
#include "gui/automation/AutomationSwitches.h"
#include "gui/automation/QuilletPIBusObject.h"

namespace {

constexpr int kLifetimeMs = 120000;

void Log(const std::string& programFolder, const std::string& line) {
  std::ofstream(programFolder + "peer.log", std::ios::app) << line << "\n" << std::flush;
}

}  // namespace

int main(int argc, char** argv) {
  const quillet::AutomationSwitches switches = quillet::ParseAutomationSwitches(argc, argv);
  const std::string folder = quillet::ResolveProgramFolder(switches.dataDir);
  if (const std::optional<int> status =
          quillet::RunAutomationSwitches(switches, folder, argc, argv))
    return *status;
  quillet::RegisterAtStart(folder);

  QCoreApplication application(argc, argv);
  const std::optional<quillet::HandOffKey> key =
      quillet::UserHandOffKey(quillet::ProcessEnvironment());
  quillet::TQuilletPIBusObject object(key);
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!object.Register(bus)) {
    Log(folder, "no-bus");
    return 1;
  }
  const auto claimed = bus.interface()->registerService(
      QLatin1String(quillet::kBusName), QDBusConnectionInterface::DontQueueService,
      QDBusConnectionInterface::DontAllowReplacement);
  if (!claimed.isValid() || claimed.value() != QDBusConnectionInterface::ServiceRegistered) {
    Log(folder, "other-running");
    return 0;
  }
  Log(folder,
      "start " + std::to_string(::getpid()) + " automation=" + (switches.automation ? "1" : "0"));

  const auto take = [&] {
    if (!key) return;
    if (const std::optional<std::string> url = quillet::TakeHandedOverImageUrl(*key))
      Log(folder, "taken " + *url);
  };
  QObject::connect(&object, &quillet::TQuilletPIBusObject::TakeHandedOverPictureRequested, [&] {
    Log(folder, "front");
    take();
  });
  QObject::connect(&object, &quillet::TQuilletPIBusObject::BringToFrontRequested,
                   [&] { Log(folder, "front"); });
  // The main window's first activation.
  QTimer::singleShot(0, take);
  QTimer::singleShot(kLifetimeMs, &application, &QCoreApplication::quit);
  return application.exec();
}

#pragma once

// The client side of the automation object, over QtCore and QtDBus alone so
// that the native-messaging host can use it too. A QCoreApplication must
// exist.
#include <QString>

namespace quillet {

// A start by the bus may take a while on a busy machine; the object itself
// answers at once.
inline constexpr int kHandOffCallTimeoutMs = 60000;

struct HandOffCallResult {
  bool ok = false;
  QString error;  // what failed, for the user
};

// AddImageURL on the running program; the session bus starts the program
// from its activation file when no copy runs.
HandOffCallResult CallAddImageURL(const QString& imageUrl, int timeoutMs = kHandOffCallTimeoutMs);

}  // namespace quillet

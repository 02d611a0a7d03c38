// quillet-native-host: started by the browser for the Quillet extension, with
// the messages on standard input and the answers on standard output.
#include <QCoreApplication>
#include <csignal>

#include "tools/native-host/NativeHost.h"

int main(int argc, char** argv) {
  // A browser that went away must not kill the host in the middle of a
  // hand-off; the failed write is enough.
  std::signal(SIGPIPE, SIG_IGN);
  // QtDBus needs an application object; nothing else here uses it.
  QCoreApplication application(argc, argv);
  quillet::NativeHostSession session(
      quillet::UserHandOffKey(quillet::ProcessEnvironment()),
      [](const QString& url) { return quillet::CallAddImageURL(url); });
  return session.Run(stdin, stdout);
}

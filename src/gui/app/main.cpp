// Placeholder entry until the main window lands; its owner replaces this file.
#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  return 0;
}

#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace quillet {

// The version the program reports, and compares with the service's offer;
// the build sets it from the project's version.
inline constexpr const char* kProgramVersion = QUILLET_VERSION;

// The About dialog: the program's picture, name and version, and OK.
class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);

 protected:
  void showEvent(QShowEvent* event) override;

 public:
  QFrame* Panel1 = nullptr;
  QLabel* ProgramIcon = nullptr;
  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  QPushButton* OKButton = nullptr;
};

}  // namespace quillet

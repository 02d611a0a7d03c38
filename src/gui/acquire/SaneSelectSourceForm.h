#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "core/acquire/SaneDevice.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace quillet {

// The Source Manager's selection dialog: the scanners SANE finds, with
// their maker, model and device name; the one chosen is opened by later
// acquisitions.
class TSaneSelectSourceForm : public QDialog {
  Q_OBJECT

 public:
  explicit TSaneSelectSourceForm(QWidget* parent = nullptr);

  // Shows the devices with `current` selected (the first when it is not
  // among them); the chosen device's name, or nothing for Cancel.
  std::optional<std::string> Choose(const std::vector<SaneDeviceInfo>& devices,
                                    const std::string& current);

  QLabel* SourcesLabel = nullptr;
  QTreeWidget* SourceList = nullptr;
  QLabel* HintLabel = nullptr;
  QPushButton* SelectButton = nullptr;
  QPushButton* CancelButton = nullptr;
};

}  // namespace quillet

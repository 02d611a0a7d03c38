#pragma once

#include <QDialog>
#include <optional>

#include "core/codecs/Codecs.h"

class QComboBox;
class QPushButton;

namespace quillet {

// "Graphic file format choice": asks in which format a grabbed or scanned
// picture is stored. The dialog lives for the whole run, so it offers the
// last choice again.
class TFileFormatChoiceForm : public QDialog {
  Q_OBJECT

 public:
  explicit TFileFormatChoiceForm(QWidget* parent = nullptr);

  // The chosen format, or nothing when the user cancelled (the previous
  // choice then stays).
  std::optional<LogoFormat> Choose();

  QComboBox* FileFormatComboBox = nullptr;
  QPushButton* OKButton = nullptr;
  QPushButton* CancelButton = nullptr;
};

}  // namespace quillet

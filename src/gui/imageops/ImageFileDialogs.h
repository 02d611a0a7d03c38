#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "core/codecs/Codecs.h"

class QWidget;

namespace quillet {

// The filter captions of the picture open and save dialogs, the first being
// the default.
QStringList ImageFilterCaptions();

// The platform's open dialog for one existing picture file; empty when the
// user cancelled.
QString ChooseImageToOpen(QWidget* parent);

// What the save dialog gave: the chosen path (empty when the user
// cancelled) and the format of the chosen filter (none for "All").
struct SaveChoice {
  QString path;
  std::optional<LogoFormat> filterFormat;
};

// The platform's save dialog, preset to `fileName` in `folder`. It does not
// ask before overwriting (the caller does), nor add an extension (the
// caller adds the filter's when the name has none of a picture format).
SaveChoice ChooseImageSavePath(QWidget* parent, const QString& fileName, const QString& folder);

}  // namespace quillet

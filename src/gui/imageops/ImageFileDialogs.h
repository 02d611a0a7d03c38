#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace quillet {

// The filter captions of the picture open and save dialogs, the first being
// the default.
QStringList ImageFilterCaptions();

// The platform's open dialog for one existing picture file; empty when the
// user cancelled.
QString ChooseImageToOpen(QWidget* parent);

// The platform's save dialog, preset to `fileName` in `folder`, with the
// default suffix "jpg". It does not ask before overwriting: the caller does.
// Empty when the user cancelled.
QString ChooseImageSavePath(QWidget* parent, const QString& fileName, const QString& folder);

}  // namespace quillet

#include "gui/app/Cursors.h"

#include <QPixmap>

#include "gui/app/Resources.h"

namespace quillet {

QCursor HandFlatCursor() {
  InitResources();
  return QCursor(QPixmap(QStringLiteral(":/cursors/HANDFLATCURSOR.png")), kHandFlatHotSpot.x(),
                 kHandFlatHotSpot.y());
}

QCursor HandGrabCursor() {
  InitResources();
  return QCursor(QPixmap(QStringLiteral(":/cursors/HANDGRABCURSOR.png")), kHandGrabHotSpot.x(),
                 kHandGrabHotSpot.y());
}

}  // namespace quillet

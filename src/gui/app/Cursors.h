#pragma once

#include <QCursor>
#include <QPoint>

namespace quillet {

// Where the pointer's hot spot lies in the two 32 x 32 hand pictures. Both
// hands are drawn over the same palm, so switching between them while
// dragging does not move the picture under the pointer.
inline constexpr QPoint kHandFlatHotSpot{7, 16};
inline constexpr QPoint kHandGrabHotSpot{7, 16};

// The open hand shown over the inside of the selection frame.
QCursor HandFlatCursor();
// The closed hand shown while the frame is being dragged.
QCursor HandGrabCursor();

}  // namespace quillet

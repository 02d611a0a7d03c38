#include "core/compose/FrameInteraction.h"

#include <algorithm>

namespace quillet {
namespace {

constexpr std::int32_t kEdgeBand = 2;
constexpr std::int32_t kCornerZone = 8;
constexpr std::int32_t kDashLength = 4;

bool Contains(const Rect& rect, std::int32_t x, std::int32_t y) {
  return rect.left <= x && x < rect.right && rect.top <= y && y < rect.bottom;
}

Rect AroundPoint(std::int32_t x, std::int32_t y, std::int32_t half) {
  return Rect{x - half, y - half, x + half, y + half};
}

}  // namespace

FrameHit HitTestFrame(std::int32_t x, std::int32_t y, const Rect& rect) {
  const auto [l, t, r, b] = rect;
  if (!Contains(Rect{l - kEdgeBand, t - kEdgeBand, r + kEdgeBand, b + kEdgeBand}, x, y))
    return FrameHit::None;
  if (Contains(Rect{l + kEdgeBand, t + kEdgeBand, r - kEdgeBand, b - kEdgeBand}, x, y))
    return FrameHit::Inside;
  if (Contains(AroundPoint(l, t, kCornerZone), x, y)) return FrameHit::TopLeft;
  if (Contains(AroundPoint(r, t, kCornerZone), x, y)) return FrameHit::TopRight;
  if (Contains(AroundPoint(l, b, kCornerZone), x, y)) return FrameHit::BottomLeft;
  if (Contains(AroundPoint(r, b, kCornerZone), x, y)) return FrameHit::BottomRight;
  if (Contains(Rect{l - kEdgeBand, t, l + kEdgeBand, b}, x, y)) return FrameHit::Left;
  if (Contains(Rect{l, t - kEdgeBand, r, t + kEdgeBand}, x, y)) return FrameHit::Top;
  if (Contains(Rect{r - kEdgeBand, t, r + kEdgeBand, b}, x, y)) return FrameHit::Right;
  if (Contains(Rect{l, b - kEdgeBand, r, b + kEdgeBand}, x, y)) return FrameHit::Bottom;
  // Only the band's outer corners, beyond the corner zones, are left.
  return FrameHit::None;
}

FrameCursorKind CursorForHit(FrameHit hit) {
  switch (hit) {
    case FrameHit::None:
      return FrameCursorKind::Arrow;
    case FrameHit::Inside:
      return FrameCursorKind::HandFlat;
    case FrameHit::TopLeft:
    case FrameHit::BottomRight:
      return FrameCursorKind::SizeNwse;
    case FrameHit::TopRight:
    case FrameHit::BottomLeft:
      return FrameCursorKind::SizeNesw;
    case FrameHit::Left:
    case FrameHit::Right:
      return FrameCursorKind::SizeWe;
    case FrameHit::Top:
    case FrameHit::Bottom:
      return FrameCursorKind::SizeNs;
  }
  return FrameCursorKind::Arrow;
}

FrameCursorKind FrameCursor(std::int32_t x, std::int32_t y, const Rect& rect) {
  return CursorForHit(HitTestFrame(x, y, rect));
}

namespace {

// The press, the frame at the press and the bounds, unpacked into the names
// the rules use. The new frame is always computed from the press, never
// incrementally, so rounding never accumulates.
struct Drag {
  std::int32_t L0, T0, R0, B0;
  std::int32_t ML, MT, MR, MB;
  std::int32_t sw, sh, vw, vh;
  std::int32_t mx, my;  // mouse displacement in view pixels
  bool keep;

  Rect Move() const {
    std::int32_t dx = MulDiv(sh, mx, vh), dy = MulDiv(sh, my, vh);
    if (L0 + dx < ML) dx = ML - L0;
    if (R0 + dx > MR) dx = MR - R0;
    if (T0 + dy < MT) dy = MT - T0;
    if (B0 + dy > MB) dy = MB - B0;
    return Rect{L0 + dx, T0 + dy, R0 + dx, B0 + dy};
  }

  // Each single edge clamped on its own: into the fit rectangle first, then
  // to keep 16 pixels from the opposite edge.
  std::int32_t ClampLeft(std::int32_t dx) const {
    if (L0 + dx < ML) dx = ML - L0;
    if (L0 + dx > R0 - kMinimumFrameSide) dx = R0 - kMinimumFrameSide - L0;
    return dx;
  }
  std::int32_t ClampTop(std::int32_t dy) const {
    if (T0 + dy < MT) dy = MT - T0;
    if (T0 + dy > B0 - kMinimumFrameSide) dy = B0 - kMinimumFrameSide - T0;
    return dy;
  }
  std::int32_t ClampRight(std::int32_t dx) const {
    if (R0 + dx > MR) dx = MR - R0;
    if (R0 + dx < L0 + kMinimumFrameSide) dx = L0 + kMinimumFrameSide - R0;
    return dx;
  }
  std::int32_t ClampBottom(std::int32_t dy) const {
    if (B0 + dy > MB) dy = MB - B0;
    if (B0 + dy < T0 + kMinimumFrameSide) dy = T0 + kMinimumFrameSide - B0;
    return dy;
  }

  // Displacements along the space's proportions.
  std::int32_t DyForDx(std::int32_t dx) const { return MulDiv(dx, sh, sw); }
  std::int32_t DxForDy(std::int32_t dy) const { return MulDiv(dy, sw, sh); }

  Rect DragLeft() const {
    std::int32_t dx = ClampLeft(MulDiv(sw, mx, vw)), dy = 0;
    if (keep) {
      dy = DyForDx(dx);
      if (T0 + dy < MT) {
        dy = MT - T0;
        dx = DxForDy(dy);
      }
      if (T0 + dy > B0 - kMinimumFrameSide) {
        dy = B0 - kMinimumFrameSide - T0;
        dx = DxForDy(dy);
      }
    }
    return Rect{L0 + dx, T0 + dy, R0, B0};
  }

  Rect DragTop() const {
    std::int32_t dy = ClampTop(MulDiv(sh, my, vh)), dx = 0;
    if (keep) {
      dx = DxForDy(dy);
      if (L0 + dx < ML) {
        dx = ML - L0;
        dy = DyForDx(dx);
      }
      if (L0 + dx > R0 - kMinimumFrameSide) {
        dx = R0 - kMinimumFrameSide - L0;
        dy = DyForDx(dx);
      }
    }
    return Rect{L0 + dx, T0 + dy, R0, B0};
  }

  Rect DragRight() const {
    std::int32_t dx = ClampRight(MulDiv(sw, mx, vw)), dy = 0;
    if (keep) {
      dy = DyForDx(dx);
      if (B0 + dy > MB) {
        dy = MB - B0;
        dx = DxForDy(dy);
      }
      if (B0 + dy < T0 + kMinimumFrameSide) {
        dy = T0 + kMinimumFrameSide - B0;
        dx = DxForDy(dy);
      }
    }
    return Rect{L0, T0, R0 + dx, B0 + dy};
  }

  Rect DragBottom() const {
    std::int32_t dy = ClampBottom(MulDiv(sh, my, vh)), dx = 0;
    if (keep) {
      dx = DxForDy(dy);
      if (R0 + dx > MR) {
        dx = MR - R0;
        dy = DyForDx(dx);
      }
      if (R0 + dx < L0 + kMinimumFrameSide) {
        dx = L0 + kMinimumFrameSide - R0;
        dy = DyForDx(dx);
      }
    }
    return Rect{L0, T0, R0 + dx, B0 + dy};
  }

  // Corners take both displacements at the horizontal ratio.
  std::int32_t CornerDx() const { return MulDiv(sw, mx, vw); }
  std::int32_t CornerDy() const { return MulDiv(sw, my, vw); }

  // With keep proportions the motion that gives the larger frame wins, and
  // the result is clamped again.
  Rect DragTopLeft() const {
    std::int32_t dx = ClampLeft(CornerDx()), dy = ClampTop(CornerDy());
    if (keep) {
      std::int32_t u = DxForDy(dy);
      if (u < dx) {
        if (L0 + u < ML) {
          u = ML - L0;
          dy = DyForDx(u);
        }
        dx = u;
        if (L0 + dx > R0 - kMinimumFrameSide) {
          dx = R0 - kMinimumFrameSide - L0;
          dy = DyForDx(dx);
        }
      } else {
        dy = DyForDx(dx);
        if (T0 + dy < MT) {
          dy = MT - T0;
          dx = DxForDy(dy);
        }
        if (T0 + dy > B0 - kMinimumFrameSide) {
          dy = B0 - kMinimumFrameSide - T0;
          dx = DxForDy(dy);
        }
      }
    }
    return Rect{L0 + dx, T0 + dy, R0, B0};
  }

  Rect DragBottomRight() const {
    std::int32_t dx = ClampRight(CornerDx()), dy = ClampBottom(CornerDy());
    if (keep) {
      std::int32_t v = DxForDy(dy);
      if (dx < v) {
        if (R0 + v > MR) {
          v = MR - R0;
          dy = DyForDx(v);
        }
        dx = v;
        if (R0 + dx < L0 + kMinimumFrameSide) {
          dx = L0 + kMinimumFrameSide - R0;
          dy = DyForDx(dx);
        }
      } else {
        dy = DyForDx(dx);
        if (B0 + dy > MB) {
          dy = MB - B0;
          dx = DxForDy(dy);
        }
        if (B0 + dy < T0 + kMinimumFrameSide) {
          dy = T0 + kMinimumFrameSide - B0;
          dx = DxForDy(dy);
        }
      }
    }
    return Rect{L0, T0, R0 + dx, B0 + dy};
  }

  // On the anti-diagonal corners one displacement grows the frame while the
  // other shrinks it, hence the sign changes.
  std::int32_t MirroredDx(std::int32_t dy) const { return MulDiv(sw, -dy, sh); }
  std::int32_t MirroredDy(std::int32_t dx) const { return MulDiv(sh, -dx, sw); }

  Rect DragTopRight() const {
    std::int32_t dx = ClampRight(CornerDx()), dy = ClampTop(CornerDy());
    if (keep) {
      std::int32_t u = MirroredDx(dy);
      if (dx < u) {
        if (R0 + u > MR) {
          u = MR - R0;
          dy = MirroredDy(u);
        }
        dx = u;
        if (R0 + dx < L0 + kMinimumFrameSide) {
          dx = L0 + kMinimumFrameSide - R0;
          dy = MirroredDy(dx);
        }
      } else {
        dy = MirroredDy(dx);
        if (T0 + dy < MT) {
          dy = MT - T0;
          dx = MirroredDx(dy);
        }
        if (T0 + dy > B0 - kMinimumFrameSide) {
          dy = B0 - kMinimumFrameSide - T0;
          dx = MirroredDx(dy);
        }
      }
    }
    return Rect{L0, T0 + dy, R0 + dx, B0};
  }

  Rect DragBottomLeft() const {
    std::int32_t dx = ClampLeft(CornerDx()), dy = ClampBottom(CornerDy());
    if (keep) {
      std::int32_t u = MirroredDx(dy);
      if (u < dx) {
        if (L0 + u < ML) {
          u = ML - L0;
          dy = MirroredDy(u);
        }
        dx = u;
        if (L0 + dx > R0 - kMinimumFrameSide) {
          dx = R0 - kMinimumFrameSide - L0;
          dy = MirroredDy(dx);
        }
      } else {
        dy = MirroredDy(dx);
        if (B0 + dy > MB) {
          dy = MB - B0;
          dx = MirroredDx(dy);
        }
        if (B0 + dy < T0 + kMinimumFrameSide) {
          dy = T0 + kMinimumFrameSide - B0;
          dx = MirroredDx(dy);
        }
      }
    }
    return Rect{L0 + dx, T0, R0, B0 + dy};
  }
};

}  // namespace

Rect DragStep(FrameHit kind, const Rect& startFrame, Point start, Point current,
              const DragBounds& bounds) {
  if (bounds.view.width <= 0 || bounds.view.height <= 0 || bounds.space.width <= 0 ||
      bounds.space.height <= 0)
    return startFrame;
  const Drag drag{startFrame.left,      startFrame.top,        startFrame.right,
                  startFrame.bottom,    bounds.fitRect.left,   bounds.fitRect.top,
                  bounds.fitRect.right, bounds.fitRect.bottom, bounds.space.width,
                  bounds.space.height,  bounds.view.width,     bounds.view.height,
                  current.x - start.x,  current.y - start.y,   bounds.keepProportions};
  switch (kind) {
    case FrameHit::None:
      break;
    case FrameHit::Inside:
      return drag.Move();
    case FrameHit::TopLeft:
      return drag.DragTopLeft();
    case FrameHit::TopRight:
      return drag.DragTopRight();
    case FrameHit::BottomLeft:
      return drag.DragBottomLeft();
    case FrameHit::BottomRight:
      return drag.DragBottomRight();
    case FrameHit::Left:
      return drag.DragLeft();
    case FrameHit::Top:
      return drag.DragTop();
    case FrameHit::Right:
      return drag.DragRight();
    case FrameHit::Bottom:
      return drag.DragBottom();
  }
  return startFrame;
}

namespace {

// The drag's arithmetic with the view at the space's scale, so that a step is
// a displacement in space pixels.
Drag StepOf(const Rect& frame, std::int32_t dx, std::int32_t dy, const DragBounds& bounds,
            bool keep) {
  const Rect& m = bounds.fitRect;
  return Drag{frame.left,
              frame.top,
              frame.right,
              frame.bottom,
              m.left,
              m.top,
              m.right,
              m.bottom,
              bounds.space.width,
              bounds.space.height,
              bounds.space.width,
              bounds.space.height,
              dx,
              dy,
              keep};
}

bool Against(std::int32_t asked, std::int32_t got) {
  return (asked > 0 && got < 0) || (asked < 0 && got > 0);
}

// Width changed by the step, height following the space's proportions.
Rect ResizeWidthKeeping(const Rect& frame, std::int32_t dx, const DragBounds& bounds) {
  const Drag d = StepOf(frame, dx, 0, bounds, true);
  std::int32_t width = frame.Width() + d.ClampRight(dx);
  std::int32_t height = MulDiv(width, d.sh, d.sw);
  // The clamps of the coupled edge; the width then follows the height.
  if (d.T0 + height > d.MB) {
    height = d.MB - d.T0;
    width = MulDiv(height, d.sw, d.sh);
  }
  if (height < kMinimumFrameSide) {
    height = kMinimumFrameSide;
    width = MulDiv(height, d.sw, d.sh);
  }
  return Rect{d.L0, d.T0, d.L0 + width, d.T0 + height};
}

Rect ResizeHeightKeeping(const Rect& frame, std::int32_t dy, const DragBounds& bounds) {
  const Drag d = StepOf(frame, 0, dy, bounds, true);
  std::int32_t height = frame.Height() + d.ClampBottom(dy);
  std::int32_t width = MulDiv(height, d.sw, d.sh);
  if (d.L0 + width > d.MR) {
    width = d.MR - d.L0;
    height = MulDiv(width, d.sh, d.sw);
  }
  if (width < kMinimumFrameSide) {
    width = kMinimumFrameSide;
    height = MulDiv(width, d.sh, d.sw);
  }
  return Rect{d.L0, d.T0, d.L0 + width, d.T0 + height};
}

// A resize that the confinement turned round, or pushed out of the fit
// rectangle, is no resize.
Rect Checked(const Rect& frame, const Rect& result, std::int32_t dx, std::int32_t dy,
             const DragBounds& bounds) {
  const std::int32_t grownWidth = result.Width() - frame.Width();
  const std::int32_t grownHeight = result.Height() - frame.Height();
  const bool turned =
      Against(dx != 0 ? dx : dy, grownWidth) || Against(dx != 0 ? dx : dy, grownHeight);
  const bool outside = (result.right > bounds.fitRect.right && result.right > frame.right) ||
                       (result.bottom > bounds.fitRect.bottom && result.bottom > frame.bottom);
  return turned || outside ? frame : result;
}

}  // namespace

Rect NudgeFrame(FrameNudge nudge, const Rect& frame, std::int32_t dx, std::int32_t dy,
                const DragBounds& bounds) {
  if (bounds.space.width <= 0 || bounds.space.height <= 0 || (dx == 0 && dy == 0)) return frame;
  if (nudge == FrameNudge::Move) return StepOf(frame, dx, dy, bounds, false).Move();
  if (!bounds.keepProportions) return StepOf(frame, dx, dy, bounds, false).DragBottomRight();
  Rect result = frame;
  if (dx != 0) result = Checked(result, ResizeWidthKeeping(result, dx, bounds), dx, 0, bounds);
  if (dy != 0) result = Checked(result, ResizeHeightKeeping(result, dy, bounds), 0, dy, bounds);
  return result;
}

void AdvanceAnts(std::int32_t& phase, Color& color) {
  if (++phase < 5) return;
  phase = 1;
  color = color == kBlack ? kWhite : kBlack;
}

namespace {

// The colour of the k-th pixel along a path from the top-left corner: a first
// dash of `phase` pixels in `color`, then dashes of 4 alternating, starting
// with the other colour. A path's second edge goes on counting from its first
// edge's length, so a dash continues round the corner (whose pixel both edges
// share).
Color AntsColorAt(std::int32_t k, std::int32_t phase, Color color) {
  if (k < phase) return color;
  Color other = color == kBlack ? kWhite : kBlack;
  return ((k - phase) / kDashLength) % 2 == 0 ? other : color;
}

void Plot(Bitmap& canvas, std::int32_t x, std::int32_t y, Color color) {
  if (x >= 0 && y >= 0 && x < canvas.Width() && y < canvas.Height()) canvas.SetPixel(x, y, color);
}

}  // namespace

void DrawAntsFrame(Bitmap& canvas, const Rect& frame, std::int32_t phase, Color color) {
  const std::int32_t a = frame.left, b = frame.top, c = frame.Width(), d = frame.Height();
  if (c <= 0 || d <= 0) return;
  for (std::int32_t i = 0; i < c; ++i)
    Plot(canvas, a + i, b, AntsColorAt(i, phase, color));
  for (std::int32_t j = 0; j < d; ++j)
    Plot(canvas, a + c - 1, b + j, AntsColorAt(c + j, phase, color));
  for (std::int32_t j = 0; j < d; ++j)
    Plot(canvas, a, b + j, AntsColorAt(j, phase, color));
  for (std::int32_t i = 0; i < c; ++i)
    Plot(canvas, a + i, b + d - 1, AntsColorAt(d + i, phase, color));
}

void DrawOutline(Bitmap& canvas, const Rect& rect, Color color) {
  if (rect.Width() <= 0 || rect.Height() <= 0) return;
  canvas.FillRect(Rect{rect.left, rect.top, rect.right, rect.top + 1}, color);
  canvas.FillRect(Rect{rect.left, rect.bottom - 1, rect.right, rect.bottom}, color);
  canvas.FillRect(Rect{rect.left, rect.top, rect.left + 1, rect.bottom}, color);
  canvas.FillRect(Rect{rect.right - 1, rect.top, rect.right, rect.bottom}, color);
}

namespace {

// Copies `rect` of `source` to `canvas` shifted by (dx, dy), both clipped.
void CopyShifted(Bitmap& canvas, const Bitmap& source, Rect rect, std::int32_t dx,
                 std::int32_t dy) {
  rect.left = std::max({rect.left, 0, -dx});
  rect.top = std::max({rect.top, 0, -dy});
  rect.right = std::min({rect.right, source.Width(), canvas.Width() - dx});
  rect.bottom = std::min({rect.bottom, source.Height(), canvas.Height() - dy});
  if (rect.left >= rect.right || rect.top >= rect.bottom) return;
  const std::size_t bytes = static_cast<std::size_t>(rect.Width()) * 3;
  for (std::int32_t y = rect.top; y < rect.bottom; ++y) {
    const std::uint8_t* from = source.Row(y) + static_cast<std::size_t>(rect.left) * 3;
    std::uint8_t* to = canvas.Row(y + dy) + static_cast<std::size_t>(rect.left + dx) * 3;
    std::copy(from, from + bytes, to);
  }
}

}  // namespace

void DrawBitmap(Bitmap& canvas, const Bitmap& source, std::int32_t x, std::int32_t y) {
  CopyShifted(canvas, source, Rect{0, 0, source.Width(), source.Height()}, x, y);
}

void CopyRectAt(Bitmap& canvas, const Bitmap& source, const Rect& rect) {
  CopyShifted(canvas, source, rect, 0, 0);
}

}  // namespace quillet

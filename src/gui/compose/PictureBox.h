#pragma once

#include <QWidget>
#include <functional>

#include "core/codecs/Bitmap.h"

namespace quillet {

// A picture control that shows a core Bitmap one bitmap pixel to one
// device-independent pixel, so that mouse positions are bitmap pixels. It
// takes the size of its bitmap and passes mouse events on as bitmap
// coordinates. The bitmap is painted straight from its own buffer.
class TPictureBox : public QWidget {
  Q_OBJECT

 public:
  explicit TPictureBox(QWidget* parent = nullptr);

  // Drawing into the picture is allowed; call update() (or RepaintRect)
  // afterwards, and FitToPicture when its size changed.
  Bitmap& Picture() { return picture_; }
  const Bitmap& Picture() const { return picture_; }
  void SetPicture(Bitmap picture);
  void FitToPicture();
  // No picture, and the 10 × 10 size of an empty control.
  void ClearPicture();
  void RepaintRect(const Rect& rect);

  // A picture larger than `room` is shown scaled down to fit it, keeping its
  // proportions; an empty room shows it 1:1 (the default). Mouse positions
  // stay in widget pixels.
  void ShrinkToFit(QSize room);
  // The widget pixels per picture pixel: 1, or less when shrunk.
  double DisplayScale() const { return scale_; }

  // Fills a tile with the picture's pixels whose top-left corner is at
  // (x, y). A tiled box is `width` × `height` and holds no picture: it asks
  // for the part it paints, so a huge view costs only what is on the screen.
  using TileDrawer = std::function<void(Bitmap& tile, int x, int y)>;
  void SetTiled(int width, int height, TileDrawer drawer);
  bool HasPicture() const { return !picture_.Empty() || static_cast<bool>(drawer_); }
  // The pixel shown at (x, y), tiled or not.
  Color PixelAt(int x, int y) const;

 signals:
  void MousePressed(int x, int y);
  void MouseMoved(int x, int y);
  void MouseReleased(int x, int y);
  void DoubleClicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  Bitmap picture_;
  QSize room_;
  double scale_ = 1.0;
  TileDrawer drawer_;
};

}  // namespace quillet

#pragma once

#include <QPixmap>
#include <QWidget>

namespace quillet {

// The status bar's owner-drawn panel: plain while idle; while an upload runs
// a strip of box tiles moves one pixel a tick under the caption
// "U P L O A D I N G . . .".
class TUploadProgressPanel : public QWidget {
  Q_OBJECT

 public:
  explicit TUploadProgressPanel(QWidget* parent = nullptr);

  // -1 while idle, 0 to 19 while an upload runs.
  int Phase() const { return phase_; }
  void SetPhase(int phase);
  // One tick of the animation: 0, 1, ..., 19, 0, ...
  void Advance();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int phase_ = -1;
  QPixmap tile_;
};

}  // namespace quillet

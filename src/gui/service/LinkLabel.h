#pragma once

#include <QLabel>

namespace quillet {

// A web address or page name shown as a link: bold, blue, optionally
// underlined, with the pointing-hand cursor. A click, or Space or Enter while
// it has the keyboard focus, emits Clicked(); the owner opens the page.
class TLinkLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TLinkLabel(const QString& text, bool underlined = false, QWidget* parent = nullptr);

 signals:
  void Clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool pressed_ = false;
};

}  // namespace quillet

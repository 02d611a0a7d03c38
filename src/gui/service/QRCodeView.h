#pragma once

#include <QString>
#include <QWidget>
#include <vector>

namespace quillet {

// The modules of a QR code, row by row, without the quiet zone.
struct QRCodeModules {
  int size = 0;  // modules a side; 0 when there is no code
  std::vector<bool> dark;

  bool Dark(int x, int y) const { return dark[static_cast<std::size_t>(y) * size + x]; }
};

// The QR code of `text` (its UTF-8 bytes, medium error correction); no
// modules for an empty text or one too long for any QR code.
QRCodeModules EncodeQRCode(const QString& text);

// Shows the QR code of a text, so that a phone can open an address by
// scanning it: dark modules on white with the quiet zone of four modules
// around them, each module a whole number of device pixels at any pixel
// density, centred in the widget. A click copies the text to the clipboard.
// An empty text shows nothing.
class TQRCodeView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kQuietZone = 4;

  explicit TQRCodeView(QWidget* parent = nullptr);

  void SetText(const QString& text);
  const QString& Text() const { return text_; }
  const QRCodeModules& Modules() const { return modules_; }
  bool HasCode() const { return modules_.size > 0; }

  // The size the code prefers for one module, in device-independent pixels.
  void SetPreferredModuleSize(int pixels);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  // The text went to the clipboard.
  void Copied();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int SideInModules() const;

  QString text_;
  QRCodeModules modules_;
  int preferredModuleSize_ = 4;
  bool pressed_ = false;
};

}  // namespace quillet

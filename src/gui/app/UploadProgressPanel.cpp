#include "gui/app/UploadProgressPanel.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

namespace quillet {
namespace {

constexpr int kTileStep = 20;
constexpr int kPhases = 20;
const char* const kCaption = "U P L O A D I N G . . .";

}  // namespace

TUploadProgressPanel::TUploadProgressPanel(QWidget* parent)
    : QWidget(parent), tile_(QStringLiteral(":/bitmaps/UPLOAD_BOX_BMP.png")) {}

void TUploadProgressPanel::SetPhase(int phase) {
  phase_ = phase;
  update();
}

void TUploadProgressPanel::Advance() {
  SetPhase(phase_ >= kPhases - 1 ? 0 : phase_ + 1);
}

void TUploadProgressPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect area = rect();
  painter.fillRect(area, palette().color(QPalette::Button));
  if (phase_ == -1) return;
  painter.setClipRect(area);
  const int left = area.left(), top = area.top(), right = area.right() + 1;
  painter.drawPixmap(left + phase_ - kTileStep, top, tile_);
  for (int k = 0; k <= (right - left - phase_) / kTileStep + 1; ++k)
    painter.drawPixmap(left + phase_ + kTileStep * k, top, tile_);

  QFont font(QStringLiteral("Courier"), 10);
  font.setStyleHint(QFont::TypeWriter);
  font.setBold(true);
  painter.setFont(font);
  const QFontMetrics metrics(font);
  const QString caption = QString::fromLatin1(kCaption);
  const int x = left + (area.width() - metrics.horizontalAdvance(caption)) / 2;
  const int y = top + (area.height() - metrics.height()) / 2 - 1 + metrics.ascent();
  painter.setPen(Qt::white);
  for (int dx = -1; dx <= 1; ++dx)
    for (int dy = -1; dy <= 1; ++dy)
      if (dx != 0 || dy != 0) painter.drawText(x + dx, y + dy, caption);
  painter.setPen(Qt::red);
  painter.drawText(x, y, caption);
}

}  // namespace quillet

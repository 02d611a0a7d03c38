// The JPEG and GIF properties dialogs shown before an upload.
#include "gui/imageops/PicturePropsForm.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <span>

#include "core/codecs/Codecs.h"
#include "core/imageops/LogoCommands.h"
#include "core/platform/AtomicFile.h"
#include "gui/app/WindowPlacement.h"
#include "gui/settings/OptionsForm.h"

namespace quillet {

namespace {

constexpr PicturePropsKind kJpegKind{"JPEG Picture Properties",
                                     "JPEGQualityTrackBar",
                                     10,
                                     100,
                                     10,
                                     "JPEG Quality:",
                                     "JPEGQualityLabel",
                                     "JPEGImage",
                                     "ShowJPEGDialogCheckBox",
                                     "%"};
constexpr PicturePropsKind kGifKind{"GIF Picture Properties",
                                    "GIFBitDepthTrackBar",
                                    3,
                                    8,
                                    1,
                                    "Bits Per Pixel:",
                                    "GIFBitDepthLabel",
                                    "GIFImage",
                                    "ShowGIFDialogCheckBox",
                                    " bits"};

// The room the controls around the preview take.
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 180;

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

}  // namespace

TPicturePropsForm::TPicturePropsForm(const PicturePropsKind& kind, std::string programFolder,
                                     TOptionsForm& options, QWidget* parent)
    : QDialog(parent),
      programFolder_(std::move(programFolder)),
      options_(options),
      unit_(QLatin1String(kind.unit)) {
  setWindowTitle(QLatin1String(kind.caption));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setMinimumSize(kMinimumWidth, kMinimumHeight);
  CreateControls(kind);
}

void TPicturePropsForm::CreateControls(const PicturePropsKind& kind) {
  auto* layout = new QVBoxLayout(this);
  TrackBar = Named(new QSlider(Qt::Horizontal), kind.trackBarName);
  TrackBar->setRange(kind.minimum, kind.maximum);
  TrackBar->setSingleStep(kind.step);
  TrackBar->setPageStep(kind.step);
  TrackBar->setTickInterval(kind.step);
  TrackBar->setTickPosition(QSlider::TicksBelow);
  layout->addWidget(TrackBar);

  auto* values = new QHBoxLayout;
  values->addWidget(new QLabel(QLatin1String(kind.valueCaption)));
  ValueLabel = Named(new QLabel, kind.valueLabelName);
  values->addWidget(ValueLabel);
  values->addStretch(1);
  layout->addLayout(values);
  auto* sizes = new QHBoxLayout;
  sizes->addWidget(new QLabel(QStringLiteral("File Size in bytes:")));
  ImageSizeLabel = Named(new QLabel, "ImageSizeLabel");
  sizes->addWidget(ImageSizeLabel);
  sizes->addStretch(1);
  layout->addLayout(sizes);

  PreviewImage = Named(new QLabel, kind.previewName);
  PreviewImage->setAlignment(Qt::AlignCenter);
  layout->addWidget(PreviewImage, 1);

  ShowDialogCheckBox =
      Named(new QCheckBox(QStringLiteral("Show this dialog box next time")), kind.checkBoxName);
  layout->addWidget(ShowDialogCheckBox);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  OKButton = Named(new QPushButton(QStringLiteral("OK")), "OKButton");
  OKButton->setDefault(true);
  CancelButton = Named(new QPushButton(QStringLiteral("Cancel")), "CancelButton");
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);

  connect(TrackBar, &QSlider::valueChanged, this, &TPicturePropsForm::TrackBarChange);
  connect(OKButton, &QPushButton::clicked, this, &TPicturePropsForm::OKButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

bool TPicturePropsForm::Execute(const LogoNode& node, const Bitmap& logoPicture) {
  node_ = &node;
  logoPicture_ = &logoPicture;
  QSize size(std::max(kMinimumWidth, node.Data().logowidth + kFrameWidth),
             std::max(kMinimumHeight, node.Data().logoheight + kFrameHeight));
  // A wallpaper of today's phones is taller than the screen: the dialog
  // stays on it, and the preview shrinks to what is left.
  if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
    const QSize room = screen->availableGeometry().size() - QSize(32, 64);
    size = size.boundedTo(room).expandedTo(QSize(kMinimumWidth, kMinimumHeight));
  }
  setFixedSize(size);
  CentreOnScreen(*this);
  FormShow();
  const bool accepted = exec() == QDialog::Accepted;
  node_ = nullptr;
  logoPicture_ = nullptr;
  return accepted;
}

void TPicturePropsForm::FormShow() {
  const Options& options = options_.Current();
  showing_ = true;
  TrackBar->setValue(Snap(OptionPosition(options)));
  showing_ = false;
  ShowDialogCheckBox->setChecked(OptionShowDialog(options));
  ValueLabel->setText(QString::number(TrackBar->value()) + unit_);
  rememberedPosition_ = TrackBar->value();
  UpdatePreview();
}

void TPicturePropsForm::TrackBarChange(int position) {
  const int snapped = Snap(position);
  if (snapped != position) {
    // Comes back here with the snapped position.
    TrackBar->setValue(snapped);
    return;
  }
  if (showing_) return;
  ValueLabel->setText(QString::number(position) + unit_);
  if (position != rememberedPosition_) UpdatePreview();
  rememberedPosition_ = position;
}

void TPicturePropsForm::UpdatePreview() {
  previewPath_.clear();
  previewPicture_ = Bitmap();
  if (node_ == nullptr || logoPicture_ == nullptr) return;
  // The file is written exactly as the upload will write it with this
  // setting, then read back, so the preview shows what the phone gets.
  Options options = options_.Current();
  StorePosition(options, TrackBar->value());
  const std::string path = WriteLogoFile(*node_, *logoPicture_, programFolder_, options);
  std::string bytes;
  try {
    if (path.empty()) throw std::runtime_error("nothing written");
    bytes = ReadWholeFile(path);
    previewPicture_ =
        DecodePicture(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                      DecoderForFileName(path));
    previewPath_ = path;
  } catch (const std::exception&) {
    previewPicture_ = Bitmap();
    bytes.clear();
  }
  ShowPreview(previewPicture_);
  ImageSizeLabel->setText(QString::number(bytes.size()));
}

void TPicturePropsForm::ShowPreview(const Bitmap& picture) {
  if (picture.Empty()) {
    PreviewImage->clear();
    return;
  }
  const QImage view(picture.Data(), picture.Width(), picture.Height(),
                    static_cast<qsizetype>(picture.Stride()), QImage::Format_RGB888);
  QPixmap pixmap = QPixmap::fromImage(view.copy());
  const QSize room(width() - kFrameWidth, height() - kFrameHeight);
  if (room.isValid() && (pixmap.width() > room.width() || pixmap.height() > room.height()))
    pixmap = pixmap.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  PreviewImage->setPixmap(pixmap);
}

void TPicturePropsForm::OKButtonClick() {
  Options& options = options_.Edit();
  StoreShowDialog(options, ShowDialogCheckBox->isChecked());
  StorePosition(options, TrackBar->value());
  options_.ApplyToControls();
  options_.SaveCurrent();
  accept();
}

TJPEGPropsForm::TJPEGPropsForm(std::string programFolder, TOptionsForm& options, QWidget* parent)
    : TPicturePropsForm(kJpegKind, std::move(programFolder), options, parent) {
  setObjectName(QStringLiteral("JPEGPropsForm"));
  JPEGQualityTrackBar = TrackBar;
  JPEGQualityLabel = ValueLabel;
  JPEGImage = PreviewImage;
  ShowJPEGDialogCheckBox = ShowDialogCheckBox;
}

int TJPEGPropsForm::Snap(int position) const {
  return SnapJpegQuality(position);
}

TGIFPropsForm::TGIFPropsForm(std::string programFolder, TOptionsForm& options, QWidget* parent)
    : TPicturePropsForm(kGifKind, std::move(programFolder), options, parent) {
  setObjectName(QStringLiteral("GIFPropsForm"));
  GIFBitDepthTrackBar = TrackBar;
  GIFBitDepthLabel = ValueLabel;
  GIFImage = PreviewImage;
  ShowGIFDialogCheckBox = ShowDialogCheckBox;
}

}  // namespace quillet

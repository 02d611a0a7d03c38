// The scanner's window: settings, preview and the scan itself.
#include "gui/acquire/SaneScanForm.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "core/acquire/SaneSourceManager.h"
#include "core/codecs/Codecs.h"
#include "core/codecs/Resample.h"
#include "gui/app/WindowPlacement.h"

namespace quillet {

namespace {

constexpr int kPreviewWidth = 220;
constexpr int kPreviewHeight = 280;
constexpr int kPollMilliseconds = 50;

QString ToQString(const std::string& text) {
  return QString::fromStdString(text);
}

// The picture as the preview shows it, fitted into `box` with its
// proportions kept; empty when it cannot be painted. The program's own
// resampler does the fitting, on this thread.
QImage PreviewOfPicture(const SanePicture& picture, QSize box) {
  TW_HANDLE dib = PackedDibOfPicture(picture);
  if (dib == nullptr) return {};
  Bitmap painted;
  try {
    painted = PaintPackedDib(GlobalLockBlock(dib));
  } catch (const PictureError&) {
  }
  GlobalFreeBlock(dib);
  if (painted.Empty()) return {};
  const QSize fitted = QSize(painted.Width(), painted.Height()).scaled(box, Qt::KeepAspectRatio);
  Bitmap preview(std::max(fitted.width(), 1), std::max(fitted.height(), 1));
  ResampleRect(painted, Rect{0, 0, painted.Width(), painted.Height()}, preview,
               Rect{0, 0, preview.Width(), preview.Height()});
  return QImage(preview.Data(), preview.Width(), preview.Height(),
                static_cast<qsizetype>(preview.Stride()), QImage::Format_RGB888)
      .copy();
}

}  // namespace

TSaneScanForm::TSaneScanForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("SaneScanForm"));
  setWindowTitle(QStringLiteral("Scan"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setModal(false);

  PreviewImage = new QLabel;
  PreviewImage->setObjectName(QStringLiteral("PreviewImage"));
  PreviewImage->setFixedSize(kPreviewWidth, kPreviewHeight);
  PreviewImage->setAlignment(Qt::AlignCenter);
  PreviewImage->setFrameShape(QFrame::StyledPanel);
  PreviewImage->setText(QStringLiteral("Press Preview to see\nwhat the scanner sees."));

  ResolutionSpinBox = new QSpinBox;
  ResolutionSpinBox->setObjectName(QStringLiteral("ResolutionSpinBox"));
  ResolutionSpinBox->setSuffix(QStringLiteral(" dpi"));
  ResolutionComboBox = new QComboBox;
  ResolutionComboBox->setObjectName(QStringLiteral("ResolutionComboBox"));
  ModeComboBox = new QComboBox;
  ModeComboBox->setObjectName(QStringLiteral("ModeComboBox"));
  auto* resolution = new QHBoxLayout;
  resolution->setContentsMargins(0, 0, 0, 0);
  resolution->addWidget(ResolutionSpinBox);
  resolution->addWidget(ResolutionComboBox);
  auto* settings = new QFormLayout;
  settings->addRow(QStringLiteral("&Resolution:"), resolution);
  settings->addRow(QStringLiteral("Colour &mode:"), ModeComboBox);

  ProgressBar = new QProgressBar;
  ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  ProgressBar->setTextVisible(false);
  StatusLabel = new QLabel;
  StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
  StatusLabel->setWordWrap(true);
  StatusLabel->setTextFormat(Qt::PlainText);

  PreviewButton = new QPushButton(QStringLiteral("&Preview"));
  PreviewButton->setObjectName(QStringLiteral("PreviewButton"));
  ScanButton = new QPushButton(QStringLiteral("&Scan"));
  ScanButton->setObjectName(QStringLiteral("ScanButton"));
  ScanButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("Cancel"));
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(PreviewButton);
  buttons->addStretch(1);
  buttons->addWidget(ScanButton);
  buttons->addWidget(CancelButton);

  auto* side = new QVBoxLayout;
  side->addLayout(settings);
  side->addStretch(1);
  side->addWidget(ProgressBar);
  side->addWidget(StatusLabel);
  auto* top = new QHBoxLayout;
  top->addWidget(PreviewImage);
  top->addLayout(side, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);

  pollTimer_ = new QTimer(this);
  pollTimer_->setInterval(kPollMilliseconds);
  connect(pollTimer_, &QTimer::timeout, this, &TSaneScanForm::PollScan);
  connect(PreviewButton, &QPushButton::clicked, this, &TSaneScanForm::PreviewButtonClick);
  connect(ScanButton, &QPushButton::clicked, this, &TSaneScanForm::ScanButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &TSaneScanForm::CancelButtonClick);
  connect(ModeComboBox, &QComboBox::currentIndexChanged, this, &TSaneScanForm::ModeComboBoxChange);
  resize(sizeHint().expandedTo(QSize(480, 0)));
}

TSaneScanForm::~TSaneScanForm() {
  StopScan();
}

void TSaneScanForm::Open(SaneScanSession& session) {
  StopScan();
  session_ = &session;
  const SaneDeviceInfo& info = session.Device().Info();
  const std::string name = info.vendor.empty() && info.model.empty()
                               ? info.name
                               : info.vendor + (info.vendor.empty() ? "" : " ") + info.model;
  setWindowTitle(QStringLiteral("Scan - ") + ToQString(name));
  PreviewImage->setPixmap(QPixmap());
  PreviewImage->setText(QStringLiteral("Press Preview to see\nwhat the scanner sees."));
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  SetStatus({});
  FillControls();
  SetControlsEnabled(true);
  CentreOnScreen(*this);
  show();
  raise();
  activateWindow();
}

void TSaneScanForm::Close() {
  StopScan();
  session_ = nullptr;
  hide();
}

void TSaneScanForm::SetStatus(const QString& text) {
  StatusLabel->setText(text);
}

void TSaneScanForm::FillControls() {
  filling_ = true;
  SaneDevice& device = session_->Device();
  ModeComboBox->clear();
  const std::vector<std::string> modes = device.Modes();
  for (const std::string& mode : modes)
    ModeComboBox->addItem(ToQString(mode));
  const auto current = std::find(modes.begin(), modes.end(), device.Mode());
  ModeComboBox->setCurrentIndex(current == modes.end() ? 0
                                                       : static_cast<int>(current - modes.begin()));
  ModeComboBox->setEnabled(modes.size() > 1);
  filling_ = false;
  FillResolution();
}

void TSaneScanForm::FillResolution() {
  filling_ = true;
  const std::optional<SaneResolution> resolution = session_->Device().Resolution();
  ResolutionComboBox->clear();
  const bool list = resolution && !resolution->choices.empty();
  resolutionList_ = list;
  ResolutionComboBox->setVisible(list);
  ResolutionSpinBox->setVisible(!list);
  if (list) {
    for (int choice : resolution->choices)
      ResolutionComboBox->addItem(QString::number(choice) + QStringLiteral(" dpi"), choice);
    const int index = ResolutionComboBox->findData(resolution->current);
    ResolutionComboBox->setCurrentIndex(std::max(index, 0));
  } else if (resolution) {
    ResolutionSpinBox->setRange(resolution->min, resolution->max);
    ResolutionSpinBox->setSingleStep(resolution->step);
    ResolutionSpinBox->setValue(resolution->current);
  } else {
    // A device without a resolution of its own scans as it scans.
    ResolutionSpinBox->setRange(0, 0);
    ResolutionSpinBox->setSpecialValueText(QStringLiteral("fixed"));
  }
  ResolutionSpinBox->setEnabled(resolution.has_value() && resolution->min != resolution->max);
  filling_ = false;
}

int TSaneScanForm::ChosenResolution() const {
  if (resolutionList_) return ResolutionComboBox->currentData().toInt();
  return ResolutionSpinBox->value();
}

void TSaneScanForm::ModeComboBoxChange(int index) {
  if (filling_ || session_ == nullptr || index < 0 || Scanning()) return;
  if (!session_->Device().SetMode(ModeComboBox->itemText(index).toStdString()))
    SetStatus(QStringLiteral("The scanner did not take this colour mode."));
  // A mode can bring resolutions of its own.
  FillResolution();
}

void TSaneScanForm::PreviewButtonClick() {
  StartScan(true);
}

void TSaneScanForm::ScanButtonClick() {
  StartScan(false);
}

void TSaneScanForm::CancelButtonClick() {
  if (Scanning()) {
    // Stops the scan; the window stays for another try.
    scanning_->Cancel();
    SetStatus(QStringLiteral("Stopping the scan..."));
    return;
  }
  if (session_ != nullptr) session_->RequestClose();
  hide();
}

void TSaneScanForm::reject() {
  CancelButtonClick();
}

void TSaneScanForm::closeEvent(QCloseEvent* event) {
  StopScan();
  if (session_ != nullptr) session_->RequestClose();
  QDialog::closeEvent(event);
}

void TSaneScanForm::SetControlsEnabled(bool enabled) {
  PreviewButton->setEnabled(enabled);
  ScanButton->setEnabled(enabled);
  ModeComboBox->setEnabled(enabled && ModeComboBox->count() > 1);
  ResolutionComboBox->setEnabled(enabled);
  ResolutionSpinBox->setEnabled(enabled &&
                                ResolutionSpinBox->minimum() != ResolutionSpinBox->maximum());
}

void TSaneScanForm::StartScan(bool preview) {
  if (session_ == nullptr || Scanning()) return;
  SaneDevice& device = session_->Device();
  if (device.Resolution().has_value() && !device.SetResolution(ChosenResolution())) {
    SetStatus(QStringLiteral("The scanner did not take this resolution."));
    return;
  }
  previewing_ = preview;
  done_ = false;
  progress_.received = 0;
  progress_.expected = 0;
  SetControlsEnabled(false);
  scanning_ = &device;
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  SetStatus(preview ? QStringLiteral("Scanning a preview...") : QStringLiteral("Scanning..."));
  // The device is the thread's alone until it is joined; the window only
  // asks it to stop.
  worker_ = std::thread([this, &device, preview] {
    result_ = device.Scan(preview, &progress_);
    done_ = true;
  });
  pollTimer_->start();
}

void TSaneScanForm::PollScan() {
  if (!Scanning()) {
    pollTimer_->stop();
    return;
  }
  const std::size_t expected = progress_.expected;
  if (expected == 0) {
    ProgressBar->setRange(0, 0);  // busy: the height is not known
  } else {
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(static_cast<int>(
        std::min<std::size_t>(100, progress_.received * 100 / std::max<std::size_t>(expected, 1))));
  }
  if (done_) FinishScan();
}

void TSaneScanForm::FinishScan() {
  pollTimer_->stop();
  worker_.join();
  scanning_ = nullptr;
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(result_.status == SaneScanStatus::Done ? 100 : 0);
  SetControlsEnabled(true);
  SaneScanResult result = std::move(result_);
  result_ = SaneScanResult{};
  switch (result.status) {
    case SaneScanStatus::Done:
      if (previewing_) {
        ShowPreview(result.picture);
        SetStatus({});
      } else {
        ShowPreview(result.picture);
        SetStatus(QStringLiteral("Handing the picture over..."));
        session_->Deliver(std::move(result.picture));
      }
      break;
    case SaneScanStatus::Cancelled:
      SetStatus(QStringLiteral("The scan was stopped."));
      break;
    case SaneScanStatus::Failed:
      SetStatus(ToQString(result.problem));
      break;
  }
}

void TSaneScanForm::StopScan() {
  pollTimer_->stop();
  if (!Scanning()) return;
  scanning_->Cancel();
  worker_.join();
  scanning_ = nullptr;
  result_ = SaneScanResult{};
  SetControlsEnabled(true);
}

void TSaneScanForm::ShowPreview(const SanePicture& picture) {
  const QImage image = PreviewOfPicture(picture, PreviewImage->contentsRect().size());
  if (image.isNull()) {
    PreviewImage->setText(QStringLiteral("The preview cannot be shown."));
    return;
  }
  PreviewImage->setPixmap(QPixmap::fromImage(image));
}

}  // namespace quillet

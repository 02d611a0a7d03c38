#pragma once

#include <QDialog>
#include <string>

#include "core/codecs/Bitmap.h"
#include "core/logodir/LogoTree.h"
#include "core/settings/Options.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

namespace quillet {

class TOptionsForm;

// What tells the JPEG and the GIF properties dialogs apart.
struct PicturePropsKind {
  const char* caption;
  const char* trackBarName;
  int minimum;
  int maximum;
  int step;
  const char* valueCaption;
  const char* valueLabelName;
  const char* previewName;
  const char* checkBoxName;
  const char* unit;  // appended to the position in the value label
};

// A properties dialog shown before a logo is uploaded: a track bar for the
// encoder setting, the file size and a preview of the file exactly as the
// upload will write it. OK stores the setting and the "show next time" flag
// in the options and writes the options file; Cancel changes nothing.
class TPicturePropsForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kMinimumWidth = 200;
  static constexpr int kMinimumHeight = 290;

  // Shows the dialog for `node`, whose rendered logo is `logoPicture`, sized
  // to the logo; true when the user closed it with OK.
  bool Execute(const LogoNode& node, const Bitmap& logoPicture);

  // The file the last preview was read from (empty when nothing could be
  // written), and the picture it decoded to.
  const std::string& PreviewPath() const { return previewPath_; }
  const Bitmap& PreviewPicture() const { return previewPicture_; }

  QSlider* TrackBar = nullptr;
  QLabel* ValueLabel = nullptr;
  QLabel* ImageSizeLabel = nullptr;
  QLabel* PreviewImage = nullptr;
  QCheckBox* ShowDialogCheckBox = nullptr;
  QPushButton* OKButton = nullptr;
  QPushButton* CancelButton = nullptr;

 protected:
  TPicturePropsForm(const PicturePropsKind& kind, std::string programFolder, TOptionsForm& options,
                    QWidget* parent);

  virtual int OptionPosition(const Options& options) const = 0;
  virtual bool OptionShowDialog(const Options& options) const = 0;
  virtual void StorePosition(Options& options, int position) const = 0;
  virtual void StoreShowDialog(Options& options, bool show) const = 0;
  virtual int Snap(int position) const { return position; }

 private:
  void CreateControls(const PicturePropsKind& kind);
  void FormShow();
  void TrackBarChange(int position);
  void UpdatePreview();
  void ShowPreview(const Bitmap& picture);
  void OKButtonClick();

  std::string programFolder_;
  TOptionsForm& options_;
  QString unit_;
  const LogoNode* node_ = nullptr;
  const Bitmap* logoPicture_ = nullptr;
  int rememberedPosition_ = -1;
  bool showing_ = false;
  std::string previewPath_;
  Bitmap previewPicture_;
};

// "JPEG Picture Properties": the quality, 10 to 100 in steps of 10.
class TJPEGPropsForm : public TPicturePropsForm {
  Q_OBJECT

 public:
  TJPEGPropsForm(std::string programFolder, TOptionsForm& options, QWidget* parent = nullptr);

  QSlider* JPEGQualityTrackBar = nullptr;
  QLabel* JPEGQualityLabel = nullptr;
  QLabel* JPEGImage = nullptr;
  QCheckBox* ShowJPEGDialogCheckBox = nullptr;

 protected:
  int OptionPosition(const Options& options) const override { return options.jpegquality; }
  bool OptionShowDialog(const Options& options) const override { return options.showjpegdialog; }
  void StorePosition(Options& options, int position) const override {
    options.jpegquality = position;
  }
  void StoreShowDialog(Options& options, bool show) const override {
    options.showjpegdialog = show;
  }
  int Snap(int position) const override;
};

// "GIF Picture Properties": the bits per pixel, 3 to 8.
class TGIFPropsForm : public TPicturePropsForm {
  Q_OBJECT

 public:
  TGIFPropsForm(std::string programFolder, TOptionsForm& options, QWidget* parent = nullptr);

  QSlider* GIFBitDepthTrackBar = nullptr;
  QLabel* GIFBitDepthLabel = nullptr;
  QLabel* GIFImage = nullptr;
  QCheckBox* ShowGIFDialogCheckBox = nullptr;

 protected:
  int OptionPosition(const Options& options) const override { return options.gifbitdepth; }
  bool OptionShowDialog(const Options& options) const override { return options.showgifdialog; }
  void StorePosition(Options& options, int position) const override {
    options.gifbitdepth = position;
  }
  void StoreShowDialog(Options& options, bool show) const override { options.showgifdialog = show; }
};

}  // namespace quillet

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "core/codecs/Codecs.h"
#include "core/logodir/LogoTree.h"
#include "core/settings/Options.h"
#include "gui/imageops/FileFormatChoiceForm.h"
#include "gui/imageops/PicturePropsForm.h"
#include "gui/settings/OptionsForm.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

using quillet::Bitmap;
using quillet::LogoFormat;
using quillet::LogoNode;
using quillet::NodeKind;
using quillet::TLogoDirObject;
using quillet::testing::ScriptedPrompts;
using quillet::testing::TempDir;

namespace {

// A picture with enough detail for the encoder settings to matter.
Bitmap Gradient(int width, int height) {
  Bitmap picture(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture.SetPixel(x, y, quillet::MakeColor(x * 4 % 256, y * 5 % 256, (x * y) % 256));
  return picture;
}

// A program folder without options, the options window over it, and one
// logo of the given name and size.
struct Setup {
  TempDir dir;
  ScriptedPrompts prompts;
  quillet::TOptionsForm options{dir.Path(), prompts, nullptr, quillet::SystemProxyReader{}};
  quillet::LogoTree tree;
  LogoNode* logo = nullptr;
  Bitmap picture;

  Setup(const char* name, int width, int height) : picture(Gradient(width, height)) {
    TLogoDirObject data(NodeKind::Logo, name);
    data.logowidth = width;
    data.logoheight = height;
    logo = &tree.Append(tree.Root(), data);
  }

  std::string TempFile(const char* name) const { return dir.Path() + "Temp/" + name; }
};

// What a dialog showed while it was open.
struct Seen {
  QString title;
  QSize size;
  int position = 0;
  QString label;
  QString sizeLabel;
  std::string previewPath;
  std::uintmax_t previewFileSize = 0;
  std::string previewBytes;
  bool previewShown = false;
};

Seen Look(quillet::TPicturePropsForm& dialog, const TempDir& dir) {
  Seen seen;
  seen.title = dialog.windowTitle();
  seen.size = dialog.size();
  seen.position = dialog.TrackBar->value();
  seen.label = dialog.ValueLabel->text();
  seen.sizeLabel = dialog.ImageSizeLabel->text();
  seen.previewPath = dialog.PreviewPath();
  if (!seen.previewPath.empty()) {
    seen.previewFileSize = std::filesystem::file_size(seen.previewPath);
    const std::string relative = seen.previewPath.substr(dir.Path().size());
    seen.previewBytes = dir.Read(relative);
  }
  seen.previewShown = !dialog.PreviewImage->pixmap().isNull();
  return seen;
}

std::string AsString(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

class FormatDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void jpegDialogSnapsAndPreviewsTheWrittenFile();
  void jpegDialogCancelChangesNothing();
  void dialogTakesTheLogoSizeAboveItsMinimum_data();
  void dialogTakesTheLogoSizeAboveItsMinimum();
  void gifDialogPreviewsTheBitDepth();
  void formatChoiceOffersTheLastChoiceAgain();
};

void FormatDialogsTest::jpegDialogSnapsAndPreviewsTheWrittenFile() {
  Setup s("sunset.jpg", 64, 48);
  quillet::TJPEGPropsForm dialog(s.dir.Path(), s.options);
  Seen opened;
  Seen snapped;
  QTimer::singleShot(0, &dialog, [&] {
    opened = Look(dialog, s.dir);
    dialog.JPEGQualityTrackBar->setValue(73);
    snapped = Look(dialog, s.dir);
    dialog.ShowJPEGDialogCheckBox->setChecked(false);
    dialog.OKButton->click();
  });
  QVERIFY(dialog.Execute(*s.logo, s.picture));

  QCOMPARE(opened.title, QStringLiteral("JPEG Picture Properties"));
  QCOMPARE(opened.position, 90);  // the option's default
  QCOMPARE(opened.label, QStringLiteral("90%"));
  QVERIFY(opened.previewShown);
  QCOMPARE(snapped.position, 70);
  QCOMPARE(snapped.label, QStringLiteral("70%"));
  // The preview is the file the upload writes, at the track bar's quality.
  QCOMPARE(snapped.previewPath, s.TempFile("sunset.jpg"));
  QCOMPARE(snapped.previewBytes, AsString(quillet::EncodeJpeg(s.picture, 70)));
  QCOMPARE(snapped.sizeLabel, QString::number(snapped.previewFileSize));
  QVERIFY(snapped.sizeLabel != opened.sizeLabel);

  QCOMPARE(s.options.Current().jpegquality, 70);
  QCOMPARE(s.options.Current().showjpegdialog, false);
  const std::string saved = s.dir.Read("options.xml");
  QVERIFY(saved.find("<jpegquality value=\"70\"") != std::string::npos);
  QVERIFY(saved.find("<showjpegdialog value=\"no\"") != std::string::npos);
}

void FormatDialogsTest::jpegDialogCancelChangesNothing() {
  Setup s("sunset.jpg", 64, 48);
  quillet::TJPEGPropsForm dialog(s.dir.Path(), s.options);
  QTimer::singleShot(0, &dialog, [&] {
    dialog.JPEGQualityTrackBar->setValue(30);
    dialog.ShowJPEGDialogCheckBox->setChecked(false);
    dialog.CancelButton->click();
  });
  QVERIFY(!dialog.Execute(*s.logo, s.picture));
  QCOMPARE(s.options.Current().jpegquality, 90);
  QCOMPARE(s.options.Current().showjpegdialog, true);
  QVERIFY(!s.dir.Exists("options.xml"));

  // Shown again, it starts from the options, not from the cancelled choice.
  Seen reopened;
  QTimer::singleShot(0, &dialog, [&] {
    reopened = Look(dialog, s.dir);
    dialog.reject();
  });
  dialog.Execute(*s.logo, s.picture);
  QCOMPARE(reopened.position, 90);
  QCOMPARE(reopened.previewBytes, AsString(quillet::EncodeJpeg(s.picture, 90)));
}

void FormatDialogsTest::dialogTakesTheLogoSizeAboveItsMinimum_data() {
  QTest::addColumn<int>("width");
  QTest::addColumn<int>("height");
  QTest::addColumn<QSize>("size");
  QTest::newRow("small logo") << 64 << 48 << QSize(200, 290);
  QTest::newRow("large logo") << 300 << 200 << QSize(316, 380);
}

void FormatDialogsTest::dialogTakesTheLogoSizeAboveItsMinimum() {
  QFETCH(int, width);
  QFETCH(int, height);
  QFETCH(QSize, size);
  Setup s("pic.gif", width, height);
  quillet::TGIFPropsForm dialog(s.dir.Path(), s.options);
  Seen seen;
  QTimer::singleShot(0, &dialog, [&] {
    seen = Look(dialog, s.dir);
    dialog.reject();
  });
  dialog.Execute(*s.logo, s.picture);
  QCOMPARE(seen.size, size);
}

void FormatDialogsTest::gifDialogPreviewsTheBitDepth() {
  Setup s("pic.gif", 64, 48);
  quillet::TGIFPropsForm dialog(s.dir.Path(), s.options);
  Seen opened;
  Seen changed;
  QTimer::singleShot(0, &dialog, [&] {
    opened = Look(dialog, s.dir);
    dialog.GIFBitDepthTrackBar->setValue(4);
    changed = Look(dialog, s.dir);
    dialog.OKButton->click();
  });
  QVERIFY(dialog.Execute(*s.logo, s.picture));
  QCOMPARE(opened.title, QStringLiteral("GIF Picture Properties"));
  QCOMPARE(opened.label, QStringLiteral("8 bits"));
  QCOMPARE(changed.label, QStringLiteral("4 bits"));
  QCOMPARE(changed.previewBytes, AsString(quillet::EncodeGif(s.picture, 4)));
  QCOMPARE(changed.sizeLabel, QString::number(changed.previewFileSize));
  QCOMPARE(s.options.Current().gifbitdepth, 4);
  QVERIFY(s.dir.Read("options.xml").find("<gifbitdepth value=\"4\"") != std::string::npos);
}

void FormatDialogsTest::formatChoiceOffersTheLastChoiceAgain() {
  quillet::TFileFormatChoiceForm dialog;
  QCOMPARE(dialog.windowTitle(), QStringLiteral("Graphic file format choice"));
  QComboBox* combo = dialog.FileFormatComboBox;
  QCOMPARE(combo->count(), 4);
  QCOMPARE(combo->itemText(0), QStringLiteral("BMP (Windows Bitmap)"));
  QCOMPARE(combo->currentText(), QStringLiteral("PNG (Portable Network Graphics)"));

  QTimer::singleShot(0, &dialog, [&] {
    combo->setCurrentIndex(0);
    dialog.OKButton->click();
  });
  QCOMPARE(dialog.Choose(), std::optional<LogoFormat>(LogoFormat::Bmp));

  int offered = -1;
  QTimer::singleShot(0, &dialog, [&] {
    offered = combo->currentIndex();
    combo->setCurrentIndex(2);
    dialog.CancelButton->click();
  });
  QCOMPARE(dialog.Choose(), std::optional<LogoFormat>());
  QCOMPARE(offered, 0);
  QCOMPARE(combo->currentIndex(), 0);
}

QTEST_MAIN(FormatDialogsTest)
#include "FormatDialogsTest.moc"

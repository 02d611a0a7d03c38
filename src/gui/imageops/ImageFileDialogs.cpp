// The open and save dialogs of pictures.
#include "gui/imageops/ImageFileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <iterator>

#include "core/imageops/LogoCommands.h"

namespace quillet {

namespace {

struct ImageFilter {
  const char* caption;
  const char* patterns;
};

constexpr ImageFilter kImageFilters[] = {
    {"All (*.jpg;*.jpeg;*.bmp;*.gif;*.png)", "*.jpg;*.jpeg;*.bmp;*.gif;*.png"},
    {"JPEG Image File (*.jpg)", "*.jpg"},
    {"JPEG Image File (*.jpeg)", "*.jpeg"},
    {"Bitmaps (*.bmp)", "*.bmp"},
    {"GIF Image File (*.gif)", "*.gif"},
    {"PNG Image File (*.png)", "*.png"},
};

// Qt reads a filter's patterns from its last parentheses, separated by
// blanks, and hides that part when asked; so each caption is followed by
// its patterns in Qt's form, in both letter cases, since extensions are told
// apart without regard to case.
QStringList DialogNameFilters() {
  QStringList filters;
  for (const ImageFilter& filter : kImageFilters) {
    QStringList patterns;
    for (const QString& pattern : QString::fromLatin1(filter.patterns).split(QLatin1Char(';')))
      patterns << pattern << pattern.toUpper();
    filters << QString::fromLatin1(filter.caption) + QStringLiteral(" (") +
                   patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return filters;
}

void PrepareDialog(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setSizeGripEnabled(true);
  dialog.setNameFilters(DialogNameFilters());
}

}  // namespace

QStringList ImageFilterCaptions() {
  QStringList captions;
  for (const ImageFilter& filter : kImageFilters)
    captions << QString::fromLatin1(filter.caption);
  return captions;
}

QString ChooseImageToOpen(QWidget* parent) {
  QFileDialog dialog(parent, QStringLiteral("Open"));
  PrepareDialog(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().constFirst();
}

SaveChoice ChooseImageSavePath(QWidget* parent, const QString& fileName, const QString& folder) {
  QFileDialog dialog(parent, QStringLiteral("Save As"));
  PrepareDialog(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (!folder.isEmpty()) dialog.setDirectory(folder);
  dialog.selectFile(fileName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  SaveChoice choice{dialog.selectedFiles().constFirst(), std::nullopt};
  const qsizetype filter = DialogNameFilters().indexOf(dialog.selectedNameFilter());
  if (filter >= 0 && filter < static_cast<qsizetype>(std::size(kImageFilters)))
    choice.filterFormat = SaveFilterFormat(kImageFilters[filter].patterns);
  return choice;
}

}  // namespace quillet

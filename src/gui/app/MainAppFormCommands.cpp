// The logo directory commands of the main window: open, drop and paste of
// pictures, new folder, rename, delete, save, convert, mirror and rotate.
#include <QAction>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QPersistentModelIndex>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include "core/imageops/LogoCommands.h"
#include "core/logodir/AddedOutside.h"
#include "core/logodir/LogoEditing.h"
#include "gui/app/MainAppForm.h"
#include "gui/compose/PictureBox.h"
#include "gui/imageops/FileFormatChoiceForm.h"
#include "gui/imageops/ImageFileDialogs.h"
#include "gui/logodir/LogoTreeModel.h"

namespace quillet {

namespace {

constexpr const char* kPastedImageName = "pastedimage";

bool HasLocalFiles(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return false;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return true;
  return false;
}

bool IsWebAddress(const QUrl& url) {
  return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

// A picture or a link dragged out of a browser.
bool HasWebAddresses(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return false;
  for (const QUrl& url : data->urls())
    if (IsWebAddress(url)) return true;
  return false;
}

bool HasPictureSources(const QMimeData* data) {
  return HasLocalFiles(data) || HasWebAddresses(data);
}

bool Displays(const LogoNode& node, const TLogoDirObject* displayed) {
  if (&node.Data() == displayed) return true;
  for (int i = 0; i < node.ChildCount(); ++i)
    if (Displays(*node.ChildAt(i), displayed)) return true;
  return false;
}

// A clipboard picture as the program's bitmap; transparent parts become
// white, as on a page.
Bitmap BitmapOfImage(const QImage& image) {
  QImage opaque(image.size(), QImage::Format_RGB888);
  opaque.fill(Qt::white);
  {
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
  }
  Bitmap picture(opaque.width(), opaque.height());
  for (int y = 0; y < opaque.height(); ++y)
    std::copy_n(opaque.constScanLine(y), picture.Stride(), picture.Row(y));
  return picture;
}

}  // namespace

LogoDirContext TMainAppForm::EditContext() {
  return LogoDirContext{tree_, SelectedNode(), programFolder_, prompts_};
}

void TMainAppForm::RunEdit(const std::function<EditResult(LogoDirContext&)>& edit) {
  // One command at a time: a big picture's work still runs.
  if (slowWorkRunning_) return;
  LogoDirContext context = EditContext();
  EditResult result;
  editRunning_ = true;
  selectionMovedDuringEdit_ = false;
  try {
    result = edit(context);
  } catch (const std::exception& error) {
    editRunning_ = false;
    prompts_.ReportError(error.what());
    FinishEdit(EditResult{});
    return;
  }
  editRunning_ = false;
  FinishEdit(result);
}

void TMainAppForm::FinishEdit(const EditResult& result) {
  const bool moved = selectionMovedDuringEdit_;
  selectionMovedDuringEdit_ = false;
  if (result.select != nullptr) {
    const QModelIndex index = treeModel_->IndexOf(result.select);
    LogoTreeView->scrollTo(index);
    // The same node selected again is shown anew: its picture may have
    // changed under it.
    if (SelectedNode() == result.select) {
      LogoTreeViewChange();
    } else {
      SelectNode(result.select);
    }
  } else if (moved) {
    LogoTreeViewChange();
  } else if (result.changed) {
    RefreshCommandState();
  }
}

void TMainAppForm::DropDisplayIfRemoved(const QModelIndex& parent, int first, int last) {
  if (currentLogoObject_ == nullptr) return;
  for (int row = first; row <= last; ++row) {
    const LogoNode* node = LogoTreeModel::NodeOf(treeModel_->index(row, 0, parent));
    if (node == nullptr || !Displays(*node, currentLogoObject_)) continue;
    // The picture and the panel refer to the node that goes: nothing may
    // reach it after this, not even a timer tick inside a message box.
    currentSourceImage_.reset();
    currentLogoObject_ = nullptr;
    drag_ = FrameDrag();
    ShowEmptyPanes();
    return;
  }
}

const Bitmap* TMainAppForm::DisplayedSourcePicture() {
  const LogoNode* node = SelectedNode();
  if (node == nullptr || !currentSourceImage_) return nullptr;
  if (&currentSourceImage_->LogoObject != &node->Data()) return nullptr;
  return &currentSourceImage_->SourcePicture;
}

bool TMainAppForm::AddOnePictureFile(const std::string& path, LogoNode* target) {
  if (!TSourceImage::CanLoadPicture(path, prompts_)) return false;
  RunEdit([&](LogoDirContext& context) {
    context.selected = target;
    return AddPictureFile(context, path, NewLogoTemplate);
  });
  return true;
}

void TMainAppForm::AddPictureFiles(const QList<QUrl>& urls, LogoNode* target) {
  for (const QUrl& url : urls) {
    if (url.isLocalFile())
      AddOnePictureFile(url.toLocalFile().toStdString(), target);
    else if (IsWebAddress(url))
      DownloadAndAddPicture(url.toString(QUrl::FullyEncoded).toStdString(), target);
  }
}

void TMainAppForm::Open1Click() {
  const QString chosen = OpenImageDialog ? OpenImageDialog() : ChooseImageToOpen(this);
  if (chosen.isEmpty()) return;
  AddOnePictureFile(chosen.toStdString(), SelectedNode());
}

bool TMainAppForm::TreeDragEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (HasPictureSources(drag->mimeData())) {
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
      } else {
        drag->ignore();
      }
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!HasPictureSources(drop->mimeData())) {
        drop->ignore();
        return true;
      }
      drop->setDropAction(Qt::CopyAction);
      drop->accept();
      const QPersistentModelIndex target(LogoTreeView->indexAt(drop->position().toPoint()));
      const QList<QUrl> urls = drop->mimeData()->urls();
      // The files are added once the drop has ended, so that a message box
      // never holds up the desktop's drag.
      QTimer::singleShot(0, this, [this, target, urls] {
        AddPictureFiles(urls, target.isValid() ? LogoTreeModel::NodeOf(target) : nullptr);
      });
      return true;
    }
    default:
      return false;
  }
}

void TMainAppForm::UpdatePasteState() {
  if (PasteMenuItem == nullptr) return;
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  const bool usable = data != nullptr && (data->hasImage() || HasLocalFiles(data));
  PasteMenuItem->setEnabled(usable && !IsUploading());
}

void TMainAppForm::PasteMenuItemClick() {
  if (IsUploading()) return;
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (data == nullptr) return;
  if (HasLocalFiles(data)) {
    AddPictureFiles(data->urls(), SelectedNode());
    return;
  }
  if (!data->hasImage()) return;
  const QImage image = qvariant_cast<QImage>(data->imageData());
  if (image.isNull()) return;
  if (image.width() < kMinimumPictureSide || image.height() < kMinimumPictureSide) {
    prompts_.Error(kTooSmallText);
    return;
  }
  const Bitmap picture = BitmapOfImage(image);

  LogoFormat format = LogoFormat::Jpg;
  const AcquiredFormat option = CurrentOptions().grabbedfileformat;
  if (option == AcquiredFormat::Ask) {
    if (fileFormatChoiceForm_ == nullptr) return;
    const std::optional<LogoFormat> chosen = fileFormatChoiceForm_->Choose();
    if (!chosen) return;
    format = *chosen;
  } else {
    format = static_cast<LogoFormat>(option);
  }
  const std::string name = kPastedImageName + std::string(ExtensionOfFormat(format));
  RunEdit([&](LogoDirContext& context) {
    return AddPictureImage(context, name, picture, NewLogoTemplate);
  });
}

void TMainAppForm::FindPicturesMenuItemClick() {
  FoundPictures found;
  RunEdit([&](LogoDirContext& context) {
    found = FindPicturesAddedOutside(context, NewLogoTemplate);
    return found.Edit();
  });
  prompts_.Information(FoundPicturesText(found));
}

void TMainAppForm::Newfolder1Click() {
  RunEdit([](LogoDirContext& context) { return NewFolder(context); });
}

void TMainAppForm::RenameMenuItemClick() {
  RunEdit([](LogoDirContext& context) { return RenameNode(context); });
}

void TMainAppForm::DeleteMenuItemClick() {
  const bool uploading = IsUploading();
  RunEdit([uploading](LogoDirContext& context) { return DeleteNode(context, uploading); });
}

void TMainAppForm::SaveMenuItemClick() {
  if (slowWorkRunning_) return;
  LogoNode* node = SelectedNode();
  if (!LogoCanBeSaved(node, currentSourceImage_.get(), prompts_)) return;
  const QString name = QString::fromStdString(node->Text());
  const QString folder = QString::fromStdString(LastSaveFolder);
  const SaveChoice chosen =
      SaveImageDialog ? SaveImageDialog(name, folder) : ChooseImageSavePath(this, name, folder);
  if (chosen.path.isEmpty()) return;
  // The dialog ran the event loop: the logo must still be the one shown.
  if (SelectedNode() != node || DisplayedSourcePicture() == nullptr) return;
  const std::optional<std::string> savedIn =
      SaveLogoAs(*node, currentSourceImage_->LogoPicture, chosen.path.toStdString(),
                 chosen.filterFormat, CurrentOptions(), prompts_,
                 SlowWorkRunner(IsBigPicture(&currentSourceImage_->LogoPicture),
                                QStringLiteral("Saving the logo...")));
  if (savedIn) LastSaveFolder = *savedIn;
}

void TMainAppForm::ConvertToFileFormatClick(LogoFormat format) {
  const Bitmap* source = DisplayedSourcePicture();
  const Options options = CurrentOptions();
  RunEdit([&](LogoDirContext& context) {
    context.runHeavyWork =
        SlowWorkRunner(IsBigPicture(source), QStringLiteral("Converting the picture..."));
    return ConvertLogo(context, options, source, format);
  });
  RefreshCommandState();
}

void TMainAppForm::MirrorImageClick(bool horizontally) {
  const Bitmap* source = DisplayedSourcePicture();
  const Options options = CurrentOptions();
  const MirrorDirection direction =
      horizontally ? MirrorDirection::Horizontal : MirrorDirection::Vertical;
  RunEdit([&](LogoDirContext& context) {
    context.runHeavyWork =
        SlowWorkRunner(IsBigPicture(source), QStringLiteral("Mirroring the picture..."));
    return MirrorLogo(context, options, source, direction);
  });
}

void TMainAppForm::RotateImageClick(int degrees) {
  const Bitmap* source = DisplayedSourcePicture();
  const Options options = CurrentOptions();
  RunEdit([&](LogoDirContext& context) {
    context.runHeavyWork =
        SlowWorkRunner(IsBigPicture(source), QStringLiteral("Rotating the picture..."));
    return RotateLogo(context, options, source, degrees);
  });
}

void TMainAppForm::ConvertToolButtonClick() {
  ConvertToolButton->showMenu();
}

void TMainAppForm::MirrorToolButtonClick() {
  MirrorToolButton->showMenu();
}

void TMainAppForm::RotateToolButtonClick() {
  RotateToolButton->showMenu();
}

}  // namespace quillet

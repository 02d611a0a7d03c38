// The node display, the properties panel and the command state.
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <filesystem>

#include "core/app/ErrorReport.h"
#include "core/logodir/LogoPaths.h"
#include "gui/acquire/TwainScanner.h"
#include "gui/app/MainAppForm.h"
#include "gui/compose/PictureBox.h"
#include "gui/logodir/LogoTreeModel.h"
#include "gui/service/QRCodeView.h"

namespace quillet {

namespace {

// The flag stays set for the scope and is cleared on every way out.
class BusyScope {
 public:
  explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~BusyScope() { flag_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& flag_;
};

void ScrollToOrigin(QScrollArea* box) {
  box->horizontalScrollBar()->setValue(0);
  box->verticalScrollBar()->setValue(0);
}

QIcon UploadGlyphIcon(UploadGlyph glyph) {
  switch (glyph) {
    case UploadGlyph::Upload:
      return QIcon(QStringLiteral(":/bitmaps/UPLOAD_BMP.png"));
    case UploadGlyph::StopUpload:
      return QIcon(QStringLiteral(":/bitmaps/STOPUPLOAD_BMP.png"));
    case UploadGlyph::None:
      break;
  }
  return QIcon();
}

// The six settings of the properties panel, which new logos take over.
void CopyPanelSettings(const TLogoDirObject& from, TLogoDirObject& to) {
  to.phonemakeid = from.phonemakeid;
  to.phonemodelid = from.phonemodelid;
  to.logowidth = from.logowidth;
  to.logoheight = from.logoheight;
  to.fitkind = from.fitkind;
  to.keepproportions = from.keepproportions;
}

}  // namespace

LogoNode* TMainAppForm::SelectedNode() const {
  return LogoTreeModel::NodeOf(LogoTreeView->currentIndex());
}

LogoNode& TMainAppForm::CurrentNode() {
  LogoNode* selected = SelectedNode();
  return selected != nullptr ? *selected : tree_.Root();
}

void TMainAppForm::SelectNode(LogoNode* node) {
  LogoTreeView->setCurrentIndex(treeModel_->IndexOf(node));
}

CommandFacts TMainAppForm::CurrentFacts() {
  const LogoNode& node = CurrentNode();
  CommandFacts facts;
  facts.kind = node.Kind();
  facts.nodeName = node.Text();
  facts.uploadUrl = node.Data().uploadurl;
  facts.uploading = IsUploading();
  facts.sending = IsSending();
  facts.twainPresent = scanner_->Layer().TWAIN_SourceManagerPresent();
  return facts;
}

void TMainAppForm::RefreshCommandState() {
  const CommandState state = ComputeCommandState(CurrentFacts());
  SaveMenuItem->setEnabled(state.save);
  SaveToolButton->setEnabled(state.save);
  ImportFromTWAINMenuItem->menuAction()->setEnabled(state.twain);
  ImportFromTWAINToolButton->setEnabled(state.twain);
  GrabFromScreenMenuItem->setEnabled(state.grab);
  GrabFromScreenToolButton->setEnabled(state.grab);
  UploadMenuItem->setEnabled(state.upload);
  UploadToolButton->setEnabled(state.upload);
  UploadButton->setEnabled(state.upload);
  UploadButton->setIcon(UploadGlyphIcon(state.uploadGlyph));
  RenameMenuItem->setEnabled(state.rename);
  RenameToolButton->setEnabled(state.rename);
  DeleteMenuItem->setEnabled(state.remove);
  DeleteToolButton->setEnabled(state.remove);
  for (QMenu* menu : {MMConverttoformat, TVConvertToFormat, SIConvertToFormat})
    menu->menuAction()->setEnabled(state.convert);
  ConvertToolButton->setEnabled(state.convert);
  if (state.convert) {
    for (const auto& items : ConvertItems) {
      for (size_t i = 0; i < items.size(); ++i)
        items[i]->setVisible(state.convertItemShown[i]);
    }
  }
  for (QMenu* menu : {MMMirrorImage, TVMirrorImage, SIMirrorImage})
    menu->menuAction()->setEnabled(state.mirror);
  MirrorToolButton->setEnabled(state.mirror);
  for (QMenu* menu : {MMRotateImage, TVRotateImage, SIRotateImage})
    menu->menuAction()->setEnabled(state.rotate);
  RotateToolButton->setEnabled(state.rotate);
  Fitimageintopane->setEnabled(state.fitToPane);
  FitToPaneToolButton->setEnabled(state.fitToPane);
  SendToFriendMenuItem->setEnabled(state.sendToFriend);
  SendToFriendToolButton->setEnabled(state.sendToFriend);
  for (QWidget* control : std::initializer_list<QWidget*>{
           PhoneMake, PhoneModel, LogoWidthUpDown, LogoHeightUpDown, FitInto, KeepProportions})
    control->setEnabled(state.properties);
  UpdatePasteState();
}

void TMainAppForm::LogoTreePopupMenuPopup() {
  const CommandFacts facts = CurrentFacts();
  const CommandState state = ComputeCommandState(facts);
  const UploadItemState upload = UploadPopupItem(facts);
  SavePopupMenuItem->setEnabled(state.save);
  UploadPopupMenuItem->setEnabled(upload.enabled);
  UploadPopupMenuItem->setText(QString::fromStdString(upload.caption));
  RenamePopupMenuItem->setEnabled(state.rename);
  DeletePopupMenuItem->setEnabled(state.remove);
}

void TMainAppForm::SourceImagePopupMenuPopup() {
  // The menu takes the mouse: a press that opened it starts no drag.
  drag_.Dragging = false;
  const CommandFacts facts = CurrentFacts();
  const UploadItemState upload = UploadPopupItem(facts);
  UploadSrcImgMenuItem->setEnabled(upload.enabled);
  UploadSrcImgMenuItem->setText(QString::fromStdString(upload.caption));
  FitToPaneSrcImgMenuItem->setEnabled(facts.kind == NodeKind::Logo);
  FitToPaneSrcImgMenuItem->setChecked(Fitimageintopane->isChecked());
}

void TMainAppForm::TargetImagePopupMenuPopup() {
  const UploadItemState upload = UploadPopupItem(CurrentFacts());
  UploadTrgImgMenuItem->setEnabled(upload.enabled);
  UploadTrgImgMenuItem->setText(QString::fromStdString(upload.caption));
}

void TMainAppForm::LogoTreeViewChange() {
  // An edit moves the selection as it removes nodes; the window shows the
  // outcome once, when the edit has finished.
  if (editRunning_) {
    selectionMovedDuringEdit_ = true;
    return;
  }
  ShowSelectedNode();
  {
    BusyScope busy(PropertiesBusy);
    ShowNodeProperties();
  }
  RefreshCommandState();
}

void TMainAppForm::ShowSelectedNode() {
  if (editRunning_) {
    // An edit may be reading the displayed picture; show once it is done.
    selectionMovedDuringEdit_ = true;
    return;
  }
  if (DisplayBusy) return;
  BusyScope busy(DisplayBusy);
  currentSourceImage_.reset();
  currentLogoObject_ = nullptr;
  if (LogoNode* node = SelectedNode()) {
    currentLogoObject_ = &node->Data();
    if (node->IsLogo()) {
      ShowLogo(*node);
    } else {
      ShowEmptyPanes();
    }
  }
  UpdateImageStatus();
}

void TMainAppForm::ShowLogo(LogoNode& node) {
  const QSize pane = SourceImageScrollBox->maximumViewportSize();
  try {
    const std::string path = LogoFilePath(node, programFolder_);
    auto open = [&] {
      auto image = std::make_unique<TSourceImage>(pane.width(), pane.height(), fitImageIntoPane_,
                                                  node.Data(), path);
      image->PrepareView();
      return image;
    };
    std::error_code ignored;
    const auto bytes = std::filesystem::file_size(path, ignored);
    if (!ignored && bytes >= static_cast<std::uintmax_t>(kBigPictureFileBytes)) {
      // Decoded off the window's thread; the pane shows nothing meanwhile.
      std::unique_ptr<TSourceImage> opened;
      RunSlowWork(QStringLiteral("Opening the picture..."), [&] { opened = open(); });
      currentSourceImage_ = std::move(opened);
    } else {
      currentSourceImage_ = open();
    }
    if (node.Data().frameleft == -1) InitialFrame(node.Data(), *currentSourceImage_);
  } catch (const std::exception&) {
    // The file went or was damaged outside the program: the logo shows as
    // empty and nothing that needs its picture acts on it.
    currentSourceImage_.reset();
    ShowEmptyPanes();
    prompts_.Error(kLoadErrorText);
    return;
  }
  const TSourceImage& image = *currentSourceImage_;
  // The pane draws what it shows from the picture: no copy of the whole
  // view, however large the picture.
  SourceImage->SetTiled(image.ViewWidth, image.ViewHeight, [this](Bitmap& tile, int x, int y) {
    if (currentSourceImage_)
      currentSourceImage_->DrawViewPart(tile, x, y);
    else
      tile.Fill(kWhite);
  });
  ScrollToFrame();
  RenderTargetLogo();
  ScrollToOrigin(TargetBkgndScrollBox);
}

void TMainAppForm::ScrollToFrame() {
  // The pane opens on the frame, not on a margin of the picture: the
  // frame's middle in the middle of the pane, or its top-left corner when
  // the frame is larger than the pane.
  auto scroll = [this] {
    if (!currentSourceImage_) return;
    const Rect frame = currentSourceImage_->FrameInView();
    const QSize pane = SourceImageScrollBox->viewport()->size();
    const int x = frame.Width() <= pane.width() ? (frame.left + frame.right) / 2 - pane.width() / 2
                                                : frame.left;
    const int y = frame.Height() <= pane.height()
                      ? (frame.top + frame.bottom) / 2 - pane.height() / 2
                      : frame.top;
    SourceImageScrollBox->horizontalScrollBar()->setValue(x);
    SourceImageScrollBox->verticalScrollBar()->setValue(y);
  };
  scroll();
  // The scroll bars learn the picture's size only once the pane has laid
  // it out.
  QTimer::singleShot(0, this, scroll);
}

void TMainAppForm::ShowEmptyPanes() {
  SourceImage->ClearPicture();
  TargetImage->ClearPicture();
  ScrollToOrigin(SourceImageScrollBox);
  ScrollToOrigin(TargetBkgndScrollBox);
}

void TMainAppForm::RenderTargetLogo() {
  if (!currentSourceImage_) return;
  const Options& options = CurrentOptions();
  currentSourceImage_->RenderLogo(TargetImage->Picture(), options.fillemptyarea,
                                  static_cast<Color>(options.emptyareacolor));
  FitTargetImage();
}

void TMainAppForm::FitTargetImage() {
  const bool actual = TargetActualSizeMenuItem != nullptr && TargetActualSizeMenuItem->isChecked();
  TargetImage->ShrinkToFit(actual ? QSize() : TargetBkgndScrollBox->viewport()->size());
}

void TMainAppForm::ShowNodeProperties() {
  ClearUploadFields();
  if (currentLogoObject_ == nullptr || PanelFilling) return;
  BusyScope filling(PanelFilling);
  const TLogoDirObject& logo = *currentLogoObject_;
  PhoneMake->setCurrentIndex(catalogue_.MakeAt(logo.phonemakeid) ? logo.phonemakeid : -1);
  PhoneModel->clear();
  if (PhoneMake->currentIndex() >= 0) {
    for (const std::string& name : catalogue_.ModelNamesOf(logo.phonemakeid))
      PhoneModel->addItem(QString::fromStdString(name));
  }
  PhoneModel->setCurrentIndex(
      catalogue_.ModelAt(logo.phonemakeid, logo.phonemodelid) ? logo.phonemodelid : -1);
  LogoWidthUpDown->setValue(logo.logowidth);
  LogoHeightUpDown->setValue(logo.logoheight);
  if (QAbstractButton* fit = FitIntoButtons->button(static_cast<int>(logo.fitkind)))
    fit->setChecked(true);
  KeepProportions->setChecked(logo.keepproportions);
  ShowUploadFields();
  if (logo.nodekind == NodeKind::Logo) CopyPanelSettings(logo, NewLogoTemplate);
}

void TMainAppForm::StorePanelToNode() {
  if (currentLogoObject_ == nullptr || PanelFilling) return;
  TLogoDirObject& logo = *currentLogoObject_;
  logo.phonemakeid = PhoneMake->currentIndex();
  logo.phonemodelid = PhoneModel->currentIndex();
  logo.logowidth = LogoWidthUpDown->value();
  logo.logoheight = LogoHeightUpDown->value();
  const int fit = FitIntoButtons->checkedId();
  if (fit >= 0 && fit <= 3) logo.fitkind = static_cast<FitKind>(fit);
  logo.keepproportions = KeepProportions->isChecked();
  if (logo.nodekind == NodeKind::Logo) CopyPanelSettings(logo, NewLogoTemplate);
}

void TMainAppForm::LogoPropertiesChanged() {
  if (PropertiesBusy) return;
  BusyScope busy(PropertiesBusy);
  StorePanelToNode();
  if (currentLogoObject_ != nullptr && currentSourceImage_) {
    ResetFrame(*currentLogoObject_);
    ShowSelectedNode();
  }
}

void TMainAppForm::UpdateImageStatus() {
  LogoNode* node = SelectedNode();
  if (node == nullptr) node = &tree_.Root();
  ImageStatusTexts texts = EmptyImageStatus();
  if (node->IsLogo() && currentSourceImage_) texts = LogoImageStatus(*currentSourceImage_);
  for (size_t i = 0; i < texts.size(); ++i)
    imageStatusPanels_[i]->setText(QString::fromStdString(texts[i]));
  ArrangeImageStatus(true);
}

void TMainAppForm::PhoneMakeChange() {
  const int make = PhoneMake->currentIndex();
  if (make < 0) return;
  PhoneModel->clear();
  for (const std::string& name : catalogue_.ModelNamesOf(make))
    PhoneModel->addItem(QString::fromStdString(name));
  PhoneModel->setCurrentIndex(-1);
}

void TMainAppForm::PhoneModelChange() {
  const int make = PhoneMake->currentIndex();
  const int model = PhoneModel->currentIndex();
  if (make < 0 || model < 0) return;
  const std::optional<TPhoneAttributes> screen = catalogue_.AttributesOf(make, model);
  if (!screen) return;
  const TPhoneAttributes size = LogoSizeForModel(*screen);
  {
    BusyScope busy(PropertiesBusy);
    LogoWidthUpDown->setValue(size.ScreenWidth);
    LogoHeightUpDown->setValue(size.ScreenHeight);
  }
  LogoPropertiesChanged();
}

void TMainAppForm::LogoWidthChange() {
  LogoPropertiesChanged();
}

void TMainAppForm::LogoHeightChange() {
  LogoPropertiesChanged();
}

void TMainAppForm::FitIntoClick() {
  LogoPropertiesChanged();
}

void TMainAppForm::KeepProportionsClick() {
  LogoPropertiesChanged();
}

void TMainAppForm::FitimageintopaneClick() {
  fitImageIntoPane_ = !fitImageIntoPane_;
  Fitimageintopane->setChecked(fitImageIntoPane_);
  FitToPaneToolButton->setChecked(fitImageIntoPane_);
  FitToPaneSrcImgMenuItem->setChecked(fitImageIntoPane_);
  ShowSelectedNode();
}

void TMainAppForm::SourceImageScrollBoxResize() {
  ShowSelectedNode();
}

void TMainAppForm::ClearUploadFields() {
  ImageWapShortURL->clear();
  ImageWapURL->clear();
  ImageID->clear();
  ImageWapQRCode->SetText(QString());
}

}  // namespace quillet

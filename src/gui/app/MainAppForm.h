#pragma once

#include <QList>
#include <QMainWindow>
#include <QPoint>
#include <QUrl>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "core/app/CommandState.h"
#include "core/automation/HandOff.h"
#include "core/catalogues/PhoneCatalogue.h"
#include "core/catalogues/ServerParameters.h"
#include "core/codecs/Codecs.h"
#include "core/compose/ImageStatus.h"
#include "core/compose/SourceImage.h"
#include "core/logodir/LogoEditing.h"
#include "core/logodir/LogoTree.h"
#include "core/platform/Prompts.h"
#include "core/service/HttpClient.h"
#include "core/service/SendToFriendThread.h"
#include "core/service/UploadThread.h"
#include "core/service/Worker.h"
#include "core/settings/Options.h"
#include "gui/imageops/ImageFileDialogs.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QCursor;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QModelIndex;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QSplitter;
class QStatusBar;
class QTimer;
class QToolButton;
class QTreeView;

namespace quillet {

class LogoTreeModel;
class SingleInstance;
class THelpForm;
class TAboutBox;
class TFileFormatChoiceForm;
class TGrabScreenForm;
class TPictureDownloadForm;
class TGIFPropsForm;
class TJPEGPropsForm;
class TAccessURLHintForm;
class TwainScanner;
class TOptionsForm;
class TPictureBox;
class TProxyAuthForm;
class TQRCodeView;
class TSendToFriendForm;
class TSysAuthForm;
class TUploadProgressPanel;

// The main window: the logo directory tree, the source and logo panes, the
// properties and upload panels, every command, and the program's start-up,
// activation and shutdown routines.
class TMainAppForm : public QMainWindow {
  Q_OBJECT

 public:
  // Runs the start-up routine. `instance` claims the program's single-instance
  // name (nullptr: run alone, as the tests do).
  TMainAppForm(std::string programFolder, Prompts& prompts, SingleInstance* instance = nullptr,
               QWidget* parent = nullptr);
  ~TMainAppForm() override;

  // Start-up found another running copy or an unusable catalogue: the program
  // ends at once and writes nothing.
  bool EndRequested() const { return endRequested_; }
  // Whether start-up got as far as reading the logo directory; a directory
  // never read is never written over the file.
  bool LogoDirectoryRead() const { return logoDirectoryRead_; }

  // The windows created after this one.
  void AttachOptionsForm(TOptionsForm* form) { optionsForm_ = form; }
  void AttachAboutBox(TAboutBox* box) { aboutBox_ = box; }
  void AttachHelpForm(THelpForm* form) { helpForm_ = form; }
  void AttachJPEGPropsForm(TJPEGPropsForm* form) { jpegPropsForm_ = form; }
  void AttachGIFPropsForm(TGIFPropsForm* form) { gifPropsForm_ = form; }
  void AttachFileFormatChoiceForm(TFileFormatChoiceForm* form) { fileFormatChoiceForm_ = form; }
  void AttachSysAuthForm(TSysAuthForm* form) { sysAuthForm_ = form; }
  void AttachProxyAuthForm(TProxyAuthForm* form) { proxyAuthForm_ = form; }
  void AttachAccessURLHintForm(TAccessURLHintForm* form) { accessURLHintForm_ = form; }
  void AttachSendToFriendForm(TSendToFriendForm* form) { sendToFriendForm_ = form; }
  void AttachGrabScreenForm(TGrabScreenForm* form) { grabScreenForm_ = form; }
  void AttachPictureDownloadForm(TPictureDownloadForm* form) { pictureDownloadForm_ = form; }
  TPictureDownloadForm* PictureDownloadForm() const { return pictureDownloadForm_; }
  TJPEGPropsForm* JPEGPropsForm() const { return jpegPropsForm_; }
  TGIFPropsForm* GIFPropsForm() const { return gifPropsForm_; }
  TFileFormatChoiceForm* FileFormatChoiceForm() const { return fileFormatChoiceForm_; }

  // The file dialogs of Open and Save; the platform's unless a test puts
  // its own in. Each answers the chosen path, or empty for Cancel.
  std::function<QString()> OpenImageDialog;
  std::function<SaveChoice(const QString& fileName, const QString& folder)> SaveImageDialog;
  const std::string& LastSaveFolderPath() const { return LastSaveFolder; }

  // The options in force: the options window's, or the defaults while it
  // does not exist yet.
  const Options& CurrentOptions() const;

  LogoTree& Tree() { return tree_; }
  const PhoneCatalogue& Catalogue() const { return catalogue_; }
  const ServerParameters& Parameters() const { return parameters_; }
  const std::string& ProgramFolder() const { return programFolder_; }
  Prompts& UserPrompts() { return prompts_; }

  // The selected node, or nullptr when nothing is selected.
  LogoNode* SelectedNode() const;
  // The selected node, or the root when nothing is selected.
  LogoNode& CurrentNode();
  // Selects a node as a user's click would (nullptr clears the selection).
  void SelectNode(LogoNode* node);

  TSourceImage* CurrentSourceImage() const { return currentSourceImage_.get(); }
  TLogoDirObject* CurrentLogoObject() const { return currentLogoObject_; }
  TLogoDirObject NewLogoTemplate;
  bool FitImageIntoPane() const { return fitImageIntoPane_; }

  QSpinBox* LogoWidth() const { return LogoWidthUpDown; }
  QSpinBox* LogoHeight() const { return LogoHeightUpDown; }
  QString ImageStatusText(int panel) const;
  QString StatusText() const;

  // Whether an upload or a send-to-friend worker runs.
  bool IsUploading() const { return runningUpload_ != nullptr; }
  bool IsSending() const { return runningSend_ != nullptr; }
  // Whether a big picture's work runs on its own thread now.
  bool SlowWorkRunning() const { return slowWorkRunning_; }

  // The clients of the upload and of the send to a friend.
  HttpClient HTTPConnection;
  HttpClient HTTPSendConn;
  const MemberStatus& CurrentMemberStatus() const { return memberStatus_; }
  // -1 while idle, 0 to 19 while an upload runs.
  int UploadAnimationPhase() const;
  // Hands a task to this window's thread; dropped when the window is gone.
  PostToUi UiPoster();

 public slots:
  // Activation steps: first activation reads the application state; every
  // activation checks for a handed-over picture and refreshes the commands.
  void FormActivate();
  void RefreshCommandState();

  void LogoTreeViewChange();
  void ShowSelectedNode();
  void ShowNodeProperties();
  void StorePanelToNode();
  void LogoPropertiesChanged();
  void UpdateImageStatus();

  void PhoneMakeChange();
  void PhoneModelChange();
  void LogoWidthChange();
  void LogoHeightChange();
  void FitIntoClick();
  void KeepProportionsClick();
  void FitimageintopaneClick();
  void SourceImageScrollBoxResize();
  void Options1Click();

  void SourceImageMouseDown(int x, int y);
  void SourceImageMouseMove(int x, int y);
  void SourceImageMouseUp(int x, int y);
  void SelFrameTimerTimer();
  void ImageCursorTimerTimer();
  void UpdateFrameCursor(int x, int y);
  void DragStep(int x, int y);

  void LogoTreePopupMenuPopup();
  void SourceImagePopupMenuPopup();
  void TargetImagePopupMenuPopup();
  void StatusBarResize();
  // A right press selects the node under the pointer before the pop-up opens.
  void LogoTreeViewMouseDown(Qt::MouseButton button, QPoint position);
  // The Delete key in the tree, with or without shift keys, deletes the
  // selected node; true when the key was taken.
  bool LogoTreeViewKeyDown(int key);

  // The shutdown routine; the program then ends.
  void Exit1Click();

  // The upload (Stop while one runs), its start after the checks, its
  // completion on this thread, the animation tick, and the panel's texts.
  void UploadMenuItemClick();
  void StartUpload(quillet::LogoNode& node);
  void UploadThreadDone();
  void UploadProgressTimerTimer();
  void ShowUploadFields();
  void SendToFriendThreadDone();

  void ContentsToolButtonClick();
  void FAQMenuItemClick();
  void AboutToolButtonClick();
  void WallpaperandbackgroundCollection1Click();

  // Commands whose work lives with their own subsystems.
  void Open1Click();
  void SaveMenuItemClick();
  void AcquireImageMenuItemClick();
  void SelectSourceMenuItemClick();
  void GrabFromScreenMenuItemClick();
  void Newfolder1Click();
  void RenameMenuItemClick();
  void DeleteMenuItemClick();
  void ConvertToFileFormatClick(quillet::LogoFormat format);
  void MirrorImageClick(bool horizontally);
  void RotateImageClick(int degrees);
  void ConvertToolButtonClick();
  void MirrorToolButtonClick();
  void RotateToolButtonClick();
  // Pastes the clipboard's picture as a new logo, or its picture files.
  void PasteMenuItemClick();
  void UpdatePasteState();
  // Adds the local picture files among `urls` to the folder of `target` (a
  // logo stands for its folder, null for the root).
  void AddPictureFiles(const QList<QUrl>& urls, quillet::LogoNode* target);
  void SendToFriendMenuItemClick();
  // Adds the pictures inside "Logo Directory" that no logo names.
  void FindPicturesMenuItemClick();
  // The arrow keys in the source pane: move the frame one space pixel
  // (Shift: ten), Shift+Alt: resize it; true when the key was taken.
  bool SourceImageKeyDown(int key, Qt::KeyboardModifiers modifiers);
  // Asks for a picture's address, then downloads and adds it.
  void AddPictureFromAddressMenuItemClick();
  // Downloads a picture by its address with the download dialog and adds
  // it to the folder of `target` (null: the current folder); the temporary
  // copy goes on every path. True when a logo was added.
  bool DownloadAndAddPicture(const std::string& url, quillet::LogoNode* target);
  // Takes a picture address handed over by a browser.
  void PictureHandOffCheck();
  // Shows the window, raised and active.
  void BringToFront();

 public:
  // Controls, named as the program names them (also their object names).
  QTreeView* LogoTreeView = nullptr;
  QScrollArea* SourceImageScrollBox = nullptr;
  TPictureBox* SourceImage = nullptr;
  QScrollArea* TargetBkgndScrollBox = nullptr;
  TPictureBox* TargetImage = nullptr;
  QWidget* ImageStatusBar = nullptr;
  QWidget* ImageToolPanel = nullptr;
  QComboBox* PhoneMake = nullptr;
  QComboBox* PhoneModel = nullptr;
  QSpinBox* LogoWidthUpDown = nullptr;
  QSpinBox* LogoHeightUpDown = nullptr;
  QGroupBox* FitInto = nullptr;
  QButtonGroup* FitIntoButtons = nullptr;
  QCheckBox* KeepProportions = nullptr;
  QWidget* UploadPanel = nullptr;
  QPushButton* UploadButton = nullptr;
  QLineEdit* ImageWapShortURL = nullptr;
  QPlainTextEdit* ImageWapURL = nullptr;
  QLineEdit* ImageID = nullptr;
  TQRCodeView* ImageWapQRCode = nullptr;
  QStatusBar* StatusBar = nullptr;
  QLabel* StatusPanel = nullptr;
  TUploadProgressPanel* ProgressPanel = nullptr;
  QTimer* SelFrameTimer = nullptr;
  QTimer* ImageCursorTimer = nullptr;
  QTimer* UploadProgressTimer = nullptr;

  // Menu items.
  QAction* Open1 = nullptr;
  QAction* AddPictureFromAddressMenuItem = nullptr;
  QAction* FindPicturesMenuItem = nullptr;
  QAction* SaveMenuItem = nullptr;
  QMenu* ImportFromTWAINMenuItem = nullptr;
  QAction* AcquireImageMenuItem = nullptr;
  QAction* SelectSourceMenuItem = nullptr;
  QAction* GrabFromScreenMenuItem = nullptr;
  QAction* UploadMenuItem = nullptr;
  QAction* Newfolder1 = nullptr;
  QAction* Exit1 = nullptr;
  QAction* RenameMenuItem = nullptr;
  QAction* DeleteMenuItem = nullptr;
  QAction* PasteMenuItem = nullptr;
  QMenu* MMConverttoformat = nullptr;
  QMenu* MMMirrorImage = nullptr;
  QMenu* MMRotateImage = nullptr;
  QAction* Options1 = nullptr;
  QAction* Fitimageintopane = nullptr;
  QMenu* LinksMenu = nullptr;
  QAction* Contents1 = nullptr;
  QAction* FAQMenuItem = nullptr;
  QAction* SendToFriendMenuItem = nullptr;
  QAction* About1 = nullptr;

  // Tool buttons.
  QToolButton* OpenToolButton = nullptr;
  QToolButton* SaveToolButton = nullptr;
  QToolButton* ImportFromTWAINToolButton = nullptr;
  QToolButton* GrabFromScreenToolButton = nullptr;
  QToolButton* UploadToolButton = nullptr;
  QToolButton* NewFolderToolButton = nullptr;
  QToolButton* RenameToolButton = nullptr;
  QToolButton* DeleteToolButton = nullptr;
  QToolButton* ConvertToolButton = nullptr;
  QToolButton* MirrorToolButton = nullptr;
  QToolButton* RotateToolButton = nullptr;
  QToolButton* OptionsToolButton = nullptr;
  QToolButton* FitToPaneToolButton = nullptr;
  QToolButton* LinksToolButton = nullptr;
  QToolButton* ContentsToolButton = nullptr;
  QToolButton* SendToFriendToolButton = nullptr;
  QToolButton* AboutToolButton = nullptr;
  QToolButton* ExitToolButton = nullptr;

  // Pop-up menus and their items.
  QMenu* LogoTreePopupMenu = nullptr;
  QAction* OpenPopupMenuItem = nullptr;
  QAction* SavePopupMenuItem = nullptr;
  QAction* UploadPopupMenuItem = nullptr;
  QAction* NewFolderPopupMenuItem = nullptr;
  QAction* RenamePopupMenuItem = nullptr;
  QAction* DeletePopupMenuItem = nullptr;
  QMenu* TVConvertToFormat = nullptr;
  QMenu* TVMirrorImage = nullptr;
  QMenu* TVRotateImage = nullptr;
  QMenu* SourceImagePopupMenu = nullptr;
  QAction* UploadSrcImgMenuItem = nullptr;
  QAction* FitToPaneSrcImgMenuItem = nullptr;
  QMenu* SIConvertToFormat = nullptr;
  QMenu* SIMirrorImage = nullptr;
  QMenu* SIRotateImage = nullptr;
  QMenu* TargetImagePopupMenu = nullptr;
  QAction* UploadTrgImgMenuItem = nullptr;
  QAction* TargetActualSizeMenuItem = nullptr;

  // The convert items of the main menu, the tool button's drop-down, the tree
  // pop-up and the source pop-up, each in the order BMP, JPG, GIF, PNG.
  std::array<std::array<QAction*, kConvertItemCount>, 4> ConvertItems{};

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Layout, menus and tool bar.
  void CreateControls();
  void CreateMenus();
  void CreateToolBar();
  void CreatePopupMenus();
  void CreateTreePanel(QSplitter* splitter);
  QWidget* CreatePictureArea();
  QWidget* CreatePropertiesPanel();
  QWidget* CreateUploadPanel();
  void CreateStatusBar();
  void ConnectControls();
  QMenu* AddConvertMenu(QMenu* parent, const QString& prefix, int set);
  QMenu* AddMirrorMenu(QMenu* parent, const QString& prefix, const QString& title);
  QMenu* AddRotateMenu(QMenu* parent, const QString& prefix, const QString& title);
  void AddLinks(QMenu* menu);
  void FitToScreen();
  void ArrangeImageStatus(bool textsChanged);

  // Start-up and shutdown.
  void RunStartup(SingleInstance* instance);
  void FillPhoneMakes();
  void ShutdownRoutine();
  void SyncTreeExpansion();
  void CloseHelp();
  void RunStartupChecks();
  void BringBackUnlistedPictures();
  void RestoreWindowState();
  void SaveWindowState();

  // Display.
  CommandFacts CurrentFacts();
  void ShowLogo(LogoNode& node);
  void ShowEmptyPanes();
  void ScrollToFrame();
  // The logo pane shows a logo larger than itself scaled to fit, unless
  // "Actual size" is on.
  void FitTargetImage();
  void RenderTargetLogo();
  void ClearUploadFields();
  enum class UploadCaptions { Upload, UploadAgain, StopUpload };
  void ShowUploadCaptions(UploadCaptions captions);
  bool AskForUploadSettings(const LogoNode& node);
  // The name of a scanned or grabbed picture: `base`, or what the user types
  // when asked, with the extension of the chosen format; nothing on Cancel.
  std::optional<std::string> AcquiredPictureName(const char* base, bool askName,
                                                 const char* caption, const char* prompt,
                                                 AcquiredFormat format);
  bool IsInTree(const LogoNode* node) const;
  void ShowUploadOutcome(const TUploadThread& upload, LogoNode* node);
  void StopWorkers();

  // Runs `work` on a thread of its own, the window alive meanwhile (see
  // MainAppFormSlowWork.cpp); rethrows what it threw.
  void RunSlowWork(const QString& status, const std::function<void()>& work);
  HeavyWorkRunner SlowWorkRunner(bool big, const QString& status);
  // From this size on a picture's work is slow enough to leave the window.
  static constexpr std::int64_t kBigPicturePixels = 2'000'000;
  static constexpr std::int64_t kBigPictureFileBytes = 2 << 20;
  static bool IsBigPicture(const Bitmap* picture);

  // Commands: each edit runs with the display held back, then the window
  // selects and shows what the edit asks for.
  LogoDirContext EditContext();
  void RunEdit(const std::function<EditResult(LogoDirContext&)>& edit);
  void FinishEdit(const EditResult& result);
  void DropDisplayIfRemoved(const QModelIndex& parent, int first, int last);
  const Bitmap* DisplayedSourcePicture();
  bool AddOnePictureFile(const std::string& path, LogoNode* target);
  bool TreeDragEvent(QEvent* event);

  // Frame.
  void RepaintFrameLines(const Rect& frame);
  void ApplyFrameCursor(const QCursor& cursor);

  std::string programFolder_;
  Prompts& prompts_;
  std::unique_ptr<TwainScanner> scanner_;
  LogoTree tree_;
  LogoTreeModel* treeModel_ = nullptr;
  PhoneCatalogue catalogue_;
  ServerParameters parameters_;

  bool endRequested_ = false;
  bool logoDirectoryRead_ = false;
  bool logoDirectoryDamaged_ = false;  // read only in part: keep the old file at shutdown
  bool firstActivationDone_ = false;
  bool activationSeen_ = false;
  bool shutdownDone_ = false;
  bool fitImageIntoPane_ = false;

  std::unique_ptr<TSourceImage> currentSourceImage_;
  TLogoDirObject* currentLogoObject_ = nullptr;
  bool DisplayBusy = false;
  bool PanelFilling = false;
  bool PropertiesBusy = false;
  FrameDrag drag_;
  bool MouseBusy = false;

  std::string LastSaveFolder;
  MemberStatus memberStatus_;
  std::shared_ptr<TUploadThread> runningUpload_;
  std::shared_ptr<TSendToFriendThread> runningSend_;

  // Created after this window and ended before it.
  TOptionsForm* optionsForm_ = nullptr;
  TAboutBox* aboutBox_ = nullptr;
  THelpForm* helpForm_ = nullptr;
  TJPEGPropsForm* jpegPropsForm_ = nullptr;
  TGIFPropsForm* gifPropsForm_ = nullptr;
  TFileFormatChoiceForm* fileFormatChoiceForm_ = nullptr;
  TSysAuthForm* sysAuthForm_ = nullptr;
  TProxyAuthForm* proxyAuthForm_ = nullptr;
  TAccessURLHintForm* accessURLHintForm_ = nullptr;
  TSendToFriendForm* sendToFriendForm_ = nullptr;
  TGrabScreenForm* grabScreenForm_ = nullptr;
  TPictureDownloadForm* pictureDownloadForm_ = nullptr;
  // Where browsers hand picture addresses over; none without a home.
  std::optional<HandOffKey> handOffKey_;
  bool takingHandOff_ = false;
  bool slowWorkRunning_ = false;
  // An edit command runs: selection changes wait until it has finished.
  bool editRunning_ = false;
  bool selectionMovedDuringEdit_ = false;
  std::array<QLabel*, 4> imageStatusPanels_{};
  std::array<int, 4> imageStatusStretch_{};
  bool imageStatusTwoRows_ = false;
};

}  // namespace quillet

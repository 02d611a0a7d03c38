#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "core/catalogues/ServerParameters.h"
#include "core/platform/Prompts.h"
#include "core/service/HttpClient.h"
#include "core/service/NewVersionCheckThread.h"
#include "core/service/SystemProxy.h"
#include "core/settings/Options.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace quillet {

class TColorButton;
class TNewAppVerDownloadRequestForm;

// The options dialog, and the home of the options while the program runs:
// it reads "options.xml" when it is created, every other window reads
// Current(), and a window that changes an option calls Edit(),
// ApplyToControls() and SaveCurrent(). Closing it with OK writes the file;
// Cancel, Escape and the close box read the file again, discarding the edits.
class TOptionsForm : public QDialog {
  Q_OBJECT

 public:
  TOptionsForm(std::string programFolder, Prompts& prompts, QWidget* parent = nullptr,
               SystemProxyReader systemProxy = ReadSystemProxy);
  ~TOptionsForm() override;

  // The options as the controls hold them now.
  const Options& Current() const { return options_; }
  // For a window that changes an option: edit, then ApplyToControls().
  Options& Edit() { return options_; }
  // Shows the record in the controls; positions are snapped and clamped as
  // the track bars do, and the derived enabled states follow.
  void ApplyToControls();
  // Writes the current options to "options.xml"; false (after telling the
  // user) when that fails.
  bool SaveCurrent();
  // Reads "options.xml" again (defaults when there is none) into the controls.
  void ReloadOptions();

  bool CheckNewVersionAtStart() const { return options_.checknewversion; }

  // The start-up check for a new version, when the option asks for it: in
  // the background, silent on failure; a different version offers its
  // download in `dialog`, whose Yes opens the service's download page.
  void StartNewVersionCheck(const ServerParameters& parameters,
                            TNewAppVerDownloadRequestForm* dialog,
                            std::function<void(const std::string&)> openWebPage);
  bool VersionCheckRunning() const { return versionCheck_ != nullptr; }
  // The client of the version check.
  HttpClient AppVerConn;

  // The page tree and the pages.
  QTreeWidget* OptionsTreeView = nullptr;
  QStackedWidget* OptionsPageControl = nullptr;
  QWidget* ConnectivityTabSheet = nullptr;
  QWidget* ImagingTabSheet = nullptr;
  QWidget* ConfirmationsTabSheet = nullptr;
  QWidget* GeneralTabSheet = nullptr;

  // Connectivity.
  QGroupBox* SystemAuthorizationGroupBox = nullptr;
  QLineEdit* Login = nullptr;
  QLineEdit* Password = nullptr;
  QGroupBox* ProxySettingsGroupBox = nullptr;
  QWidget* ProxySourceRadioGroup = nullptr;
  QButtonGroup* ProxySourceButtons = nullptr;  // ids are the ProxySource values
  QLineEdit* Host = nullptr;
  QLineEdit* Port = nullptr;
  QCheckBox* ProxyRequiresAuthentication = nullptr;
  QLineEdit* ProxyLogin = nullptr;
  QLineEdit* ProxyPassword = nullptr;

  // Imaging.
  QCheckBox* ShowLogoChangeCheckBox = nullptr;
  QCheckBox* FillInEmptyAreaCheckBox = nullptr;
  TColorButton* EmptyAreaColorButton = nullptr;
  QGroupBox* JPEGGroupBox = nullptr;
  QSlider* JPEGQualityTrackBar = nullptr;
  QLabel* JPEGQualityLabel = nullptr;
  QCheckBox* ShowJPEGDialogCheckBox = nullptr;
  QGroupBox* GIFGroupBox = nullptr;
  QSlider* GIFBitDepthTrackBar = nullptr;
  QLabel* GIFBitDepthLabel = nullptr;
  QCheckBox* ShowGIFDialogCheckBox = nullptr;

  // Confirmations.
  QGroupBox* ConversionGroupBox = nullptr;
  QComboBox* ConvertRetainSourceComboBox = nullptr;
  QCheckBox* ConvertAskTargetNameCheckBox = nullptr;
  QGroupBox* MirrorImageGroupBox = nullptr;
  QComboBox* MirrorRetainSourceComboBox = nullptr;
  QCheckBox* MirrorAskTargetNameCheckBox = nullptr;
  QGroupBox* RotateImageGroupBox = nullptr;
  QComboBox* RotateRetainSourceComboBox = nullptr;
  QCheckBox* RotateAskTargetNameCheckBox = nullptr;
  QGroupBox* ImportFromTWAINGroupBox = nullptr;
  QComboBox* ImportedFileFormatComboBox = nullptr;
  QCheckBox* ImportAskTargetNameCheckBox = nullptr;
  QGroupBox* GrabFromScreenGroupBox = nullptr;
  QComboBox* GrabbedFileFormatComboBox = nullptr;
  QCheckBox* GrabAskTargetNameCheckBox = nullptr;

  // General.
  QCheckBox* NewVersionCheckBox = nullptr;
  QCheckBox* AccessHintCheckBox = nullptr;

  // Buttons.
  QWidget* ButtonPanel = nullptr;
  QPushButton* OKButton = nullptr;
  QPushButton* CancelButton = nullptr;

  // The tree's root and its four children, in page order.
  QTreeWidgetItem* RootNode() const { return rootNode_; }
  QTreeWidgetItem* PageNode(int index) const;

  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void NewVersionCheckDone();

  void CreateControls();
  QWidget* CreateConnectivityPage();
  QWidget* CreateImagingPage();
  QWidget* CreateConfirmationsPage();
  QWidget* CreateGeneralPage();
  QWidget* CreateButtonPanel();
  void ConnectControls();

  void FormShow();
  void OptionsTreeViewChange(QTreeWidgetItem* current, QTreeWidgetItem* previous);
  void JPEGQualityTrackBarChange(int position);
  void GIFBitDepthTrackBarChange(int position);
  void FillInEmptyAreaCheckBoxClick(bool checked);
  void ProxySourceRadioGroupClick(int item);
  void ProxyRequiresAuthenticationClick(bool checked);
  void ApplyProxyFieldRule();
  void ShowLabels();

  std::string programFolder_;
  Prompts& prompts_;
  SystemProxyReader systemProxy_;
  Options options_;
  QTreeWidgetItem* rootNode_ = nullptr;
  // Set while ApplyToControls writes the controls, so that their change
  // handlers do not write half-filled values back into the record.
  bool filling_ = false;

  std::shared_ptr<TNewVersionCheckThread> versionCheck_;
  TNewAppVerDownloadRequestForm* versionDialog_ = nullptr;
  std::function<void(const std::string&)> openWebPage_;
  std::string downloadPage_;
};

}  // namespace quillet

// Start-up, activation and shutdown of the main window.
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QTimer>
#include <QTreeView>

#include "core/app/ErrorReport.h"
#include "core/app/StartupChecks.h"
#include "core/catalogues/AppState.h"
#include "core/logodir/AddedOutside.h"
#include "core/logodir/LogoDirectoryFile.h"
#include "gui/acquire/TwainScanner.h"
#include "gui/app/MainAppForm.h"
#include "gui/app/SingleInstance.h"
#include "gui/compose/PictureBox.h"
#include "gui/logodir/LogoTreeModel.h"
#include "gui/settings/OptionsForm.h"

namespace quillet {

namespace {

// The caption a second start looks for; the window starts with another one
// so that it never finds itself.
const char* const kStartingCaption = "Quillet Starting";

}  // namespace

TMainAppForm::TMainAppForm(std::string programFolder, Prompts& prompts, SingleInstance* instance,
                           QWidget* parent)
    : QMainWindow(parent),
      programFolder_(std::move(programFolder)),
      prompts_(prompts),
      scanner_(TwainScanner::Create()),
      handOffKey_(UserHandOffKey(ProcessEnvironment())) {
  setWindowTitle(QLatin1String(kStartingCaption));
  firstActivationDone_ = false;
  CreateControls();
  RunStartup(instance);
  if (!endRequested_) RestoreWindowState();
  // The keyboard starts in the tree: arrows browse the logos, Delete and F2
  // act on the selected one.
  LogoTreeView->setFocus(Qt::OtherFocusReason);
}

TMainAppForm::~TMainAppForm() {
  // The override belongs to this window's picture; do not leave it behind.
  if (SelFrameTimer != nullptr) SelFrameTimer->stop();
  StopWorkers();
  currentSourceImage_.reset();
}

void TMainAppForm::RunStartup(SingleInstance* instance) {
  // The GIF encoder's process-wide defaults are the encoder settings' own
  // defaults, so there is nothing to set here.
  if (instance != nullptr) {
    if (instance->Claim() == SingleInstance::Outcome::OtherRunning) {
      endRequested_ = true;
      return;
    }
    connect(&instance->BusObject(), &TQuilletBusObject::ActivateRequested, this,
            &TMainAppForm::BringToFront);
  }
  RunStartupChecks();
  setWindowTitle(QString::fromUtf8(kApplicationTitle.data(),
                                   static_cast<qsizetype>(kApplicationTitle.size())));

  NewLogoTemplate = TLogoDirObject();
  SyncTreeExpansion();

  try {
    CatalogueReading reading = ReadPhoneCatalogue(programFolder_, prompts_);
    if (reading.outcome == CatalogueOutcome::EndProgram) {
      endRequested_ = true;
      return;
    }
    catalogue_ = std::move(reading.catalogue);
    FillPhoneMakes();

    ReadServerParameters(programFolder_, parameters_, prompts_);

    logoDirectoryDamaged_ =
        LeftFileUnread(LoadLogoDirectory(tree_, programFolder_, prompts_).status);
    logoDirectoryRead_ = true;
    if (logoDirectoryDamaged_) BringBackUnlistedPictures();
    SyncTreeExpansion();
  } catch (const std::exception& error) {
    // The later steps do not run; in particular the logo directory stays
    // unread and is therefore never written.
    prompts_.ReportError(error.what());
  }

  currentSourceImage_.reset();
  currentLogoObject_ = nullptr;
  ClearUploadFields();
  DisplayBusy = PanelFilling = PropertiesBusy = MouseBusy = false;
  drag_ = FrameDrag();
  LastSaveFolder.clear();
  memberStatus_ = MemberStatus();
  SelFrameTimer->start();
}

void TMainAppForm::RunStartupChecks() {
  // Said at once, while nothing is lost yet, rather than by failures later.
  if (const std::optional<std::string> warning = ProgramFolderWarning(programFolder_))
    prompts_.Warning(*warning);
  RemoveStaleTemporaryFiles(programFolder_);
}

void TMainAppForm::BringBackUnlistedPictures() {
  // What the damaged file no longer names is still on disk: those pictures
  // come back as logos with the settings of a new one.
  LogoDirContext context = EditContext();
  context.selected = nullptr;
  const FoundPictures found = FindPicturesAddedOutside(context, NewLogoTemplate);
  if (found.changed) prompts_.Information(FoundPicturesText(found));
}

void TMainAppForm::FillPhoneMakes() {
  PhoneMake->clear();
  for (const std::string& name : catalogue_.MakeNames())
    PhoneMake->addItem(QString::fromStdString(name));
  PhoneMake->setCurrentIndex(-1);
}

void TMainAppForm::SyncTreeExpansion() {
  treeModel_->ApplyExpansion(*LogoTreeView);
}

void TMainAppForm::BringToFront() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

bool TMainAppForm::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) FormActivate();
  return QMainWindow::event(event);
}

void TMainAppForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Without a window manager the window may never be told it is active;
  // showing it still counts as its first activation.
  QTimer::singleShot(0, this, [this] {
    if (!activationSeen_) FormActivate();
  });
}

void TMainAppForm::FormActivate() {
  if (endRequested_ || shutdownDone_) return;
  activationSeen_ = true;
  if (!firstActivationDone_) {
    try {
      LogoNode* node = ReadAppState(tree_, programFolder_, prompts_);
      SyncTreeExpansion();
      if (node != nullptr) SelectNode(node);
    } catch (const std::exception& error) {
      // The flag stays clear: the next activation tries again.
      prompts_.ReportError(error.what());
      return;
    }
  }
  firstActivationDone_ = true;
  // Its download dialog is modal: taken from the loop, never inside the
  // activation itself.
  QTimer::singleShot(0, this, &TMainAppForm::PictureHandOffCheck);
  RefreshCommandState();
}

const Options& TMainAppForm::CurrentOptions() const {
  static const Options kDefaults;
  return optionsForm_ != nullptr ? optionsForm_->Current() : kDefaults;
}

void TMainAppForm::Options1Click() {
  if (optionsForm_ == nullptr) return;
  if (optionsForm_->exec() == QDialog::Accepted) ShowSelectedNode();
}

void TMainAppForm::closeEvent(QCloseEvent* event) {
  // A big picture being written is finished first.
  if (slowWorkRunning_) {
    event->ignore();
    return;
  }
  ShutdownRoutine();
  event->accept();
}

void TMainAppForm::Exit1Click() {
  close();
}

void TMainAppForm::ShutdownRoutine() {
  // A start-up that ended the program writes nothing.
  if (shutdownDone_ || endRequested_) return;
  shutdownDone_ = true;
  SelFrameTimer->stop();
  ImageCursorTimer->stop();
  StopWorkers();
  WriteAppState(SelectedNode(), programFolder_, prompts_);
  if (optionsForm_ != nullptr) optionsForm_->SaveCurrent();
  if (logoDirectoryRead_) {
    // What could not be read stays recoverable by hand.
    if (logoDirectoryDamaged_) KeepDamagedLogoDirectory(programFolder_);
    SaveLogoDirectory(tree_, programFolder_, prompts_);
  }
  SaveWindowState();
  CloseHelp();
  QCoreApplication::quit();
}

}  // namespace quillet

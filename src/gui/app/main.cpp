// Process entry of the picture tool: the program folder, the single-instance
// check, the windows in their fixed order, and the message loop.
#include <curl/curl.h>

#include <QApplication>
#include <QDBusConnection>
#include <QIcon>
#include <optional>
#include <string>

#include "core/app/ErrorReport.h"
#include "core/app/ProgramFolder.h"
#include "core/automation/HandOff.h"
#include "core/service/FriendMessage.h"
#include "gui/acquire/GrabScreenForm.h"
#include "gui/acquire/PictureDownloadForm.h"
#include "gui/app/AboutBox.h"
#include "gui/app/Help.h"
#include "gui/app/MainAppForm.h"
#include "gui/app/QtPrompts.h"
#include "gui/app/Resources.h"
#include "gui/app/SingleInstance.h"
#include "gui/app/WebPage.h"
#include "gui/automation/AutomationSwitches.h"
#include "gui/automation/QuilletPIBusObject.h"
#include "gui/imageops/FileFormatChoiceForm.h"
#include "gui/imageops/PicturePropsForm.h"
#include "gui/service/AccessURLHint.h"
#include "gui/service/CredentialsForm.h"
#include "gui/service/NewAppVerDownloadRequest.h"
#include "gui/service/SendToFriend.h"
#include "gui/settings/OptionsForm.h"

int main(int argc, char** argv) {
  // Before any thread: libcurl's global state.
  curl_global_init(CURL_GLOBAL_DEFAULT);
  // Registration and the hand-off client work before, and without, any
  // window.
  const quillet::AutomationSwitches switches = quillet::ParseAutomationSwitches(argc, argv);
  const std::string programFolder = quillet::ResolveProgramFolder(switches.dataDir);
  if (const std::optional<int> status =
          quillet::RunAutomationSwitches(switches, programFolder, argc, argv))
    return *status;
  quillet::RegisterAtStart(programFolder);

  QApplication application(argc, argv);
  quillet::InitResources();
  QApplication::setApplicationName(
      QString::fromUtf8(quillet::kApplicationTitle.data(), quillet::kApplicationTitle.size()));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quillet.svg")));

  quillet::QtPrompts prompts;
  // The hand-off object is on the bus before the name is claimed, so that a
  // call that made the bus start this copy finds it.
  quillet::TQuilletPIBusObject handOffObject(
      quillet::UserHandOffKey(quillet::ProcessEnvironment()));
  handOffObject.Register(QDBusConnection::sessionBus());
  quillet::SingleInstance instance;
  quillet::TMainAppForm mainForm(programFolder, prompts, &instance);
  prompts.SetParent(&mainForm);
  // A second copy, or a catalogue that cannot be used: end without writing.
  if (mainForm.EndRequested()) return 0;
  QObject::connect(&handOffObject, &quillet::TQuilletPIBusObject::BringToFrontRequested, &mainForm,
                   &quillet::TMainAppForm::BringToFront);
  QObject::connect(&handOffObject, &quillet::TQuilletPIBusObject::TakeHandedOverPictureRequested,
                   &mainForm, [&mainForm] {
                     mainForm.BringToFront();
                     mainForm.PictureHandOffCheck();
                   });

  quillet::TOptionsForm optionsForm(programFolder, prompts, &mainForm);
  mainForm.AttachOptionsForm(&optionsForm);
  quillet::TAboutBox aboutBox(&mainForm);
  mainForm.AttachAboutBox(&aboutBox);
  quillet::THelpForm helpForm(programFolder, prompts);
  mainForm.AttachHelpForm(&helpForm);
  quillet::TJPEGPropsForm jpegPropsForm(programFolder, optionsForm, &mainForm);
  mainForm.AttachJPEGPropsForm(&jpegPropsForm);
  quillet::TGIFPropsForm gifPropsForm(programFolder, optionsForm, &mainForm);
  mainForm.AttachGIFPropsForm(&gifPropsForm);
  quillet::TFileFormatChoiceForm fileFormatChoiceForm(&mainForm);
  mainForm.AttachFileFormatChoiceForm(&fileFormatChoiceForm);
  quillet::TGrabScreenForm grabScreenForm;
  mainForm.AttachGrabScreenForm(&grabScreenForm);
  // The service's pages are on its main web host.
  const std::string serviceHost = mainForm.Parameters().Value(quillet::kUploadHostKey);
  quillet::TSysAuthForm sysAuthForm(
      [&] { quillet::OpenWebPage(quillet::RootUrlOf(serviceHost) + "register.php", prompts); },
      &mainForm);
  mainForm.AttachSysAuthForm(&sysAuthForm);
  quillet::TProxyAuthForm proxyAuthForm(&mainForm);
  mainForm.AttachProxyAuthForm(&proxyAuthForm);
  quillet::TAccessURLHintForm accessURLHintForm(optionsForm, &mainForm);
  mainForm.AttachAccessURLHintForm(&accessURLHintForm);
  quillet::TSendToFriendForm sendToFriendForm(
      prompts, [&](const std::string& address) { quillet::OpenWebPage(address, prompts); },
      &mainForm);
  mainForm.AttachSendToFriendForm(&sendToFriendForm);
  quillet::TPictureDownloadForm pictureDownloadForm(programFolder, optionsForm, prompts,
                                                    &proxyAuthForm, &mainForm);
  mainForm.AttachPictureDownloadForm(&pictureDownloadForm);
  quillet::TNewAppVerDownloadRequestForm newVersionForm(&mainForm);
  optionsForm.StartNewVersionCheck(
      mainForm.Parameters(), &newVersionForm,
      [&](const std::string& address) { quillet::OpenWebPage(address, prompts); });

  mainForm.show();
  return QApplication::exec();
}

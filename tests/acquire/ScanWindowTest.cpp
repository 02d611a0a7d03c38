// The scanner's windows driven through the real layer, the real Qt window
// services and SANE's test backend, as a user would drive them.
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <functional>
#include <map>
#include <stdexcept>
#include <thread>
#include <vector>

#include "UserScript.h"
#include "core/acquire/SaneSourceManager.h"
#include "core/acquire/ScriptedSourceManager.h"
#include "core/codecs/Codecs.h"
#include "core/logodir/LogoEditing.h"
#include "core/logodir/LogoPaths.h"
#include "core/platform/AtomicFile.h"
#include "gui/acquire/SaneQtUi.h"
#include "gui/acquire/SaneScanForm.h"
#include "gui/acquire/SaneSelectSourceForm.h"
#include "gui/acquire/TwainScanner.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

using namespace quillet;
using quillet::testing::ScriptedCall;
using quillet::testing::ScriptedSourceManager;
using quillet::testing::TempDir;
using quillet::testing::TwainLog;
using quillet::testing::UserScript;

namespace {

QMessageBox* ShownMessageBox() {
  return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

}  // namespace

class ScanWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TempDir> dir_;
  std::unique_ptr<TwainScanner> scanner_;
  std::unique_ptr<QWidget> mainWindow_;

  WindowHandle Main() { return TwainScanner::HandleOf(mainWindow_.get()); }
  TSaneScanForm* Form() { return scanner_->Ui() ? scanner_->Ui()->ScanForm() : nullptr; }
  bool FormShown() { return Form() != nullptr && Form()->isVisible(); }
  SaneDevice* Device() { return static_cast<SaneSourceManager&>(scanner_->Manager()).OpenDevice(); }
  std::string ChoicePath() const { return dir_->Path() + "config/Quillet/scanner"; }

 private slots:
  void init() {
    dir_ = std::make_unique<TempDir>();
    std::map<std::string, std::string> environment{{"XDG_CONFIG_HOME", dir_->Path() + "config"},
                                                   {"HOME", dir_->Path()}};
    scanner_ = TwainScanner::Create([environment](const char* name) -> std::optional<std::string> {
      const auto found = environment.find(name);
      if (found == environment.end()) return std::nullopt;
      return found->second;
    });
    mainWindow_ = std::make_unique<QWidget>();
    mainWindow_->setWindowTitle(QStringLiteral("Quillet"));
    mainWindow_->show();
  }

  void cleanup() {
    scanner_.reset();
    mainWindow_.reset();
    dir_.reset();
  }

  void scanBecomesTheLogoImportedImage() {
    QVERIFY(scanner_->Layer().TWAIN_SourceManagerPresent());
    bool mainDisabled = false;
    QStringList modes;
    int startResolution = 0;
    UserScript user({
        {"the scan window", [&] { return FormShown(); },
         [&] {
           mainDisabled = !mainWindow_->isEnabled();
           for (int i = 0; i < Form()->ModeComboBox->count(); ++i)
             modes << Form()->ModeComboBox->itemText(i);
           startResolution = Form()->ResolutionSpinBox->value();
           Form()->PreviewButton->click();
         }},
        {"the preview", [&] { return !Form()->PreviewImage->pixmap().isNull(); },
         [&] {
           QVERIFY(Form()->ScanButton->isEnabled());
           Form()->ResolutionSpinBox->setValue(50);
           Form()->ScanButton->click();
         }},
    });
    TW_HANDLE dib = scanner_->Layer().TWAIN_AcquireToDib(Main(), 0);
    QVERIFY2(user.Failure().isEmpty(), qPrintable(user.Failure()));
    QVERIFY(user.Done());
    QVERIFY(dib != nullptr);
    QVERIFY(mainDisabled);
    QVERIFY(mainWindow_->isEnabled());
    QVERIFY(!Form()->isVisible());
    QCOMPARE(modes, (QStringList{QStringLiteral("Gray"), QStringLiteral("Color")}));
    QCOMPARE(startResolution, 25);
    // 80 × 100 mm at 50 dpi.
    QCOMPARE(TwainLayer::TWAIN_GetDibWidth(dib), 157);
    QCOMPARE(TwainLayer::TWAIN_GetDibHeight(dib), 196);
    Bitmap picture(TwainLayer::TWAIN_GetDibWidth(dib), TwainLayer::TWAIN_GetDibHeight(dib));
    TwainLayer::TWAIN_PaintDib(dib, picture);
    TwainLayer::TWAIN_ReleaseDib(dib);
    QCOMPARE(scanner_->Layer().State(), 1);

    LogoTree tree;
    quillet::testing::ScriptedPrompts prompts;
    LogoDirContext context{tree, nullptr, dir_->Path(), prompts};
    const EditResult added =
        AddPictureImage(context, "importedimage.jpg", picture, TLogoDirObject{});
    QVERIFY(added.select != nullptr);
    QCOMPARE(QString::fromStdString(added.select->Text()), QStringLiteral("importedimage.jpg"));
    const Bitmap written = DecodePictureFile(NodePath(*added.select, dir_->Path()));
    QCOMPARE(written.Width(), 157);
    QCOMPARE(written.Height(), 196);
  }

  void modeChoiceReachesTheScan() {
    UserScript user({
        {"the scan window", [&] { return FormShown(); },
         [&] {
           Form()->ModeComboBox->setCurrentText(QStringLiteral("Gray"));
           Form()->ScanButton->click();
         }},
    });
    TW_HANDLE dib = scanner_->Layer().TWAIN_AcquireToDib(Main(), 0);
    QVERIFY2(user.Failure().isEmpty(), qPrintable(user.Failure()));
    QVERIFY(dib != nullptr);
    const auto bytes = GlobalLockBlock(dib);
    QCOMPARE(int(bytes[14]), 8);  // grey: eight bits with a grey table
    TwainLayer::TWAIN_ReleaseDib(dib);
  }

  void cancelGivesNothingAndNoMessage() {
    for (bool byCloseBox : {false, true}) {
      UserScript user({
          {"the scan window", [&] { return FormShown(); },
           [&] {
             if (byCloseBox) {
               Form()->close();
             } else {
               Form()->CancelButton->click();
             }
           }},
      });
      QVERIFY(scanner_->Layer().TWAIN_AcquireToDib(Main(), 0) == nullptr);
      QVERIFY2(user.Failure().isEmpty(), qPrintable(user.Failure()));
      QVERIFY(!Form()->isVisible());
      QVERIFY(mainWindow_->isEnabled());
      QCOMPARE(scanner_->Layer().State(), 1);
    }
  }

  // A slow scan shows its progress, keeps the window responsive, and Cancel
  // stops it without closing the window.
  void cancelDuringAScanStopsOnlyTheScan() {
    bool sawProgress = false;
    QString stoppedStatus;
    UserScript user({
        {"the scan window", [&] { return FormShown(); },
         [&] {
           QVERIFY(Device()->SetOption("read-limit", "yes"));
           QVERIFY(Device()->SetOption("read-limit-size", "64"));
           QVERIFY(Device()->SetOption("read-delay", "yes"));
           QVERIFY(Device()->SetOption("read-delay-duration", "20000"));
           Form()->ScanButton->click();
         }},
        {"progress", [&] { return Form()->ProgressBar->value() > 0; },
         [&] {
           sawProgress = !Form()->ScanButton->isEnabled() && Form()->CancelButton->isEnabled();
           Form()->CancelButton->click();
         }},
        {"the scan to stop", [&] { return !Form()->Scanning(); },
         [&] {
           stoppedStatus = Form()->StatusLabel->text();
           QVERIFY(Form()->isVisible());
           QVERIFY(Form()->ScanButton->isEnabled());
           Form()->CancelButton->click();
         }},
    });
    QVERIFY(scanner_->Layer().TWAIN_AcquireToDib(Main(), 0) == nullptr);
    QVERIFY2(user.Failure().isEmpty(), qPrintable(user.Failure()));
    QVERIFY(sawProgress);
    QCOMPARE(stoppedStatus, QStringLiteral("The scan was stopped."));
  }

  void selectionListsTheScannersAndRemembersTheChoice() {
    QStringList rows;
    UserScript user({
        {"the selection dialog",
         [&] {
           auto* form = scanner_->Ui()->SelectSourceForm();
           return form != nullptr && form->isVisible();
         },
         [&] {
           TSaneSelectSourceForm* form = scanner_->Ui()->SelectSourceForm();
           QCOMPARE(form->windowTitle(), QStringLiteral("Select Source"));
           for (int i = 0; i < form->SourceList->topLevelItemCount(); ++i) {
             const QTreeWidgetItem* item = form->SourceList->topLevelItem(i);
             rows << item->text(0) + "|" + item->text(1) + "|" + item->text(2);
           }
           form->SourceList->setCurrentItem(form->SourceList->topLevelItem(1));
           form->SelectButton->click();
         }},
    });
    QVERIFY(scanner_->Layer().TWAIN_SelectImageSource(Main()));
    QVERIFY2(user.Failure().isEmpty(), qPrintable(user.Failure()));
    QCOMPARE(rows, (QStringList{QStringLiteral("Noname|frontend-tester|test:0"),
                                QStringLiteral("Noname|frontend-tester|test:1")}));
    QCOMPARE(ReadScannerChoice(ChoicePath()).value_or(SaneDeviceInfo{}).name,
             std::string("test:1"));

    // The next acquisition opens it, and the dialog offers it again.
    std::string opened;
    UserScript acquire({
        {"the scan window", [&] { return FormShown(); },
         [&] {
           opened = Device()->Info().name;
           Form()->CancelButton->click();
         }},
    });
    QVERIFY(scanner_->Layer().TWAIN_AcquireToDib(Main(), 0) == nullptr);
    QVERIFY2(acquire.Failure().isEmpty(), qPrintable(acquire.Failure()));
    QCOMPARE(opened, std::string("test:1"));

    QString offered;
    UserScript again({
        {"the selection dialog", [&] { return scanner_->Ui()->SelectSourceForm()->isVisible(); },
         [&] {
           TSaneSelectSourceForm* form = scanner_->Ui()->SelectSourceForm();
           offered = form->SourceList->currentItem()->text(2);
           form->CancelButton->click();
         }},
    });
    QVERIFY(!scanner_->Layer().TWAIN_SelectImageSource(Main()));
    QCOMPARE(offered, QStringLiteral("test:1"));
    QCOMPARE(ReadScannerChoice(ChoicePath()).value_or(SaneDeviceInfo{}).name,
             std::string("test:1"));
  }

  // A slow search keeps the windows painting, says what it does once it has
  // taken a while, and hands back what the work throws.
  void slowSaneWorkRunsOffTheWindowsThread() {
    SaneQtUi ui;
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(20);
    QString noteText;
    bool busyCursor = false;
    QTimer look;
    look.setSingleShot(true);
    QObject::connect(&look, &QTimer::timeout, [&] {
      for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QStringLiteral("SaneBusyNote") && widget->isVisible())
          noteText = widget->findChild<QLabel*>()->text();
      busyCursor = QApplication::overrideCursor() != nullptr &&
                   QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    look.start(900);
    const std::thread::id windows = std::this_thread::get_id();
    std::thread::id worked;
    ui.RunWhileBusy(kLookingForScannersText, [&] {
      worked = std::this_thread::get_id();
      std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    });
    QVERIFY(worked != windows);
    QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
    QCOMPARE(noteText, QStringLiteral("Looking for scanners..."));
    QVERIFY(busyCursor);
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    bool thrown = false;
    try {
      ui.RunWhileBusy(kOpeningScannerText, [] { throw std::runtime_error("no scanner"); });
    } catch (const std::runtime_error& error) {
      thrown = std::string(error.what()) == "no scanner";
    }
    QVERIFY(thrown);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  // The layer's messages: a warning box captioned "TWAIN Error" without owner.
  void messagesAreTwainErrorBoxes() {
    TwainLog log;
    auto sourceManager = std::make_unique<ScriptedSourceManager>(
        log, std::vector<ScriptedCall>{{DG_CONTROL, DAT_PARENT, MSG_OPENDSM, TWRC_SUCCESS},
                                       {DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, TWRC_FAILURE},
                                       {DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, TWRC_SUCCESS}});
    TwainScanner scanner(std::move(sourceManager));
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool owned = true;
    UserScript user({
        {"the message box", [] { return ShownMessageBox() != nullptr; },
         [&] {
           QMessageBox* box = ShownMessageBox();
           caption = box->windowTitle();
           text = box->text();
           icon = box->icon();
           owned = box->parentWidget() != nullptr;
           box->buttons().first()->click();
         }},
    });
    QVERIFY(scanner.Layer().TWAIN_AcquireToDib(Main(), 0) == nullptr);
    QVERIFY2(user.Failure().isEmpty(), qPrintable(user.Failure()));
    QCOMPARE(caption, QStringLiteral("TWAIN Error"));
    QCOMPARE(text, QStringLiteral("TWAIN_ReportLastError: an error occurred"));
    QCOMPARE(icon, QMessageBox::Warning);
    QVERIFY(!owned);
  }

  void aProxyWindowStandsInForAMissingWindow() {
    TwainLog log;
    struct Watching : ScriptedSourceManager {
      using ScriptedSourceManager::ScriptedSourceManager;
      QString parentTitle;
      bool parentVisible = false;
      TW_UINT16 DSM_Entry(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dg,
                          TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) override {
        if (msg == MSG_OPENDSM) {
          auto* parent = *static_cast<QWidget**>(data);
          parentTitle = parent->windowTitle();
          parentVisible = parent->isVisible();
        }
        return ScriptedSourceManager::DSM_Entry(origin, destination, dg, dat, msg, data);
      }
    };
    auto owned = std::make_unique<Watching>(
        log, std::vector<ScriptedCall>{{DG_CONTROL, DAT_PARENT, MSG_OPENDSM, TWRC_SUCCESS},
                                       {DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, TWRC_SUCCESS},
                                       {DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, TWRC_SUCCESS}});
    Watching* watching = owned.get();
    TwainScanner scanner(std::move(owned));
    const int windowsBefore = QApplication::topLevelWidgets().size();
    QVERIFY(scanner.Layer().TWAIN_SelectImageSource(nullptr));
    QCOMPARE(watching->parentTitle, QStringLiteral("Acquire Proxy"));
    QVERIFY(watching->parentVisible);
    QCOMPARE(QApplication::topLevelWidgets().size(), windowsBefore);
  }

  void noScannerSupportWhenTurnedOff() {
    auto scanner = TwainScanner::Create([](const char* name) -> std::optional<std::string> {
      if (std::string(name) == kScannerVariable) return std::string("none");
      return std::nullopt;
    });
    QVERIFY(!scanner->Layer().TWAIN_SourceManagerPresent());
    QVERIFY(scanner->Ui() == nullptr);
  }

  // A quit request during the acquisition ends its loop (the source is torn
  // down) and reaches the program's own loop afterwards.
  void aQuitRequestEndsTheLoopAndIsPassedOn() {
    struct QuitCounter : QObject {
      int seen = 0;
      bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Quit) return false;
        ++seen;
        return true;
      }
    } counter;
    UserScript user({
        {"the scan window", [&] { return FormShown(); },
         [&] {
           QEvent quit(QEvent::Quit);
           QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
         }},
    });
    QVERIFY(scanner_->Layer().TWAIN_AcquireToDib(Main(), 0) == nullptr);
    QVERIFY2(user.Failure().isEmpty(), qPrintable(user.Failure()));
    QVERIFY(!Form()->isVisible());
    QCOMPARE(scanner_->Layer().State(), 1);
    // Installed last, it sees the passed-on request first.
    QCoreApplication::instance()->installEventFilter(&counter);
    QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::Quit);
    QCoreApplication::instance()->removeEventFilter(&counter);
    QCOMPARE(counter.seen, 1);
  }
};

QTEST_MAIN(ScanWindowTest)
#include "ScanWindowTest.moc"

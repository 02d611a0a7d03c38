// A scan from SANE's test scanner through the main window's commands, as a
// user makes it: the tool button, the scanner's window, Scan; the picture
// becomes a selected logo.
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>

#include "UserScript.h"
#include "core/codecs/Codecs.h"
#include "core/logodir/LogoDirectoryFile.h"
#include "core/logodir/LogoPaths.h"
#include "gui/acquire/SaneScanForm.h"
#include "gui/acquire/SaneSelectSourceForm.h"
#include "gui/app/MainAppForm.h"
#include "gui/settings/OptionsForm.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

using namespace quillet;
using quillet::testing::ScriptedPrompts;
using quillet::testing::TempDir;
using quillet::testing::UserScript;

namespace {

template <typename Form>
Form* ShownForm() {
  for (QWidget* window : QApplication::topLevelWidgets())
    if (auto* form = qobject_cast<Form*>(window); form != nullptr && form->isVisible()) return form;
  return nullptr;
}

// A program folder with a catalogue and the folder "Scans".
struct Window {
  TempDir dir;
  ScriptedPrompts prompts;
  std::unique_ptr<TMainAppForm> form;
  std::unique_ptr<TOptionsForm> options;

  Window() {
    dir.Write("phoneslist.xml",
              "<phoneslist><make name=\"Acme\"><model name=\"One\" screenwidth=\"128\" "
              "screenheight=\"128\"/></make></phoneslist>");
    dir.Write("parameters.xml", "<parameters><uploadhost value=\"wap.example\"/></parameters>");
    LogoTree tree;
    tree.Append(tree.Root(), TLogoDirObject(NodeKind::Folder, "Scans"));
    dir.MakeDir("Logo Directory/Scans");
    dir.Write("logodirectory.xml", LogoDirectoryDocument(tree));
    form = std::make_unique<TMainAppForm>(dir.Path(), prompts);
    options = std::make_unique<TOptionsForm>(dir.Path(), prompts, form.get(), SystemProxyReader{});
    form->AttachOptionsForm(options.get());
    form->FormActivate();
    form->show();
    form->SelectNode(form->Tree().Root().ChildAt(0));
  }
  ~Window() {
    options.reset();
    form.reset();
  }
};

}  // namespace

class MainWindowScanTest : public QObject {
  Q_OBJECT

 private slots:
  void scanFromTheToolButtonBecomesASelectedLogo() {
    Window w;
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    QVERIFY(w.form->ImportFromTWAINToolButton->isEnabled());
    QVERIFY(w.form->ImportFromTWAINMenuItem->menuAction()->isEnabled());
    for (const char* expected : {"importedimage.jpg", "importedimage2.jpg"}) {
      bool mainDisabled = false;
      UserScript user({
          {"the scanner's window", [] { return ShownForm<TSaneScanForm>() != nullptr; },
           [&] {
             TSaneScanForm* scan = ShownForm<TSaneScanForm>();
             mainDisabled = !w.form->isEnabled();
             QTest::mouseClick(scan->ScanButton, Qt::LeftButton);
           }},
      });
      QTest::mouseClick(w.form->ImportFromTWAINToolButton, Qt::LeftButton);
      QVERIFY2(user.Failure().isEmpty(), qPrintable(user.Failure()));
      QVERIFY(user.Done());
      QVERIFY(mainDisabled);
      QVERIFY(w.form->isEnabled());
      LogoNode* selected = w.form->SelectedNode();
      QVERIFY(selected != nullptr);
      QCOMPARE(QString::fromStdString(selected->Text()), QString::fromLatin1(expected));
      QCOMPARE(QString::fromStdString(selected->Parent()->Text()), QStringLiteral("Scans"));
      const Bitmap written = DecodePictureFile(NodePath(*selected, w.dir.Path()));
      QCOMPARE(written.Width(), 78);
      QCOMPARE(written.Height(), 98);
    }
    QVERIFY(w.prompts.Messages().empty());
  }

  void cancelAddsNothing() {
    Window w;
    UserScript user({
        {"the scanner's window", [] { return ShownForm<TSaneScanForm>() != nullptr; },
         [] { QTest::mouseClick(ShownForm<TSaneScanForm>()->CancelButton, Qt::LeftButton); }},
    });
    w.form->AcquireImageMenuItem->trigger();
    QVERIFY2(user.Failure().isEmpty(), qPrintable(user.Failure()));
    QCOMPARE(w.form->Tree().Root().ChildAt(0)->ChildCount(), 0);
    QVERIFY(w.prompts.Messages().empty());
    QVERIFY(w.form->isEnabled());
  }

  void selectSourceShowsTheScanners() {
    Window w;
    int rows = 0;
    UserScript user({
        {"the selection dialog", [] { return ShownForm<TSaneSelectSourceForm>() != nullptr; },
         [&] {
           TSaneSelectSourceForm* form = ShownForm<TSaneSelectSourceForm>();
           rows = form->SourceList->topLevelItemCount();
           form->CancelButton->click();
         }},
    });
    w.form->SelectSourceMenuItem->trigger();
    QVERIFY2(user.Failure().isEmpty(), qPrintable(user.Failure()));
    QCOMPARE(rows, 2);
    QVERIFY(w.prompts.Messages().empty());
  }
};

QTEST_MAIN(MainWindowScanTest)
#include "MainWindowScanTest.moc"

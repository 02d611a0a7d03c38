// What a new user expects of the main window: it comes back as it was left,
// opens on the frame, nudges the frame by keyboard, tidies what a killed
// save left, and brings back pictures that the tree lost.
#include <sys/stat.h>
#include <utime.h>
#include <QAction>
#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <memory>

#include "core/codecs/Codecs.h"
#include "core/compose/SelectionGeometry.h"
#include "core/logodir/LogoDirectoryFile.h"
#include "gui/app/MainAppForm.h"
#include "gui/compose/PictureBox.h"
#include "gui/imageops/PicturePropsForm.h"
#include "gui/settings/OptionsForm.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

using quillet::LogoNode;
using quillet::NodeKind;
using quillet::Rect;
using quillet::TLogoDirObject;
using quillet::testing::ScriptedPrompts;
using quillet::testing::TempDir;

namespace {

// A program folder with one folder "Pics" and the logos given (name, width,
// height), each a picture of that size.
struct Folder {
  TempDir dir;
  explicit Folder(std::initializer_list<std::tuple<const char*, int, int>> logos) {
    dir.Write("phoneslist.xml",
              "<phoneslist><make name=\"A\"><model name=\"B\" screenwidth=\"120\" "
              "screenheight=\"90\"/></make></phoneslist>");
    dir.Write("parameters.xml", "<parameters/>");
    quillet::LogoTree tree;
    LogoNode& pics = tree.Append(tree.Root(), TLogoDirObject(NodeKind::Folder, "Pics"));
    dir.MakeDir("Logo Directory/Pics");
    for (const auto& [name, width, height] : logos) {
      quillet::Bitmap picture(width, height, quillet::MakeColor(90, 140, 30));
      quillet::WritePictureFile(dir.Path() + "Logo Directory/Pics/" + name, picture,
                                quillet::LogoFormatOfFileName(name), 90, 8);
      tree.Append(pics, TLogoDirObject(NodeKind::Logo, name));
    }
    dir.Write("logodirectory.xml", quillet::LogoDirectoryDocument(tree));
  }
};

struct Window {
  ScriptedPrompts prompts;
  std::unique_ptr<quillet::TMainAppForm> form;
  std::unique_ptr<quillet::TOptionsForm> options;

  explicit Window(const TempDir& dir) {
    form = std::make_unique<quillet::TMainAppForm>(dir.Path(), prompts);
    options = std::make_unique<quillet::TOptionsForm>(dir.Path(), prompts, form.get(),
                                                      quillet::SystemProxyReader{});
    form->AttachOptionsForm(options.get());
    form->FormActivate();
  }
  ~Window() {
    options.reset();
    form.reset();
  }
  LogoNode& Pics() { return *form->Tree().Root().ChildAt(0); }
  void Close() { form->close(); }
  Rect Frame() { return quillet::FrameOf(form->SelectedNode()->Data()); }
};

void Age(const std::string& path, int seconds) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  const utimbuf times{info.st_atime - seconds, info.st_mtime - seconds};
  ::utime(path.c_str(), &times);
}

}  // namespace

class WindowComfortsTest : public QObject {
  Q_OBJECT

 private slots:
  void theWindowComesBackAsItWasLeft() {
    Folder folder({{"a.png", 64, 64}});
    QList<int> panes;
    {
      Window w(folder.dir);
      w.form->resize(700, 520);
      w.form->show();
      QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
      auto* splitter = w.form->findChild<QSplitter*>("MainSplitter");
      splitter->setSizes({240, 460});
      panes = splitter->sizes();
      w.form->FitimageintopaneClick();
      QVERIFY(w.form->FitImageIntoPane());
      w.Close();
    }
    QVERIFY(folder.dir.Exists("windowstate.xml"));
    Window again(folder.dir);
    QCOMPARE(again.form->size(), QSize(700, 520));
    QVERIFY(again.form->FitImageIntoPane());
    QVERIFY(again.form->Fitimageintopane->isChecked());
    again.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(again.form.get()));
    QCOMPARE(again.form->findChild<QSplitter*>("MainSplitter")->sizes().first(), panes.first());
  }

  void aDamagedWindowStateIsIgnored() {
    Folder folder({{"a.png", 64, 64}});
    folder.dir.Write("windowstate.xml", std::string("<windowstate><left value=\"\0", 28));
    Window w(folder.dir);
    QVERIFY(w.prompts.Messages().empty());
    QVERIFY(!w.form->FitImageIntoPane());
  }

  void theSourcePaneOpensOnTheFrame() {
    Folder folder({{"big.png", 3000, 2000}});
    Window w(folder.dir);
    w.form->resize(800, 600);
    w.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    // A frame in the middle of the picture.
    quillet::StoreFrame(w.Pics().ChildAt(0)->Data(), Rect{1400, 900, 1600, 1100});
    w.form->SelectNode(w.Pics().ChildAt(0));
    QTest::qWait(50);
    const Rect frame = w.form->CurrentSourceImage()->FrameInView();
    QScrollArea* pane = w.form->SourceImageScrollBox;
    const QRect shown(pane->horizontalScrollBar()->value(), pane->verticalScrollBar()->value(),
                      pane->viewport()->width(), pane->viewport()->height());
    QVERIFY2(shown.intersects(QRect(frame.left, frame.top, frame.Width(), frame.Height())),
             "the frame is out of sight");
    QVERIFY(pane->horizontalScrollBar()->value() > 0 || pane->verticalScrollBar()->value() > 0);
  }

  void theArrowKeysNudgeTheFrame() {
    Folder folder({{"wide.png", 400, 200}});
    Window w(folder.dir);
    w.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    w.form->SelectNode(w.Pics().ChildAt(0));
    TLogoDirObject& logo = w.form->SelectedNode()->Data();
    logo.keepproportions = false;
    quillet::StoreFrame(logo, Rect{100, 50, 180, 130});
    w.form->SourceImageScrollBox->setFocus();
    QTest::keyClick(w.form->SourceImageScrollBox, Qt::Key_Right);
    QCOMPARE(w.Frame(), (Rect{101, 50, 181, 130}));
    QTest::keyClick(w.form->SourceImageScrollBox, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(w.Frame(), (Rect{101, 60, 181, 140}));
    QTest::keyClick(w.form->SourceImageScrollBox, Qt::Key_Left,
                    Qt::ShiftModifier | Qt::AltModifier);
    QCOMPARE(w.Frame(), (Rect{101, 60, 180, 140}));
    // At the border of the fit rectangle a move goes no further.
    const Rect fit = quillet::FitRect(logo, *w.form->CurrentSourceImage());
    quillet::StoreFrame(logo, Rect{fit.left, fit.top, fit.left + 40, fit.top + 40});
    QTest::keyClick(w.form->SourceImageScrollBox, Qt::Key_Left);
    QTest::keyClick(w.form->SourceImageScrollBox, Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(w.Frame(), (Rect{fit.left, fit.top, fit.left + 40, fit.top + 40}));
    // The logo follows the frame.
    QCOMPARE(w.form->ImageStatusText(1).isEmpty(), false);
  }

  void aWallpaperOfTodaysPhonesFitsItsPaneAndItsDialog() {
    Folder folder({{"photo.jpg", 1600, 1200}});
    Window w(folder.dir);
    quillet::TJPEGPropsForm jpeg(folder.dir.Path(), *w.options, w.form.get());
    w.form->AttachJPEGPropsForm(&jpeg);
    w.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    w.form->SelectNode(w.Pics().ChildAt(0));
    w.form->LogoWidthUpDown->setValue(1179);
    w.form->LogoHeightUpDown->setValue(2556);
    QCOMPARE(w.form->SelectedNode()->Data().logowidth, 1179);
    QCOMPARE(w.form->TargetImage->Picture().Width(), 1179);
    QCOMPARE(w.form->TargetImage->Picture().Height(), 2556);
    const QSize pane = w.form->TargetBkgndScrollBox->viewport()->size();
    QVERIFY(w.form->TargetImage->width() <= pane.width());
    QVERIFY(w.form->TargetImage->height() <= pane.height());
    w.form->TargetActualSizeMenuItem->trigger();
    QCOMPARE(w.form->TargetImage->size(), QSize(1179, 2556));
    QVERIFY(w.form->ImageStatusText(2).contains(QStringLiteral("1179x2556")));
    // The JPEG dialog before an upload stays on the screen.
    QTimer::singleShot(100, [&] {
      const QRect screen = jpeg.screen()->availableGeometry();
      QVERIFY(screen.contains(jpeg.frameGeometry()) || screen.contains(jpeg.geometry()));
      jpeg.reject();
    });
    jpeg.Execute(*w.form->SelectedNode(), w.form->TargetImage->Picture());
  }

  void aBigPictureIsWorkedOnWhileTheWindowPaints() {
    Folder folder({{"big.bmp", 2000, 1200}, {"small.png", 40, 40}});
    Window w(folder.dir);
    struct Seen {
      bool slow;
      QString status;
      bool busyCursor;
    };
    QList<Seen> seen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      const QCursor* cursor = QApplication::overrideCursor();
      seen << Seen{w.form->SlowWorkRunning(), w.form->StatusText(),
                   cursor != nullptr && cursor->shape() == Qt::WaitCursor};
    });
    auto sawWork = [&](const QString& status) {
      for (const Seen& s : seen)
        if (s.slow && s.status == status && s.busyCursor) return true;
      return false;
    };
    watch.start(1);
    w.form->SelectNode(w.Pics().ChildAt(0));
    QVERIFY(w.form->CurrentSourceImage() != nullptr);
    QVERIFY2(sawWork(QStringLiteral("Opening the picture...")), "no painting while opening");
    seen.clear();
    // A second command while the first still runs does nothing.
    bool secondTried = false;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (secondTried || !w.form->SlowWorkRunning()) return;
      secondTried = true;
      w.form->ConvertItems[0][2]->trigger();  // to GIF
      w.form->MirrorImageClick(true);
    });
    w.form->ConvertItems[0][3]->trigger();  // to PNG
    watch.stop();
    QVERIFY(secondTried);
    QVERIFY(!folder.dir.Exists("Logo Directory/Pics/big.gif"));
    QCOMPARE(w.Pics().ChildCount(), 2);
    QVERIFY2(sawWork(QStringLiteral("Converting the picture...")), "no painting while converting");
    QCOMPARE(w.form->SelectedNode()->Text(), std::string("big.png"));
    QVERIFY(folder.dir.Exists("Logo Directory/Pics/big.png"));
    QCOMPARE(w.form->StatusText(), QStringLiteral("Idle"));
    QVERIFY(QApplication::overrideCursor() == nullptr);
    // A small picture is done at once, on the window's thread.
    seen.clear();
    watch.start(1);
    w.form->SelectNode(w.Pics().ChildAt(1));
    watch.stop();
    for (const Seen& s : seen)
      QVERIFY(!s.slow);
  }

  void startUpRemovesOnlyStaleTemporaryFilesOfItsOwn() {
    Folder folder({{"a.png", 32, 32}});
    const std::string stale = folder.dir.Write(".options.xml.tmp-Ab12Cd", "half");
    const std::string stalePicture = folder.dir.Write("Logo Directory/Pics/.a.png.tmp-Zz9Yy8", "x");
    const std::string foreign = folder.dir.Write("Logo Directory/Pics/.notes.tmp", "mine");
    const std::string young = folder.dir.Write(".appstate.xml.tmp-Qq1Ww2", "being written");
    Age(stale, 3600);
    Age(stalePicture, 3600);
    Age(foreign, 3600);
    Window w(folder.dir);
    QVERIFY(!folder.dir.Exists(".options.xml.tmp-Ab12Cd"));
    QVERIFY(!folder.dir.Exists("Logo Directory/Pics/.a.png.tmp-Zz9Yy8"));
    QVERIFY(folder.dir.Exists("Logo Directory/Pics/.notes.tmp"));
    QVERIFY(folder.dir.Exists(".appstate.xml.tmp-Qq1Ww2"));
  }

  void aDamagedTreeBringsItsPicturesBack() {
    Folder folder({{"a.png", 32, 32}, {"b.jpg", 40, 30}});
    std::string document = folder.dir.Read("logodirectory.xml");
    document.insert(document.find("nodename=\"b.jpg\""), 1, '\0');
    folder.dir.Write("logodirectory.xml", document);
    Window w(folder.dir);
    // The damaged file was reported, and its pictures came back.
    QVERIFY(!w.prompts.Messages().empty());
    QCOMPARE(w.prompts.Messages().back().caption, std::string("Information"));
    LogoNode& root = w.form->Tree().Root();
    QCOMPARE(root.ChildCount(), 1);
    QCOMPARE(root.ChildAt(0)->ChildCount(), 2);
  }

  void findPicturesAddsWhatCameInFromOutside() {
    Folder folder({{"a.png", 32, 32}});
    Window w(folder.dir);
    quillet::WritePictureFile(folder.dir.Path() + "Logo Directory/Pics/copied in.png",
                              quillet::Bitmap(50, 50), quillet::LogoFormat::Png, 90, 8);
    w.form->FindPicturesMenuItem->trigger();
    QCOMPARE(w.Pics().ChildCount(), 2);
    QCOMPARE(w.form->SelectedNode()->Text(), std::string("copied in.png"));
    QCOMPARE(w.prompts.Messages().back().caption, std::string("Information"));
    // Nothing more the second time.
    w.form->FindPicturesMenuItem->trigger();
    QCOMPARE(w.Pics().ChildCount(), 2);
  }
};

QTEST_MAIN(WindowComfortsTest)
#include "WindowComfortsTest.moc"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <filesystem>
#include <memory>

#include "core/codecs/Codecs.h"
#include "core/compose/FrameInteraction.h"
#include "core/compose/SelectionGeometry.h"
#include "core/logodir/LogoDirectoryFile.h"
#include "gui/app/Cursors.h"
#include "gui/app/MainAppForm.h"
#include "gui/app/Resources.h"
#include "gui/compose/PictureBox.h"
#include "gui/settings/OptionsForm.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

using quillet::FitKind;
using quillet::LogoNode;
using quillet::NodeKind;
using quillet::TLogoDirObject;
using quillet::TMainAppForm;
using quillet::TOptionsForm;
using quillet::testing::ScriptedPrompts;
using quillet::testing::TempDir;

namespace {

constexpr quillet::Color kRed = quillet::MakeColor(255, 0, 0);
constexpr quillet::Color kGreen = quillet::MakeColor(0, 160, 0);

// Make 0 "Acme": models "Wide" 500 × 20, "Tiny" 10 × 10, "Square" 200 × 200;
// make 1 "Other": model "Tall" 100 × 300.
constexpr const char* kCatalogue =
    "<phoneslist><make name=\"Acme\">"
    "<model name=\"Wide\" screenwidth=\"500\" screenheight=\"20\"/>"
    "<model name=\"Tiny\" screenwidth=\"10\" screenheight=\"10\"/>"
    "<model name=\"Square\" screenwidth=\"200\" screenheight=\"200\"/></make>"
    "<make name=\"Other\"><model name=\"Tall\" screenwidth=\"100\" screenheight=\"300\"/></make>"
    "</phoneslist>";

// A program folder with a catalogue and a logo directory: the folder "Cars"
// holding "wide.bmp" (200 × 100, green), "photo.jpeg" and "PHOTO2.JPG".
struct ProgramFolder {
  TempDir dir;

  explicit ProgramFolder(bool withCatalogue = true) {
    if (withCatalogue) dir.Write("phoneslist.xml", kCatalogue);
    dir.Write("parameters.xml", "<parameters><uploadhost value=\"wap.example\"/></parameters>");
    quillet::LogoTree tree;
    LogoNode& cars = tree.Append(tree.Root(), TLogoDirObject(NodeKind::Folder, "Cars"));
    dir.MakeDir("Logo Directory/Cars");
    AddLogo(tree, cars, "wide.bmp", quillet::LogoFormat::Bmp);
    AddLogo(tree, cars, "photo.jpeg", quillet::LogoFormat::Jpg);
    AddLogo(tree, cars, "PHOTO2.JPG", quillet::LogoFormat::Jpg);
    dir.Write("logodirectory.xml", quillet::LogoDirectoryDocument(tree));
  }

  void AddLogo(quillet::LogoTree& tree, LogoNode& folder, const std::string& name,
               quillet::LogoFormat format) {
    quillet::Bitmap picture(200, 100, kGreen);
    quillet::WritePictureFile(dir.Path() + "Logo Directory/Cars/" + name, picture, format, 90, 8);
    tree.Append(folder, TLogoDirObject(NodeKind::Logo, name));
  }

  bool Has(const char* name) const { return dir.Exists(name); }
};

// A started main window over a program folder, first activation done.
struct Window {
  ProgramFolder folder;
  ScriptedPrompts prompts;
  std::unique_ptr<TMainAppForm> form;
  std::unique_ptr<TOptionsForm> options;

  Window() {
    form = std::make_unique<TMainAppForm>(folder.dir.Path(), prompts);
    options = std::make_unique<TOptionsForm>(folder.dir.Path(), prompts, form.get(),
                                             quillet::SystemProxyReader{});
    form->AttachOptionsForm(options.get());
    form->FormActivate();
  }
  ~Window() {
    // The options window is the main window's child; let it go first.
    options.reset();
    form.reset();
  }

  LogoNode& Cars() { return *form->Tree().Root().ChildAt(0); }
  LogoNode& Logo(int row) { return *Cars().ChildAt(row); }
  void Select(LogoNode& node) { form->SelectNode(&node); }
  void ShowOnScreen() {
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
  }
  bool Enabled(const char* name) {
    if (auto* button = form->findChild<QToolButton*>(name)) return button->isEnabled();
    if (auto* action = form->findChild<QAction*>(name)) return action->isEnabled();
    if (auto* menu = form->findChild<QMenu*>(name)) return menu->menuAction()->isEnabled();
    if (auto* widget = form->findChild<QWidget*>(name)) return widget->isEnabled();
    QTest::qFail(qPrintable(QStringLiteral("no control ") + name), __FILE__, __LINE__);
    return false;
  }
  void ChooseMake(int index) { Choose("PhoneMake", index); }
  void ChooseModel(int index) { Choose("PhoneModel", index); }
  void Choose(const char* comboName, int index) {
    auto* combo = form->findChild<QComboBox*>(comboName);
    QVERIFY(combo != nullptr);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
  }
};

quillet::Rect Frame(const TLogoDirObject& logo) {
  return quillet::FrameOf(logo);
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { quillet::InitResources(); }
  void startsWithCaptionRootAndBareStatus();
  void startsWithTheKeyboardInTheTree();
  void commandStateFollowsTheSelectedNode_data();
  void commandStateFollowsTheSelectedNode();
  void ownFormatIsHiddenInAllFourConvertMenus_data();
  void ownFormatIsHiddenInAllFourConvertMenus();
  void popupUploadItemFollowsTheNode();
  void rightPressSelectsTheNodeUnderThePointer();
  void choosingAModelSetsClampedSizeAndResetsTheFrame_data();
  void choosingAModelSetsClampedSizeAndResetsTheFrame();
  void choosingAMakeStoresNothing();
  void fitKindChangeDiscardsAMovedFrame();
  void fitImageIntoPaneKeepsTheFrame();
  void folderSelectionEmptiesThePanes();
  void newLogoTemplateFollowsTheShownLogo();
  void draggingWithTheMouseFollowsTheCoreArithmetic();
  void antsTimerMovesTheDashes();
  void statusBarPanelTakesHalfTheWidth();
  void shutdownWritesStateOptionsDirectoryInOrder();
  void exitWritesFilesThatTheNextStartReads();
  void unusableCatalogueEndsWithoutWriting();
  void directoryNeverReadIsNeverWritten();
  void unreadableAppStateIsRetriedAtNextActivation();
  void missingPictureShowsAnEmptyLogo();
  void optionsOkRendersAndSaves();
  void optionsCancelKeepsTheRendering();
};

void MainWindowTest::startsWithCaptionRootAndBareStatus() {
  Window w;
  QCOMPARE(w.form->windowTitle(), QStringLiteral("Quillet"));
  // As created, unless the screen is smaller (the offscreen one is 800 x 600,
  // as a small display or a large scale factor may be): then the window
  // fits the screen, with its menus on it.
  const QRect area = QApplication::primaryScreen()->availableGeometry();
  QCOMPARE(w.form->size(), QSize(803, 610).boundedTo(area.size()));
  QCOMPARE(w.form->minimumSize(), QSize(652, 492).boundedTo(area.size()));
  QVERIFY(area.contains(w.form->geometry().topLeft()));
  QCOMPARE(w.form->Tree().Root().Text(), std::string("Logo Directory"));
  QCOMPARE(w.form->findChild<QComboBox*>("PhoneMake")->count(), 2);
  QCOMPARE(w.form->StatusText(), QStringLiteral("Idle"));
  // Nothing selected yet: the root's facts, and the status captions before
  // any display.
  QVERIFY(w.form->SelectedNode() == nullptr);
  QCOMPARE(w.form->ImageStatusText(0), QStringLiteral("Source Image:"));
  QCOMPARE(w.form->ImageStatusText(3), QStringLiteral("Logo Image:"));
  QVERIFY(!w.Enabled("SaveMenuItem"));
  QVERIFY(!w.Enabled("UploadButton"));
  QVERIFY(!w.Enabled("PhoneMake"));
  QVERIFY(w.form->findChild<QSpinBox*>("LogoWidthUpDown") == w.form->LogoWidth());
  // The links, in the menu and behind the tool button, carry their address
  // as their hint.
  for (QMenu* links : {w.form->LinksMenu, w.form->LinksToolButton->menu()}) {
    const QList<QAction*> items = links->actions();
    QCOMPARE(items.size(), 21);
    QVERIFY(items[0]->text().startsWith("1. "));
    QVERIFY(items[20]->text().startsWith("21. "));
    QVERIFY(items[20]->toolTip().startsWith("http"));
  }
}

void MainWindowTest::startsWithTheKeyboardInTheTree() {
  Window w;
  w.ShowOnScreen();
  QCOMPARE(w.form->focusWidget(), static_cast<QWidget*>(w.form->LogoTreeView));
}

void MainWindowTest::commandStateFollowsTheSelectedNode_data() {
  QTest::addColumn<int>("node");  // -1 root, 0 folder, 1 logo
  QTest::addColumn<bool>("logo");
  QTest::addColumn<bool>("notRoot");
  QTest::newRow("root") << -1 << false << false;
  QTest::newRow("folder") << 0 << false << true;
  QTest::newRow("logo") << 1 << true << true;
}

void MainWindowTest::commandStateFollowsTheSelectedNode() {
  QFETCH(int, node);
  QFETCH(bool, logo);
  QFETCH(bool, notRoot);
  Window w;
  if (node == -1) w.Select(w.form->Tree().Root());
  if (node == 0) w.Select(w.Cars());
  if (node == 1) w.Select(w.Logo(0));
  for (const char* name :
       {"SaveMenuItem",      "SaveToolButton",    "UploadMenuItem",      "UploadToolButton",
        "UploadButton",      "MMConverttoformat", "ConvertToolButton",   "TVConvertToFormat",
        "SIConvertToFormat", "MMMirrorImage",     "MirrorToolButton",    "TVMirrorImage",
        "SIMirrorImage",     "MMRotateImage",     "RotateToolButton",    "TVRotateImage",
        "SIRotateImage",     "Fitimageintopane",  "FitToPaneToolButton", "PhoneMake",
        "PhoneModel",        "LogoWidthUpDown",   "LogoHeightUpDown",    "FitInto",
        "KeepProportions"}) {
    QVERIFY2(w.Enabled(name) == logo, name);
  }
  for (const char* name :
       {"RenameMenuItem", "RenameToolButton", "DeleteMenuItem", "DeleteToolButton"}) {
    QVERIFY2(w.Enabled(name) == notRoot, name);
  }
  for (const char* name : {"GrabFromScreenMenuItem", "GrabFromScreenToolButton",
                           "SendToFriendMenuItem", "SendToFriendToolButton"}) {
    QVERIFY2(w.Enabled(name), name);
  }
  // No scanner Source Manager on this machine.
  QVERIFY(!w.Enabled("ImportFromTWAINMenuItem"));
  QVERIFY(!w.Enabled("ImportFromTWAINToolButton"));
  QCOMPARE(w.form->findChild<QPushButton*>("UploadButton")->icon().isNull(), !logo);
}

void MainWindowTest::ownFormatIsHiddenInAllFourConvertMenus_data() {
  QTest::addColumn<int>("row");
  QTest::addColumn<int>("hidden");
  QTest::newRow("wide.bmp") << 0 << 0;
  QTest::newRow("photo.jpeg") << 1 << 1;
  QTest::newRow("PHOTO2.JPG") << 2 << 1;
}

void MainWindowTest::ownFormatIsHiddenInAllFourConvertMenus() {
  QFETCH(int, row);
  QFETCH(int, hidden);
  Window w;
  w.Select(w.Logo(row));
  for (const char* prefix : {"", "DD", "TV", "SI"}) {
    int index = 0;
    for (const char* format : {"BMP", "JPG", "GIF", "PNG"}) {
      const QString name = QLatin1String(prefix) + "ConvertTo" + format;
      auto* item = w.form->findChild<QAction*>(name);
      QVERIFY2(item != nullptr, qPrintable(name));
      QVERIFY2(item->isVisible() == (index != hidden), qPrintable(name));
      ++index;
    }
  }
  // A folder leaves the items as they were.
  w.Select(w.Cars());
  QVERIFY(!w.form->findChild<QAction*>("TVConvertToBMP")->isVisible() == (hidden == 0));
}

void MainWindowTest::popupUploadItemFollowsTheNode() {
  Window w;
  w.Select(w.Logo(0));
  w.form->LogoTreePopupMenuPopup();
  auto* item = w.form->findChild<QAction*>("UploadPopupMenuItem");
  QCOMPARE(item->text(), QStringLiteral("Upload"));
  QVERIFY(item->isEnabled());
  w.Logo(0).Data().uploadurl = "http://wap.example/?id=12";
  w.form->LogoTreePopupMenuPopup();
  w.form->TargetImagePopupMenuPopup();
  QCOMPARE(item->text(), QStringLiteral("Upload again"));
  QCOMPARE(w.form->findChild<QAction*>("UploadTrgImgMenuItem")->text(),
           QStringLiteral("Upload again"));
  w.Select(w.Cars());
  w.form->LogoTreePopupMenuPopup();
  QVERIFY(!item->isEnabled());
  QVERIFY(!w.form->findChild<QAction*>("SavePopupMenuItem")->isEnabled());
  QVERIFY(w.form->findChild<QAction*>("DeletePopupMenuItem")->isEnabled());
}

void MainWindowTest::rightPressSelectsTheNodeUnderThePointer() {
  Window w;
  w.ShowOnScreen();
  w.form->LogoTreeView->expandAll();
  const QModelIndex logo = w.form->LogoTreeView->model()->index(
      1, 0, w.form->LogoTreeView->model()->index(0, 0, w.form->LogoTreeView->model()->index(0, 0)));
  const QRect place = w.form->LogoTreeView->visualRect(logo);
  QVERIFY(place.isValid());
  // A left press selects as usual; a right press selects before the pop-up.
  w.form->LogoTreeViewMouseDown(Qt::RightButton, place.center());
  QVERIFY(w.form->SelectedNode() == &w.Logo(1));
  w.form->LogoTreeViewMouseDown(Qt::RightButton, QPoint(place.center().x(), 5000));
  QVERIFY(w.form->SelectedNode() == &w.Logo(1));
}

void MainWindowTest::choosingAModelSetsClampedSizeAndResetsTheFrame_data() {
  QTest::addColumn<int>("model");
  QTest::addColumn<int>("width");
  QTest::addColumn<int>("height");
  QTest::newRow("500 x 20") << 0 << 500 << 20;
  QTest::newRow("10 x 10") << 1 << 16 << 16;
}

void MainWindowTest::choosingAModelSetsClampedSizeAndResetsTheFrame() {
  QFETCH(int, model);
  QFETCH(int, width);
  QFETCH(int, height);
  Window w;
  w.Select(w.Logo(0));
  TLogoDirObject& logo = w.Logo(0).Data();
  logo.frameleft = 7;  // a frame the user moved
  w.ChooseMake(0);
  w.ChooseModel(model);
  QCOMPARE(logo.phonemakeid, 0);
  QCOMPARE(logo.phonemodelid, model);
  QCOMPARE(logo.logowidth, width);
  QCOMPARE(logo.logoheight, height);
  QCOMPARE(w.form->LogoWidth()->value(), width);
  QCOMPARE(w.form->LogoHeight()->value(), height);
  // The moved frame gave way to the initial frame of the new size.
  TLogoDirObject expected = logo;
  quillet::InitialFrame(expected, *w.form->CurrentSourceImage());
  QCOMPARE(Frame(logo), Frame(expected));
  QVERIFY(logo.frameleft != 7);
  QCOMPARE(w.form->ImageStatusText(2), QStringLiteral("Logo Screen: %1x%2").arg(width).arg(height));
  QCOMPARE(w.form->NewLogoTemplate.logowidth, width);
  QCOMPARE(w.form->NewLogoTemplate.phonemodelid, model);
}

void MainWindowTest::choosingAMakeStoresNothing() {
  Window w;
  w.Select(w.Logo(0));
  w.ChooseMake(0);
  w.ChooseModel(2);
  TLogoDirObject before = w.Logo(0).Data();
  w.ChooseMake(1);
  auto* models = w.form->findChild<QComboBox*>("PhoneModel");
  QCOMPARE(models->count(), 1);
  QCOMPARE(models->currentIndex(), -1);
  QVERIFY(w.Logo(0).Data() == before);
  QCOMPARE(w.Logo(0).Data().phonemakeid, 0);
  QCOMPARE(w.Logo(0).Data().phonemodelid, 2);
}

void MainWindowTest::fitKindChangeDiscardsAMovedFrame() {
  Window w;
  w.Select(w.Logo(0));
  TLogoDirObject& logo = w.Logo(0).Data();
  // 200 × 100 in a square 200 × 200 space; the user made the frame small.
  quillet::StoreFrame(logo, quillet::Rect{10, 60, 60, 110});
  w.form->findChild<QButtonGroup*>()->button(static_cast<int>(FitKind::Smaller))->click();
  QCOMPARE(logo.fitkind, FitKind::Smaller);
  QCOMPARE(Frame(logo), (quillet::Rect{50, 50, 150, 150}));
  w.form->findChild<QCheckBox*>("KeepProportions")->click();
  QVERIFY(!logo.keepproportions);
}

void MainWindowTest::fitImageIntoPaneKeepsTheFrame() {
  Window w;
  w.ShowOnScreen();
  w.Select(w.Logo(0));
  quillet::StoreFrame(w.Logo(0).Data(), quillet::Rect{20, 50, 120, 150});
  const quillet::Rect frame = Frame(w.Logo(0).Data());
  w.form->FitimageintopaneClick();
  QVERIFY(w.form->FitImageIntoPane());
  QVERIFY(w.form->findChild<QToolButton*>("FitToPaneToolButton")->isChecked());
  QVERIFY(w.form->findChild<QAction*>("Fitimageintopane")->isChecked());
  QCOMPARE(Frame(w.Logo(0).Data()), frame);
  w.form->findChild<QAction*>("Fitimageintopane")->trigger();
  QVERIFY(!w.form->FitImageIntoPane());
  QVERIFY(!w.form->findChild<QAction*>("Fitimageintopane")->isChecked());
  QCOMPARE(Frame(w.Logo(0).Data()), frame);
}

void MainWindowTest::folderSelectionEmptiesThePanes() {
  Window w;
  w.Select(w.Logo(0));
  QCOMPARE(w.form->ImageStatusText(0), QStringLiteral("Source Image: 200x100"));
  QCOMPARE(w.form->ImageStatusText(1), QStringLiteral("Source Selection: (0,-50):(200x200)"));
  QCOMPARE(w.form->SourceImage->size(), QSize(200, 200));
  QCOMPARE(w.form->TargetImage->size(), QSize(128, 128));
  w.Select(w.Cars());
  QVERIFY(w.form->CurrentSourceImage() == nullptr);
  QVERIFY(w.form->CurrentLogoObject() == &w.Cars().Data());
  QCOMPARE(w.form->SourceImage->size(), QSize(10, 10));
  QCOMPARE(w.form->TargetImage->size(), QSize(10, 10));
  QVERIFY(!w.form->SourceImage->HasPicture());
  const char* captions[] = {
      "Source Image: ", "Source Selection: ", "Logo Screen: ", "Logo Image: "};
  for (int i = 0; i < 4; ++i)
    QCOMPARE(w.form->ImageStatusText(i), QLatin1String(captions[i]));
}

void MainWindowTest::newLogoTemplateFollowsTheShownLogo() {
  Window w;
  w.Logo(1).Data().logowidth = 320;
  w.Logo(1).Data().logoheight = 240;
  w.Select(w.Logo(1));
  QCOMPARE(w.form->NewLogoTemplate.logowidth, 320);
  QCOMPARE(w.form->NewLogoTemplate.logoheight, 240);
  QVERIFY(!w.form->NewLogoTemplate.HasFrame());
  // A folder's settings are never taken.
  w.Select(w.Cars());
  QCOMPARE(w.form->NewLogoTemplate.logowidth, 320);
}

namespace {

QImage CursorImage(const QCursor& cursor) {
  return cursor.pixmap().toImage();
}

}  // namespace

void MainWindowTest::draggingWithTheMouseFollowsTheCoreArithmetic() {
  Window w;
  w.ShowOnScreen();
  w.Select(w.Logo(0));
  TLogoDirObject& logo = w.Logo(0).Data();
  const quillet::TSourceImage& image = *w.form->CurrentSourceImage();
  const quillet::DragBounds bounds{quillet::FitRect(logo, image), logo.keepproportions,
                                   image.SpaceSize(), image.ViewSize()};
  QCOMPARE(Frame(logo), (quillet::Rect{0, 0, 200, 200}));

  // The right edge, dragged leftwards: keep proportions moves the bottom too.
  const quillet::Rect start = Frame(logo);
  QTest::mousePress(w.form->SourceImage, Qt::LeftButton, {}, QPoint(199, 100));
  QTest::mouseMove(w.form->SourceImage, QPoint(150, 100));
  const quillet::Rect expected =
      quillet::DragStep(quillet::FrameHit::Right, start, {199, 100}, {150, 100}, bounds);
  QCOMPARE(Frame(logo), expected);
  QCOMPARE(Frame(logo), (quillet::Rect{0, 0, 151, 151}));
  QTest::mouseRelease(w.form->SourceImage, Qt::LeftButton, {}, QPoint(150, 100));
  QCOMPARE(w.form->ImageStatusText(1), QStringLiteral("Source Selection: (0,-50):(151x151)"));

  // Then moved from inside; the fit rectangle stops it at the space's border.
  const quillet::Rect moved = Frame(logo);
  QTest::mousePress(w.form->SourceImage, Qt::LeftButton, {}, QPoint(60, 60));
  QTest::mouseMove(w.form->SourceImage, QPoint(150, 70));
  QCOMPARE(Frame(logo),
           quillet::DragStep(quillet::FrameHit::Inside, moved, {60, 60}, {150, 70}, bounds));
  QCOMPARE(Frame(logo).right, 200);
  // The hand closes on the frame it moves and opens again at the release.
  QCOMPARE(CursorImage(w.form->SourceImage->cursor()), CursorImage(quillet::HandGrabCursor()));
  QTest::mouseRelease(w.form->SourceImage, Qt::LeftButton, {}, QPoint(150, 70));
  QCOMPARE(CursorImage(w.form->SourceImage->cursor()), CursorImage(quillet::HandFlatCursor()));

  // A press outside the frame's band grabs nothing.
  const quillet::Rect settled = Frame(logo);
  QTest::mousePress(w.form->SourceImage, Qt::LeftButton, {}, QPoint(5, 195));
  QTest::mouseMove(w.form->SourceImage, QPoint(100, 100));
  QTest::mouseRelease(w.form->SourceImage, Qt::LeftButton, {}, QPoint(100, 100));
  QCOMPARE(Frame(logo), settled);
  // The drawn frame follows the node: its top-left pixel is an ant.
  const quillet::Rect view = image.FrameInView();
  const quillet::Color corner = w.form->SourceImage->PixelAt(view.left, view.top);
  QVERIFY(corner == quillet::kBlack || corner == quillet::kWhite);
}

void MainWindowTest::antsTimerMovesTheDashes() {
  Window w;
  w.Select(w.Logo(0));
  const quillet::TSourceImage& image = *w.form->CurrentSourceImage();
  QCOMPARE(image.AntsPhase, 1);
  for (int tick = 0; tick < 4; ++tick)
    w.form->SelFrameTimerTimer();
  QCOMPARE(image.AntsPhase, 1);
  QCOMPARE(image.AntsColor, quillet::kWhite);
  QVERIFY(w.form->findChild<QTimer*>("SelFrameTimer")->isActive());
  QCOMPARE(w.form->findChild<QTimer*>("SelFrameTimer")->interval(), 40);
}

void MainWindowTest::statusBarPanelTakesHalfTheWidth() {
  Window w;
  w.ShowOnScreen();
  auto* bar = w.form->findChild<QStatusBar*>("StatusBar");
  w.form->resize(900, 610);
  QTest::qWait(0);
  QCOMPARE(w.form->findChild<QLabel*>("StatusPanel")->width(), bar->contentsRect().width() / 2);
}

void MainWindowTest::shutdownWritesStateOptionsDirectoryInOrder() {
  Window w;
  // Each file's place is taken by a folder, so every write fails and tells
  // the user: the messages give the order.
  for (const char* name : {"appstate.xml", "options.xml"})
    w.folder.dir.MakeDir(name);
  std::filesystem::remove(w.folder.dir.Path() + "logodirectory.xml");
  w.folder.dir.MakeDir("logodirectory.xml");
  w.prompts.Clear();
  w.form->Exit1Click();
  const std::vector<std::string> expected{"Error: Unable to save current application state",
                                          "Error: Error saving application options",
                                          "Error: Unable to save mobile directory"};
  QCOMPARE(w.prompts.Lines(), expected);
  // Closing after Exit runs nothing a second time.
  w.prompts.Clear();
  w.form->close();
  QVERIFY(w.prompts.Lines().empty());
}

void MainWindowTest::exitWritesFilesThatTheNextStartReads() {
  ProgramFolder folder;
  std::filesystem::remove(folder.dir.Path() + "logodirectory.xml");
  {
    ScriptedPrompts prompts;
    TMainAppForm form(folder.dir.Path(), prompts);
    form.FormActivate();
    QVERIFY(!folder.Has("appstate.xml"));
    form.close();
    QVERIFY(prompts.Lines().empty());
  }
  QVERIFY(folder.Has("appstate.xml"));
  QVERIFY(folder.Has("logodirectory.xml"));

  Window w;
  w.Select(w.Logo(2));
  w.Logo(2).Data().logowidth = 64;
  w.form->close();
  QVERIFY(w.folder.Has("options.xml"));
  ScriptedPrompts prompts;
  TMainAppForm again(w.folder.dir.Path(), prompts);
  again.FormActivate();
  QVERIFY(again.SelectedNode() != nullptr);
  QCOMPARE(again.SelectedNode()->Text(), std::string("PHOTO2.JPG"));
  QCOMPARE(again.SelectedNode()->Data().logowidth, 64);
  QVERIFY(again.LogoTreeView->isExpanded(again.LogoTreeView->model()->index(0, 0)));
}

void MainWindowTest::unusableCatalogueEndsWithoutWriting() {
  ProgramFolder folder(false);
  ScriptedPrompts prompts;
  {
    TMainAppForm form(folder.dir.Path(), prompts);
    QVERIFY(form.EndRequested());
    form.FormActivate();
    form.close();
  }
  QCOMPARE(prompts.Lines(),
           std::vector<std::string>{
               "Error: Unexpected error occurred during application initialization."});
  QVERIFY(!folder.Has("appstate.xml"));
  QVERIFY(!folder.Has("options.xml"));
  // The directory file is still the one the fixture wrote, byte for byte.
  quillet::LogoTree tree;
  quillet::SilentPrompts silent;
  quillet::LoadLogoDirectory(tree, folder.dir.Path(), silent);
  QCOMPARE(tree.Root().ChildAt(0)->ChildCount(), 3);
}

void MainWindowTest::directoryNeverReadIsNeverWritten() {
  ProgramFolder folder;
  folder.dir.Write("parameters.xml", "<parameters><uploadhost value=\"h\"/><uploadscript/>");
  const std::string before = folder.dir.Read("logodirectory.xml");
  ScriptedPrompts prompts;
  {
    TMainAppForm form(folder.dir.Path(), prompts);
    QVERIFY(!form.EndRequested());
    QVERIFY(!form.LogoDirectoryRead());
    QCOMPARE(form.Tree().Root().ChildCount(), 0);
    QCOMPARE(prompts.Messages().size(), size_t{1});
    QCOMPARE(prompts.Messages()[0].caption, std::string("Quillet"));
    form.FormActivate();
    form.close();
  }
  QVERIFY(folder.Has("appstate.xml"));
  QCOMPARE(folder.dir.Read("logodirectory.xml"), before);
}

void MainWindowTest::unreadableAppStateIsRetriedAtNextActivation() {
  ProgramFolder folder;
  folder.dir.Write("appstate.xml", "<appstate><activenodepath/></appstate>");
  ScriptedPrompts prompts;
  TMainAppForm form(folder.dir.Path(), prompts);
  form.FormActivate();
  QCOMPARE(prompts.Messages().size(), size_t{1});
  QCOMPARE(prompts.Messages()[0].caption, std::string("Quillet"));
  folder.dir.Write("appstate.xml",
                   "<appstate><activenodepath value=\"Cars/photo.jpeg\"/></appstate>");
  form.FormActivate();
  QVERIFY(form.SelectedNode() != nullptr);
  QCOMPARE(form.SelectedNode()->Text(), std::string("photo.jpeg"));
  // Later activations do not read the file again.
  form.SelectNode(&form.Tree().Root());
  form.FormActivate();
  QVERIFY(form.SelectedNode() == &form.Tree().Root());
  QCOMPARE(prompts.Messages().size(), size_t{1});
}

void MainWindowTest::missingPictureShowsAnEmptyLogo() {
  Window w;
  std::filesystem::remove(w.folder.dir.Path() + "Logo Directory/Cars/photo.jpeg");
  w.prompts.Clear();
  w.Select(w.Logo(1));
  QCOMPARE(w.prompts.Messages().size(), size_t{1});
  QCOMPARE(w.prompts.Messages()[0].caption, std::string("Error"));
  QVERIFY(w.form->CurrentSourceImage() == nullptr);
  QCOMPARE(w.form->ImageStatusText(0), QStringLiteral("Source Image: "));
  // Mouse and timers leave an empty logo alone.
  w.form->SourceImageMouseDown(5, 5);
  w.form->SourceImageMouseMove(8, 8);
  w.form->SourceImageMouseUp(8, 8);
  w.form->SelFrameTimerTimer();
  QVERIFY(!w.Logo(1).Data().HasFrame());
}

void MainWindowTest::optionsOkRendersAndSaves() {
  Window w;
  w.Select(w.Logo(0));  // a wide picture: bands above and below in the logo
  QCOMPARE(w.form->TargetImage->Picture().Pixel(64, 10), quillet::kWhite);
  QTimer::singleShot(0, w.options.get(), [&w] {
    w.options->Edit().fillemptyarea = true;
    w.options->Edit().emptyareacolor = 255;
    w.options->ApplyToControls();
    w.options->OKButton->click();
  });
  w.form->Options1Click();
  QCOMPARE(w.form->TargetImage->Picture().Pixel(64, 10), kRed);
  QVERIFY(w.folder.dir.Read("options.xml").find("<emptyareacolor value=\"255\"") !=
          std::string::npos);
}

void MainWindowTest::optionsCancelKeepsTheRendering() {
  Window w;
  w.Select(w.Logo(0));
  QTimer::singleShot(0, w.options.get(), [&w] {
    w.options->Edit().fillemptyarea = true;
    w.options->Edit().emptyareacolor = 255;
    w.options->ApplyToControls();
    w.options->CancelButton->click();
  });
  w.form->Options1Click();
  QCOMPARE(w.form->TargetImage->Picture().Pixel(64, 10), quillet::kWhite);
  QVERIFY(!w.options->Current().fillemptyarea);
  QVERIFY(!w.folder.Has("options.xml"));
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"

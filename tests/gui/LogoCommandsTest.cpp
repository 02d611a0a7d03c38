#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <filesystem>
#include <memory>

#include "core/codecs/Codecs.h"
#include "core/compose/SourceImage.h"
#include "core/imageops/LogoCommands.h"
#include "core/logodir/LogoDirectoryFile.h"
#include "core/logodir/LogoEditing.h"
#include "gui/app/MainAppForm.h"
#include "gui/app/Resources.h"
#include "gui/compose/PictureBox.h"
#include "gui/imageops/FileFormatChoiceForm.h"
#include "gui/logodir/LogoTreeModel.h"
#include "gui/settings/OptionsForm.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

using quillet::Answer;
using quillet::Bitmap;
using quillet::LogoFormat;
using quillet::LogoNode;
using quillet::NodeKind;
using quillet::RetainSource;
using quillet::TLogoDirObject;
using quillet::TMainAppForm;
using quillet::testing::ScriptedPrompts;
using quillet::testing::TempDir;

namespace {

constexpr quillet::Color kRed = quillet::MakeColor(255, 0, 0);
constexpr quillet::Color kBlue = quillet::MakeColor(0, 0, 255);
constexpr quillet::Color kGreen = quillet::MakeColor(0, 160, 0);

// 30 × 20, green, with a red top-left and a blue top-right pixel.
Bitmap MarkedPicture() {
  Bitmap picture(30, 20, kGreen);
  picture.SetPixel(0, 0, kRed);
  picture.SetPixel(29, 0, kBlue);
  return picture;
}

struct Logo {
  const char* name;
  LogoFormat format;
};

// A program folder whose logo directory holds the folder "Pics" with the
// given logos, all of them MarkedPicture().
struct ProgramFolder {
  TempDir dir;

  explicit ProgramFolder(std::initializer_list<Logo> logos) {
    dir.Write("phoneslist.xml",
              "<phoneslist><make name=\"Acme\"><model name=\"A\" screenwidth=\"64\" "
              "screenheight=\"48\"/></make></phoneslist>");
    dir.Write("parameters.xml", "<parameters/>");
    dir.MakeDir("Logo Directory/Pics");
    quillet::LogoTree tree;
    LogoNode& pics = tree.Append(tree.Root(), TLogoDirObject(NodeKind::Folder, "Pics"));
    for (const Logo& logo : logos) {
      quillet::WritePictureFile(dir.Path() + "Logo Directory/Pics/" + logo.name, MarkedPicture(),
                                logo.format, 100, 8);
      tree.Append(pics, TLogoDirObject(NodeKind::Logo, logo.name));
    }
    dir.Write("logodirectory.xml", quillet::LogoDirectoryDocument(tree));
  }
};

struct Window {
  ProgramFolder folder;
  TempDir outside;  // files that come from elsewhere
  ScriptedPrompts prompts;
  std::unique_ptr<TMainAppForm> form;
  std::unique_ptr<quillet::TOptionsForm> options;
  std::unique_ptr<quillet::TFileFormatChoiceForm> formatChoice;
  QString openAnswer;
  quillet::SaveChoice saveAnswer;
  QStringList saveOffers;  // "name|folder" of every save dialog

  explicit Window(std::initializer_list<Logo> logos = {{"sunset.jpg", LogoFormat::Jpg}})
      : folder(logos) {
    form = std::make_unique<TMainAppForm>(folder.dir.Path(), prompts);
    options = std::make_unique<quillet::TOptionsForm>(folder.dir.Path(), prompts, form.get(),
                                                      quillet::SystemProxyReader{});
    form->AttachOptionsForm(options.get());
    formatChoice = std::make_unique<quillet::TFileFormatChoiceForm>(form.get());
    form->AttachFileFormatChoiceForm(formatChoice.get());
    form->OpenImageDialog = [this] { return openAnswer; };
    form->SaveImageDialog = [this](const QString& name, const QString& place) {
      saveOffers << name + "|" + place;
      return saveAnswer;
    };
    form->FormActivate();
  }
  ~Window() {
    formatChoice.reset();
    options.reset();
    form.reset();
  }

  LogoNode& Root() { return form->Tree().Root(); }
  LogoNode& Pics() { return *Root().ChildAt(0); }
  LogoNode& Child(int row) { return *Pics().ChildAt(row); }
  quillet::Options& Edit() { return options->Edit(); }
  void Select(LogoNode& node) { form->SelectNode(&node); }
  void Trigger(const char* name) {
    auto* action = form->findChild<QAction*>(QLatin1String(name));
    QVERIFY2(action != nullptr, name);
    QVERIFY2(action->isEnabled(), name);
    action->trigger();
  }
  std::string InPics(const std::string& name) const {
    return folder.dir.Path() + "Logo Directory/Pics/" + name;
  }
  bool HasInPics(const std::string& name) const { return std::filesystem::exists(InPics(name)); }
  std::vector<std::string> Names(const LogoNode& parent) const {
    std::vector<std::string> names;
    for (int i = 0; i < parent.ChildCount(); ++i)
      names.push_back(parent.ChildAt(i)->Text());
    return names;
  }
  QString ShownText(const LogoNode& node) const {
    auto* model = qobject_cast<quillet::LogoTreeModel*>(form->LogoTreeView->model());
    return model->data(model->IndexOf(&node)).toString();
  }
  void ShowActive() {
    form->show();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
  }
};

std::vector<std::string> Names(std::initializer_list<const char*> names) {
  return std::vector<std::string>(names.begin(), names.end());
}

}  // namespace

class LogoCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { quillet::InitResources(); }
  void openAddsNumberedCopiesAndShowsThem();
  void openIgnoresCaseAndExtensionInTheName();
  void openRefusesAFileThatIsNoPicture();
  void newFolderComesBeforeTheLogosWithNumberedDefaults();
  void renameLogoKeepsCaseChangesAndRenamesOnDisk();
  void traversalNamesAreRefused_data();
  void traversalNamesAreRefused();
  void deleteOfTheRootDoesNothing();
  void folderWithAStrayFileKeepsItsFolder();
  void deletingTheDisplayedLogoLeavesNoDisplay();
  void saveWritesTheChosenFormatAndRemembersTheFolder();
  void convertKeepsOrReplacesTheSource_data();
  void convertKeepsOrReplacesTheSource();
  void convertAsksForTheTargetName();
  void mirrorRewritesAPngInPlace();
  void rotateMovesThePixels_data();
  void rotateMovesThePixels();
  void jpegExtensionIsWrittenAsJpg();
  void dropOntoAFolderAddsTheFilesThere();
  void pasteOfAPictureAddsAPastedImage();
  void pasteWithAskUsesTheChoiceDialog();
  void shortcutsReachTheCommands();
};

void LogoCommandsTest::openAddsNumberedCopiesAndShowsThem() {
  Window w;
  quillet::WritePictureFile(w.outside.Path() + "photo.jpg", MarkedPicture(), LogoFormat::Jpg, 90,
                            8);
  w.openAnswer = QString::fromStdString(w.outside.Path() + "photo.jpg");
  w.Select(w.Child(0));  // a logo: the new ones go into its folder
  for (int i = 0; i < 3; ++i)
    w.Trigger("Open1");
  QCOMPARE(w.Names(w.Pics()), Names({"sunset.jpg", "photo.jpg", "photo2.jpg", "photo3.jpg"}));
  for (const char* name : {"photo.jpg", "photo2.jpg", "photo3.jpg"})
    QVERIFY(w.HasInPics(name));
  QVERIFY(w.form->SelectedNode() == &w.Child(3));
  QVERIFY(w.form->CurrentSourceImage() != nullptr);
  QVERIFY(w.form->CurrentLogoObject() == &w.Child(3).Data());
  QCOMPARE(w.form->CurrentSourceImage()->PictureSize().width, 30);

  // Cancel in the dialog adds nothing.
  w.openAnswer.clear();
  w.Trigger("OpenPopupMenuItem");
  QCOMPARE(w.Pics().ChildCount(), 4);
}

void LogoCommandsTest::openIgnoresCaseAndExtensionInTheName() {
  Window w({{"photo.png", LogoFormat::Png}});
  quillet::WritePictureFile(w.outside.Path() + "Photo.JPG", MarkedPicture(), LogoFormat::Jpg, 90,
                            8);
  w.openAnswer = QString::fromStdString(w.outside.Path() + "Photo.JPG");
  w.Select(w.Pics());
  w.Trigger("Open1");
  QCOMPARE(w.Names(w.Pics()), Names({"photo.png", "Photo2.JPG"}));
  QVERIFY(w.HasInPics("Photo2.JPG"));
}

void LogoCommandsTest::openRefusesAFileThatIsNoPicture() {
  Window w;
  w.outside.Write("notes.jpg", "not a picture");
  w.openAnswer = QString::fromStdString(w.outside.Path() + "notes.jpg");
  w.Select(w.Pics());
  w.Trigger("Open1");
  QCOMPARE(w.Pics().ChildCount(), 1);
  QCOMPARE(w.prompts.Lines().size(), size_t{1});
  QCOMPARE(w.prompts.Messages()[0].caption, std::string("Error"));
}

void LogoCommandsTest::newFolderComesBeforeTheLogosWithNumberedDefaults() {
  Window w;
  // With a logo selected the folder goes into the logo's folder, before it.
  w.Select(w.Child(0));
  w.prompts.QueueInput("New Folder");  // the offered name, accepted
  w.Trigger("Newfolder1");
  QCOMPARE(w.Names(w.Pics()), Names({"New Folder", "sunset.jpg"}));
  QVERIFY(w.form->SelectedNode() == &w.Child(0));
  QVERIFY(w.HasInPics("New Folder"));
  QCOMPARE(w.ShownText(w.Child(0)), QStringLiteral("New Folder"));

  // Between the last folder and the first logo, under the next free name.
  w.Select(w.Pics());
  w.prompts.QueueInput("New Folder 2");
  w.Trigger("NewFolderPopupMenuItem");
  QCOMPARE(w.Names(w.Pics()), Names({"New Folder", "New Folder 2", "sunset.jpg"}));
  QCOMPARE(w.prompts.InputPrompts(),
           Names({"New folder name|Enter new folder name:|New Folder",
                  "New folder name|Enter new folder name:|New Folder 2"}));

  // A name taken by a logo, in any case, is refused before anything is made.
  w.Select(w.Pics());
  w.prompts.QueueInput("SUNSET");
  w.Trigger("Newfolder1");
  QCOMPARE(w.Pics().ChildCount(), 3);
  QCOMPARE(w.prompts.Lines().back(), "Error: " + std::string(quillet::kNameTakenText));
  QVERIFY(!w.HasInPics("SUNSET"));
}

void LogoCommandsTest::renameLogoKeepsCaseChangesAndRenamesOnDisk() {
  Window w;
  LogoNode& logo = w.Child(0);
  w.Select(logo);
  w.prompts.QueueInput("SUNSET");
  w.Trigger("RenameMenuItem");
  QCOMPARE(logo.Text(), std::string("sunset.jpg"));
  QVERIFY(w.prompts.Messages().empty());

  w.prompts.QueueInput("evening");
  w.Trigger("RenamePopupMenuItem");
  QCOMPARE(logo.Text(), std::string("evening.jpg"));
  QCOMPARE(w.ShownText(logo), QStringLiteral("evening.jpg"));
  QVERIFY(w.HasInPics("evening.jpg"));
  QVERIFY(!w.HasInPics("sunset.jpg"));
  QCOMPARE(w.prompts.InputPrompts().back(),
           std::string("New Logo name|Enter new logo name:|sunset"));
}

void LogoCommandsTest::traversalNamesAreRefused_data() {
  QTest::addColumn<QString>("name");
  QTest::newRow("parent") << QStringLiteral("../x");
  QTest::newRow("sub-folder") << QStringLiteral("a/b");
}

void LogoCommandsTest::traversalNamesAreRefused() {
  QFETCH(QString, name);
  Window w;
  w.folder.dir.MakeDir("Logo Directory/Pics/a");
  w.Select(w.Child(0));
  w.prompts.QueueInput(name.toStdString());
  w.Trigger("RenameMenuItem");
  w.Select(w.Pics());
  w.prompts.QueueInput(name.toStdString());
  w.Trigger("Newfolder1");
  QCOMPARE(w.prompts.Lines(),
           (std::vector<std::string>{"Error: " + std::string(quillet::kRenameLogoFailedText),
                                     "Error: " + std::string(quillet::kNewFolderFailedText)}));
  QCOMPARE(w.Names(w.Pics()), Names({"sunset.jpg"}));
  QVERIFY(w.HasInPics("sunset.jpg"));
  QVERIFY(!w.HasInPics("x") && !w.HasInPics("a/b.jpg") && !w.HasInPics("a/b"));
  QVERIFY(!w.folder.dir.Exists("Logo Directory/x") && !w.folder.dir.Exists("Logo Directory/x.jpg"));
}

void LogoCommandsTest::deleteOfTheRootDoesNothing() {
  Window w;
  w.Select(w.Root());
  QVERIFY(!w.form->DeleteMenuItem->isEnabled());
  w.form->DeleteMenuItemClick();  // as the Delete key in the tree would
  QVERIFY(w.prompts.Messages().empty());
  QCOMPARE(w.Root().ChildCount(), 1);
}

void LogoCommandsTest::folderWithAStrayFileKeepsItsFolder() {
  Window w({{"a.png", LogoFormat::Png}, {"b.png", LogoFormat::Png}});
  w.folder.dir.Write("Logo Directory/Pics/notes.txt", "mine");
  w.Select(w.Child(1));
  w.Select(w.Pics());
  w.prompts.QueueAnswer(Answer::Yes);
  w.Trigger("DeleteMenuItem");
  QCOMPARE(w.prompts.Lines(), (std::vector<std::string>{
                                  "Confirm: " + std::string(quillet::kConfirmDeleteFullFolderText),
                                  "Error: " + std::string(quillet::kDeleteFolderFailedText)}));
  QCOMPARE(w.Pics().ChildCount(), 0);
  QVERIFY(!w.HasInPics("a.png") && !w.HasInPics("b.png"));
  QVERIFY(w.HasInPics("notes.txt"));
  QVERIFY(w.form->SelectedNode() == &w.Pics());
  QVERIFY(w.form->CurrentSourceImage() == nullptr);
}

void LogoCommandsTest::deletingTheDisplayedLogoLeavesNoDisplay() {
  Window w;
  w.Select(w.Child(0));
  QVERIFY(w.form->CurrentSourceImage() != nullptr);
  w.prompts.QueueAnswer(Answer::Yes);
  w.Trigger("DeletePopupMenuItem");
  QCOMPARE(w.Pics().ChildCount(), 0);
  QVERIFY(!w.HasInPics("sunset.jpg"));
  QVERIFY(w.form->CurrentSourceImage() == nullptr);
  QVERIFY(w.form->CurrentLogoObject() == nullptr ||
          w.form->CurrentLogoObject() == &w.form->SelectedNode()->Data());
  QVERIFY(!w.form->SourceImage->HasPicture());
  QCOMPARE(w.form->ImageStatusText(0), QStringLiteral("Source Image: "));
  w.form->SelFrameTimerTimer();  // the ants have nothing left to walk on
  QVERIFY(!w.form->SaveMenuItem->isEnabled());
}

void LogoCommandsTest::saveWritesTheChosenFormatAndRemembersTheFolder() {
  Window w;
  w.Select(w.Child(0));
  const std::string target = w.outside.Path() + "copy.png";
  w.saveAnswer = {QString::fromStdString(target), std::nullopt};
  w.Trigger("SaveMenuItem");
  QVERIFY(w.prompts.Messages().empty());
  // The name says PNG: a JPEG logo is written as PNG.
  const std::string written = w.outside.Read("copy.png");
  QVERIFY(written.starts_with("\x89PNG"));
  const std::string remembered = w.form->LastSaveFolderPath();
  QVERIFY(!remembered.empty());
  QVERIFY(std::filesystem::equivalent(remembered, w.outside.Path()));
  QCOMPARE(w.saveOffers.front(), QStringLiteral("sunset.jpg|"));

  // Over an existing file, No writes nothing and keeps the folder.
  TempDir elsewhere;
  elsewhere.Write("old.jpg", "old");
  w.saveAnswer = {QString::fromStdString(elsewhere.Path() + "old.jpg"), std::nullopt};
  w.prompts.QueueAnswer(Answer::No);
  w.Trigger("SavePopupMenuItem");
  QCOMPARE(elsewhere.Read("old.jpg"), std::string("old"));
  QCOMPARE(w.form->LastSaveFolderPath(), remembered);
  QCOMPARE(w.saveOffers.back(), "sunset.jpg|" + QString::fromStdString(remembered));
  QCOMPARE(w.prompts.Messages().back().caption, std::string("Confirm"));

  // A name of no picture format takes the chosen filter's format and
  // extension.
  w.prompts.Clear();
  w.saveAnswer = {QString::fromStdString(w.outside.Path() + "plain"), quillet::LogoFormat::Gif};
  w.Trigger("SaveMenuItem");
  QVERIFY(w.prompts.Messages().empty());
  QVERIFY(w.outside.Read("plain.gif").starts_with("GIF8"));
}

void LogoCommandsTest::convertKeepsOrReplacesTheSource_data() {
  QTest::addColumn<int>("retain");
  QTest::addColumn<int>("answer");  // to the keep question, for Ask
  QTest::addColumn<bool>("withGif");
  QTest::addColumn<QStringList>("names");
  QTest::addColumn<int>("selected");
  const auto ask = static_cast<int>(RetainSource::Ask);
  const auto keep = static_cast<int>(RetainSource::Retain);
  const auto replace = static_cast<int>(RetainSource::Delete);
  QTest::newRow("retain") << keep << 0 << false << QStringList{"sunset.jpg", "sunset2.png"} << 1;
  QTest::newRow("retain beside sunset2.gif")
      << keep << 0 << true << QStringList{"sunset.jpg", "sunset3.png", "sunset2.gif"} << 1;
  QTest::newRow("delete") << replace << 0 << false << QStringList{"sunset.png"} << 0;
  QTest::newRow("ask, yes") << ask << static_cast<int>(Answer::Yes) << false
                            << QStringList{"sunset.jpg", "sunset2.png"} << 1;
  QTest::newRow("ask, no") << ask << static_cast<int>(Answer::No) << false
                           << QStringList{"sunset.png"} << 0;
  QTest::newRow("ask, cancel") << ask << static_cast<int>(Answer::Cancel) << false
                               << QStringList{"sunset.jpg"} << 0;
}

void LogoCommandsTest::convertKeepsOrReplacesTheSource() {
  QFETCH(int, retain);
  QFETCH(int, answer);
  QFETCH(bool, withGif);
  QFETCH(QStringList, names);
  QFETCH(int, selected);
  std::unique_ptr<Window> window =
      withGif ? std::make_unique<Window>(std::initializer_list<Logo>{
                    {"sunset.jpg", LogoFormat::Jpg}, {"sunset2.gif", LogoFormat::Gif}})
              : std::make_unique<Window>();
  Window& w = *window;
  w.Edit().convertretainsource = static_cast<RetainSource>(retain);
  w.Edit().convertasktargetname = false;
  if (retain == static_cast<int>(RetainSource::Ask)) w.prompts.QueueAnswer(Answer(answer));
  w.Select(w.Child(0));
  w.Trigger("ConvertToPNG");
  QStringList shown;
  for (const std::string& name : w.Names(w.Pics()))
    shown << QString::fromStdString(name);
  QCOMPARE(shown, names);
  for (const QString& name : names)
    QVERIFY2(w.HasInPics(name.toStdString()), qPrintable(name));
  QCOMPARE(w.HasInPics("sunset.jpg"), names.contains("sunset.jpg"));
  QVERIFY(w.form->SelectedNode() == &w.Child(selected));
  QVERIFY(w.form->CurrentSourceImage() != nullptr);
  QVERIFY(w.form->CurrentLogoObject() == &w.Child(selected).Data());
  // The written file holds the whole source picture.
  if (names.contains("sunset2.png") || names.contains("sunset.png")) {
    const std::string written = names.contains("sunset.png") ? "sunset.png" : "sunset2.png";
    QCOMPARE(quillet::DecodePictureFile(w.InPics(written)).Width(), 30);
    // The PNG item is hidden now for a PNG logo, when one is shown.
    if (w.form->SelectedNode()->Text() == written)
      QVERIFY(!w.form->findChild<QAction*>("ConvertToPNG")->isVisible());
  }
}

void LogoCommandsTest::convertAsksForTheTargetName() {
  Window w({{"sunset.jpg", LogoFormat::Jpg}, {"other.gif", LogoFormat::Gif}});
  w.Edit().convertretainsource = RetainSource::Retain;
  w.Edit().convertasktargetname = true;
  w.Select(w.Child(0));
  w.prompts.QueueInput("OTHER");
  w.prompts.QueueInput("dusk");
  w.Trigger("TVConvertToBMP");
  QCOMPARE(w.Names(w.Pics()), Names({"sunset.jpg", "dusk.bmp", "other.gif"}));
  QCOMPARE(w.prompts.Lines(),
           std::vector<std::string>{"Warning: " + std::string(quillet::kTargetNameTakenText)});
  QCOMPARE(w.prompts.InputPrompts().front(),
           std::string("Target File Name|Please enter target file name: |sunset2"));
}

void LogoCommandsTest::mirrorRewritesAPngInPlace() {
  Window w({{"pic.png", LogoFormat::Png}});
  w.Edit().mirrorretainsource = RetainSource::Delete;
  w.Edit().mirrorasktargetname = false;
  w.Select(w.Child(0));
  w.Child(0).Data().frameleft = 3;  // a frame the user moved
  w.Trigger("MMMirrorHorizontallyMenuItem");
  QCOMPARE(w.Names(w.Pics()), Names({"pic.png"}));
  const Bitmap mirrored = quillet::DecodePictureFile(w.InPics("pic.png"));
  QCOMPARE(mirrored.Pixel(29, 0), kRed);
  QCOMPARE(mirrored.Pixel(0, 0), kBlue);
  // Shown again with the initial frame of the new picture.
  QVERIFY(w.form->CurrentSourceImage() != nullptr);
  QCOMPARE(w.form->CurrentSourceImage()->SourcePicture, mirrored);
  QVERIFY(w.Child(0).Data().frameleft != 3);

  w.Trigger("SIMirrorVerticallyMenuItem");
  QCOMPARE(quillet::DecodePictureFile(w.InPics("pic.png")).Pixel(29, 19), kRed);
}

void LogoCommandsTest::rotateMovesThePixels_data() {
  QTest::addColumn<QString>("item");
  QTest::addColumn<int>("redX");
  QTest::addColumn<int>("redY");
  QTest::newRow("90") << QStringLiteral("MMRotate90MenuItem") << 19 << 0;
  QTest::newRow("270") << QStringLiteral("TVRotate270MenuItem") << 0 << 29;
}

void LogoCommandsTest::rotateMovesThePixels() {
  QFETCH(QString, item);
  QFETCH(int, redX);
  QFETCH(int, redY);
  Window w({{"pic.png", LogoFormat::Png}});
  w.Edit().rotateretainsource = RetainSource::Delete;
  w.Edit().rotateasktargetname = false;
  w.Select(w.Child(0));
  w.Trigger(qPrintable(item));
  const Bitmap turned = quillet::DecodePictureFile(w.InPics("pic.png"));
  QCOMPARE(turned.Width(), 20);
  QCOMPARE(turned.Height(), 30);
  QCOMPARE(turned.Pixel(redX, redY), kRed);
  QCOMPARE(w.form->CurrentSourceImage()->PictureSize().width, 20);
}

void LogoCommandsTest::jpegExtensionIsWrittenAsJpg() {
  Window w({{"x.JPEG", LogoFormat::Jpg}});
  w.Edit().rotateretainsource = RetainSource::Delete;
  w.Edit().rotateasktargetname = false;
  w.Select(w.Child(0));
  w.Trigger("DDRotate180MenuItem");
  QCOMPARE(w.Names(w.Pics()), Names({"x.jpg"}));
  QVERIFY(w.HasInPics("x.jpg"));
  QVERIFY(!w.HasInPics("x.JPEG"));
  QVERIFY(w.form->CurrentLogoObject() == &w.Child(0).Data());
}

void LogoCommandsTest::dropOntoAFolderAddsTheFilesThere() {
  Window w;
  w.prompts.QueueInput("Other");
  w.Select(w.Root());
  w.Trigger("Newfolder1");
  LogoNode& other = *w.Root().ChildAt(1);
  QCOMPARE(other.Text(), std::string("Other"));
  quillet::WritePictureFile(w.outside.Path() + "a.png", MarkedPicture(), LogoFormat::Png, 90, 8);
  quillet::WritePictureFile(w.outside.Path() + "b.gif", MarkedPicture(), LogoFormat::Gif, 90, 8);

  w.form->show();
  QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
  auto* model = qobject_cast<quillet::LogoTreeModel*>(w.form->LogoTreeView->model());
  const QRect place = w.form->LogoTreeView->visualRect(model->IndexOf(&other));
  QVERIFY(place.isValid());
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(w.outside.Path() + "a.png")),
                QUrl(QStringLiteral("http://example.com/c.png")),
                QUrl::fromLocalFile(QString::fromStdString(w.outside.Path() + "b.gif"))});
  QWidget* viewport = w.form->LogoTreeView->viewport();
  QDragEnterEvent enter(place.center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(place.center()), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &drop);
  QVERIFY(drop.isAccepted());
  QTRY_COMPARE(other.ChildCount(), 2);
  QCOMPARE(w.Names(other), Names({"a.png", "b.gif"}));
  QVERIFY(w.folder.dir.Exists("Logo Directory/Other/a.png"));
  QVERIFY(w.form->SelectedNode() == other.ChildAt(1));

  // Text alone is refused.
  QMimeData text;
  text.setText(QStringLiteral("hello"));
  QDragEnterEvent refused(place.center(), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &refused);
  QVERIFY(!refused.isAccepted());
}

void LogoCommandsTest::pasteOfAPictureAddsAPastedImage() {
  Window w;
  QImage image(40, 30, QImage::Format_RGB32);
  image.fill(Qt::red);
  QGuiApplication::clipboard()->setImage(image);
  QVERIFY(w.form->PasteMenuItem->isEnabled());
  w.Select(w.Pics());
  w.Trigger("PasteMenuItem");
  QCOMPARE(w.Names(w.Pics()), Names({"sunset.jpg", "pastedimage.jpg"}));
  const Bitmap pasted = quillet::DecodePictureFile(w.InPics("pastedimage.jpg"));
  QCOMPARE(pasted.Width(), 40);
  QVERIFY(w.form->SelectedNode() == &w.Child(1));

  // A picture too small for a logo is refused.
  QGuiApplication::clipboard()->setImage(QImage(8, 8, QImage::Format_RGB32));
  w.Trigger("PasteMenuItem");
  QCOMPARE(w.Pics().ChildCount(), 2);
  QCOMPARE(w.prompts.Lines().back(), "Error: " + std::string(quillet::kTooSmallText));

  // Nothing usable on the clipboard: the item is disabled.
  QGuiApplication::clipboard()->setText(QStringLiteral("words"));
  QVERIFY(!w.form->PasteMenuItem->isEnabled());
}

void LogoCommandsTest::pasteWithAskUsesTheChoiceDialog() {
  Window w;
  w.Edit().grabbedfileformat = quillet::AcquiredFormat::Ask;
  QImage image(20, 20, QImage::Format_RGB32);
  image.fill(Qt::blue);
  QGuiApplication::clipboard()->setImage(image);
  w.Select(w.Pics());
  QTimer::singleShot(0, w.formatChoice.get(), [&] { w.formatChoice->reject(); });
  w.Trigger("PasteMenuItem");
  QCOMPARE(w.Pics().ChildCount(), 1);
  QTimer::singleShot(0, w.formatChoice.get(), [&] { w.formatChoice->accept(); });
  w.Trigger("PasteMenuItem");
  QCOMPARE(w.Names(w.Pics()), Names({"sunset.jpg", "pastedimage.png"}));
}

void LogoCommandsTest::shortcutsReachTheCommands() {
  Window w;
  w.ShowActive();
  w.Select(w.Child(0));
  w.form->LogoTreeView->setFocus();
  QTRY_VERIFY(w.form->LogoTreeView->hasFocus());

  w.prompts.QueueInput("dusk");
  QTest::keyClick(w.form->LogoTreeView, Qt::Key_F2);
  QCOMPARE(w.Child(0).Text(), std::string("dusk.jpg"));

  quillet::WritePictureFile(w.outside.Path() + "photo.jpg", MarkedPicture(), LogoFormat::Jpg, 90,
                            8);
  w.openAnswer = QString::fromStdString(w.outside.Path() + "photo.jpg");
  QTest::keyClick(w.form->LogoTreeView, Qt::Key_O, Qt::ControlModifier);
  QCOMPARE(w.Pics().ChildCount(), 2);

  w.saveAnswer = {QString::fromStdString(w.outside.Path() + "saved.jpg"), std::nullopt};
  QTest::keyClick(w.form->LogoTreeView, Qt::Key_S, Qt::ControlModifier);
  QVERIFY(w.outside.Exists("saved.jpg"));

  w.prompts.QueueAnswer(Answer::Yes);
  QTest::keyClick(w.form->LogoTreeView, Qt::Key_Delete);
  QCOMPARE(w.Names(w.Pics()), Names({"dusk.jpg"}));

  w.prompts.QueueInput("New Folder");
  QTest::keyClick(w.form->LogoTreeView, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(w.Names(w.Pics()), Names({"New Folder", "dusk.jpg"}));

  QImage image(20, 20, QImage::Format_RGB32);
  image.fill(Qt::green);
  QGuiApplication::clipboard()->setImage(image);
  w.form->LogoTreeView->setFocus();
  QTest::keyClick(w.form->LogoTreeView, Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(w.Names(*w.Pics().ChildAt(0)), Names({"pastedimage.jpg"}));

  // The Delete key works whatever the shift keys.
  w.prompts.QueueAnswer(Answer::Yes);
  QTest::keyClick(w.form->LogoTreeView, Qt::Key_Delete, Qt::ShiftModifier);
  QCOMPARE(w.Pics().ChildAt(0)->ChildCount(), 0);
}

QTEST_MAIN(LogoCommandsTest)
#include "LogoCommandsTest.moc"

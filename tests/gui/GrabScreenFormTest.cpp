// The screen grab as a user makes it: the overlay over a frozen capture with
// mouse and key events, and the command from the main window through the
// platform's real grab of the screen (the offscreen platform's, or X11's
// under Xvfb), down to the logo file written.
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <memory>

#include "acquire/UserScript.h"
#include "core/acquire/GrabRectangle.h"
#include "core/codecs/Codecs.h"
#include "core/logodir/LogoDirectoryFile.h"
#include "core/logodir/LogoPaths.h"
#include "gui/acquire/GrabScreenForm.h"
#include "gui/acquire/ScreenCapture.h"
#include "gui/app/MainAppForm.h"
#include "gui/imageops/FileFormatChoiceForm.h"
#include "gui/settings/OptionsForm.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

using namespace quillet;
using quillet::testing::ScriptedPrompts;
using quillet::testing::TempDir;
using quillet::testing::UserScript;

namespace {

QScreen& Screen() {
  return *QGuiApplication::primaryScreen();
}

double ScreenScale() {
  return Screen().devicePixelRatio();
}

// Every pixel its own colour, none of them black.
QImage Pattern(QSize pixels, double ratio) {
  QImage image(pixels, QImage::Format_RGB32);
  for (int y = 0; y < pixels.height(); ++y)
    for (int x = 0; x < pixels.width(); ++x)
      image.setPixel(x, y, qRgb((x * 7 + y) & 0xFF, (y * 5 + 1) & 0xFF, (x ^ y) | 0x10));
  image.setDevicePixelRatio(ratio);
  return image;
}

// The screen's picture in its own pixels, at the screen's ratio.
QImage ScreenPattern() {
  const double scale = ScreenScale();
  const QSize logical = Screen().geometry().size();
  return Pattern(QSize(qRound(logical.width() * scale), qRound(logical.height() * scale)), scale);
}

// A borderless window over the whole screen showing a pattern 1:1 on the
// device pixels: what the grab captures.
class PatternWindow : public QWidget {
 public:
  PatternWindow() : QWidget(nullptr, Qt::FramelessWindowHint), picture(ScreenPattern()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(Screen().geometry());
    show();
  }
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), picture);
  }
  QImage picture;
};

bool SamePixels(const Bitmap& bitmap, const QImage& image) {
  if (bitmap.Width() != image.width() || bitmap.Height() != image.height()) return false;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb pixel = image.pixel(x, y);
      if (bitmap.Pixel(x, y) != MakeColor(static_cast<std::uint8_t>(qRed(pixel)),
                                          static_cast<std::uint8_t>(qGreen(pixel)),
                                          static_cast<std::uint8_t>(qBlue(pixel))))
        return false;
    }
  return true;
}

QImage Cut(const QImage& picture, const GrabRect& rect) {
  QImage part =
      picture.copy(QRect(QPoint(rect.Left, rect.Top), QPoint(rect.Right - 1, rect.Bottom - 1)));
  part.setDevicePixelRatio(1);
  return part;
}

TGrabScreenForm* ShownOverlay() {
  for (QWidget* window : QApplication::topLevelWidgets())
    if (auto* form = qobject_cast<TGrabScreenForm*>(window); form != nullptr && form->isVisible())
      return form;
  return nullptr;
}

template <typename Form>
Form* ShownForm() {
  for (QWidget* window : QApplication::topLevelWidgets())
    if (auto* form = qobject_cast<Form*>(window); form != nullptr && form->isVisible()) return form;
  return nullptr;
}

// The logical point over capture pixel `pixel` on an overlay of `scale`.
QPoint LogicalOf(QPoint pixel, double scale) {
  return QPoint(static_cast<int>(pixel.x() / scale), static_cast<int>(pixel.y() / scale));
}

// A drag as a user makes it, in capture pixels: press at `press` (even
// coordinates, which a pointer reaches on any screen), move to each of
// `moves` (on a HiDPI screen the arrow keys reach the pixels between two
// logical ones), release.
void Drag(TGrabScreenForm& overlay, QPoint press, const QList<QPoint>& moves) {
  const double scale = overlay.FrozenPicture().devicePixelRatio();
  QWidget* image = overlay.ScreenImage;
  QTest::mousePress(image, Qt::LeftButton, {}, LogicalOf(press, scale));
  for (const QPoint& move : moves) {
    const QPoint logical = LogicalOf(move, scale);
    QTest::mouseMove(image, logical);
    const QPoint reached(static_cast<int>(logical.x() * scale),
                         static_cast<int>(logical.y() * scale));
    for (int i = reached.x(); i < move.x(); ++i)
      QTest::keyClick(&overlay, Qt::Key_Right);
    for (int i = reached.y(); i < move.y(); ++i)
      QTest::keyClick(&overlay, Qt::Key_Down);
  }
  QTest::mouseRelease(image, Qt::LeftButton, {},
                      LogicalOf(moves.isEmpty() ? press : moves.last(), scale));
}

// Shows the overlay over `capture` and lets `act` work on it.
GrabResult ShowOverlay(TGrabScreenForm& overlay, const QImage& capture,
                       const std::function<void(TGrabScreenForm&)>& act, QString* failure) {
  UserScript user(
      {{"the overlay", [&] { return ShownOverlay() == &overlay; }, [&] { act(overlay); }}});
  const GrabResult result = overlay.ShowOver(capture, Screen().geometry());
  *failure = user.Failure();
  return result;
}

constexpr const char* kCatalogue =
    "<phoneslist><make name=\"Acme\"><model name=\"One\" screenwidth=\"128\" "
    "screenheight=\"128\"/></make></phoneslist>";

// A program folder whose logo directory holds the folder "Grabs" (and
// whatever `logos` names in it), the main window over it with its options
// and format choice windows, and the overlay with the platform's capture.
struct Window {
  TempDir dir;
  ScriptedPrompts prompts;
  std::unique_ptr<TMainAppForm> form;
  std::unique_ptr<TOptionsForm> options;
  std::unique_ptr<TFileFormatChoiceForm> formatChoice;
  std::unique_ptr<TGrabScreenForm> overlay;

  explicit Window(std::vector<std::string> logos = {},
                  std::unique_ptr<ScreenCapture> capture = std::make_unique<QtScreenCapture>()) {
    dir.Write("phoneslist.xml", kCatalogue);
    dir.Write("parameters.xml", "<parameters><uploadhost value=\"wap.example\"/></parameters>");
    LogoTree tree;
    LogoNode& grabs = tree.Append(tree.Root(), TLogoDirObject(NodeKind::Folder, "Grabs"));
    dir.MakeDir("Logo Directory/Grabs");
    for (const std::string& name : logos) {
      WritePictureFile(dir.Path() + "Logo Directory/Grabs/" + name, Bitmap(20, 20),
                       LogoFormatOfFileName(name), 90, 8);
      tree.Append(grabs, TLogoDirObject(NodeKind::Logo, name));
    }
    dir.Write("logodirectory.xml", LogoDirectoryDocument(tree));
    form = std::make_unique<TMainAppForm>(dir.Path(), prompts);
    options = std::make_unique<TOptionsForm>(dir.Path(), prompts, form.get(), SystemProxyReader{});
    form->AttachOptionsForm(options.get());
    formatChoice = std::make_unique<TFileFormatChoiceForm>(form.get());
    form->AttachFileFormatChoiceForm(formatChoice.get());
    overlay = std::make_unique<TGrabScreenForm>(std::move(capture));
    form->AttachGrabScreenForm(overlay.get());
    form->FormActivate();
    form->show();
    (void)QTest::qWaitForWindowExposed(form.get());
    form->SelectNode(Grabs());
  }
  ~Window() {
    overlay.reset();
    formatChoice.reset();
    options.reset();
    form.reset();
  }

  LogoNode* Grabs() { return form->Tree().Root().ChildAt(0); }
  Options& Settings() { return options->Edit(); }

  // Runs the command from the tool button; `steps` act on the windows it
  // shows. Returns what the script failed to see.
  QString Grab(std::vector<UserScript::Step> steps) {
    UserScript user(std::move(steps));
    QTest::mouseClick(form->GrabFromScreenToolButton, Qt::LeftButton);
    if (!user.Failure().isEmpty()) return user.Failure();
    if (!user.Done()) return QStringLiteral("the command ended before the script");
    return {};
  }

  // The overlay step of a grab: records how the screen looked, then drags.
  UserScript::Step DragStep(QPoint press, QList<QPoint> moves) {
    return {"the overlay", [] { return ShownOverlay() != nullptr; },
            [this, press, moves] {
              TGrabScreenForm* shown = ShownOverlay();
              mainHiddenDuringGrab = !form->isVisible();
              overlayGeometry = shown->geometry();
              overlayLook = shown->isModal() &&
                            shown->windowFlags().testFlag(Qt::FramelessWindowHint) &&
                            shown->ScreenImage->cursor().shape() == Qt::CrossCursor &&
                            shown->ScreenImage->geometry() == shown->rect();
              frozen = shown->FrozenPicture();
              Drag(*shown, press, moves);
            }};
  }

  bool mainHiddenDuringGrab = false;
  QRect overlayGeometry;
  bool overlayLook = false;  // modal, borderless, the picture over all of it, the crosshair
  QImage frozen;
};

}  // namespace

class GrabScreenFormTest : public QObject {
  Q_OBJECT

 private slots:
  // The rectangle rules on the overlay, at the capture's own ratio of 1 and
  // 2 pixels per logical pixel; the grabbed pixels are the capture's.
  void overlayDrags_data() {
    QTest::addColumn<double>("ratio");
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QList<QPoint>>("moves");
    QTest::addColumn<QRect>("grabbed");  // left, top, right, bottom as x, y, width, height
    QTest::addColumn<int>("verdict");
    for (double ratio : {1.0, 2.0}) {
      const QByteArray at = ratio == 1.0 ? " (1x)" : " (2x)";
      QTest::newRow("50 to 100: the columns 50 to 100, 51 pixels" + at)
          << ratio << QPoint(50, 50) << QList<QPoint>{{100, 100}} << QRect(50, 50, 51, 51)
          << int(GrabVerdict::Accepted);
      QTest::newRow("100 to 50: the columns 51 to 99, 49 pixels" + at)
          << ratio << QPoint(100, 100) << QList<QPoint>{{50, 50}} << QRect(51, 51, 49, 49)
          << int(GrabVerdict::Accepted);
      QTest::newRow("a click: 1 by 1, too narrow" + at)
          << ratio << QPoint(40, 40) << QList<QPoint>{} << QRect(40, 40, 1, 1)
          << int(GrabVerdict::TooNarrow);
      QTest::newRow("10 to 25: 16 pixels, accepted" + at)
          << ratio << QPoint(10, 10) << QList<QPoint>{{70, 70}, {25, 25}} << QRect(10, 10, 16, 16)
          << int(GrabVerdict::Accepted);
      QTest::newRow("10 to 24: 15 pixels, refused" + at)
          << ratio << QPoint(10, 10) << QList<QPoint>{{24, 40}} << QRect(10, 10, 15, 31)
          << int(GrabVerdict::TooNarrow);
      QTest::newRow("wide enough, 15 high: the height is refused" + at)
          << ratio << QPoint(10, 10) << QList<QPoint>{{40, 24}} << QRect(10, 10, 31, 15)
          << int(GrabVerdict::TooLow);
    }
  }
  void overlayDrags() {
    QFETCH(double, ratio);
    QFETCH(QPoint, press);
    QFETCH(QList<QPoint>, moves);
    QFETCH(QRect, grabbed);
    QFETCH(int, verdict);
    const QSize logical = Screen().geometry().size();
    const QImage capture =
        Pattern(QSize(int(logical.width() * ratio), int(logical.height() * ratio)), ratio);
    TGrabScreenForm overlay(std::make_unique<NullScreenCapture>(QStringLiteral("unused")));
    QString failure;
    const GrabResult result = ShowOverlay(
        overlay, capture, [&](TGrabScreenForm& shown) { Drag(shown, press, moves); }, &failure);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(int(result), int(GrabResult::Ok));
    const GrabRect rect = overlay.Rectangle();
    QCOMPARE(QRect(QPoint(rect.Left, rect.Top), QPoint(rect.Right - 1, rect.Bottom - 1)), grabbed);
    QCOMPARE(int(CheckGrabRectangle(rect)), verdict);
    QVERIFY(SamePixels(overlay.GrabbedPicture(), Cut(capture, rect)));
    // The outline has gone again: the overlay shows the capture as taken.
    QVERIFY(overlay.ShownPicture() == overlay.FrozenPicture());
  }

  // Each capture pixel on one device pixel, at the screen's own ratio.
  void overlayShowsTheCaptureOneToOne() {
    const QImage capture = ScreenPattern();
    TGrabScreenForm overlay(std::make_unique<NullScreenCapture>(QStringLiteral("unused")));
    QImage rendered;
    QString failure;
    ShowOverlay(
        overlay, capture,
        [&](TGrabScreenForm& shown) {
          rendered = shown.ScreenImage->grab().toImage().convertToFormat(QImage::Format_RGB32);
          QTest::keyClick(&shown, Qt::Key_Escape);
        },
        &failure);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(rendered.size(), capture.size());
    rendered.setDevicePixelRatio(capture.devicePixelRatio());
    QVERIFY(rendered == capture);
  }

  void outlineInvertsEveryOtherBorderPixel() {
    const QImage capture = Pattern(Screen().geometry().size(), 1.0);
    TGrabScreenForm overlay(std::make_unique<NullScreenCapture>(QStringLiteral("unused")));
    int changed = 0;
    bool onlyOutline = true;
    QString failure;
    ShowOverlay(
        overlay, capture,
        [&](TGrabScreenForm& shown) {
          QTest::mousePress(shown.ScreenImage, Qt::LeftButton, {}, QPoint(20, 20));
          QTest::mouseMove(shown.ScreenImage, QPoint(60, 50));
          const QImage& picture = shown.ShownPicture();
          for (int y = 0; y < capture.height(); ++y)
            for (int x = 0; x < capture.width(); ++x) {
              if (picture.pixel(x, y) == capture.pixel(x, y)) continue;
              ++changed;
              const bool border = (x == 20 || x == 60 || y == 20 || y == 50) && x >= 20 &&
                                  x <= 60 && y >= 20 && y <= 50;
              const bool inverted = (picture.pixel(x, y) ^ capture.pixel(x, y)) == 0x00FFFFFFu;
              if (!border || !inverted || (x + y) % 2 != 0) onlyOutline = false;
            }
          // The shown picture is the overlay's; the capture stays as taken.
          QVERIFY(shown.FrozenPicture() == capture);
          QTest::mouseRelease(shown.ScreenImage, Qt::LeftButton, {}, QPoint(60, 50));
        },
        &failure);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    // Half of the 2 × 41 + 2 × 29 border pixels.
    QCOMPARE(changed, 70);
    QVERIFY(onlyOutline);
    QVERIFY(overlay.ShownPicture() == capture);
  }

  void escapeCancelsAndOtherKeysDoNothing() {
    const QImage capture = Pattern(Screen().geometry().size(), 1.0);
    TGrabScreenForm overlay(std::make_unique<NullScreenCapture>(QStringLiteral("unused")));
    bool openAfterKeys = false;
    QString failure;
    const GrabResult result = ShowOverlay(
        overlay, capture,
        [&](TGrabScreenForm& shown) {
          QTest::mousePress(shown.ScreenImage, Qt::LeftButton, {}, QPoint(20, 20));
          QTest::mouseMove(shown.ScreenImage, QPoint(90, 90));
          for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_A})
            QTest::keyClick(&shown, key);
          openAfterKeys = shown.isVisible() && !shown.Selection().Result();
          QTest::keyClick(&shown, Qt::Key_Escape);
        },
        &failure);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QVERIFY(openAfterKeys);
    QCOMPARE(int(result), int(GrabResult::Cancel));
    QVERIFY(overlay.Rectangle() == GrabRect{});
    QVERIFY(overlay.GrabbedPicture().Empty());
  }

  void releaseWithoutPressChoosesNothing() {
    const QImage capture = Pattern(Screen().geometry().size(), 1.0);
    TGrabScreenForm overlay(std::make_unique<NullScreenCapture>(QStringLiteral("unused")));
    QString failure;
    const GrabResult result = ShowOverlay(
        overlay, capture,
        [&](TGrabScreenForm& shown) {
          QTest::mouseRelease(shown.ScreenImage, Qt::LeftButton, {}, QPoint(30, 30));
        },
        &failure);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(int(result), int(GrabResult::Ok));
    QCOMPARE(int(CheckGrabRectangle(overlay.Rectangle())), int(GrabVerdict::NothingChosen));
  }

  // The arrows move the pointer itself by one capture pixel, and the
  // rectangle follows while dragging; at 2 pixels a logical pixel they
  // reach the pixels a pointer cannot.
  void arrowKeysMoveByOneCapturePixel_data() {
    QTest::addColumn<double>("ratio");
    QTest::newRow("1x") << 1.0;
    QTest::newRow("2x") << 2.0;
  }
  void arrowKeysMoveByOneCapturePixel() {
    QFETCH(double, ratio);
    const QSize logical = Screen().geometry().size();
    const QImage capture =
        Pattern(QSize(int(logical.width() * ratio), int(logical.height() * ratio)), ratio);
    TGrabScreenForm overlay(std::make_unique<NullScreenCapture>(QStringLiteral("unused")));
    QPoint pointerAfterKeys;
    QPoint cursorAfterKeys;
    QString failure;
    ShowOverlay(
        overlay, capture,
        [&](TGrabScreenForm& shown) {
          QWidget* image = shown.ScreenImage;
          QTest::mousePress(image, Qt::LeftButton, {}, QPoint(30, 30));
          QTest::mouseMove(image, QPoint(60, 60));
          for (Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Down,
                              Qt::Key_Left, Qt::Key_Down, Qt::Key_Up, Qt::Key_Down})
            QTest::keyClick(&shown, key);
          // The cursor's own move, when it comes, changes nothing.
          QCoreApplication::processEvents();
          pointerAfterKeys = shown.Pointer();
          cursorAfterKeys = image->mapFromGlobal(QCursor::pos());
          QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(60, 60));
        },
        &failure);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    const int start = int(30 * ratio);
    const int moved = int(60 * ratio);
    QCOMPARE(pointerAfterKeys, QPoint(moved + 2, moved + 2));
    QCOMPARE(cursorAfterKeys, LogicalOf(QPoint(moved + 2, moved + 2), ratio));
    const GrabRect rect = overlay.Rectangle();
    QVERIFY(rect == (GrabRect{start, start, moved + 3, moved + 3}));
    QVERIFY(SamePixels(overlay.GrabbedPicture(), Cut(capture, rect)));
  }

  void magnifierShowsThePixelsBesideThePointerAndNeverInTheGrab() {
    const QImage capture = Pattern(Screen().geometry().size(), 1.0);
    TGrabScreenForm overlay(std::make_unique<NullScreenCapture>(QStringLiteral("unused")));
    QRect box;
    QString idleText;
    QString dragText;
    QImage rendered;
    QString failure;
    ShowOverlay(
        overlay, capture,
        [&](TGrabScreenForm& shown) {
          QWidget* image = shown.ScreenImage;
          QTest::mousePress(image, Qt::LeftButton, {}, QPoint(100, 100));
          idleText = shown.MagnifierText();
          QTest::mouseMove(image, QPoint(150, 130));
          box = shown.MagnifierRect();
          dragText = shown.MagnifierText();
          rendered = image->grab().toImage().convertToFormat(QImage::Format_RGB32);
          QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(300, 300));
        },
        &failure);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    const int side = TGrabScreenForm::kMagnifierPixels * TGrabScreenForm::kMagnifierZoom + 2;
    QCOMPARE(box, QRect(150 + TGrabScreenForm::kMagnifierGap, 130 + TGrabScreenForm::kMagnifierGap,
                        side, side + TGrabScreenForm::kMagnifierCaptionHeight));
    QCOMPARE(idleText, QStringLiteral("100, 100\n1 \u00D7 1 pixels"));
    QCOMPARE(dragText, QStringLiteral("150, 130\n51 \u00D7 31 pixels"));
    if (ScreenScale() == 1.0) {
      // The centre square of the magnifier is the pointer's pixel, zoomed.
      const int half = TGrabScreenForm::kMagnifierPixels / 2;
      const QPoint centre(box.left() + 1 + half * TGrabScreenForm::kMagnifierZoom + 3,
                          box.top() + 1 + half * TGrabScreenForm::kMagnifierZoom + 3);
      QCOMPARE(rendered.pixel(centre), capture.pixel(150, 130));
      const QPoint left(centre.x() - TGrabScreenForm::kMagnifierZoom, centre.y());
      QCOMPARE(rendered.pixel(left), capture.pixel(149, 130));
      // Beside it, the overlay shows the capture 1:1.
      QCOMPARE(rendered.pixel(box.left() - 5, box.top() - 5),
               capture.pixel(box.left() - 5, box.top() - 5));
    }
    // The magnifier lay over the rectangle; the grab has none of it.
    const GrabRect rect = overlay.Rectangle();
    QVERIFY(rect == (GrabRect{100, 100, 151, 131}));
    QVERIFY(SamePixels(overlay.GrabbedPicture(), Cut(capture, rect)));
  }

  // From the tool button to the selected logo: the window hidden, the
  // overlay over the whole screen at its origin, the rectangle of the
  // capture stored as PNG with the screen's own pixels.
  void grabBecomesASelectedLogo() {
    PatternWindow pattern;
    QVERIFY(QTest::qWaitForWindowExposed(&pattern));
    Window w;
    w.Settings().grabbedfileformat = AcquiredFormat::Png;
    const double scale = ScreenScale();
    const QString failure = w.Grab({w.DragStep(QPoint(50, 50), {{80, 90}, {100, 100}})});
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QVERIFY(w.mainHiddenDuringGrab);
    QCOMPARE(w.overlayGeometry, Screen().geometry());
    QVERIFY(w.overlayLook);
    QVERIFY(w.form->isVisible());
    QVERIFY2(w.prompts.Messages().empty(),
             w.prompts.Messages().empty() ? "" : w.prompts.Messages()[0].text.c_str());
    // The capture was the screen as it was, in the screen's own pixels.
    QCOMPARE(w.frozen.size(), pattern.picture.size());
    QCOMPARE(w.frozen.devicePixelRatio(), scale);
    QVERIFY(w.frozen == pattern.picture.convertToFormat(QImage::Format_RGB32));

    LogoNode* selected = w.form->SelectedNode();
    QVERIFY(selected != nullptr);
    QCOMPARE(QString::fromStdString(selected->Text()), QStringLiteral("grabbedimage.png"));
    QCOMPARE(selected->Parent(), w.Grabs());
    const Bitmap written = DecodePictureFile(NodePath(*selected, w.dir.Path()));
    QVERIFY(SamePixels(written, Cut(pattern.picture, GrabRect{50, 50, 101, 101})));
    QVERIFY(w.form->CurrentSourceImage() != nullptr);
  }

  void namesCountUpAndGoNextToTheSelectedLogo() {
    PatternWindow pattern;
    QVERIFY(QTest::qWaitForWindowExposed(&pattern));
    Window w;
    QCOMPARE(w.Settings().grabbedfileformat, AcquiredFormat::Jpg);
    for (const char* expected : {"grabbedimage.jpg", "grabbedimage2.jpg", "grabbedimage3.jpg"}) {
      const QString failure = w.Grab({w.DragStep(QPoint(100, 100), {{50, 60}})});
      QVERIFY2(failure.isEmpty(), qPrintable(failure));
      LogoNode* selected = w.form->SelectedNode();
      QVERIFY(selected != nullptr);
      QCOMPARE(QString::fromStdString(selected->Text()), QString::fromLatin1(expected));
      // With the new logo selected, the next one goes next to it.
      QCOMPARE(selected->Parent(), w.Grabs());
      const Bitmap written = DecodePictureFile(NodePath(*selected, w.dir.Path()));
      QCOMPARE(written.Width(), 49);
      QCOMPARE(written.Height(), 39);
      QVERIFY(w.dir.Exists(std::string("Logo Directory/Grabs/") + expected));
    }
    QCOMPARE(w.Grabs()->ChildCount(), 3);
    QVERIFY(w.prompts.Messages().empty());
  }

  void anExistingNameInAnyCaseAndFormatCounts() {
    PatternWindow pattern;
    QVERIFY(QTest::qWaitForWindowExposed(&pattern));
    Window w({"GrabbedImage.png"});
    const QString failure = w.Grab({w.DragStep(QPoint(10, 10), {{40, 40}})});
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(QString::fromStdString(w.form->SelectedNode()->Text()),
             QStringLiteral("grabbedimage2.jpg"));
  }

  void refusedRectanglesWarnAndStoreNothing_data() {
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QList<QPoint>>("moves");
    QTest::addColumn<QString>("warning");
    const QString width = QStringLiteral("Warning: Picture width must be 16 pixels or more");
    const QString height = QStringLiteral("Warning: Picture height must be 16 pixels or more");
    QTest::newRow("a click") << QPoint(40, 40) << QList<QPoint>{} << width;
    QTest::newRow("15 wide") << QPoint(10, 10) << QList<QPoint>{{24, 60}} << width;
    QTest::newRow("15 wide backwards") << QPoint(40, 40) << QList<QPoint>{{24, 0}} << width;
    QTest::newRow("wide enough, 15 high: only the height")
        << QPoint(10, 10) << QList<QPoint>{{60, 24}} << height;
  }
  void refusedRectanglesWarnAndStoreNothing() {
    QFETCH(QPoint, press);
    QFETCH(QList<QPoint>, moves);
    QFETCH(QString, warning);
    PatternWindow pattern;
    QVERIFY(QTest::qWaitForWindowExposed(&pattern));
    Window w;
    const QString failure = w.Grab({w.DragStep(press, moves)});
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(w.prompts.Lines().size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(w.prompts.Lines()[0]), warning);
    QCOMPARE(w.Grabs()->ChildCount(), 0);
    QVERIFY(std::filesystem::is_empty(w.dir.Path() + "Logo Directory/Grabs"));
    QVERIFY(w.form->isVisible());
  }

  void escapeEndsWithoutAWord() {
    PatternWindow pattern;
    QVERIFY(QTest::qWaitForWindowExposed(&pattern));
    Window w;
    const QString failure =
        w.Grab({{"the overlay", [] { return ShownOverlay() != nullptr; },
                 [] {
                   TGrabScreenForm* shown = ShownOverlay();
                   QTest::mousePress(shown->ScreenImage, Qt::LeftButton, {}, QPoint(10, 10));
                   QTest::mouseMove(shown->ScreenImage, QPoint(90, 90));
                   QTest::keyClick(shown, Qt::Key_Escape);
                 }}});
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QVERIFY(w.prompts.Messages().empty());
    QCOMPARE(w.Grabs()->ChildCount(), 0);
    QVERIFY(w.form->isVisible());
  }

  // The name box until a name is typed, then the format choice: photo,
  // GIF, stored as photo.gif in GIF.
  void askedNameAndFormat() {
    PatternWindow pattern;
    QVERIFY(QTest::qWaitForWindowExposed(&pattern));
    Window w;
    w.Settings().grabasktargetname = true;
    w.Settings().grabbedfileformat = AcquiredFormat::Ask;
    w.prompts.QueueInput(std::string());
    w.prompts.QueueInput(std::string("photo"));
    int offered = -1;
    const QString failure =
        w.Grab({w.DragStep(QPoint(20, 20), {{70, 60}}),
                {"the format choice", [] { return ShownForm<TFileFormatChoiceForm>() != nullptr; },
                 [&] {
                   TFileFormatChoiceForm* choice = ShownForm<TFileFormatChoiceForm>();
                   offered = choice->FileFormatComboBox->currentIndex();
                   choice->FileFormatComboBox->setCurrentIndex(2);
                   QTest::mouseClick(choice->OKButton, Qt::LeftButton);
                 }}});
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(offered, 3);  // PNG the first time
    const std::vector<std::string> expectedPrompts = {
        "Grabbed image name|Please enter grabbed image name:|grabbedimage",
        "Grabbed image name|Please enter grabbed image name:|"};
    QVERIFY(w.prompts.InputPrompts() == expectedPrompts);
    LogoNode* selected = w.form->SelectedNode();
    QVERIFY(selected != nullptr);
    QCOMPARE(QString::fromStdString(selected->Text()), QStringLiteral("photo.gif"));
    const std::string path = NodePath(*selected, w.dir.Path());
    QCOMPARE(QByteArray::fromStdString(w.dir.Read("Logo Directory/Grabs/photo.gif").substr(0, 4)),
             QByteArray("GIF8"));
    const Bitmap written = DecodePictureFile(path);
    QCOMPARE(written.Width(), 51);
    QCOMPARE(written.Height(), 41);
    QVERIFY(w.prompts.Messages().empty());
  }

  void cancelInTheNameBoxOrTheFormatChoiceStoresNothing() {
    PatternWindow pattern;
    QVERIFY(QTest::qWaitForWindowExposed(&pattern));
    Window w;
    w.Settings().grabasktargetname = true;
    w.prompts.QueueInput(std::nullopt);
    QString failure = w.Grab({w.DragStep(QPoint(20, 20), {{70, 60}})});
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(w.Grabs()->ChildCount(), 0);

    w.Settings().grabasktargetname = false;
    w.Settings().grabbedfileformat = AcquiredFormat::Ask;
    failure =
        w.Grab({w.DragStep(QPoint(20, 20), {{70, 60}}),
                {"the format choice", [] { return ShownForm<TFileFormatChoiceForm>() != nullptr; },
                 [] { ShownForm<TFileFormatChoiceForm>()->CancelButton->click(); }}});
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(w.Grabs()->ChildCount(), 0);
    QVERIFY(std::filesystem::is_empty(w.dir.Path() + "Logo Directory/Grabs"));
    QVERIFY(w.prompts.Messages().empty());
  }

  void aNameClimbingOutOfItsFolderIsRefused() {
    PatternWindow pattern;
    QVERIFY(QTest::qWaitForWindowExposed(&pattern));
    Window w;
    w.Settings().grabasktargetname = true;
    w.prompts.QueueInput(std::string("../../escaped"));
    const QString failure = w.Grab({w.DragStep(QPoint(20, 20), {{70, 60}})});
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(w.prompts.Messages().size(), std::size_t{1});
    QCOMPARE(w.Grabs()->ChildCount(), 0);
    QVERIFY(!w.dir.Exists("escaped.jpg"));
    QVERIFY(!w.dir.Exists("Logo Directory/escaped.jpg"));
  }

  void anUnwritableFolderIsReportedAndAddsNothing() {
    PatternWindow pattern;
    QVERIFY(QTest::qWaitForWindowExposed(&pattern));
    Window w;
    // The folder's directory is a file: nothing can be written in it.
    std::filesystem::remove(w.dir.Path() + "Logo Directory/Grabs");
    w.dir.Write("Logo Directory/Grabs", "not a folder");
    const QString failure = w.Grab({w.DragStep(QPoint(20, 20), {{70, 60}})});
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(w.prompts.Messages().size(), std::size_t{1});
    QCOMPARE(w.prompts.Messages()[0].caption, std::string(CaptionOf(MessageKind::ErrorReport)));
    QCOMPARE(w.Grabs()->ChildCount(), 0);
    QCOMPARE(w.dir.Read("Logo Directory/Grabs"), std::string("not a folder"));
  }

  // No way to read the screen: the reason, and the window never hidden.
  void noCaptureSaysWhyAndKeepsTheWindow() {
    Window w({}, LoadScreenCapture([](const char* name) -> std::optional<std::string> {
               if (std::string_view(name) == kScreenCaptureVariable) return std::string("none");
               return std::nullopt;
             }));
    QCOMPARE(w.overlay->Capture().Name(), QStringLiteral("none"));
    QCOMPARE(w.overlay->Capture().Capabilities(), unsigned(ScreenCapture::NoCapability));
    bool hidden = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { hidden = hidden || !w.form->isVisible(); });
    watch.start(1);
    QTest::mouseClick(w.form->GrabFromScreenToolButton, Qt::LeftButton);
    QCOMPARE(QString::fromStdString(w.prompts.Lines().at(0)),
             QStringLiteral("Error: ") +
                 QString::fromLatin1(kCaptureOffText.data(), qsizetype(kCaptureOffText.size())));
    QVERIFY(!hidden);
    QCOMPARE(w.Grabs()->ChildCount(), 0);
  }

  // A screen that gives only black (nothing on it, or a desktop that keeps
  // its pixels from us) is never stored.
  void aBlackCaptureIsNeverStored() {
    Window w;
    QWidget cover(nullptr, Qt::FramelessWindowHint);
    cover.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, Qt::black);
    cover.setPalette(palette);
    cover.setGeometry(Screen().geometry());
    cover.show();
    cover.lower();
    QVERIFY(QTest::qWaitForWindowExposed(&cover));
    w.form->raise();
    QTest::mouseClick(w.form->GrabFromScreenToolButton, Qt::LeftButton);
    QCOMPARE(w.prompts.Lines().size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(w.prompts.Lines()[0]),
             QStringLiteral("Error: The screen could not be captured: the picture came back all "
                            "black. Nothing was stored."));
    QVERIFY(w.form->isVisible());
    QCOMPARE(w.Grabs()->ChildCount(), 0);
  }

  void theLoaderFollowsTheOverride() {
    auto with = [](const char* value) {
      return LoadScreenCapture([value](const char* name) -> std::optional<std::string> {
        if (std::string_view(name) == kScreenCaptureVariable) return std::string(value);
        return std::nullopt;
      });
    };
    QCOMPARE(with("x11")->Name(), QStringLiteral("x11"));
    QCOMPARE(with("none")->Name(), QStringLiteral("none"));
    QVERIFY(with("none")->NotAvailableText().contains(QStringLiteral("turned off")));
    // Unset on this platform (offscreen or X11 outside Wayland): the
    // platform's own grab.
    auto automatic =
        LoadScreenCapture([](const char*) -> std::optional<std::string> { return {}; });
    QCOMPARE(automatic->Name(), QStringLiteral("x11"));
    QCOMPARE(automatic->Capabilities(), unsigned(ScreenCapture::CanCaptureScreen));
  }

  void blackAndEmptyPictures() {
    QVERIFY(IsEmptyOrBlack(QImage()));
    QImage black(8, 8, QImage::Format_RGB32);
    black.fill(Qt::black);
    QVERIFY(IsEmptyOrBlack(black));
    QImage almost = black;
    almost.setPixel(7, 7, qRgb(0, 0, 1));
    QVERIFY(!IsEmptyOrBlack(almost));
    QImage rgb888 = almost.convertToFormat(QImage::Format_RGB888);
    QVERIFY(!IsEmptyOrBlack(rgb888));
  }
};

QTEST_MAIN(GrabScreenFormTest)
#include "GrabScreenFormTest.moc"

// The main window's controls: menus, tool bar, pop-up menus, panes, panels
// and status bars, and the wiring of their events to the handlers.
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "core/logodir/AddedOutside.h"
#include "gui/app/MainAppForm.h"
#include "gui/app/UploadProgressPanel.h"
#include "gui/app/WindowPlacement.h"
#include "gui/compose/PictureBox.h"
#include "gui/logodir/LogoTreeModel.h"
#include "gui/service/QRCodeView.h"

namespace quillet {

namespace {

constexpr int kWindowWidth = 803;
constexpr int kWindowHeight = 610;
constexpr int kWindowMinWidth = 652;
constexpr int kWindowMinHeight = 492;
constexpr int kTreePanelWidth = 185;
constexpr int kTreeMinWidth = 150;
constexpr int kTreeMinHeight = 400;
constexpr int kImageStatusHeight = 19;
constexpr int kLowerMinHeight = 200;
constexpr int kStripHeight = 246;
constexpr int kPropertiesWidth = 128;
constexpr int kUploadPanelWidth = 254;
constexpr int kUploadPanelNarrowWidth = 200;
constexpr int kStatusBarHeight = 22;
constexpr std::array<int, 4> kImageStatusWidths{140, 200, 140, 120};
// The widest texts the panels show in practice; the panels grow to them when
// the desktop's font is larger than the one the widths above were made for.
constexpr std::array<const char*, 4> kImageStatusSamples{
    "Source Image: 88888x88888", "Source Selection: (-8888,-8888):(88888x88888)",
    "Logo Screen: 8888x8888", "Logo Image: 8888x8888"};
constexpr int kTimerInterval = 40;
constexpr int kQRCodeSide = 96;
constexpr int kQRCodeSmallSide = 64;
constexpr int kLogoSideDefault = 128;

QIcon Icon(const char* name) {
  return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
}

QAction* AddItem(QMenu* menu, const char* objectName, const QString& caption) {
  QAction* action = menu->addAction(caption);
  action->setObjectName(QLatin1String(objectName));
  return action;
}

QMenu* AddSubmenu(QMenu* parent, const QString& objectName, const QString& caption) {
  QMenu* menu = parent->addMenu(caption);
  menu->setObjectName(objectName);
  menu->menuAction()->setObjectName(objectName + QStringLiteral("Action"));
  return menu;
}

}  // namespace

void TMainAppForm::CreateControls() {
  setWindowIcon(QIcon(QStringLiteral(":/icons/quillet.svg")));
  resize(kWindowWidth, kWindowHeight);
  setMinimumSize(kWindowMinWidth, kWindowMinHeight);

  CreateMenus();
  CreateToolBar();
  CreatePopupMenus();

  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->setObjectName(QStringLiteral("MainSplitter"));
  splitter->setChildrenCollapsible(false);
  CreateTreePanel(splitter);
  splitter->addWidget(CreatePictureArea());
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({kTreePanelWidth, kWindowWidth - kTreePanelWidth});
  setCentralWidget(splitter);

  CreateStatusBar();

  SelFrameTimer = new QTimer(this);
  SelFrameTimer->setObjectName(QStringLiteral("SelFrameTimer"));
  SelFrameTimer->setInterval(kTimerInterval);
  ImageCursorTimer = new QTimer(this);
  ImageCursorTimer->setObjectName(QStringLiteral("ImageCursorTimer"));
  ImageCursorTimer->setInterval(kTimerInterval);
  UploadProgressTimer = new QTimer(this);
  UploadProgressTimer->setObjectName(QStringLiteral("UploadProgressTimer"));
  UploadProgressTimer->setInterval(kTimerInterval);

  ConnectControls();
  FitToScreen();
  CentreOnScreen(*this);
}

void TMainAppForm::FitToScreen() {
  QScreen* screen = QApplication::primaryScreen();
  if (screen == nullptr) return;
  // A screen smaller than the window (a small display, or a large scale
  // factor) gets a window that fits it, with its menus on the screen.
  const QRect area = screen->availableGeometry();
  setMinimumSize(QSize(kWindowMinWidth, kWindowMinHeight).boundedTo(area.size()));
  resize(size().boundedTo(area.size()));
  if (area.width() >= kWindowWidth) return;
  // A small screen, or a large scale factor: the tool bar's icons shrink
  // until every button is on it, and the side panels give way to the panes.
  if (auto* bar = findChild<QToolBar*>(QStringLiteral("ToolBar"))) {
    int side = bar->iconSize().width();
    // The bar has less than the screen: the window's frame and the bar's
    // own margins and handle.
    const int room = area.width() - 40;
    bar->layout()->setSpacing(0);
    // Tighter buttons first, then smaller icons.
    if (bar->sizeHint().width() > room)
      bar->setStyleSheet(QStringLiteral("QToolButton { padding: 1px; margin: 0px; }"));
    while (bar->sizeHint().width() > room && side > 16) {
      side -= 2;
      bar->setIconSize(QSize(side, side));
      bar->layout()->invalidate();
    }
  }
  UploadPanel->setFixedWidth(kUploadPanelNarrowWidth);
  ImageWapQRCode->setFixedSize(kQRCodeSmallSide, kQRCodeSmallSide);
  // The upload panel scrolls too, in the same place of the strip.
  if (auto* strip = qobject_cast<QBoxLayout*>(UploadPanel->parentWidget()->layout())) {
    const int place = strip->indexOf(UploadPanel);
    auto* upload = new QScrollArea;
    upload->setObjectName(QStringLiteral("UploadScrollBox"));
    upload->setFrameShape(QFrame::NoFrame);
    upload->setWidgetResizable(true);
    upload->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    strip->removeWidget(UploadPanel);
    upload->setWidget(UploadPanel);
    upload->setFixedWidth(kUploadPanelNarrowWidth +
                          upload->verticalScrollBar()->sizeHint().width());
    strip->insertWidget(place, upload);
  }
  // The picture keeps some room: the strip below it may be lower than its
  // panel, which then scrolls.
  if (auto* properties = findChild<QScrollArea*>(QStringLiteral("ImageToolScrollBox"))) {
    properties->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    properties->setFixedWidth(ImageToolPanel->width() +
                              properties->verticalScrollBar()->sizeHint().width());
  }
  if (auto* strip = findChild<QWidget*>(QStringLiteral("LogoStrip"))) {
    strip->setMinimumHeight(kLowerMinHeight);
    if (auto* split = findChild<QSplitter*>(QStringLiteral("PictureSplitter")))
      split->setSizes({area.height() / 2, area.height() / 2});
  }
  if (auto* splitter = findChild<QSplitter*>(QStringLiteral("MainSplitter")))
    splitter->setSizes({kTreeMinWidth, area.width() - kTreeMinWidth});
}

QMenu* TMainAppForm::AddConvertMenu(QMenu* parent, const QString& prefix, int set) {
  static constexpr std::array<const char*, kConvertItemCount> kSuffixes{"BMP", "JPG", "GIF", "PNG"};
  static const std::array<QString, kConvertItemCount> kCaptions{
      QStringLiteral("BMP (Windows Bitmap)"), QStringLiteral("JPG (JPEG JFIF Format)"),
      QStringLiteral("GIF (Graphics Interchange Format)"),
      QStringLiteral("PNG (Portable Network Graphics)")};
  QMenu* menu = parent;
  if (set != 1) {
    const QString name =
        set == 0 ? QStringLiteral("MMConverttoformat") : prefix + "ConvertToFormat";
    menu = AddSubmenu(parent, name, QStringLiteral("Convert to"));
  }
  const QString itemPrefix = set == 0 ? QString() : prefix;
  for (int i = 0; i < kConvertItemCount; ++i) {
    QAction* item = menu->addAction(kCaptions[static_cast<size_t>(i)]);
    item->setObjectName(itemPrefix + "ConvertTo" + kSuffixes[static_cast<size_t>(i)]);
    const auto format = static_cast<LogoFormat>(i);
    connect(item, &QAction::triggered, this, [this, format] { ConvertToFileFormatClick(format); });
    ConvertItems[static_cast<size_t>(set)][static_cast<size_t>(i)] = item;
  }
  return menu;
}

QMenu* TMainAppForm::AddMirrorMenu(QMenu* parent, const QString& prefix, const QString& title) {
  QMenu* menu = parent;
  if (!title.isEmpty()) menu = AddSubmenu(parent, prefix + "MirrorImage", title);
  QAction* horizontally = menu->addAction(QStringLiteral("Horizontally"));
  horizontally->setObjectName(prefix + "MirrorHorizontallyMenuItem");
  connect(horizontally, &QAction::triggered, this, [this] { MirrorImageClick(true); });
  QAction* vertically = menu->addAction(QStringLiteral("Vertically"));
  vertically->setObjectName(prefix + "MirrorVerticallyMenuItem");
  connect(vertically, &QAction::triggered, this, [this] { MirrorImageClick(false); });
  return menu;
}

QMenu* TMainAppForm::AddRotateMenu(QMenu* parent, const QString& prefix, const QString& title) {
  QMenu* menu = parent;
  if (!title.isEmpty()) menu = AddSubmenu(parent, prefix + "RotateImage", title);
  for (int degrees : {90, 180, 270}) {
    QAction* item = menu->addAction(QString::number(degrees) + QChar(0x00B0));
    item->setObjectName(prefix + "Rotate" + QString::number(degrees) + "MenuItem");
    connect(item, &QAction::triggered, this, [this, degrees] { RotateImageClick(degrees); });
  }
  return menu;
}

void TMainAppForm::CreateMenus() {
  QMenuBar* bar = menuBar();

  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("File1"));
  Open1 = AddItem(file, "Open1", QStringLiteral("&Open..."));
  Open1->setShortcut(QKeySequence::Open);
  AddPictureFromAddressMenuItem =
      AddItem(file, "AddPictureFromAddressMenuItem", QStringLiteral("Add picture from address..."));
  AddPictureFromAddressMenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  SaveMenuItem = AddItem(file, "SaveMenuItem", QStringLiteral("&Save..."));
  SaveMenuItem->setShortcut(QKeySequence::Save);
  ImportFromTWAINMenuItem = AddSubmenu(file, QStringLiteral("ImportFromTWAINMenuItem"),
                                       QStringLiteral("Import from TWAIN source"));
  AcquireImageMenuItem =
      AddItem(ImportFromTWAINMenuItem, "AcquireImageMenuItem", QStringLiteral("Acquire image..."));
  SelectSourceMenuItem =
      AddItem(ImportFromTWAINMenuItem, "SelectSourceMenuItem", QStringLiteral("Select source..."));
  GrabFromScreenMenuItem =
      AddItem(file, "GrabFromScreenMenuItem", QStringLiteral("Grab from screen"));
  GrabFromScreenMenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G));
  UploadMenuItem = AddItem(file, "UploadMenuItem", QStringLiteral("Upload"));
  UploadMenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
  Newfolder1 = AddItem(file, "Newfolder1", QStringLiteral("&New folder..."));
  Newfolder1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
  FindPicturesMenuItem =
      AddItem(file, "FindPicturesMenuItem",
              QString::fromUtf8(kFindPicturesCaption.data(),
                                static_cast<qsizetype>(kFindPicturesCaption.size())));
  file->addSeparator();
  Exit1 = AddItem(file, "Exit1", QStringLiteral("E&xit"));
  Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

  QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
  edit->setObjectName(QStringLiteral("Edit1"));
  RenameMenuItem = AddItem(edit, "RenameMenuItem", QStringLiteral("Rename..."));
  RenameMenuItem->setShortcut(QKeySequence(Qt::Key_F2));
  DeleteMenuItem = AddItem(edit, "DeleteMenuItem", QStringLiteral("Delete"));
  PasteMenuItem = AddItem(edit, "PasteMenuItem", QStringLiteral("Paste"));
  PasteMenuItem->setShortcut(QKeySequence::Paste);
  edit->addSeparator();
  MMConverttoformat = AddConvertMenu(edit, QString(), 0);
  MMMirrorImage = AddMirrorMenu(edit, QStringLiteral("MM"), QStringLiteral("Mirror"));
  MMRotateImage = AddRotateMenu(edit, QStringLiteral("MM"), QStringLiteral("Rotate"));
  edit->addSeparator();
  Options1 = AddItem(edit, "Options1", QStringLiteral("Options..."));

  QMenu* view = bar->addMenu(QStringLiteral("View"));
  view->setObjectName(QStringLiteral("View1"));
  Fitimageintopane = AddItem(view, "Fitimageintopane", QStringLiteral("Fit image into pane"));
  Fitimageintopane->setCheckable(true);
  Fitimageintopane->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));

  LinksMenu = bar->addMenu(QStringLiteral("Links"));
  LinksMenu->setObjectName(QStringLiteral("Links1"));
  AddLinks(LinksMenu);

  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("Help1"));
  Contents1 = AddItem(help, "Contents1", QStringLiteral("Contents"));
  Contents1->setShortcut(QKeySequence::HelpContents);
  FAQMenuItem = AddItem(help, "FAQMenuItem", QStringLiteral("FAQ"));
  SendToFriendMenuItem = AddItem(help, "SendToFriendMenuItem", QStringLiteral("Send to friend..."));
  help->addSeparator();
  About1 = AddItem(help, "About1", QStringLiteral("About..."));
}

void TMainAppForm::CreateToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("Tools"));
  bar->setObjectName(QStringLiteral("ToolBar"));
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setContextMenuPolicy(Qt::PreventContextMenu);

  auto button = [this, bar](const char* objectName, const char* icon, const QString& hint) {
    auto* tool = new QToolButton(bar);
    tool->setObjectName(QLatin1String(objectName));
    tool->setAutoRaise(true);
    tool->setIcon(Icon(icon));
    tool->setToolTip(hint);
    bar->addWidget(tool);
    return tool;
  };

  OpenToolButton = button("OpenToolButton", "open", QStringLiteral("Open..."));
  SaveToolButton = button("SaveToolButton", "save", QStringLiteral("Save..."));
  ImportFromTWAINToolButton =
      button("ImportFromTWAINToolButton", "twain", QStringLiteral("Import from TWAIN source..."));
  auto* twainMenu = new QMenu(ImportFromTWAINToolButton);
  twainMenu->setObjectName(QStringLiteral("ImportFromTWAINDropDown"));
  connect(AddItem(twainMenu, "DDAcquireImage", QStringLiteral("Acquire image...")),
          &QAction::triggered, this, &TMainAppForm::AcquireImageMenuItemClick);
  connect(AddItem(twainMenu, "DDSelectSource", QStringLiteral("Select source...")),
          &QAction::triggered, this, &TMainAppForm::SelectSourceMenuItemClick);
  ImportFromTWAINToolButton->setMenu(twainMenu);
  ImportFromTWAINToolButton->setPopupMode(QToolButton::MenuButtonPopup);
  GrabFromScreenToolButton =
      button("GrabFromScreenToolButton", "grab", QStringLiteral("Grab from screen..."));
  UploadToolButton = button("UploadToolButton", "upload", QStringLiteral("Upload"));
  NewFolderToolButton = button("NewFolderToolButton", "newfolder", QStringLiteral("New folder..."));
  bar->addSeparator();
  RenameToolButton = button("RenameToolButton", "rename", QStringLiteral("Rename..."));
  DeleteToolButton = button("DeleteToolButton", "delete", QStringLiteral("Delete"));
  bar->addSeparator();

  ConvertToolButton =
      button("ConvertToolButton", "convert", QStringLiteral("Convert to format..."));
  auto* convertMenu = new QMenu(ConvertToolButton);
  convertMenu->setObjectName(QStringLiteral("ConvertDropDown"));
  AddConvertMenu(convertMenu, QStringLiteral("DD"), 1);
  ConvertToolButton->setMenu(convertMenu);
  ConvertToolButton->setPopupMode(QToolButton::InstantPopup);
  MirrorToolButton = button("MirrorToolButton", "mirror", QStringLiteral("Mirror image..."));
  auto* mirrorMenu = new QMenu(MirrorToolButton);
  mirrorMenu->setObjectName(QStringLiteral("MirrorDropDown"));
  AddMirrorMenu(mirrorMenu, QStringLiteral("DD"), QString());
  MirrorToolButton->setMenu(mirrorMenu);
  MirrorToolButton->setPopupMode(QToolButton::InstantPopup);
  RotateToolButton = button("RotateToolButton", "rotate", QStringLiteral("Rotate image..."));
  auto* rotateMenu = new QMenu(RotateToolButton);
  rotateMenu->setObjectName(QStringLiteral("RotateDropDown"));
  AddRotateMenu(rotateMenu, QStringLiteral("DD"), QString());
  RotateToolButton->setMenu(rotateMenu);
  RotateToolButton->setPopupMode(QToolButton::InstantPopup);
  bar->addSeparator();
  OptionsToolButton = button("OptionsToolButton", "options", QStringLiteral("Options..."));
  bar->addSeparator();
  FitToPaneToolButton = button("FitToPaneToolButton", "fit", QStringLiteral("Fit image into pane"));
  FitToPaneToolButton->setCheckable(true);
  bar->addSeparator();
  LinksToolButton = button("LinksToolButton", "links", QString());
  auto* linksMenu = new QMenu(LinksToolButton);
  linksMenu->setObjectName(QStringLiteral("LinksDropDown"));
  AddLinks(linksMenu);
  LinksToolButton->setMenu(linksMenu);
  LinksToolButton->setPopupMode(QToolButton::InstantPopup);
  bar->addSeparator();
  ContentsToolButton = button("ContentsToolButton", "help", QStringLiteral("Help contents"));
  SendToFriendToolButton =
      button("SendToFriendToolButton", "sendfriend", QStringLiteral("Send to friend..."));
  AboutToolButton = button("AboutToolButton", "about", QStringLiteral("About..."));
  bar->addSeparator();
  ExitToolButton = button("ExitToolButton", "exit", QStringLiteral("Exit"));
}

void TMainAppForm::CreatePopupMenus() {
  LogoTreePopupMenu = new QMenu(this);
  LogoTreePopupMenu->setObjectName(QStringLiteral("LogoTreePopupMenu"));
  OpenPopupMenuItem = AddItem(LogoTreePopupMenu, "OpenPopupMenuItem", QStringLiteral("Open..."));
  SavePopupMenuItem = AddItem(LogoTreePopupMenu, "SavePopupMenuItem", QStringLiteral("Save..."));
  UploadPopupMenuItem = AddItem(LogoTreePopupMenu, "UploadPopupMenuItem", QStringLiteral("Upload"));
  NewFolderPopupMenuItem =
      AddItem(LogoTreePopupMenu, "NewFolderPopupMenuItem", QStringLiteral("New folder..."));
  LogoTreePopupMenu->addSeparator();
  RenamePopupMenuItem =
      AddItem(LogoTreePopupMenu, "RenamePopupMenuItem", QStringLiteral("Rename..."));
  DeletePopupMenuItem = AddItem(LogoTreePopupMenu, "DeletePopupMenuItem", QStringLiteral("Delete"));
  LogoTreePopupMenu->addSeparator();
  TVConvertToFormat = AddConvertMenu(LogoTreePopupMenu, QStringLiteral("TV"), 2);
  TVMirrorImage = AddMirrorMenu(LogoTreePopupMenu, QStringLiteral("TV"), QStringLiteral("Mirror"));
  TVRotateImage = AddRotateMenu(LogoTreePopupMenu, QStringLiteral("TV"), QStringLiteral("Rotate"));

  SourceImagePopupMenu = new QMenu(this);
  SourceImagePopupMenu->setObjectName(QStringLiteral("SourceImagePopupMenu"));
  UploadSrcImgMenuItem =
      AddItem(SourceImagePopupMenu, "UploadSrcImgMenuItem", QStringLiteral("Upload"));
  SourceImagePopupMenu->addSeparator();
  FitToPaneSrcImgMenuItem = AddItem(SourceImagePopupMenu, "FitToPaneSrcImgMenuItem",
                                    QStringLiteral("Fit image into pane"));
  FitToPaneSrcImgMenuItem->setCheckable(true);
  SourceImagePopupMenu->addSeparator();
  SIConvertToFormat = AddConvertMenu(SourceImagePopupMenu, QStringLiteral("SI"), 3);
  SIMirrorImage =
      AddMirrorMenu(SourceImagePopupMenu, QStringLiteral("SI"), QStringLiteral("Mirror"));
  SIRotateImage =
      AddRotateMenu(SourceImagePopupMenu, QStringLiteral("SI"), QStringLiteral("Rotate"));

  TargetImagePopupMenu = new QMenu(this);
  TargetImagePopupMenu->setObjectName(QStringLiteral("TargetImagePopupMenu"));
  UploadTrgImgMenuItem =
      AddItem(TargetImagePopupMenu, "UploadTrgImgMenuItem", QStringLiteral("Upload"));
  TargetImagePopupMenu->addSeparator();
  // A logo larger than its pane is shown scaled to fit; this shows it pixel
  // for pixel (a double click on the logo does the same).
  TargetActualSizeMenuItem = AddItem(TargetImagePopupMenu, "TargetActualSizeMenuItem",
                                     QStringLiteral("Actual size (100%)"));
  TargetActualSizeMenuItem->setCheckable(true);
}

void TMainAppForm::CreateTreePanel(QSplitter* splitter) {
  LogoTreeView = new QTreeView(splitter);
  LogoTreeView->setObjectName(QStringLiteral("LogoTreeView"));
  LogoTreeView->setMinimumSize(kTreeMinWidth, kTreeMinHeight);
  LogoTreeView->setHeaderHidden(true);
  LogoTreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  LogoTreeView->setExpandsOnDoubleClick(false);
  LogoTreeView->setSelectionMode(QAbstractItemView::SingleSelection);
  LogoTreeView->setContextMenuPolicy(Qt::CustomContextMenu);
  treeModel_ = new LogoTreeModel(tree_, this);
  LogoTreeView->setModel(treeModel_);
  LogoTreeView->viewport()->installEventFilter(this);
  // Picture files dropped from the desktop come in as new logos.
  LogoTreeView->setAcceptDrops(true);
  LogoTreeView->viewport()->setAcceptDrops(true);
  LogoTreeView->setDragDropMode(QAbstractItemView::DropOnly);
  splitter->addWidget(LogoTreeView);
}

QWidget* TMainAppForm::CreatePictureArea() {
  auto* split = new QSplitter(Qt::Vertical);
  split->setObjectName(QStringLiteral("PictureSplitter"));
  split->setChildrenCollapsible(false);

  auto* upper = new QWidget;
  auto* upperLayout = new QVBoxLayout(upper);
  upperLayout->setContentsMargins(0, 0, 0, 0);
  upperLayout->setSpacing(0);
  SourceImageScrollBox = new QScrollArea;
  SourceImageScrollBox->setObjectName(QStringLiteral("SourceImageScrollBox"));
  SourceImageScrollBox->setBackgroundRole(QPalette::Base);
  SourceImageScrollBox->setStyleSheet(QStringLiteral("QScrollArea { background: white; }"));
  SourceImageScrollBox->setAlignment(Qt::AlignCenter);
  SourceImageScrollBox->setContextMenuPolicy(Qt::CustomContextMenu);
  // Clicked, it takes the keyboard: the arrows then move the frame.
  SourceImageScrollBox->setFocusPolicy(Qt::StrongFocus);
  SourceImage = new TPictureBox;
  SourceImage->setObjectName(QStringLiteral("SourceImage"));
  SourceImageScrollBox->setWidget(SourceImage);
  SourceImageScrollBox->installEventFilter(this);
  upperLayout->addWidget(SourceImageScrollBox, 1);

  ImageStatusBar = new QWidget;
  ImageStatusBar->setObjectName(QStringLiteral("ImageStatusBar"));
  ImageStatusBar->setFixedHeight(kImageStatusHeight);
  // A notch smaller than the desktop font, as status bars are, so the four
  // panels fit beside each other in the window's classic width.
  QFont statusFont = ImageStatusBar->font();
  statusFont.setPointSizeF(statusFont.pointSizeF() * 0.85);
  ImageStatusBar->setFont(statusFont);
  auto* statusLayout = new QGridLayout(ImageStatusBar);
  statusLayout->setContentsMargins(0, 0, 0, 0);
  statusLayout->setSpacing(2);
  ImageStatusBar->installEventFilter(this);
  const ImageStatusTexts initial = InitialImageStatus();
  for (size_t i = 0; i < imageStatusPanels_.size(); ++i) {
    auto* panel = new QLabel(QString::fromStdString(initial[i]));
    panel->setObjectName(QStringLiteral("ImageStatusPanel%1").arg(i));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    // The panels share the bar in the proportions of their widest texts, so
    // that a larger desktop font still fits where the window is wide enough,
    // and never shrink below three quarters of their classic widths.
    const int textWidth = panel->fontMetrics().horizontalAdvance(kImageStatusSamples[i]) +
                          2 * panel->frameWidth() + 6;
    panel->setMinimumWidth(kImageStatusWidths[i] * 3 / 4);
    panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    imageStatusPanels_[i] = panel;
    imageStatusStretch_[i] = std::max(kImageStatusWidths[i], textWidth);
  }
  ArrangeImageStatus(false);
  upperLayout->addWidget(ImageStatusBar);
  split->addWidget(upper);

  auto* strip = new QWidget;
  strip->setObjectName(QStringLiteral("LogoStrip"));
  strip->setMinimumHeight(std::max(kStripHeight, kLowerMinHeight));
  auto* stripLayout = new QHBoxLayout(strip);
  stripLayout->setContentsMargins(0, 0, 0, 0);
  stripLayout->setSpacing(2);
  // The panel scrolls when the window is too low for it (a small screen, a
  // large scale factor) rather than taking the picture's room.
  auto* properties = new QScrollArea;
  properties->setObjectName(QStringLiteral("ImageToolScrollBox"));
  properties->setFrameShape(QFrame::NoFrame);
  properties->setWidgetResizable(true);
  properties->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  properties->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  properties->setWidget(CreatePropertiesPanel());
  properties->setFixedWidth(ImageToolPanel->width());
  stripLayout->addWidget(properties);
  TargetBkgndScrollBox = new QScrollArea;
  TargetBkgndScrollBox->setObjectName(QStringLiteral("TargetBkgndScrollBox"));
  TargetBkgndScrollBox->setBackgroundRole(QPalette::Base);
  TargetBkgndScrollBox->setStyleSheet(QStringLiteral("QScrollArea { background: white; }"));
  TargetBkgndScrollBox->setAlignment(Qt::AlignCenter);
  TargetBkgndScrollBox->setContextMenuPolicy(Qt::CustomContextMenu);
  TargetImage = new TPictureBox;
  TargetImage->setObjectName(QStringLiteral("TargetImage"));
  TargetBkgndScrollBox->setWidget(TargetImage);
  TargetBkgndScrollBox->installEventFilter(this);
  stripLayout->addWidget(TargetBkgndScrollBox, 1);
  stripLayout->addWidget(CreateUploadPanel());
  split->addWidget(strip);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 0);
  return split;
}

QWidget* TMainAppForm::CreatePropertiesPanel() {
  ImageToolPanel = new QWidget;
  ImageToolPanel->setObjectName(QStringLiteral("ImageToolPanel"));
  auto* layout = new QVBoxLayout(ImageToolPanel);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);

  layout->addWidget(new QLabel(QStringLiteral("Phone make")));
  PhoneMake = new QComboBox;
  PhoneMake->setObjectName(QStringLiteral("PhoneMake"));
  layout->addWidget(PhoneMake);
  layout->addWidget(new QLabel(QStringLiteral("Phone model")));
  PhoneModel = new QComboBox;
  PhoneModel->setObjectName(QStringLiteral("PhoneModel"));
  layout->addWidget(PhoneModel);

  auto sideControl = [](const char* objectName) {
    auto* spin = new QSpinBox;
    spin->setObjectName(QLatin1String(objectName));
    spin->setRange(kMinLogoSide, kMaxLogoSide);
    spin->setValue(kLogoSideDefault);
    return spin;
  };
  auto* sizes = new QFormLayout;
  sizes->setContentsMargins(0, 0, 0, 0);
  LogoWidthUpDown = sideControl("LogoWidthUpDown");
  LogoHeightUpDown = sideControl("LogoHeightUpDown");
  sizes->addRow(QStringLiteral("Screen width"), LogoWidthUpDown);
  sizes->addRow(QStringLiteral("Screen height"), LogoHeightUpDown);
  layout->addLayout(sizes);

  FitInto = new QGroupBox(QStringLiteral("Selection Fits Into"));
  FitInto->setObjectName(QStringLiteral("FitInto"));
  FitIntoButtons = new QButtonGroup(FitInto);
  auto* fitLayout = new QVBoxLayout(FitInto);
  fitLayout->setContentsMargins(4, 2, 2, 2);
  fitLayout->setSpacing(0);
  const char* fitCaptions[] = {"Picture Width", "Picture Height", "Smaller Dimension",
                               "Bigger Dimension"};
  for (int i = 0; i < 4; ++i) {
    auto* radio = new QRadioButton(QLatin1String(fitCaptions[i]));
    radio->setObjectName(QStringLiteral("FitInto%1").arg(i));
    FitIntoButtons->addButton(radio, i);
    fitLayout->addWidget(radio);
  }
  FitIntoButtons->button(static_cast<int>(FitKind::Bigger))->setChecked(true);
  layout->addWidget(FitInto);

  KeepProportions = new QCheckBox(QStringLiteral("Keep proportions"));
  KeepProportions->setObjectName(QStringLiteral("KeepProportions"));
  KeepProportions->setChecked(true);
  layout->addWidget(KeepProportions);
  layout->addStretch(1);

  // The captions decide the width on fonts wider than the designed one.
  ImageToolPanel->setFixedWidth(std::max(kPropertiesWidth, ImageToolPanel->sizeHint().width()));
  return ImageToolPanel;
}

QWidget* TMainAppForm::CreateUploadPanel() {
  UploadPanel = new QWidget;
  UploadPanel->setObjectName(QStringLiteral("UploadPanel"));
  UploadPanel->setFixedWidth(kUploadPanelWidth);
  auto* layout = new QVBoxLayout(UploadPanel);
  layout->setContentsMargins(2, 2, 2, 2);

  UploadButton = new QPushButton(QStringLiteral("Upload"));
  UploadButton->setObjectName(QStringLiteral("UploadButton"));
  QFont bold = UploadButton->font();
  bold.setBold(true);
  UploadButton->setFont(bold);
  // Red while it can be pressed; a disabled button greys out like any other.
  UploadButton->setStyleSheet(QStringLiteral("QPushButton:enabled { color: red; }"));
  layout->addWidget(UploadButton);

  auto* fields = new QGroupBox(QStringLiteral("Uploaded logo URL and ID"));
  fields->setObjectName(QStringLiteral("UploadFieldsGroupBox"));
  auto* form = new QVBoxLayout(fields);
  form->addWidget(new QLabel(QStringLiteral("Short URL")));
  ImageWapShortURL = new QLineEdit;
  ImageWapShortURL->setObjectName(QStringLiteral("ImageWapShortURL"));
  ImageWapShortURL->setReadOnly(true);
  form->addWidget(ImageWapShortURL);
  form->addWidget(new QLabel(QStringLiteral("Full URL")));
  ImageWapURL = new QPlainTextEdit;
  ImageWapURL->setObjectName(QStringLiteral("ImageWapURL"));
  ImageWapURL->setReadOnly(true);
  ImageWapURL->setFixedHeight(2 * ImageWapURL->fontMetrics().lineSpacing() + 10);
  form->addWidget(ImageWapURL);
  form->addWidget(new QLabel(QStringLiteral("Image ID")));
  ImageID = new QLineEdit;
  ImageID->setObjectName(QStringLiteral("ImageID"));
  ImageID->setReadOnly(true);
  form->addWidget(ImageID);
  // A phone opens the short address by scanning it; a click copies it.
  ImageWapQRCode = new TQRCodeView;
  ImageWapQRCode->setObjectName(QStringLiteral("ImageWapQRCode"));
  ImageWapQRCode->setFixedSize(kQRCodeSide, kQRCodeSide);
  form->addWidget(ImageWapQRCode, 0, Qt::AlignHCenter);
  form->addStretch(1);
  layout->addWidget(fields, 1);
  return UploadPanel;
}

void TMainAppForm::CreateStatusBar() {
  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName(QStringLiteral("StatusBar"));
  StatusBar->setFixedHeight(kStatusBarHeight);
  StatusBar->setSizeGripEnabled(true);
  StatusPanel = new QLabel(QStringLiteral("Idle"));
  StatusPanel->setObjectName(QStringLiteral("StatusPanel"));
  StatusBar->addWidget(StatusPanel);
  ProgressPanel = new TUploadProgressPanel;
  ProgressPanel->setObjectName(QStringLiteral("ProgressPanel"));
  StatusBar->addWidget(ProgressPanel, 1);
  setStatusBar(StatusBar);
  StatusBar->installEventFilter(this);
}

void TMainAppForm::ConnectControls() {
  auto click = [this](QAction* action, void (TMainAppForm::*handler)()) {
    connect(action, &QAction::triggered, this, handler);
  };
  auto press = [this](QToolButton* button, void (TMainAppForm::*handler)()) {
    connect(button, &QToolButton::clicked, this, handler);
  };

  click(Open1, &TMainAppForm::Open1Click);
  click(AddPictureFromAddressMenuItem, &TMainAppForm::AddPictureFromAddressMenuItemClick);
  click(SaveMenuItem, &TMainAppForm::SaveMenuItemClick);
  click(AcquireImageMenuItem, &TMainAppForm::AcquireImageMenuItemClick);
  click(SelectSourceMenuItem, &TMainAppForm::SelectSourceMenuItemClick);
  click(GrabFromScreenMenuItem, &TMainAppForm::GrabFromScreenMenuItemClick);
  click(UploadMenuItem, &TMainAppForm::UploadMenuItemClick);
  click(Newfolder1, &TMainAppForm::Newfolder1Click);
  click(FindPicturesMenuItem, &TMainAppForm::FindPicturesMenuItemClick);
  click(Exit1, &TMainAppForm::Exit1Click);
  click(RenameMenuItem, &TMainAppForm::RenameMenuItemClick);
  click(DeleteMenuItem, &TMainAppForm::DeleteMenuItemClick);
  click(PasteMenuItem, &TMainAppForm::PasteMenuItemClick);
  click(Options1, &TMainAppForm::Options1Click);
  click(Fitimageintopane, &TMainAppForm::FitimageintopaneClick);
  click(Contents1, &TMainAppForm::ContentsToolButtonClick);
  click(FAQMenuItem, &TMainAppForm::FAQMenuItemClick);
  click(SendToFriendMenuItem, &TMainAppForm::SendToFriendMenuItemClick);
  click(About1, &TMainAppForm::AboutToolButtonClick);

  press(OpenToolButton, &TMainAppForm::Open1Click);
  press(SaveToolButton, &TMainAppForm::SaveMenuItemClick);
  press(ImportFromTWAINToolButton, &TMainAppForm::AcquireImageMenuItemClick);
  press(GrabFromScreenToolButton, &TMainAppForm::GrabFromScreenMenuItemClick);
  press(UploadToolButton, &TMainAppForm::UploadMenuItemClick);
  press(NewFolderToolButton, &TMainAppForm::Newfolder1Click);
  press(RenameToolButton, &TMainAppForm::RenameMenuItemClick);
  press(DeleteToolButton, &TMainAppForm::DeleteMenuItemClick);
  press(OptionsToolButton, &TMainAppForm::Options1Click);
  press(FitToPaneToolButton, &TMainAppForm::FitimageintopaneClick);
  press(ContentsToolButton, &TMainAppForm::ContentsToolButtonClick);
  press(SendToFriendToolButton, &TMainAppForm::SendToFriendMenuItemClick);
  press(AboutToolButton, &TMainAppForm::AboutToolButtonClick);
  press(ExitToolButton, &TMainAppForm::Exit1Click);

  click(OpenPopupMenuItem, &TMainAppForm::Open1Click);
  click(SavePopupMenuItem, &TMainAppForm::SaveMenuItemClick);
  click(UploadPopupMenuItem, &TMainAppForm::UploadMenuItemClick);
  click(NewFolderPopupMenuItem, &TMainAppForm::Newfolder1Click);
  click(RenamePopupMenuItem, &TMainAppForm::RenameMenuItemClick);
  click(DeletePopupMenuItem, &TMainAppForm::DeleteMenuItemClick);
  click(UploadSrcImgMenuItem, &TMainAppForm::UploadMenuItemClick);
  click(FitToPaneSrcImgMenuItem, &TMainAppForm::FitimageintopaneClick);
  click(UploadTrgImgMenuItem, &TMainAppForm::UploadMenuItemClick);
  connect(TargetActualSizeMenuItem, &QAction::toggled, this, [this] { FitTargetImage(); });
  connect(TargetImage, &TPictureBox::DoubleClicked, TargetActualSizeMenuItem, &QAction::toggle);
  connect(UploadButton, &QPushButton::clicked, this, &TMainAppForm::UploadMenuItemClick);

  // The Delete key acts in the tree only (whatever the shift keys), so that
  // it still deletes text elsewhere: see LogoTreeViewKeyDown.
  LogoTreeView->installEventFilter(this);

  connect(LogoTreeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &TMainAppForm::LogoTreeViewChange);
  connect(treeModel_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
          &TMainAppForm::DropDisplayIfRemoved);
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
          &TMainAppForm::UpdatePasteState);
  connect(LogoTreeView, &QTreeView::doubleClicked, this, [this] {
    if (RenameMenuItem->isEnabled()) RenameMenuItemClick();
  });
  connect(LogoTreeView, &QTreeView::expanded, this, [](const QModelIndex& index) {
    if (LogoNode* node = LogoTreeModel::NodeOf(index)) node->SetExpanded(true);
  });
  connect(LogoTreeView, &QTreeView::collapsed, this, [](const QModelIndex& index) {
    if (LogoNode* node = LogoTreeModel::NodeOf(index)) node->SetExpanded(false);
  });
  connect(LogoTreeView, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    LogoTreePopupMenuPopup();
    LogoTreePopupMenu->popup(LogoTreeView->viewport()->mapToGlobal(pos));
  });
  connect(SourceImageScrollBox, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) {
            SourceImagePopupMenuPopup();
            SourceImagePopupMenu->popup(SourceImageScrollBox->mapToGlobal(pos));
          });
  connect(TargetBkgndScrollBox, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) {
            TargetImagePopupMenuPopup();
            TargetImagePopupMenu->popup(TargetBkgndScrollBox->mapToGlobal(pos));
          });

  connect(PhoneMake, &QComboBox::activated, this, &TMainAppForm::PhoneMakeChange);
  connect(PhoneModel, &QComboBox::activated, this, &TMainAppForm::PhoneModelChange);
  connect(LogoWidthUpDown, &QSpinBox::valueChanged, this, &TMainAppForm::LogoWidthChange);
  connect(LogoHeightUpDown, &QSpinBox::valueChanged, this, &TMainAppForm::LogoHeightChange);
  connect(FitIntoButtons, &QButtonGroup::idClicked, this, &TMainAppForm::FitIntoClick);
  connect(KeepProportions, &QCheckBox::clicked, this, &TMainAppForm::KeepProportionsClick);

  connect(SourceImage, &TPictureBox::MousePressed, this, &TMainAppForm::SourceImageMouseDown);
  connect(SourceImage, &TPictureBox::MouseMoved, this, &TMainAppForm::SourceImageMouseMove);
  connect(SourceImage, &TPictureBox::MouseReleased, this, &TMainAppForm::SourceImageMouseUp);
  connect(SelFrameTimer, &QTimer::timeout, this, &TMainAppForm::SelFrameTimerTimer);
  connect(ImageCursorTimer, &QTimer::timeout, this, &TMainAppForm::ImageCursorTimerTimer);
  connect(UploadProgressTimer, &QTimer::timeout, this, &TMainAppForm::UploadProgressTimerTimer);
}

bool TMainAppForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == StatusBar && event->type() == QEvent::Resize) {
    StatusBarResize();
  } else if (watched == SourceImageScrollBox && event->type() == QEvent::Resize) {
    SourceImageScrollBoxResize();
  } else if (watched == TargetBkgndScrollBox && event->type() == QEvent::Resize) {
    FitTargetImage();
  } else if (watched == ImageStatusBar && event->type() == QEvent::Resize) {
    ArrangeImageStatus(false);
  } else if (watched == SourceImageScrollBox && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (SourceImageKeyDown(key->key(), key->modifiers())) return true;
  } else if (LogoTreeView != nullptr && watched == LogoTreeView->viewport() &&
             TreeDragEvent(event)) {
    return true;
  } else if (LogoTreeView != nullptr && watched == LogoTreeView &&
             event->type() == QEvent::KeyPress) {
    if (LogoTreeViewKeyDown(static_cast<QKeyEvent*>(event)->key())) return true;
  } else if (LogoTreeView != nullptr && watched == LogoTreeView->viewport() &&
             event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    LogoTreeViewMouseDown(mouse->button(), mouse->position().toPoint());
  }
  return QMainWindow::eventFilter(watched, event);
}

void TMainAppForm::LogoTreeViewMouseDown(Qt::MouseButton button, QPoint position) {
  if (button != Qt::RightButton) return;
  const QModelIndex index = LogoTreeView->indexAt(position);
  if (index.isValid()) LogoTreeView->setCurrentIndex(index);
}

bool TMainAppForm::LogoTreeViewKeyDown(int key) {
  if (key != Qt::Key_Delete) return false;
  // During an upload the key is refused with a word, not ignored.
  if (DeleteMenuItem->isEnabled() || IsUploading()) DeleteMenuItemClick();
  return true;
}

void TMainAppForm::StatusBarResize() {
  StatusPanel->setFixedWidth(StatusBar->contentsRect().width() / 2);
}

void TMainAppForm::ArrangeImageStatus(bool textsChanged) {
  // The four panels stand in one row while their texts fit in it, else in
  // two rows (a narrow window, a large desktop font, a high scale factor):
  // a size is never cut off. A change of text only ever adds the second
  // row, so that dragging the frame does not make the bar jump.
  int needed = 3 * 2;
  for (const QLabel* panel : imageStatusPanels_)
    needed += panel->fontMetrics().horizontalAdvance(panel->text()) + 2 * panel->frameWidth() + 6;
  const bool twoRows = needed > ImageStatusBar->width() && ImageStatusBar->width() > 0;
  if (textsChanged && !twoRows) return;
  if (twoRows == imageStatusTwoRows_ && ImageStatusBar->layout()->count() == 4) return;
  imageStatusTwoRows_ = twoRows;
  auto* grid = static_cast<QGridLayout*>(ImageStatusBar->layout());
  for (QLabel* panel : imageStatusPanels_)
    grid->removeWidget(panel);
  for (int column = 0; column < 4; ++column)
    grid->setColumnStretch(column, 0);
  for (size_t i = 0; i < imageStatusPanels_.size(); ++i) {
    const int row = twoRows ? static_cast<int>(i) / 2 : 0;
    const int column = twoRows ? static_cast<int>(i) % 2 : static_cast<int>(i);
    grid->addWidget(imageStatusPanels_[i], row, column);
    grid->setColumnStretch(column, std::max(grid->columnStretch(column), imageStatusStretch_[i]));
  }
  ImageStatusBar->setFixedHeight(twoRows ? 2 * kImageStatusHeight + 2 : kImageStatusHeight);
}

QString TMainAppForm::ImageStatusText(int panel) const {
  return imageStatusPanels_.at(static_cast<size_t>(panel))->text();
}

QString TMainAppForm::StatusText() const {
  return StatusPanel->text();
}

}  // namespace quillet

#include "gui/settings/OptionsForm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "gui/app/WindowPlacement.h"
#include "gui/settings/ColorButton.h"

namespace quillet {

namespace {

constexpr int kTreeWidth = 104;
constexpr int kPagesWidth = 225;
constexpr int kButtonPanelHeight = 37;
constexpr QSize kClientSize(329, 361);
constexpr QSize kButtonSize(75, 25);

const char* const kPageCaptions[] = {"Connectivity", "Imaging", "Confirmations", "General"};

QString FromStd(const std::string& text) {
  return QString::fromStdString(text);
}

template <class Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QLineEdit* NewPasswordEdit(QWidget* parent, const char* name) {
  auto* edit = Named(new QLineEdit(parent), name);
  edit->setEchoMode(QLineEdit::Password);
  // A star for every character typed, whatever the style draws by default.
  edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
  return edit;
}

QComboBox* NewDropDownList(QWidget* parent, const char* name, const QStringList& items) {
  auto* list = Named(new QComboBox(parent), name);
  list->addItems(items);
  return list;
}

QSlider* NewTrackBar(QWidget* parent, const char* name, int minimum, int maximum, int step) {
  auto* bar = Named(new QSlider(Qt::Horizontal, parent), name);
  bar->setRange(minimum, maximum);
  bar->setSingleStep(step);
  bar->setPageStep(step);
  bar->setTickInterval(step);
  bar->setTickPosition(QSlider::TicksAbove);
  return bar;
}

QString JpegQualityText(int position) {
  return QStringLiteral("JPEG Quality: %1%").arg(position);
}

QString GifBitDepthText(int position) {
  return QStringLiteral("Bits Per Pixel: %1 bits").arg(position);
}

}  // namespace

TOptionsForm::TOptionsForm(std::string programFolder, Prompts& prompts, QWidget* parent,
                           SystemProxyReader systemProxy)
    : QDialog(parent),
      programFolder_(std::move(programFolder)),
      prompts_(prompts),
      systemProxy_(std::move(systemProxy)) {
  setObjectName(QStringLiteral("OptionsForm"));
  setWindowTitle(QStringLiteral("Quillet Options"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  CreateControls();
  ConnectControls();
  options_ = LoadOptions(programFolder_, prompts_, systemProxy_);
  ApplyToControls();
  OptionsTreeView->expandAll();
  OptionsTreeView->setCurrentItem(PageNode(0));
  setFixedSize(sizeHint().expandedTo(kClientSize));
}

QTreeWidgetItem* TOptionsForm::PageNode(int index) const {
  return rootNode_->child(index);
}

void TOptionsForm::CreateControls() {
  OptionsTreeView = Named(new QTreeWidget(this), "OptionsTreeView");
  OptionsTreeView->setHeaderHidden(true);
  OptionsTreeView->setRootIsDecorated(false);
  OptionsTreeView->setItemsExpandable(false);
  OptionsTreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  OptionsTreeView->setMouseTracking(true);
  OptionsTreeView->setAttribute(Qt::WA_Hover);
  OptionsTreeView->setIndentation(12);
  QFont bold = OptionsTreeView->font();
  bold.setBold(true);
  OptionsTreeView->setFont(bold);
  // Keep the chosen page visibly selected when the focus moves to a page.
  QPalette palette = OptionsTreeView->palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight,
                   palette.color(QPalette::Active, QPalette::Highlight));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   palette.color(QPalette::Active, QPalette::HighlightedText));
  OptionsTreeView->setPalette(palette);
  rootNode_ = new QTreeWidgetItem(OptionsTreeView, QStringList{QStringLiteral("Options")});
  rootNode_->setFlags(Qt::ItemIsEnabled);
  int widest = 0;
  QFontMetrics metrics(bold);
  for (const char* caption : kPageCaptions) {
    QString text = QString::fromLatin1(caption);
    new QTreeWidgetItem(rootNode_, QStringList{text});
    widest = std::max(widest, metrics.horizontalAdvance(text));
  }
  // Wide enough for the longest page name in the font of this desktop.
  const int needed =
      widest + OptionsTreeView->indentation() + 2 * OptionsTreeView->frameWidth() + 12;
  OptionsTreeView->setFixedWidth(std::max(kTreeWidth, needed));

  OptionsPageControl = Named(new QStackedWidget(this), "OptionsPageControl");
  OptionsPageControl->setMinimumWidth(kPagesWidth);
  ConnectivityTabSheet = CreateConnectivityPage();
  ImagingTabSheet = CreateImagingPage();
  ConfirmationsTabSheet = CreateConfirmationsPage();
  GeneralTabSheet = CreateGeneralPage();
  for (QWidget* page :
       {ConnectivityTabSheet, ImagingTabSheet, ConfirmationsTabSheet, GeneralTabSheet})
    OptionsPageControl->addWidget(page);

  auto* body = new QHBoxLayout;
  body->setContentsMargins(4, 4, 4, 0);
  body->setSpacing(4);
  body->addWidget(OptionsTreeView);
  body->addWidget(OptionsPageControl, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addLayout(body, 1);
  layout->addWidget(CreateButtonPanel());
}

QWidget* TOptionsForm::CreateConnectivityPage() {
  auto* page = Named(new QWidget, "ConnectivityTabSheet");
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);

  SystemAuthorizationGroupBox = Named(new QGroupBox(QStringLiteral("System Authorization"), page),
                                      "SystemAuthorizationGroupBox");
  auto* authorization = new QGridLayout(SystemAuthorizationGroupBox);
  Login = Named(new QLineEdit(SystemAuthorizationGroupBox), "Login");
  Password = NewPasswordEdit(SystemAuthorizationGroupBox, "Password");
  auto* loginLabel = new QLabel(QStringLiteral("Login"), SystemAuthorizationGroupBox);
  auto* passwordLabel = new QLabel(QStringLiteral("Password"), SystemAuthorizationGroupBox);
  loginLabel->setBuddy(Login);
  passwordLabel->setBuddy(Password);
  authorization->addWidget(loginLabel, 0, 0);
  authorization->addWidget(Login, 0, 1);
  authorization->addWidget(passwordLabel, 1, 0);
  authorization->addWidget(Password, 1, 1);
  layout->addWidget(SystemAuthorizationGroupBox);

  ProxySettingsGroupBox =
      Named(new QGroupBox(QStringLiteral("Proxy Settings"), page), "ProxySettingsGroupBox");
  auto* proxy = new QVBoxLayout(ProxySettingsGroupBox);
  ProxySourceRadioGroup = Named(new QWidget(ProxySettingsGroupBox), "ProxySourceRadioGroup");
  auto* radios = new QVBoxLayout(ProxySourceRadioGroup);
  radios->setContentsMargins(0, 0, 0, 0);
  ProxySourceButtons = new QButtonGroup(ProxySourceRadioGroup);
  const char* const sources[] = {"Use Internet Explorer Proxy Settings", "Manual Proxy Settings",
                                 "No Proxy"};
  for (int item = 0; item < 3; ++item) {
    auto* radio = new QRadioButton(QString::fromLatin1(sources[item]), ProxySourceRadioGroup);
    ProxySourceButtons->addButton(radio, item);
    radios->addWidget(radio);
  }
  proxy->addWidget(ProxySourceRadioGroup);

  auto* address = new QGridLayout;
  Host = Named(new QLineEdit(ProxySettingsGroupBox), "Host");
  Port = Named(new QLineEdit(ProxySettingsGroupBox), "Port");
  Port->setFixedWidth(48);
  auto* hostLabel = new QLabel(QStringLiteral("Host"), ProxySettingsGroupBox);
  auto* portLabel = new QLabel(QStringLiteral("Port"), ProxySettingsGroupBox);
  hostLabel->setBuddy(Host);
  portLabel->setBuddy(Port);
  auto* colon = new QLabel(QStringLiteral(":"), ProxySettingsGroupBox);
  QFont bold = colon->font();
  bold.setBold(true);
  colon->setFont(bold);
  address->addWidget(hostLabel, 0, 0);
  address->addWidget(portLabel, 0, 2);
  address->addWidget(Host, 1, 0);
  address->addWidget(colon, 1, 1);
  address->addWidget(Port, 1, 2);
  address->setColumnStretch(0, 1);
  address->setVerticalSpacing(1);
  proxy->addLayout(address);

  ProxyRequiresAuthentication =
      Named(new QCheckBox(QStringLiteral("Proxy Requires Authentication"), ProxySettingsGroupBox),
            "ProxyRequiresAuthentication");
  proxy->addWidget(ProxyRequiresAuthentication);

  auto* credentials = new QGridLayout;
  ProxyLogin = Named(new QLineEdit(ProxySettingsGroupBox), "ProxyLogin");
  ProxyPassword = NewPasswordEdit(ProxySettingsGroupBox, "ProxyPassword");
  auto* userLabel = new QLabel(QStringLiteral("Proxy User"), ProxySettingsGroupBox);
  auto* proxyPasswordLabel = new QLabel(QStringLiteral("Proxy Password"), ProxySettingsGroupBox);
  userLabel->setBuddy(ProxyLogin);
  proxyPasswordLabel->setBuddy(ProxyPassword);
  credentials->addWidget(userLabel, 0, 0);
  credentials->addWidget(ProxyLogin, 0, 1);
  credentials->addWidget(proxyPasswordLabel, 1, 0);
  credentials->addWidget(ProxyPassword, 1, 1);
  proxy->addLayout(credentials);
  layout->addWidget(ProxySettingsGroupBox);
  layout->addStretch(1);
  return page;
}

QWidget* TOptionsForm::CreateImagingPage() {
  auto* page = Named(new QWidget, "ImagingTabSheet");
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);

  ShowLogoChangeCheckBox =
      Named(new QCheckBox(QStringLiteral("Show logo change during frame resize"), page),
            "ShowLogoChangeCheckBox");
  layout->addWidget(ShowLogoChangeCheckBox);
  auto* fill = new QHBoxLayout;
  FillInEmptyAreaCheckBox =
      Named(new QCheckBox(QStringLiteral("Fill in empty area with color :"), page),
            "FillInEmptyAreaCheckBox");
  EmptyAreaColorButton = Named(new TColorButton(page), "EmptyAreaColorButton");
  fill->addWidget(FillInEmptyAreaCheckBox);
  fill->addWidget(EmptyAreaColorButton);
  fill->addStretch(1);
  layout->addLayout(fill);

  JPEGGroupBox = Named(new QGroupBox(QStringLiteral("JPEG"), page), "JPEGGroupBox");
  auto* jpeg = new QVBoxLayout(JPEGGroupBox);
  JPEGQualityTrackBar = NewTrackBar(JPEGGroupBox, "JPEGQualityTrackBar", 10, 100, 10);
  JPEGQualityLabel = Named(new QLabel(JPEGGroupBox), "JPEGQualityLabel");
  ShowJPEGDialogCheckBox =
      Named(new QCheckBox(QStringLiteral("Show JPEG dialog box before upload"), JPEGGroupBox),
            "ShowJPEGDialogCheckBox");
  jpeg->addWidget(JPEGQualityTrackBar);
  jpeg->addWidget(JPEGQualityLabel);
  jpeg->addWidget(ShowJPEGDialogCheckBox);
  layout->addWidget(JPEGGroupBox);

  GIFGroupBox = Named(new QGroupBox(QStringLiteral("GIF"), page), "GIFGroupBox");
  auto* gif = new QVBoxLayout(GIFGroupBox);
  GIFBitDepthTrackBar = NewTrackBar(GIFGroupBox, "GIFBitDepthTrackBar", 3, 8, 1);
  GIFBitDepthLabel = Named(new QLabel(GIFGroupBox), "GIFBitDepthLabel");
  ShowGIFDialogCheckBox =
      Named(new QCheckBox(QStringLiteral("Show GIF dialog box before upload"), GIFGroupBox),
            "ShowGIFDialogCheckBox");
  gif->addWidget(GIFBitDepthTrackBar);
  gif->addWidget(GIFBitDepthLabel);
  gif->addWidget(ShowGIFDialogCheckBox);
  layout->addWidget(GIFGroupBox);
  layout->addStretch(1);
  return page;
}

QWidget* TOptionsForm::CreateConfirmationsPage() {
  auto* page = Named(new QWidget, "ConfirmationsTabSheet");
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  const QStringList retain{QStringLiteral("Ask"), QStringLiteral("Retain"),
                           QStringLiteral("Delete")};
  const QStringList formats{QStringLiteral(".BMP"), QStringLiteral(".JPG"), QStringLiteral(".GIF"),
                            QStringLiteral(".PNG"), QStringLiteral("Ask")};
  struct Group {
    QGroupBox*& box;
    const char* boxName;
    const char* caption;
    const char* listLabel;
    QComboBox*& list;
    const char* listName;
    const QStringList& items;
    QCheckBox*& ask;
    const char* askName;
  };
  const Group groups[] = {
      {ConversionGroupBox, "ConversionGroupBox", "File Format Conversion",
       "Retain original file:", ConvertRetainSourceComboBox, "ConvertRetainSourceComboBox", retain,
       ConvertAskTargetNameCheckBox, "ConvertAskTargetNameCheckBox"},
      {MirrorImageGroupBox, "MirrorImageGroupBox", "Mirror Image",
       "Retain original file:", MirrorRetainSourceComboBox, "MirrorRetainSourceComboBox", retain,
       MirrorAskTargetNameCheckBox, "MirrorAskTargetNameCheckBox"},
      {RotateImageGroupBox, "RotateImageGroupBox", "Rotate Image",
       "Retain original file:", RotateRetainSourceComboBox, "RotateRetainSourceComboBox", retain,
       RotateAskTargetNameCheckBox, "RotateAskTargetNameCheckBox"},
      {ImportFromTWAINGroupBox, "ImportFromTWAINGroupBox", "Import Image From TWAIN Source",
       "Imported file format:", ImportedFileFormatComboBox, "ImportedFileFormatComboBox", formats,
       ImportAskTargetNameCheckBox, "ImportAskTargetNameCheckBox"},
      {GrabFromScreenGroupBox, "GrabFromScreenGroupBox", "Grab From Screen",
       "Grabbed file format:", GrabbedFileFormatComboBox, "GrabbedFileFormatComboBox", formats,
       GrabAskTargetNameCheckBox, "GrabAskTargetNameCheckBox"},
  };
  for (const Group& group : groups) {
    group.box = Named(new QGroupBox(QString::fromLatin1(group.caption), page), group.boxName);
    auto* grid = new QGridLayout(group.box);
    grid->setContentsMargins(6, 2, 6, 2);
    grid->setVerticalSpacing(1);
    auto* label = new QLabel(QString::fromLatin1(group.listLabel), group.box);
    group.list = NewDropDownList(group.box, group.listName, group.items);
    label->setBuddy(group.list);
    group.ask =
        Named(new QCheckBox(QStringLiteral("Ask for target file name"), group.box), group.askName);
    grid->addWidget(label, 0, 0);
    grid->addWidget(group.list, 0, 1);
    grid->addWidget(group.ask, 1, 0, 1, 2);
    layout->addWidget(group.box);
  }
  layout->addStretch(1);
  return page;
}

QWidget* TOptionsForm::CreateGeneralPage() {
  auto* page = Named(new QWidget, "GeneralTabSheet");
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  NewVersionCheckBox =
      Named(new QCheckBox(QStringLiteral("Perform new version check at startup"), page),
            "NewVersionCheckBox");
  AccessHintCheckBox = Named(new QCheckBox(QStringLiteral("Show hint after image upload"), page),
                             "AccessHintCheckBox");
  layout->addWidget(NewVersionCheckBox);
  layout->addWidget(AccessHintCheckBox);
  layout->addStretch(1);
  return page;
}

QWidget* TOptionsForm::CreateButtonPanel() {
  ButtonPanel = Named(new QWidget(this), "ButtonPanel");
  ButtonPanel->setFixedHeight(kButtonPanelHeight);
  auto* layout = new QHBoxLayout(ButtonPanel);
  layout->setContentsMargins(4, 0, 6, 0);
  OKButton = Named(new QPushButton(QStringLiteral("OK"), ButtonPanel), "OKButton");
  CancelButton = Named(new QPushButton(QStringLiteral("Cancel"), ButtonPanel), "CancelButton");
  OKButton->setFixedSize(kButtonSize);
  CancelButton->setFixedSize(kButtonSize);
  OKButton->setDefault(true);
  layout->addStretch(1);
  layout->addWidget(OKButton);
  layout->addWidget(CancelButton);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  return ButtonPanel;
}

void TOptionsForm::ConnectControls() {
  auto text = [this](QLineEdit* edit, std::string Options::*field) {
    connect(edit, &QLineEdit::textChanged, this, [this, field](const QString& value) {
      if (!filling_) options_.*field = value.toStdString();
    });
  };
  text(Login, &Options::login);
  text(Password, &Options::password);
  text(Host, &Options::proxyhost);
  text(Port, &Options::proxyport);
  text(ProxyLogin, &Options::proxylogin);
  text(ProxyPassword, &Options::proxypassword);

  auto flag = [this](QCheckBox* box, bool Options::*field) {
    connect(box, &QCheckBox::toggled, this, [this, field](bool checked) {
      if (!filling_) options_.*field = checked;
    });
  };
  flag(ProxyRequiresAuthentication, &Options::proxyauthentication);
  flag(ShowLogoChangeCheckBox, &Options::showlogochange);
  flag(FillInEmptyAreaCheckBox, &Options::fillemptyarea);
  flag(ShowJPEGDialogCheckBox, &Options::showjpegdialog);
  flag(ShowGIFDialogCheckBox, &Options::showgifdialog);
  flag(ConvertAskTargetNameCheckBox, &Options::convertasktargetname);
  flag(MirrorAskTargetNameCheckBox, &Options::mirrorasktargetname);
  flag(RotateAskTargetNameCheckBox, &Options::rotateasktargetname);
  flag(ImportAskTargetNameCheckBox, &Options::importasktargetname);
  flag(GrabAskTargetNameCheckBox, &Options::grabasktargetname);
  flag(AccessHintCheckBox, &Options::enableaccesshint);
  flag(NewVersionCheckBox, &Options::checknewversion);

  auto retain = [this](QComboBox* list, RetainSource Options::*field) {
    connect(list, &QComboBox::currentIndexChanged, this, [this, field](int index) {
      if (!filling_ && index >= 0) options_.*field = static_cast<RetainSource>(index);
    });
  };
  retain(ConvertRetainSourceComboBox, &Options::convertretainsource);
  retain(MirrorRetainSourceComboBox, &Options::mirrorretainsource);
  retain(RotateRetainSourceComboBox, &Options::rotateretainsource);
  auto format = [this](QComboBox* list, AcquiredFormat Options::*field) {
    connect(list, &QComboBox::currentIndexChanged, this, [this, field](int index) {
      if (!filling_ && index >= 0) options_.*field = static_cast<AcquiredFormat>(index);
    });
  };
  format(ImportedFileFormatComboBox, &Options::importedfileformat);
  format(GrabbedFileFormatComboBox, &Options::grabbedfileformat);

  connect(ProxySourceButtons, &QButtonGroup::idToggled, this, [this](int item, bool checked) {
    if (!filling_ && checked) options_.proxysource = static_cast<ProxySource>(item);
  });
  connect(ProxySourceButtons, &QButtonGroup::idClicked, this,
          &TOptionsForm::ProxySourceRadioGroupClick);
  connect(ProxyRequiresAuthentication, &QCheckBox::toggled, this,
          &TOptionsForm::ProxyRequiresAuthenticationClick);
  connect(FillInEmptyAreaCheckBox, &QCheckBox::toggled, this,
          &TOptionsForm::FillInEmptyAreaCheckBoxClick);
  connect(EmptyAreaColorButton, &TColorButton::SwatchColorChanged, this, [this](quint32 color) {
    if (!filling_) options_.emptyareacolor = static_cast<std::int32_t>(color);
  });
  connect(JPEGQualityTrackBar, &QSlider::valueChanged, this,
          &TOptionsForm::JPEGQualityTrackBarChange);
  connect(GIFBitDepthTrackBar, &QSlider::valueChanged, this,
          &TOptionsForm::GIFBitDepthTrackBarChange);
  connect(OptionsTreeView, &QTreeWidget::currentItemChanged, this,
          &TOptionsForm::OptionsTreeViewChange);
  // A click on the root clears the selection after the current node has been
  // put back; the page's node stays the selected one.
  connect(OptionsTreeView, &QTreeWidget::itemSelectionChanged, this, [this] {
    QTreeWidgetItem* current = OptionsTreeView->currentItem();
    if (current != nullptr && current != rootNode_ && !current->isSelected())
      current->setSelected(true);
  });
}

void TOptionsForm::ApplyToControls() {
  options_.jpegquality = SnapJpegQuality(options_.jpegquality);
  options_.gifbitdepth = ClampGifBitDepth(options_.gifbitdepth);
  filling_ = true;
  Login->setText(FromStd(options_.login));
  Password->setText(FromStd(options_.password));
  if (QAbstractButton* source = ProxySourceButtons->button(static_cast<int>(options_.proxysource)))
    source->setChecked(true);
  Host->setText(FromStd(options_.proxyhost));
  Port->setText(FromStd(options_.proxyport));
  ProxyRequiresAuthentication->setChecked(options_.proxyauthentication);
  ProxyLogin->setText(FromStd(options_.proxylogin));
  ProxyPassword->setText(FromStd(options_.proxypassword));
  ShowLogoChangeCheckBox->setChecked(options_.showlogochange);
  FillInEmptyAreaCheckBox->setChecked(options_.fillemptyarea);
  EmptyAreaColorButton->SetSwatchColor(static_cast<Color>(options_.emptyareacolor));
  JPEGQualityTrackBar->setValue(options_.jpegquality);
  ShowJPEGDialogCheckBox->setChecked(options_.showjpegdialog);
  GIFBitDepthTrackBar->setValue(options_.gifbitdepth);
  ShowGIFDialogCheckBox->setChecked(options_.showgifdialog);
  ConvertRetainSourceComboBox->setCurrentIndex(static_cast<int>(options_.convertretainsource));
  ConvertAskTargetNameCheckBox->setChecked(options_.convertasktargetname);
  MirrorRetainSourceComboBox->setCurrentIndex(static_cast<int>(options_.mirrorretainsource));
  MirrorAskTargetNameCheckBox->setChecked(options_.mirrorasktargetname);
  RotateRetainSourceComboBox->setCurrentIndex(static_cast<int>(options_.rotateretainsource));
  RotateAskTargetNameCheckBox->setChecked(options_.rotateasktargetname);
  ImportedFileFormatComboBox->setCurrentIndex(static_cast<int>(options_.importedfileformat));
  ImportAskTargetNameCheckBox->setChecked(options_.importasktargetname);
  GrabbedFileFormatComboBox->setCurrentIndex(static_cast<int>(options_.grabbedfileformat));
  GrabAskTargetNameCheckBox->setChecked(options_.grabasktargetname);
  AccessHintCheckBox->setChecked(options_.enableaccesshint);
  NewVersionCheckBox->setChecked(options_.checknewversion);
  filling_ = false;
  EmptyAreaColorButton->setEnabled(ColourButtonEnabled(options_));
  ApplyProxyFieldRule();
  ShowLabels();
}

bool TOptionsForm::SaveCurrent() {
  return SaveOptions(options_, programFolder_, prompts_);
}

void TOptionsForm::ReloadOptions() {
  options_ = LoadOptions(programFolder_, prompts_, systemProxy_);
  ApplyToControls();
}

void TOptionsForm::done(int result) {
  if (result == QDialog::Accepted)
    SaveCurrent();
  else
    ReloadOptions();
  QDialog::done(result);
}

void TOptionsForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(*this);
  FormShow();
}

void TOptionsForm::FormShow() {
  ShowLabels();
}

void TOptionsForm::ShowLabels() {
  JPEGQualityLabel->setText(JpegQualityText(JPEGQualityTrackBar->value()));
  GIFBitDepthLabel->setText(GifBitDepthText(GIFBitDepthTrackBar->value()));
}

void TOptionsForm::OptionsTreeViewChange(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
  // The root is no page: choosing it keeps the node and page shown before.
  if (current == nullptr || current == rootNode_) {
    if (previous != nullptr && previous != rootNode_) {
      QSignalBlocker blocker(OptionsTreeView);
      OptionsTreeView->setCurrentItem(previous);
    }
    return;
  }
  OptionsPageControl->setCurrentIndex(rootNode_->indexOfChild(current));
}

void TOptionsForm::JPEGQualityTrackBarChange(int position) {
  int snapped = SnapJpegQuality(position);
  if (snapped != position) {
    // Lands here again with the snapped position, which writes the record.
    JPEGQualityTrackBar->setValue(snapped);
    return;
  }
  if (!filling_) options_.jpegquality = position;
  JPEGQualityLabel->setText(JpegQualityText(position));
}

void TOptionsForm::GIFBitDepthTrackBarChange(int position) {
  if (!filling_) options_.gifbitdepth = position;
  GIFBitDepthLabel->setText(GifBitDepthText(position));
}

void TOptionsForm::FillInEmptyAreaCheckBoxClick(bool checked) {
  EmptyAreaColorButton->setEnabled(checked);
}

void TOptionsForm::ProxySourceRadioGroupClick(int item) {
  options_.proxysource = static_cast<ProxySource>(item);
  if (options_.proxysource == ProxySource::System) {
    ApplySystemProxy(options_, systemProxy_);
    filling_ = true;
    Host->setText(FromStd(options_.proxyhost));
    Port->setText(FromStd(options_.proxyport));
    filling_ = false;
  }
  ApplyProxyFieldRule();
}

void TOptionsForm::ProxyRequiresAuthenticationClick(bool) {
  ApplyProxyFieldRule();
}

void TOptionsForm::ApplyProxyFieldRule() {
  ProxyFieldsEnabled enabled = ProxyFieldsEnabledFor(options_);
  Host->setEnabled(enabled.hostPortAndAuthentication);
  Port->setEnabled(enabled.hostPortAndAuthentication);
  ProxyRequiresAuthentication->setEnabled(enabled.hostPortAndAuthentication);
  ProxyLogin->setEnabled(enabled.proxyCredentials);
  ProxyPassword->setEnabled(enabled.proxyCredentials);
}

}  // namespace quillet

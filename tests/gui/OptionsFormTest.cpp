#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "core/settings/Options.h"
#include "gui/settings/ColorButton.h"
#include "gui/settings/OptionsForm.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

using quillet::Options;
using quillet::ProxySource;
using quillet::SystemProxy;
using quillet::TOptionsForm;
using quillet::testing::ScriptedPrompts;
using quillet::testing::TempDir;

Q_DECLARE_METATYPE(ProxySource)

namespace {

SystemProxy TestSystemProxy() {
  return SystemProxy{"proxy.lan", "8080"};
}

// A form over a fresh program folder whose system proxy is proxy.lan:8080.
struct Fixture {
  TempDir folder;
  ScriptedPrompts prompts;
  std::unique_ptr<TOptionsForm> form;

  explicit Fixture(const char* optionsXml = nullptr) {
    if (optionsXml != nullptr) folder.Write("options.xml", optionsXml);
    form = std::make_unique<TOptionsForm>(folder.Path(), prompts, nullptr, TestSystemProxy);
  }
  Options FileOptions() {
    quillet::SilentPrompts silent;
    return quillet::LoadOptions(folder.Path(), silent, {});
  }
};

constexpr const char* kManualProxyFile =
    "<options><proxysource value=\"manual\"/><proxyhost value=\"cache.example\"/>"
    "<proxyport value=\"3128\"/><login value=\"ann\"/><fillemptyarea value=\"yes\"/>"
    "<emptyareacolor value=\"255\"/><jpegquality value=\"70\"/></options>";

}  // namespace

class OptionsFormTest : public QObject {
  Q_OBJECT

 private slots:
  void showsTheDialogsCaptionsAndNamedControls();
  void defaultsWithoutAFileAndTheLabelTexts();
  void okWritesTheFileColourIncluded();
  void execReturnsAfterOkAndTheFileIsWritten();
  void cancelRereadsTheFile_data();
  void cancelRereadsTheFile();
  void cancelWithoutAFileRestoresDefaults();
  void jpegTrackBarSnapsToTens_data();
  void jpegTrackBarSnapsToTens();
  void gifTrackBarLabelFollows();
  void proxyFieldsFollowSourceAndCheckBox_data();
  void proxyFieldsFollowSourceAndCheckBox();
  void choosingTheSystemSourceFillsHostAndPort();
  void fillCheckBoxEnablesColourButtonAndKeepsColour();
  void clickingTheRootKeepsThePage();
  void pageChosenPersistsBetweenOpenings();
  void corruptFileIsReportedAndDefaultsKept();
  void editedOptionsReachControlsAndFile();
};

void OptionsFormTest::showsTheDialogsCaptionsAndNamedControls() {
  Fixture f;
  QCOMPARE(f.form->windowTitle(), QStringLiteral("Quillet Options"));
  QTreeWidgetItem* root = f.form->RootNode();
  QCOMPARE(root->text(0), QStringLiteral("Options"));
  QStringList children;
  for (int i = 0; i < root->childCount(); ++i)
    children << root->child(i)->text(0);
  QCOMPARE(children, (QStringList{"Connectivity", "Imaging", "Confirmations", "General"}));
  QCOMPARE(f.form->OptionsPageControl->count(), 4);
  QCOMPARE(f.form->OptionsPageControl->currentWidget(), f.form->ConnectivityTabSheet);
  for (const char* name : {"OptionsTreeView",
                           "OptionsPageControl",
                           "ConnectivityTabSheet",
                           "ImagingTabSheet",
                           "ConfirmationsTabSheet",
                           "GeneralTabSheet",
                           "Login",
                           "Password",
                           "ProxySourceRadioGroup",
                           "Host",
                           "Port",
                           "ProxyRequiresAuthentication",
                           "ProxyLogin",
                           "ProxyPassword",
                           "ShowLogoChangeCheckBox",
                           "FillInEmptyAreaCheckBox",
                           "EmptyAreaColorButton",
                           "JPEGQualityTrackBar",
                           "JPEGQualityLabel",
                           "GIFBitDepthTrackBar",
                           "GIFBitDepthLabel",
                           "ConvertRetainSourceComboBox",
                           "GrabbedFileFormatComboBox",
                           "NewVersionCheckBox",
                           "AccessHintCheckBox",
                           "ButtonPanel",
                           "OKButton",
                           "CancelButton"}) {
    QVERIFY2(f.form->findChild<QObject*>(QString::fromLatin1(name)) != nullptr, name);
  }
  QCOMPARE(f.form->ProxySourceButtons->button(0)->text(),
           QStringLiteral("Use Internet Explorer Proxy Settings"));
  QCOMPARE(f.form->ImportedFileFormatComboBox->itemText(4), QStringLiteral("Ask"));
  QCOMPARE(f.form->MirrorRetainSourceComboBox->itemText(1), QStringLiteral("Retain"));
  QCOMPARE(f.form->JPEGQualityTrackBar->tickPosition(), QSlider::TicksAbove);
  QVERIFY(f.form->OKButton->isDefault());
  QCOMPARE(f.form->Password->echoMode(), QLineEdit::Password);
}

void OptionsFormTest::defaultsWithoutAFileAndTheLabelTexts() {
  Fixture f;
  Options expected;
  expected.proxyhost = "proxy.lan";
  expected.proxyport = "8080";
  QCOMPARE(f.form->Current(), expected);
  QVERIFY(f.prompts.Messages().empty());
  f.form->show();
  QCOMPARE(f.form->JPEGQualityLabel->text(), QStringLiteral("JPEG Quality: 90%"));
  QCOMPARE(f.form->GIFBitDepthLabel->text(), QStringLiteral("Bits Per Pixel: 8 bits"));
  QVERIFY(f.form->CheckNewVersionAtStart());
  QVERIFY(!f.form->EmptyAreaColorButton->isEnabled());
  QCOMPARE(f.form->ConvertRetainSourceComboBox->currentText(), QStringLiteral("Delete"));
  QCOMPARE(f.form->GrabbedFileFormatComboBox->currentText(), QStringLiteral(".JPG"));
}

void OptionsFormTest::okWritesTheFileColourIncluded() {
  Fixture f;
  f.form->show();
  f.form->Login->setText(QStringLiteral("bob"));
  f.form->FillInEmptyAreaCheckBox->click();
  f.form->EmptyAreaColorButton->SetSwatchColor(0x0000FF);
  f.form->JPEGQualityTrackBar->setValue(40);
  f.form->GrabbedFileFormatComboBox->setCurrentIndex(4);
  f.form->NewVersionCheckBox->click();
  QTest::mouseClick(f.form->OKButton, Qt::LeftButton);
  QVERIFY(!f.form->isVisible());
  QCOMPARE(f.form->result(), int(QDialog::Accepted));

  Options saved = f.FileOptions();
  QCOMPARE(saved.login, std::string("bob"));
  QVERIFY(saved.fillemptyarea);
  QCOMPARE(saved.emptyareacolor, 255);
  QCOMPARE(saved.jpegquality, 40);
  QCOMPARE(saved.grabbedfileformat, quillet::AcquiredFormat::Ask);
  QVERIFY(!saved.checknewversion);
  // The system proxy shown while the system source is chosen is stored too.
  QVERIFY(f.folder.Read("options.xml").find("<proxyhost value=\"proxy.lan\"/>") !=
          std::string::npos);
  saved.proxyhost = f.form->Current().proxyhost;
  saved.proxyport = f.form->Current().proxyport;
  QCOMPARE(saved, f.form->Current());
}

void OptionsFormTest::execReturnsAfterOkAndTheFileIsWritten() {
  Fixture f;
  f.form->Login->setText(QStringLiteral("carol"));
  QTimer::singleShot(0, f.form.get(), [&] { f.form->OKButton->click(); });
  QCOMPARE(f.form->exec(), int(QDialog::Accepted));
  QCOMPARE(f.FileOptions().login, std::string("carol"));
}

void OptionsFormTest::cancelRereadsTheFile_data() {
  QTest::addColumn<QString>("how");
  QTest::newRow("Cancel button") << "button";
  QTest::newRow("Escape key") << "escape";
  QTest::newRow("close box") << "close";
}

void OptionsFormTest::cancelRereadsTheFile() {
  QFETCH(QString, how);
  Fixture f(kManualProxyFile);
  const Options before = f.form->Current();
  QCOMPARE(before.emptyareacolor, 255);
  QCOMPARE(f.form->Host->text(), QStringLiteral("cache.example"));
  f.form->show();
  QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
  f.form->Login->setText(QStringLiteral("mallory"));
  f.form->EmptyAreaColorButton->SetSwatchColor(0x00FF00);
  f.form->FillInEmptyAreaCheckBox->click();
  f.form->JPEGQualityTrackBar->setValue(20);
  f.form->ProxySourceButtons->button(2)->click();
  f.form->Host->setText(QStringLiteral("elsewhere"));
  QVERIFY(f.form->Current() != before);

  if (how == "button")
    QTest::mouseClick(f.form->CancelButton, Qt::LeftButton);
  else if (how == "escape")
    QTest::keyClick(f.form.get(), Qt::Key_Escape);
  else
    f.form->close();

  QVERIFY(!f.form->isVisible());
  QCOMPARE(f.form->Current(), before);
  QCOMPARE(f.form->Login->text(), QStringLiteral("ann"));
  QCOMPARE(f.form->EmptyAreaColorButton->SwatchColor(), quillet::Color(0x0000FF));
  QVERIFY(f.form->EmptyAreaColorButton->isEnabled());
  QCOMPARE(f.form->JPEGQualityTrackBar->value(), 70);
  QCOMPARE(f.form->ProxySourceButtons->checkedId(), 1);
  QCOMPARE(f.form->Host->text(), QStringLiteral("cache.example"));
  QVERIFY(f.form->Host->isEnabled());
  QVERIFY(f.prompts.Messages().empty());
}

void OptionsFormTest::cancelWithoutAFileRestoresDefaults() {
  Fixture f;
  const Options defaults = f.form->Current();
  f.form->show();
  f.form->FillInEmptyAreaCheckBox->click();
  f.form->EmptyAreaColorButton->SetSwatchColor(0x123456);
  f.form->AccessHintCheckBox->click();
  f.form->reject();
  QCOMPARE(f.form->Current(), defaults);
  QCOMPARE(f.form->EmptyAreaColorButton->SwatchColor(), quillet::kWhite);
  QVERIFY(!f.form->EmptyAreaColorButton->isEnabled());
  QVERIFY(f.form->AccessHintCheckBox->isChecked());
  QVERIFY(!f.folder.Exists("options.xml"));
}

void OptionsFormTest::jpegTrackBarSnapsToTens_data() {
  QTest::addColumn<int>("position");
  QTest::addColumn<int>("shown");
  QTest::newRow("95 goes up") << 95 << 100;
  QTest::newRow("94 goes down") << 94 << 90;
  QTest::newRow("45 goes up") << 45 << 50;
  QTest::newRow("on a ten") << 60 << 60;
  QTest::newRow("below the range") << 3 << 10;
  QTest::newRow("above the range") << 250 << 100;
}

void OptionsFormTest::jpegTrackBarSnapsToTens() {
  QFETCH(int, position);
  QFETCH(int, shown);
  Fixture f;
  f.form->JPEGQualityTrackBar->setValue(position);
  QCOMPARE(f.form->JPEGQualityTrackBar->value(), shown);
  QCOMPARE(f.form->Current().jpegquality, shown);
  QCOMPARE(f.form->JPEGQualityLabel->text(), QStringLiteral("JPEG Quality: %1%").arg(shown));
}

void OptionsFormTest::gifTrackBarLabelFollows() {
  Fixture f;
  f.form->GIFBitDepthTrackBar->setValue(3);
  QCOMPARE(f.form->GIFBitDepthLabel->text(), QStringLiteral("Bits Per Pixel: 3 bits"));
  QCOMPARE(f.form->Current().gifbitdepth, 3);
  QTest::keyClick(f.form->GIFBitDepthTrackBar, Qt::Key_Right);
  QCOMPARE(f.form->Current().gifbitdepth, 4);
}

void OptionsFormTest::proxyFieldsFollowSourceAndCheckBox_data() {
  QTest::addColumn<int>("source");
  QTest::addColumn<bool>("authentication");
  QTest::addColumn<bool>("hostEnabled");
  QTest::addColumn<bool>("credentialsEnabled");
  QTest::newRow("system") << 0 << true << false << false;
  QTest::newRow("manual, no authentication") << 1 << false << true << false;
  QTest::newRow("manual, authentication") << 1 << true << true << true;
  QTest::newRow("no proxy") << 2 << true << false << false;
}

void OptionsFormTest::proxyFieldsFollowSourceAndCheckBox() {
  QFETCH(int, source);
  QFETCH(bool, authentication);
  QFETCH(bool, hostEnabled);
  QFETCH(bool, credentialsEnabled);
  Fixture f;
  // Through the manual source, so the check box can be clicked.
  f.form->ProxySourceButtons->button(1)->click();
  if (authentication) f.form->ProxyRequiresAuthentication->click();
  f.form->ProxySourceButtons->button(source)->click();
  QCOMPARE(int(f.form->Current().proxysource), source);
  QCOMPARE(f.form->Current().proxyauthentication, authentication);
  QCOMPARE(f.form->Host->isEnabled(), hostEnabled);
  QCOMPARE(f.form->Port->isEnabled(), hostEnabled);
  QCOMPARE(f.form->ProxyRequiresAuthentication->isEnabled(), hostEnabled);
  QCOMPARE(f.form->ProxyLogin->isEnabled(), credentialsEnabled);
  QCOMPARE(f.form->ProxyPassword->isEnabled(), credentialsEnabled);
}

void OptionsFormTest::choosingTheSystemSourceFillsHostAndPort() {
  Fixture f(kManualProxyFile);
  QCOMPARE(f.form->Host->text(), QStringLiteral("cache.example"));
  f.form->ProxySourceButtons->button(0)->click();
  QCOMPARE(f.form->Host->text(), QStringLiteral("proxy.lan"));
  QCOMPARE(f.form->Port->text(), QStringLiteral("8080"));
  QCOMPARE(f.form->Current().proxyhost, std::string("proxy.lan"));
  QCOMPARE(f.form->Current().proxyport, std::string("8080"));
  QVERIFY(!f.form->Host->isEnabled());
  QVERIFY(!f.form->Port->isEnabled());
}

void OptionsFormTest::fillCheckBoxEnablesColourButtonAndKeepsColour() {
  Fixture f(kManualProxyFile);
  QVERIFY(f.form->FillInEmptyAreaCheckBox->isChecked());
  QVERIFY(f.form->EmptyAreaColorButton->isEnabled());
  f.form->FillInEmptyAreaCheckBox->click();
  QVERIFY(!f.form->EmptyAreaColorButton->isEnabled());
  QVERIFY(!f.form->Current().fillemptyarea);
  f.form->FillInEmptyAreaCheckBox->click();
  QVERIFY(f.form->EmptyAreaColorButton->isEnabled());
  QCOMPARE(f.form->EmptyAreaColorButton->SwatchColor(), quillet::Color(0x0000FF));
  QCOMPARE(f.form->Current().emptyareacolor, 255);
}

void OptionsFormTest::clickingTheRootKeepsThePage() {
  Fixture f;
  f.form->show();
  QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
  QTreeWidget* tree = f.form->OptionsTreeView;
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                    tree->visualItemRect(f.form->PageNode(2)).center());
  QCOMPARE(tree->currentItem(), f.form->PageNode(2));
  QCOMPARE(f.form->OptionsPageControl->currentWidget(), f.form->ConfirmationsTabSheet);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                    tree->visualItemRect(f.form->RootNode()).center());
  QCOMPARE(tree->currentItem(), f.form->PageNode(2));
  QVERIFY(f.form->PageNode(2)->isSelected());
  QCOMPARE(f.form->OptionsPageControl->currentWidget(), f.form->ConfirmationsTabSheet);
  // The keyboard cannot reach the root either.
  tree->setFocus();
  QTest::keyClick(tree, Qt::Key_Home);
  QCOMPARE(f.form->OptionsPageControl->currentWidget(), f.form->ConfirmationsTabSheet);
  QVERIFY(tree->currentItem() != f.form->RootNode());
}

void OptionsFormTest::pageChosenPersistsBetweenOpenings() {
  Fixture f;
  f.form->show();
  f.form->OptionsTreeView->setCurrentItem(f.form->PageNode(3));
  f.form->reject();
  f.form->show();
  QCOMPARE(f.form->OptionsPageControl->currentWidget(), f.form->GeneralTabSheet);
}

void OptionsFormTest::corruptFileIsReportedAndDefaultsKept() {
  Fixture f("<settings><login value=\"x\"/></settings>");
  QCOMPARE(f.prompts.Lines(), (std::vector<std::string>{"Error: Options file is corrupt."}));
  QCOMPARE(f.form->Current().login, std::string());
  QCOMPARE(f.form->Host->text(), QStringLiteral("proxy.lan"));
}

void OptionsFormTest::editedOptionsReachControlsAndFile() {
  Fixture f;
  f.form->Edit().jpegquality = 95;
  f.form->Edit().showgifdialog = false;
  f.form->Edit().gifbitdepth = 12;
  f.form->ApplyToControls();
  QCOMPARE(f.form->JPEGQualityTrackBar->value(), 100);
  QCOMPARE(f.form->Current().jpegquality, 100);
  QCOMPARE(f.form->Current().gifbitdepth, 8);
  QVERIFY(!f.form->ShowGIFDialogCheckBox->isChecked());
  QVERIFY(f.form->SaveCurrent());
  QCOMPARE(f.FileOptions().jpegquality, 100);
  QVERIFY(!f.FileOptions().showgifdialog);
}

QTEST_MAIN(OptionsFormTest)
#include "OptionsFormTest.moc"

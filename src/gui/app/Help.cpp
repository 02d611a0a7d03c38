#include "gui/app/Help.h"

#include <QFileInfo>
#include <QIcon>
#include <QKeySequence>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "core/app/ProgramFolder.h"
#include "gui/app/Resources.h"
#include "gui/app/WebPage.h"
#include "gui/app/WindowPlacement.h"

namespace quillet {

THelpForm::THelpForm(std::string programFolder, Prompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window), programFolder_(std::move(programFolder)), prompts_(prompts) {
  InitResources();
  setObjectName(QStringLiteral("HelpForm"));
  setWindowTitle(QStringLiteral("Quillet Help"));
  setWindowIcon(QIcon(QStringLiteral(":/icons/help.svg")));
  HelpBrowser = new QTextBrowser(this);
  HelpBrowser->setObjectName(QStringLiteral("HelpBrowser"));
  // Every link comes through one handler, which sends web addresses to the
  // browser instead of trying to show them here.
  HelpBrowser->setOpenLinks(false);
  HelpBrowser->setOpenExternalLinks(false);
  connect(HelpBrowser, &QTextBrowser::anchorClicked, this, &THelpForm::HelpBrowserAnchorClicked);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(HelpBrowser);
  // Escape puts the help away, as it does a dialog.
  auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(close, &QShortcut::activated, this, &QWidget::close);
  resize(720, 600);
}

std::string THelpForm::HelpFilePath() const {
  return programFolder_ + kHelpFile;
}

bool THelpForm::ShowContents() {
  std::string path = HelpFilePath();
  if (!QFileInfo(QString::fromStdString(path)).isFile()) {
    prompts_.Error("The help file " + path + " was not found.");
    return false;
  }
  QUrl source = QUrl::fromLocalFile(QString::fromStdString(path));
  if (HelpBrowser->source() == source)
    HelpBrowser->reload();
  else
    HelpBrowser->setSource(source);
  HelpBrowser->scrollToAnchor(QStringLiteral("contents"));
  // Where no window manager places it, the help would sit in the screen's
  // corner over the main window's menus.
  if (!isVisible()) CentreOnScreen(*this);
  show();
  raise();
  activateWindow();
  return true;
}

void THelpForm::CloseHelp() {
  close();
}

void THelpForm::HelpBrowserAnchorClicked(const QUrl& url) {
  const QString scheme = url.scheme();
  if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
      scheme == QLatin1String("mailto")) {
    OpenWebPage(url.toString().toStdString(), prompts_);
    return;
  }
  HelpBrowser->setSource(url);
}

}  // namespace quillet

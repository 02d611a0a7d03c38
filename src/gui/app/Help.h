#pragma once

#include <QWidget>
#include <string>

#include "core/platform/Prompts.h"

class QTextBrowser;
class QUrl;

namespace quillet {

// The help window: the program folder's "qhelp.html" in a window of its own.
// Links to web sites open in the browser; links inside the help stay here.
class THelpForm : public QWidget {
  Q_OBJECT

 public:
  THelpForm(std::string programFolder, Prompts& prompts, QWidget* parent = nullptr);

  // Shows the help from its contents at the top; false (after telling the
  // user) when the help file is missing.
  bool ShowContents();
  // The shutdown step: the help window goes with the program.
  void CloseHelp();

  std::string HelpFilePath() const;

  QTextBrowser* HelpBrowser = nullptr;

 private:
  void HelpBrowserAnchorClicked(const QUrl& url);

  std::string programFolder_;
  Prompts& prompts_;
};

}  // namespace quillet

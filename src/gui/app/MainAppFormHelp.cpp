// Help contents, the FAQ page, the links and the About box.
#include <QAction>
#include <QMenu>

#include "gui/app/MainAppForm.h"

namespace quillet {

void TMainAppForm::AddLinks(QMenu* menu) {
  menu->setToolTipsVisible(true);
}
void TMainAppForm::ContentsToolButtonClick() {}
void TMainAppForm::CloseHelp() {}
void TMainAppForm::FAQMenuItemClick() {}
void TMainAppForm::WallpaperandbackgroundCollection1Click() {}
void TMainAppForm::AboutToolButtonClick() {}

}  // namespace quillet

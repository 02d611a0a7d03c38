// The window as the user left it: size, place, maximized, the panes and
// "Fit image into pane", kept in the program folder between runs.
#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QToolButton>

#include "core/catalogues/WindowState.h"
#include "gui/app/MainAppForm.h"

namespace quillet {

namespace {

const char* const kSplitters[] = {"MainSplitter", "PictureSplitter"};

// A place that no screen shows any more (a monitor unplugged) is not
// restored: the window would open out of sight.
bool OnSomeScreen(const QRect& place) {
  for (const QScreen* screen : QGuiApplication::screens())
    if (screen->availableGeometry().intersects(place)) return true;
  return false;
}

}  // namespace

void TMainAppForm::RestoreWindowState() {
  const WindowState state = ReadWindowState(programFolder_);
  if (state.geometry) {
    const WindowGeometry& g = *state.geometry;
    const QRect place(g.left, g.top, g.width, g.height);
    if (OnSomeScreen(place)) {
      QScreen* screen = QGuiApplication::screenAt(place.center());
      const QSize room = screen != nullptr ? screen->availableGeometry().size() : place.size();
      resize(place.size().boundedTo(room).expandedTo(minimumSize()));
      move(place.topLeft());
    }
  }
  if (state.maximized) setWindowState(windowState() | Qt::WindowMaximized);
  for (const char* name : kSplitters) {
    auto* splitter = findChild<QSplitter*>(QLatin1String(name));
    const auto sizes = state.paneSizes.find(name);
    if (splitter == nullptr || sizes == state.paneSizes.end() ||
        static_cast<int>(sizes->second.size()) != splitter->count())
      continue;
    splitter->setSizes(QList<int>(sizes->second.begin(), sizes->second.end()));
  }
  if (state.fitImageIntoPane != fitImageIntoPane_) FitimageintopaneClick();
}

void TMainAppForm::SaveWindowState() {
  WindowState state;
  const QRect place = normalGeometry().isValid() ? normalGeometry() : geometry();
  state.geometry = WindowGeometry{place.left(), place.top(), place.width(), place.height()};
  state.maximized = isMaximized();
  for (const char* name : kSplitters) {
    if (auto* splitter = findChild<QSplitter*>(QLatin1String(name))) {
      const QList<int> sizes = splitter->sizes();
      state.paneSizes[name] = std::vector<std::int32_t>(sizes.begin(), sizes.end());
    }
  }
  state.fitImageIntoPane = fitImageIntoPane_;
  // The window's look is no work of the user's: a failure says nothing.
  WriteWindowState(state, programFolder_);
}

}  // namespace quillet

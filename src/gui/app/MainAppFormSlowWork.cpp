// Big pictures keep the window alive: their decoding, encoding and writing
// run on a thread of their own while the window paints, shows a busy cursor
// and a status text, and takes no input, so no second command starts.
#include <QApplication>
#include <QLabel>
#include <exception>

#include "gui/app/MainAppForm.h"
#include "gui/app/OffThread.h"

namespace quillet {

void TMainAppForm::RunSlowWork(const QString& status, const std::function<void()>& work) {
  if (slowWorkRunning_) {
    work();
    return;
  }
  slowWorkRunning_ = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const QString before = StatusPanel->text();
  StatusPanel->setText(status);
  std::exception_ptr failure;
  try {
    RunOffGuiThread(work);
  } catch (...) {
    failure = std::current_exception();
  }
  StatusPanel->setText(before);
  QApplication::restoreOverrideCursor();
  slowWorkRunning_ = false;
  if (failure) std::rethrow_exception(failure);
}

HeavyWorkRunner TMainAppForm::SlowWorkRunner(bool big, const QString& status) {
  if (!big) return {};
  return [this, status](const std::function<void()>& work) { RunSlowWork(status, work); };
}

bool TMainAppForm::IsBigPicture(const Bitmap* picture) {
  return picture != nullptr &&
         static_cast<std::int64_t>(picture->Width()) * picture->Height() >= kBigPicturePixels;
}

}  // namespace quillet

#include "gui/acquire/SaneQtUi.h"

#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include "gui/acquire/SaneScanForm.h"
#include "gui/acquire/SaneSelectSourceForm.h"
#include "gui/app/OffThread.h"

namespace quillet {

namespace {

constexpr int kBusyNoteDelayMs = 400;

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

SaneQtUi::SaneQtUi() = default;

SaneQtUi::~SaneQtUi() {
  if (scanForm_) scanForm_->Close();
}

std::optional<std::string> SaneQtUi::SelectSource(const std::vector<SaneDeviceInfo>& devices,
                                                  const std::string& current, WindowHandle) {
  // Modal over every window, like the Source Manager's own dialog.
  if (!selectForm_) selectForm_ = std::make_unique<TSaneSelectSourceForm>();
  return selectForm_->Choose(devices, current);
}

bool SaneQtUi::ShowSourceWindow(SaneScanSession& session, WindowHandle) {
  // Without owner: the acquisition disables the program's window, and an
  // owned window would go with it.
  if (!scanForm_) scanForm_ = std::make_unique<TSaneScanForm>();
  scanForm_->Open(session);
  return true;
}

void SaneQtUi::CloseSourceWindow() {
  if (scanForm_) scanForm_->Close();
}

void SaneQtUi::SourceStatus(std::string_view text) {
  if (scanForm_) scanForm_->SetStatus(ToQString(text));
}

void SaneQtUi::ReportProblem(std::string_view text) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), ToQString(text),
                  QMessageBox::NoButton, selectForm_.get());
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole));
  box.exec();
}

void SaneQtUi::RunWhileBusy(std::string_view status, const std::function<void()>& work) {
  // SANE's calls cannot be cancelled, so the note has no Cancel; it shows
  // only when the work takes long enough to be noticed.
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QProgressDialog note(ToQString(status), QString(), 0, 0);
  note.setWindowTitle(QStringLiteral("Quillet"));
  note.setCancelButton(nullptr);
  note.setMinimumDuration(0);
  note.setWindowModality(Qt::ApplicationModal);
  note.reset();  // hidden until the timer shows it
  note.setObjectName(QStringLiteral("SaneBusyNote"));
  QTimer showLater;
  showLater.setSingleShot(true);
  QObject::connect(&showLater, &QTimer::timeout, &note, &QWidget::show);
  showLater.start(kBusyNoteDelayMs);
  try {
    RunOffGuiThread(work);
  } catch (...) {
    QApplication::restoreOverrideCursor();
    throw;
  }
  QApplication::restoreOverrideCursor();
}

}  // namespace quillet

#include "gui/acquire/SaneQtUi.h"

#include <QMessageBox>
#include <QPushButton>

#include "gui/acquire/SaneScanForm.h"
#include "gui/acquire/SaneSelectSourceForm.h"

namespace quillet {

namespace {

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

}  // namespace quillet

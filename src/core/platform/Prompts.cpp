#include "core/platform/Prompts.h"

#include "core/app/ErrorReport.h"

namespace quillet {

std::string_view CaptionOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Error:
      return "Error";
    case MessageKind::Warning:
      return "Warning";
    case MessageKind::Information:
      return "Information";
    case MessageKind::Confirm:
      return "Confirm";
    case MessageKind::ErrorReport:
      return kApplicationTitle;
  }
  return "Error";
}

void Prompts::ReportError(std::string_view text) {
  Message(MessageKind::ErrorReport, ErrorReportText(text), Buttons::Ok);
}

}  // namespace quillet

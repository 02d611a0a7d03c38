// Pictures from a scanner or camera through the scanner layer, and the name
// and format a scanned or grabbed picture is stored under.
#include <memory>

#include "core/codecs/Codecs.h"
#include "gui/acquire/TwainScanner.h"
#include "gui/app/MainAppForm.h"
#include "gui/imageops/FileFormatChoiceForm.h"

namespace quillet {

std::optional<std::string> TMainAppForm::AcquiredPictureName(const char* base, bool askName,
                                                             const char* caption,
                                                             const char* prompt,
                                                             AcquiredFormat format) {
  std::string name = base;
  while (askName) {
    std::optional<std::string> typed = prompts_.Input(caption, prompt, name);
    if (!typed) return std::nullopt;
    name = std::move(*typed);
    if (!name.empty()) break;
  }
  LogoFormat chosen = LogoFormat::Jpg;
  if (format == AcquiredFormat::Ask) {
    if (fileFormatChoiceForm_ == nullptr) return std::nullopt;
    const std::optional<LogoFormat> answer = fileFormatChoiceForm_->Choose();
    if (!answer) return std::nullopt;
    chosen = *answer;
  } else {
    chosen = static_cast<LogoFormat>(format);
  }
  return name + std::string(ExtensionOfFormat(chosen));
}

void TMainAppForm::AcquireImageMenuItemClick() {
  if (!scanner_->Layer().TWAIN_SourceManagerPresent()) return;
  TW_HANDLE dib = scanner_->Layer().TWAIN_AcquireToDib(TwainScanner::HandleOf(this), 0);
  if (dib == nullptr) return;
  // Released on every way out, Cancel included.
  const std::unique_ptr<void, void (*)(TW_HANDLE)> held(dib, &TwainLayer::TWAIN_ReleaseDib);
  Bitmap picture(TwainLayer::TWAIN_GetDibWidth(dib), TwainLayer::TWAIN_GetDibHeight(dib));
  try {
    TwainLayer::TWAIN_PaintDib(dib, picture);
  } catch (const std::exception& error) {
    prompts_.ReportError(error.what());
    return;
  }
  const Options& options = CurrentOptions();
  const std::optional<std::string> name =
      AcquiredPictureName("importedimage", options.importasktargetname, "Imported image name",
                          "Please enter imported image name:", options.importedfileformat);
  if (!name) return;
  RunEdit([&](LogoDirContext& context) {
    return AddPictureImage(context, *name, picture, NewLogoTemplate);
  });
}

void TMainAppForm::SelectSourceMenuItemClick() {
  // A cancelled choice shows nothing.
  scanner_->Layer().TWAIN_SelectImageSource(TwainScanner::HandleOf(this));
}

}  // namespace quillet

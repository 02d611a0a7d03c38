#include "core/automation/QuilletPI.h"

namespace quillet {
namespace {

const char* const kNoKeyText = "The user has no home folder to keep the hand-off file in";

}  // namespace

TQuilletPI::TQuilletPI(std::optional<HandOffKey> key, QuilletPIHost& host)
    : key_(std::move(key)), host_(host) {}

HResult TQuilletPI::AddImageURL(std::string_view imageUrl) {
  if (!key_) return HResult::Fail(kNoKeyText);
  HResult written = WriteHandOffImageUrl(*key_, imageUrl);
  if (!written.ok) return written;
  host_.TakeHandedOverPicture();
  return HResult::Ok();
}

HResult TQuilletPI::Exec() {
  if (!key_) return HResult::Fail(kNoKeyText);
  // "AppPath" names the program to start when none runs; the bus starts it
  // before this call arrives, so only the key's opening is left to check.
  HandOffReading reading = ReadHandOffKey(*key_);
  if (!reading.result.ok) return reading.result;
  host_.BringToFront();
  return HResult::Ok();
}

void TQuilletPI::SetSite(std::string_view) {}

std::string TQuilletPI::GetSite(std::string_view) const {
  return {};
}

void TQuilletPI::QueryStatus(std::string_view, std::vector<OleCmd>& commands) {
  // An empty list has no first entry to change.
  if (!commands.empty()) commands.front().cmdf = kOleCmdfEnabled;
}

}  // namespace quillet

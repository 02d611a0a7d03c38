#include "core/app/CommandState.h"

namespace quillet {

std::optional<LogoFormat> OwnFormatOf(std::string_view nodeName) {
  return WritableFormatOfFileName(nodeName);
}

namespace {

std::array<bool, kConvertItemCount> ConvertItemsShownFor(std::optional<LogoFormat> own) {
  std::array<bool, kConvertItemCount> shown{true, true, true, true};
  if (own) shown[static_cast<std::size_t>(*own)] = false;
  return shown;
}

}  // namespace

CommandState ComputeCommandState(const CommandFacts& facts) {
  const bool logo = facts.kind == NodeKind::Logo;
  const bool notRoot = facts.kind != NodeKind::Root;
  const bool logoIdle = logo && !facts.uploading;
  CommandState state;
  state.save = logo;
  state.twain = facts.twainPresent;
  state.grab = !facts.uploading;
  state.upload = logo || facts.uploading;
  if (state.upload)
    state.uploadGlyph = facts.uploading ? UploadGlyph::StopUpload : UploadGlyph::Upload;
  state.rename = notRoot;
  state.remove = notRoot && !facts.uploading;
  state.convert = logoIdle;
  state.mirror = logoIdle;
  state.rotate = logoIdle;
  state.fitToPane = logo;
  state.sendToFriend = !facts.sending;
  state.properties = logoIdle;
  state.convertItemShown = ConvertItemsShownFor(OwnFormatOf(facts.nodeName));
  return state;
}

UploadItemState UploadPopupItem(const CommandFacts& facts) {
  UploadItemState item;
  item.enabled = facts.kind == NodeKind::Logo || facts.uploading;
  if (facts.uploading) {
    item.caption = kStopUploadCaption;
  } else if (!facts.uploadUrl.empty()) {
    item.caption = kUploadAgainCaption;
  } else {
    item.caption = kUploadCaption;
  }
  return item;
}

}  // namespace quillet

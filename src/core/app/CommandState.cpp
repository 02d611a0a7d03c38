#include "core/app/CommandState.h"

#include "core/platform/Text.h"

namespace quillet {

OwnFormat OwnFormatOf(std::string_view nodeName) {
  const std::string extension = UpperAscii(ExtensionOf(nodeName));
  if (extension == ".BMP") return OwnFormat::Bmp;
  if (extension == ".JPG" || extension == ".JPEG") return OwnFormat::Jpg;
  if (extension == ".GIF") return OwnFormat::Gif;
  if (extension == ".PNG") return OwnFormat::Png;
  return OwnFormat::None;
}

namespace {

std::array<bool, kConvertItemCount> ConvertItemsShownFor(OwnFormat own) {
  std::array<bool, kConvertItemCount> shown{true, true, true, true};
  switch (own) {
    case OwnFormat::Bmp:
      shown[0] = false;
      break;
    case OwnFormat::Jpg:
      shown[1] = false;
      break;
    case OwnFormat::Gif:
      shown[2] = false;
      break;
    case OwnFormat::Png:
      shown[3] = false;
      break;
    case OwnFormat::None:
      break;
  }
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

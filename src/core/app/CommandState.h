#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/codecs/Codecs.h"
#include "core/logodir/LogoDirObject.h"

namespace quillet {

// The facts the main window's commands depend on.
struct CommandFacts {
  NodeKind kind = NodeKind::Root;  // of the selected node, the root when none
  std::string nodeName;            // of the selected node
  std::string uploadUrl;           // of the selected node
  bool uploading = false;
  bool sending = false;
  bool twainPresent = false;
};

// The format a logo's name claims, told by its extension in any letter case;
// nothing for an extension of no format.
std::optional<LogoFormat> OwnFormatOf(std::string_view nodeName);

enum class UploadGlyph { None, Upload, StopUpload };

// Convert items in menu order: BMP, JPG, GIF, PNG, the order of LogoFormat.
inline constexpr int kConvertItemCount = 4;

struct CommandState {
  bool save = false;
  bool twain = false;
  bool grab = false;
  bool upload = false;
  UploadGlyph uploadGlyph = UploadGlyph::None;
  bool rename = false;
  bool remove = false;
  bool convert = false;
  bool mirror = false;
  bool rotate = false;
  bool fitToPane = false;
  bool sendToFriend = false;
  bool properties = false;
  // Which convert items show; only applied while `convert` is on, otherwise
  // the items keep whatever they showed before.
  std::array<bool, kConvertItemCount> convertItemShown{true, true, true, true};
};

CommandState ComputeCommandState(const CommandFacts& facts);

// The upload item of the three pop-up menus.
struct UploadItemState {
  bool enabled = false;
  std::string caption;
};
UploadItemState UploadPopupItem(const CommandFacts& facts);

inline constexpr const char* kUploadCaption = "Upload";
inline constexpr const char* kUploadAgainCaption = "Upload again";
inline constexpr const char* kStopUploadCaption = "Stop upload";

}  // namespace quillet

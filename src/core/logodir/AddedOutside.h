#pragma once

#include <string>
#include <vector>

#include "core/logodir/LogoEditing.h"

namespace quillet {

// Pictures put into the "Logo Directory" folder by other means (copied in by
// hand, or left without a node when "logodirectory.xml" could not be read)
// are taken into the tree: the command "Find pictures added outside Quillet"
// of the File menu, also run at start-up after a damaged read.

inline constexpr std::string_view kFindPicturesCaption = "Find pictures added outside Quillet";

struct FoundPictures {
  // As EditResult: whether the tree changed, and the node to select (the
  // first logo added, in tree order; null when nothing was added).
  bool changed = false;
  LogoNode* select = nullptr;
  // Every node added, folders and logos, in tree order.
  std::vector<LogoNode*> added;
  int logos = 0;
  int folders = 0;

  EditResult Edit() const { return EditResult{changed, select}; }
};

// Adds every picture file inside "Logo Directory" and the folders below it
// that no node names, as a logo with the settings of `newLogoTemplate` and no
// frame, and every folder that leads to such a picture as a folder (before
// its parent's logos, as a new folder goes). A picture file is one of the
// extensions the program reads (".bmp", ".jpg", ".jpeg", ".gif", ".png", any
// letter case) that decodes to at least 16 × 16 pixels; anything else, hidden
// files and folders (the program's temporary files among them), symbolic
// links, and a name that the tree already holds in the sense of NameIsFree
// (letter case of a to z and extensions ignored) are left alone. Nothing is
// written or moved on disk, so a second run adds nothing. Shows no message:
// the window tells the user FoundPicturesText after the menu command.
FoundPictures FindPicturesAddedOutside(LogoDirContext& context,
                                       const TLogoDirObject& newLogoTemplate);

// What the menu command tells the user (an information box).
std::string FoundPicturesText(const FoundPictures& found);

}  // namespace quillet

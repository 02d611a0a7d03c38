#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/codecs/Bitmap.h"
#include "core/logodir/LogoDirObject.h"
#include "core/logodir/LogoTree.h"
#include "core/platform/Prompts.h"

namespace quillet {

// The logo directory commands that change the disk and then the tree: new
// folder, rename, delete and the adding of pictures; the picture commands of
// imageops (convert, mirror, rotate) share the same conventions.
//
// A command works on what the main window hands it in a LogoDirContext and
// never touches the tree view's selection itself. It answers with an
// EditResult: `select` is the node the window must select now and display
// anew, even when it is the node already selected (a replaced logo shows its
// new picture); null leaves selection and display as they are. `changed`
// says whether the tree changed, so that the window refreshes its command
// state. Nodes removed by a command are gone by the time it returns; the
// tree's observer has been told before each removal.

inline constexpr std::string_view kNameTakenText =
    "Folder or logo with the name specified already exists. Please enter another name";
inline constexpr std::string_view kNewFolderFailedText =
    "Unable to create new folder in mobile directory. Check if there are no invalid characters "
    "in the folder name, there is enough free space on your hard drive and you have permissions "
    "to write to folder where the application is installed.";
inline constexpr std::string_view kRenameLogoFailedText =
    "Could not change the logo name. Check if there are no invalid characters in the logo name, "
    "there is enough free space on your hard drive and you have permissions to write to folder "
    "where the application is installed.";
inline constexpr std::string_view kRenameFolderFailedText =
    "Could not change the folder name. Check if there are no invalid characters in the folder "
    "name, there is enough free space on your hard drive and you have permissions to write to "
    "folder where the application is installed.";
inline constexpr std::string_view kDeleteDuringUploadText =
    "Function is not supported during image upload.";
inline constexpr std::string_view kConfirmDeleteLogoText =
    "Are you sure you want to delete selected logo?";
inline constexpr std::string_view kConfirmDeleteFolderText =
    "Are you sure you want to delete selected folder?";
inline constexpr std::string_view kConfirmDeleteFullFolderText =
    "The selected folder is not empty! Are you sure you want to delete it?";
inline constexpr std::string_view kDeleteLogoFailedText =
    "Could not delete selected logo. Check if you have permissions to write to folder where the "
    "application is installed.";
inline constexpr std::string_view kDeleteFolderFailedText =
    "Could not delete selected folder. Check if you have permissions to write to folder where "
    "the application is installed.";
// The two add failures differ only in the blank after "directory.".
inline constexpr std::string_view kAddFolderFailedText =
    "Unable to add image to mobile directory.Check if there is enough free space on your hard "
    "drive and you have permissions to write to folder where the application is installed.";
inline constexpr std::string_view kAddCopyFailedText =
    "Unable to add image to mobile directory. Check if there is enough free space on your hard "
    "drive and you have permissions to write to folder where the application is installed.";

// Runs the slow part of a command (encoding and writing a big picture). The
// window runs it on a thread of its own and keeps painting meanwhile; it
// returns when the work is done and rethrows what the work threw. Empty:
// the work runs where it is.
using HeavyWorkRunner = std::function<void(const std::function<void()>& work)>;

// What every command works on.
struct LogoDirContext {
  LogoTree& tree;
  LogoNode* selected;         // the node selected in the tree view, or null
  std::string programFolder;  // ends in "/"
  Prompts& prompts;
  HeavyWorkRunner runHeavyWork = {};
};

// Runs `work` through `runner`, or directly without one.
inline void RunHeavyWork(const HeavyWorkRunner& runner, const std::function<void()>& work) {
  if (runner)
    runner(work);
  else
    work();
}

struct EditResult {
  bool changed = false;
  LogoNode* select = nullptr;
};

// Asks for a name and creates a folder in the target folder (see
// TargetFolderNode), before the target's first logo; selects it.
EditResult NewFolder(LogoDirContext& context);

// Renames the selected logo (its extension stays) or folder, on disk and in
// the tree. The root and an empty selection are left alone; a change of
// letter case alone is not applied. An existing file or directory of the new
// name is never replaced.
EditResult RenameNode(LogoDirContext& context);

// Deletes the selected logo or folder after the user confirms; a folder with
// children is deleted from its last child up. What was deleted before a
// failure stays deleted; the failing node and its ancestors stay.
EditResult DeleteNode(LogoDirContext& context, bool uploadRunning);

// Copies a picture file into the target folder under a name of its own (the
// file's name, made unique with 2, 3, ...), as a new logo with the settings
// of `newLogoTemplate` and no frame; selects it. The copy is whole or absent.
EditResult AddPictureFile(LogoDirContext& context, const std::string& sourcePath,
                          const TLogoDirObject& newLogoTemplate);

// Writes a picture held in memory into the target folder as `name` (made
// unique; its extension chooses the format) and adds it like AddPictureFile.
// A failure to write throws (QuilletError with the text for the program-wide
// error report) and adds no node.
EditResult AddPictureImage(LogoDirContext& context, std::string_view name, const Bitmap& picture,
                           const TLogoDirObject& newLogoTemplate);

// A new logo's data: the template's settings under `name`, without a frame.
TLogoDirObject NewLogoObject(const TLogoDirObject& newLogoTemplate, std::string_view name);

}  // namespace quillet

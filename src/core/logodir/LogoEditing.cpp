#include "core/logodir/LogoEditing.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "core/codecs/Codecs.h"
#include "core/compose/SelectionGeometry.h"
#include "core/imageops/LogoCommands.h"
#include "core/logodir/LogoPaths.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/Text.h"

namespace quillet {
namespace {

bool PathExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

// Moves a file or directory, refusing to replace anything at `to`. Where the
// file system cannot do that in one step, a file is linked and unlinked (the
// link fails on an existing name) and a directory is checked first.
bool MoveWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  struct stat info {};
  if (::lstat(from.c_str(), &info) != 0) return false;
  if (S_ISDIR(info.st_mode)) {
    if (PathExists(to)) return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
  }
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  if (::unlink(from.c_str()) != 0) {
    ::unlink(to.c_str());
    return false;
  }
  return true;
}

// A file or directory that is already gone counts as deleted: the node then
// follows the disk.
bool DeleteLogoFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool RemoveEmptyDirectory(const std::string& path) {
  return ::rmdir(path.c_str()) == 0 || errno == ENOENT;
}

bool CreateDirectories(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return !error && std::filesystem::is_directory(path, error);
}

// A new folder goes before the first logo of its parent.
int NewFolderPosition(const LogoNode& parent) {
  for (int i = 0; i < parent.ChildCount(); ++i)
    if (parent.ChildAt(i)->IsLogo()) return i;
  return parent.ChildCount();
}

bool IsSelectedNodeEditable(const LogoNode* node) {
  return node != nullptr && !node->IsRoot();
}

EditResult RenameLogo(LogoDirContext& context, LogoNode& node) {
  std::string base(BaseNameOf(node.Text()));
  std::string extension(ExtensionOf(node.Text()));
  auto typed = context.prompts.Input("New Logo name", "Enter new logo name:", base);
  if (!typed || UpperAscii(*typed) == UpperAscii(base)) return {};
  LogoNode& parent = *node.Parent();
  if (!NameIsFree(parent, *typed)) {
    context.prompts.Error(kNameTakenText);
    return {};
  }
  std::string folder = FolderPath(parent, context.programFolder);
  if (!IsSafeNodeName(*typed) ||
      !MoveWithoutReplacing(folder + node.Text(), folder + *typed + extension)) {
    context.prompts.Error(kRenameLogoFailedText);
    return {};
  }
  context.tree.Rename(node, *typed + extension);
  return {true, nullptr};
}

EditResult RenameFolder(LogoDirContext& context, LogoNode& node) {
  auto typed = context.prompts.Input("New Folder name", "Enter new folder name:", node.Text());
  if (!typed || UpperAscii(*typed) == UpperAscii(node.Text())) return {};
  LogoNode& parent = *node.Parent();
  if (!NameIsFree(parent, *typed)) {
    context.prompts.Error(kNameTakenText);
    return {};
  }
  std::string folder = FolderPath(parent, context.programFolder);
  if (!IsSafeNodeName(*typed) || !MoveWithoutReplacing(folder + node.Text(), folder + *typed)) {
    context.prompts.Error(kRenameFolderFailedText);
    return {};
  }
  context.tree.Rename(node, *typed);
  return {true, nullptr};
}

// Deletes the node's subtree from the last child up, then the node itself;
// false at the first failure, which keeps that node and its ancestors.
bool DeleteRecursively(LogoDirContext& context, LogoNode& node) {
  for (int i = node.ChildCount() - 1; i >= 0; --i)
    if (!DeleteRecursively(context, *node.ChildAt(i))) return false;
  std::string path = NodePath(node, context.programFolder);
  bool deleted = node.IsLogo() ? DeleteLogoFile(path) : RemoveEmptyDirectory(path);
  if (!deleted) return false;
  context.tree.Remove(node);
  return true;
}

EditResult DeleteSingle(LogoDirContext& context, LogoNode& node) {
  bool logo = node.IsLogo();
  if (!context.prompts.ConfirmYesNo(logo ? kConfirmDeleteLogoText : kConfirmDeleteFolderText))
    return {};
  std::string path = NodePath(node, context.programFolder);
  if (!(logo ? DeleteLogoFile(path) : RemoveEmptyDirectory(path))) {
    context.prompts.Error(logo ? kDeleteLogoFailedText : kDeleteFolderFailedText);
    return {};
  }
  context.tree.Remove(node);
  return {true, nullptr};
}

EditResult DeleteFolderWithChildren(LogoDirContext& context, LogoNode& node) {
  if (!context.prompts.ConfirmYesNo(kConfirmDeleteFullFolderText)) return {};
  if (DeleteRecursively(context, node)) return {true, nullptr};
  context.prompts.Error(kDeleteFolderFailedText);
  // The folder node stays, but nodes below it may have gone.
  return {true, nullptr};
}

LogoNode& AddLogoNode(LogoDirContext& context, LogoNode& folder, const std::string& name,
                      const TLogoDirObject& newLogoTemplate) {
  return context.tree.Append(folder, NewLogoObject(newLogoTemplate, name));
}

}  // namespace

TLogoDirObject NewLogoObject(const TLogoDirObject& newLogoTemplate, std::string_view name) {
  TLogoDirObject data(newLogoTemplate);
  data.nodekind = NodeKind::Logo;
  data.nodename = std::string(name);
  ResetFrame(data);
  return data;
}

EditResult NewFolder(LogoDirContext& context) {
  LogoNode& parent = TargetFolderNode(context.tree, context.selected);
  std::string initial = DefaultFolderName(parent);
  int position = NewFolderPosition(parent);
  auto typed = context.prompts.Input("New folder name", "Enter new folder name:", initial);
  if (!typed) return {};
  if (!NameIsFree(parent, *typed)) {
    context.prompts.Error(kNameTakenText);
    return {};
  }
  if (!IsSafeNodeName(*typed) ||
      !CreateDirectories(FolderPath(parent, context.programFolder) + *typed)) {
    context.prompts.Error(kNewFolderFailedText);
    return {};
  }
  LogoNode& folder =
      context.tree.Insert(parent, position, TLogoDirObject(NodeKind::Folder, *typed));
  return {true, &folder};
}

EditResult RenameNode(LogoDirContext& context) {
  LogoNode* node = context.selected;
  if (!IsSelectedNodeEditable(node)) return {};
  return node->IsLogo() ? RenameLogo(context, *node) : RenameFolder(context, *node);
}

EditResult DeleteNode(LogoDirContext& context, bool uploadRunning) {
  if (uploadRunning) {
    context.prompts.Warning(kDeleteDuringUploadText);
    return {};
  }
  LogoNode* node = context.selected;
  if (!IsSelectedNodeEditable(node)) return {};
  if (node->IsFolder() && node->ChildCount() > 0) return DeleteFolderWithChildren(context, *node);
  return DeleteSingle(context, *node);
}

EditResult AddPictureFile(LogoDirContext& context, const std::string& sourcePath,
                          const TLogoDirObject& newLogoTemplate) {
  LogoNode& folder = TargetFolderNode(context.tree, context.selected);
  std::string fileName = sourcePath.substr(sourcePath.rfind('/') + 1);
  std::string folderPath = FolderPath(folder, context.programFolder);
  std::string name =
      UniqueLogoName(folder, BaseNameOf(fileName)) + std::string(ExtensionOf(fileName));
  if (!CreateDirectories(folderPath)) {
    context.prompts.Error(kAddFolderFailedText);
    return {};
  }
  try {
    if (!IsSafeNodeName(name)) throw std::runtime_error("unusable file name");
    // Written to a temporary name beside the target and renamed, so that a
    // full disk never leaves a truncated picture; a stray file of that name
    // is replaced.
    WriteFileAtomically(folderPath + name, ReadWholeFile(sourcePath));
  } catch (const std::exception&) {
    context.prompts.Error(kAddCopyFailedText);
    return {};
  }
  return {true, &AddLogoNode(context, folder, name, newLogoTemplate)};
}

EditResult AddPictureImage(LogoDirContext& context, std::string_view name, const Bitmap& picture,
                           const TLogoDirObject& newLogoTemplate) {
  LogoNode& folder = TargetFolderNode(context.tree, context.selected);
  std::string base = UniqueLogoName(folder, BaseNameOf(name));
  CreateDirectories(FolderPath(folder, context.programFolder));
  std::string path =
      WritePictureAs(folder, base, picture, LogoFormatOfFileName(name), context.programFolder);
  std::string written = path.substr(path.rfind('/') + 1);
  return {true, &AddLogoNode(context, folder, written, newLogoTemplate)};
}

}  // namespace quillet

#pragma once

#include <string>
#include <string_view>

#include "core/logodir/LogoTree.h"

namespace quillet {

// Paths of nodes. `programFolder` ends in "/"; the texts of the nodes from
// the root ("Logo Directory") down give the rest.

// The directory that holds the node's file, ending in "/": for a logo the
// directory of its folder, for a folder or the root its own directory.
std::string FolderPath(const LogoNode& node, const std::string& programFolder);
// The node's own file or directory, without a trailing "/".
std::string NodePath(const LogoNode& node, const std::string& programFolder);
// The image file of a logo node; throws QuilletError for any other kind.
std::string LogoFilePath(const LogoNode& node, const std::string& programFolder);

// Names of children are compared by base name, folding only a to z.

// True when no child of `folder` has `name` as its base name.
bool NameIsFree(const LogoNode& folder, std::string_view name);
// As NameIsFree, but a child whose base name also equals `exception` does
// not count (a result that will take its source's place).
bool NameIsFreeExcept(const LogoNode& folder, std::string_view name, std::string_view exception);
// `baseName`, or `baseName` followed by 2, 3, ... : the first that no child
// of `folder` has as its base name.
std::string UniqueLogoName(const LogoNode& folder, std::string_view baseName);
// "New Folder", or "New Folder 2", "New Folder 3", ... : the first free name.
std::string DefaultFolderName(const LogoNode& folder);

// Where new logos go: the selected folder, the folder of the selected logo,
// or the root when nothing is selected.
LogoNode& TargetFolderNode(LogoTree& tree, LogoNode* selected);

// Whether a node name may be used as a file or directory name in its
// folder: not empty, not "." or "..", and without "/" or NUL, so that the
// name can never lead out of its folder.
bool IsSafeNodeName(std::string_view name);

}  // namespace quillet

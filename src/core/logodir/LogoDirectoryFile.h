#pragma once

#include <string>
#include <vector>

#include "core/logodir/LogoTree.h"
#include "core/platform/Prompts.h"

namespace quillet {

// An element of "logodirectory.xml" that the reader left out, with its
// whole subtree.
struct DroppedElement {
  std::string path;    // texts from below the root, joined by "/"
  std::string reason;  // why, in a few words
};

enum class LogoDirectoryLoad {
  NoFile,   // nothing to read; the tree keeps only its root
  Loaded,   // every listed node that is still on disk is in the tree
  Corrupt,  // wrong root element; shown to the user, nothing read
  Failed,   // unreadable file or a node without a required attribute; shown
            // to the user, the nodes before the fault stay
};

struct LogoDirectoryLoadResult {
  LogoDirectoryLoad status = LogoDirectoryLoad::NoFile;
  std::vector<DroppedElement> dropped;
};

// Reads "logodirectory.xml" from the program folder into the tree under its
// root (which is expected to have no children yet). Nodes whose file or
// directory is gone, or whose name would lead out of their folder, are left
// out without a message. The root is expanded after a complete read.
LogoDirectoryLoadResult LoadLogoDirectory(LogoTree& tree, const std::string& programFolder,
                                          Prompts& prompts);

// The text of "logodirectory.xml" for the tree: no declaration, no
// indentation.
std::string LogoDirectoryDocument(const LogoTree& tree);

// Replaces "logodirectory.xml" in the program folder with the whole tree.
// On failure the old file is kept, "Unable to save mobile directory" is shown
// and false returned. Only a tree that was read from the file (or found no
// file) may be saved, or the user's directory would be lost.
bool SaveLogoDirectory(const LogoTree& tree, const std::string& programFolder, Prompts& prompts);

// A file that could be read only in part would lose its unread part when the
// tree is saved over it; this keeps a copy first, as
// "logodirectory.damaged.xml" (or ".damaged2.xml", ... when that exists).
// Returns the copy's file name, or empty when there was nothing to keep or
// the copy failed.
std::string KeepDamagedLogoDirectory(const std::string& programFolder);

// Whether a load left part of the file unread.
inline bool LeftFileUnread(LogoDirectoryLoad status) {
  return status == LogoDirectoryLoad::Corrupt || status == LogoDirectoryLoad::Failed;
}

}  // namespace quillet

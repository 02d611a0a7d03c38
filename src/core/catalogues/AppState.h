#pragma once

#include <string>

#include "core/logodir/LogoTree.h"
#include "core/platform/Prompts.h"

namespace quillet {

// The texts of the nodes from below the root down to `node`, joined by "/";
// empty for the root.
std::string ActiveNodePath(const LogoNode& node);

// The text of "appstate.xml" for the selected node (nullptr: none, as for
// the root, which is written as an empty "appstate" element).
std::string AppStateDocument(const LogoNode* selected);

// Replaces "appstate.xml" in the program folder. On failure the old file is
// kept, "Unable to save current application state" is shown and false
// returned.
bool WriteAppState(const LogoNode* selected, const std::string& programFolder, Prompts& prompts);

// Reads "appstate.xml" and returns the node to select, or nullptr when the
// file selects nothing. The nodes on the way are expanded. A wrong root
// element is shown as "Application state file is corrupt."; an unreadable
// file or an "activenodepath" without "value" throws QuilletError, before
// anything is expanded.
LogoNode* ReadAppState(LogoTree& tree, const std::string& programFolder, Prompts& prompts);

}  // namespace quillet

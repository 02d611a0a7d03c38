#pragma once

#include <string>
#include <vector>

#include "core/logodir/LogoTree.h"

namespace quillet::testing {

// The path of every node below `node`, depth first, folders ending in "/".
inline void DescribeTree(const LogoNode& node, const std::string& prefix,
                         std::vector<std::string>& out) {
  for (int i = 0; i < node.ChildCount(); ++i) {
    const LogoNode& child = *node.ChildAt(i);
    std::string path = prefix + child.Text();
    out.push_back(path + (child.IsFolder() ? "/" : ""));
    DescribeTree(child, path + "/", out);
  }
}

inline std::vector<std::string> Describe(const LogoTree& tree) {
  std::vector<std::string> out;
  DescribeTree(tree.Root(), "", out);
  return out;
}

}  // namespace quillet::testing

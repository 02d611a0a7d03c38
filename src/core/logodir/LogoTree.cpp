#include "core/logodir/LogoTree.h"

#include <algorithm>
#include <stdexcept>

namespace quillet {

LogoNode* LogoNode::ChildAt(int index) const {
  if (index < 0 || index >= ChildCount()) return nullptr;
  return children_[static_cast<size_t>(index)].get();
}

int LogoNode::IndexOf(const LogoNode* child) const {
  auto it = std::find_if(children_.begin(), children_.end(),
                         [child](const std::unique_ptr<LogoNode>& c) { return c.get() == child; });
  return it == children_.end() ? -1 : static_cast<int>(it - children_.begin());
}

LogoTree::LogoTree() : root_(TLogoDirObject(NodeKind::Root, kRootNodeText)) {}

LogoNode& LogoTree::Insert(LogoNode& parent, int position, TLogoDirObject data) {
  if (parent.IsLogo()) throw std::logic_error("A logo cannot hold other nodes");
  position = std::clamp(position, 0, parent.ChildCount());
  auto node = std::make_unique<LogoNode>(std::move(data), &parent);
  LogoNode& added = *node;
  if (observer_) observer_->BeforeInsert(parent, position);
  parent.children_.insert(parent.children_.begin() + position, std::move(node));
  if (observer_) observer_->AfterInsert(parent, position);
  return added;
}

LogoNode& LogoTree::Append(LogoNode& parent, TLogoDirObject data) {
  return Insert(parent, parent.ChildCount(), std::move(data));
}

void LogoTree::Remove(LogoNode& node) {
  LogoNode* parent = node.parent_;
  if (parent == nullptr) throw std::logic_error("The root of the logo directory cannot be removed");
  int row = parent->IndexOf(&node);
  if (observer_) observer_->BeforeRemove(*parent, row);
  // Keep the node alive until it is out of the list, so that its removal
  // never runs while the list is being changed.
  std::unique_ptr<LogoNode> owned = std::move(parent->children_[static_cast<size_t>(row)]);
  parent->children_.erase(parent->children_.begin() + row);
  owned.reset();
  if (observer_) observer_->AfterRemove(*parent, row);
}

void LogoTree::Clear() {
  while (root_.ChildCount() > 0)
    Remove(*root_.ChildAt(root_.ChildCount() - 1));
}

void LogoTree::Rename(LogoNode& node, std::string name) {
  if (node.IsRoot()) return;
  node.data_.nodename = std::move(name);
  if (observer_) observer_->Renamed(node);
}

bool IsWithin(const LogoNode& node, const LogoNode& ancestor) {
  for (const LogoNode* n = &node; n != nullptr; n = n->Parent())
    if (n == &ancestor) return true;
  return false;
}

}  // namespace quillet

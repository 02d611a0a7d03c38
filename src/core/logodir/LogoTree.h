#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/logodir/LogoDirObject.h"

namespace quillet {

inline constexpr const char* kRootNodeText = "Logo Directory";

// One node of the logo directory tree. It owns its data object and its
// children; a node's address never changes while it is in the tree, so views
// may keep pointers to it. Its text is its object's `nodename`.
class LogoNode {
 public:
  explicit LogoNode(TLogoDirObject data, LogoNode* parent = nullptr)
      : data_(std::move(data)), parent_(parent) {}
  LogoNode(const LogoNode&) = delete;
  LogoNode& operator=(const LogoNode&) = delete;

  const TLogoDirObject& Data() const { return data_; }
  // The frame, make, model and the other settings may be changed here; the
  // name only through LogoTree::Rename, so that views hear of it.
  TLogoDirObject& Data() { return data_; }

  const std::string& Text() const { return data_.nodename; }
  NodeKind Kind() const { return data_.nodekind; }
  bool IsRoot() const { return data_.nodekind == NodeKind::Root; }
  bool IsFolder() const { return data_.nodekind == NodeKind::Folder; }
  bool IsLogo() const { return data_.nodekind == NodeKind::Logo; }
  // Picture of the node in the tree view: 0 for a logo, 1 for a folder or
  // the root.
  int PictureIndex() const { return IsLogo() ? 0 : 1; }

  LogoNode* Parent() const { return parent_; }
  int ChildCount() const { return static_cast<int>(children_.size()); }
  LogoNode* ChildAt(int index) const;
  // The position of `child` among this node's children, or -1.
  int IndexOf(const LogoNode* child) const;
  // The position of this node among its parent's children (0 for the root).
  int Row() const { return parent_ ? parent_->IndexOf(this) : 0; }

  bool Expanded() const { return expanded_; }
  void SetExpanded(bool expanded) { expanded_ = expanded; }

 private:
  friend class LogoTree;

  TLogoDirObject data_;
  LogoNode* parent_;
  std::vector<std::unique_ptr<LogoNode>> children_;
  bool expanded_ = false;
};

// Told of every change to the tree's shape or names, so that a view model
// can follow (the calls match a Qt item model's begin/end pairs).
class LogoTreeObserver {
 public:
  virtual ~LogoTreeObserver() = default;
  virtual void BeforeInsert(LogoNode& /*parent*/, int /*row*/) {}
  virtual void AfterInsert(LogoNode& /*parent*/, int /*row*/) {}
  virtual void BeforeRemove(LogoNode& /*parent*/, int /*row*/) {}
  virtual void AfterRemove(LogoNode& /*parent*/, int /*row*/) {}
  virtual void Renamed(LogoNode& /*node*/) {}
};

// The logo directory tree: one root, "Logo Directory" of kind Root, with
// folders and logos below it in the order they were inserted.
class LogoTree {
 public:
  LogoTree();
  LogoTree(const LogoTree&) = delete;
  LogoTree& operator=(const LogoTree&) = delete;

  LogoNode& Root() { return root_; }
  const LogoNode& Root() const { return root_; }

  // Inserts a node holding `data` at `position` among the children of
  // `parent` (clamped to 0..ChildCount). Returns the new node. Logos hold no
  // children: inserting below one throws std::logic_error.
  LogoNode& Insert(LogoNode& parent, int position, TLogoDirObject data);
  LogoNode& Append(LogoNode& parent, TLogoDirObject data);
  // Removes a node other than the root, with its subtree; every pointer to
  // them becomes invalid.
  void Remove(LogoNode& node);
  // Removes every node below the root.
  void Clear();
  // Gives the node a new text (its `nodename`). The root keeps its name.
  void Rename(LogoNode& node, std::string name);

  // At most one observer; nullptr to stop.
  void SetObserver(LogoTreeObserver* observer) { observer_ = observer; }

 private:
  LogoNode root_;
  LogoTreeObserver* observer_ = nullptr;
};

// True when `node` is `ancestor` or lies below it.
bool IsWithin(const LogoNode& node, const LogoNode& ancestor);

}  // namespace quillet

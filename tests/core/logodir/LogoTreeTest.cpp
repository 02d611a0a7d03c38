#include "core/logodir/LogoTree.h"

#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quillet {
namespace {

TLogoDirObject Folder(const char* name) {
  return TLogoDirObject(NodeKind::Folder, name);
}
TLogoDirObject Logo(const char* name) {
  return TLogoDirObject(NodeKind::Logo, name);
}

std::vector<std::string> ChildTexts(const LogoNode& node) {
  std::vector<std::string> texts;
  for (int i = 0; i < node.ChildCount(); ++i)
    texts.push_back(node.ChildAt(i)->Text());
  return texts;
}

TEST(LogoTree, StartsWithTheRootOnly) {
  LogoTree tree;
  const LogoNode& root = tree.Root();
  EXPECT_EQ(root.Text(), "Logo Directory");
  EXPECT_EQ(root.Kind(), NodeKind::Root);
  EXPECT_EQ(root.Data(), TLogoDirObject(NodeKind::Root, "Logo Directory"));
  EXPECT_EQ(root.Parent(), nullptr);
  EXPECT_EQ(root.ChildCount(), 0);
  EXPECT_FALSE(root.Expanded());
  EXPECT_EQ(root.PictureIndex(), 1);
}

TEST(LogoTree, KeepsInsertionOrderAndStableAddresses) {
  LogoTree tree;
  LogoNode& root = tree.Root();
  LogoNode& cars = tree.Append(root, Folder("Cars"));
  LogoNode& photo = tree.Append(root, Logo("photo.jpg"));
  LogoNode& first = tree.Insert(root, 0, Folder("Animals"));
  LogoNode& middle = tree.Insert(root, 2, Logo("b.png"));
  LogoNode& clampedHigh = tree.Insert(root, 99, Logo("z.gif"));
  LogoNode& clampedLow = tree.Insert(root, -5, Logo("a.gif"));

  EXPECT_EQ(ChildTexts(root),
            (std::vector<std::string>{"a.gif", "Animals", "Cars", "b.png", "photo.jpg", "z.gif"}));
  // Inserting before a node never moves it in memory.
  EXPECT_EQ(root.ChildAt(2), &cars);
  EXPECT_EQ(root.ChildAt(4), &photo);
  EXPECT_EQ(root.ChildAt(1), &first);
  EXPECT_EQ(root.ChildAt(3), &middle);
  EXPECT_EQ(root.ChildAt(5), &clampedHigh);
  EXPECT_EQ(root.ChildAt(0), &clampedLow);
  EXPECT_EQ(root.ChildAt(6), nullptr);
  EXPECT_EQ(root.ChildAt(-1), nullptr);

  LogoNode& inner = tree.Append(cars, Logo("inner.jpg"));
  EXPECT_EQ(inner.Parent(), &cars);
  EXPECT_EQ(cars.Parent(), &root);
  EXPECT_EQ(cars.Row(), 2);
  EXPECT_EQ(inner.Row(), 0);
  EXPECT_EQ(root.IndexOf(&inner), -1);
  EXPECT_THROW(tree.Append(photo, Logo("below.jpg")), std::logic_error);
  EXPECT_EQ(photo.ChildCount(), 0);
  EXPECT_EQ(photo.PictureIndex(), 0);
  EXPECT_EQ(cars.PictureIndex(), 1);
  EXPECT_TRUE(IsWithin(inner, root));
  EXPECT_TRUE(IsWithin(inner, inner));
  EXPECT_FALSE(IsWithin(cars, inner));
}

TEST(LogoTree, RemovesANodeWithItsSubtree) {
  LogoTree tree;
  LogoNode& root = tree.Root();
  LogoNode& cars = tree.Append(root, Folder("Cars"));
  tree.Append(tree.Append(cars, Folder("Fast")), Logo("f.jpg"));
  LogoNode& photo = tree.Append(root, Logo("photo.jpg"));

  tree.Remove(cars);
  EXPECT_EQ(ChildTexts(root), std::vector<std::string>{"photo.jpg"});
  EXPECT_EQ(root.ChildAt(0), &photo);
  EXPECT_THROW(tree.Remove(root), std::logic_error);

  tree.Append(root, Logo("x.png"));
  tree.Clear();
  EXPECT_EQ(root.ChildCount(), 0);
}

TEST(LogoTree, RenameChangesTheTextButNeverTheRoot) {
  LogoTree tree;
  LogoNode& cars = tree.Append(tree.Root(), Folder("Cars"));
  tree.Rename(cars, "Trucks");
  EXPECT_EQ(cars.Text(), "Trucks");
  EXPECT_EQ(cars.Data().nodename, "Trucks");
  tree.Rename(tree.Root(), "Other");
  EXPECT_EQ(tree.Root().Text(), "Logo Directory");
}

class RecordingObserver : public LogoTreeObserver {
 public:
  void BeforeInsert(LogoNode& parent, int row) override { Add("+", parent, row); }
  void AfterInsert(LogoNode& parent, int row) override {
    Add("+done", parent, row);
    // By now the new node is in place.
    seenAfterInsert.push_back(parent.ChildAt(row)->Text());
  }
  void BeforeRemove(LogoNode& parent, int row) override {
    Add("-", parent, row);
    seenBeforeRemove.push_back(parent.ChildAt(row)->Text());
  }
  void AfterRemove(LogoNode& parent, int row) override { Add("-done", parent, row); }
  void Renamed(LogoNode& node) override { calls.push_back("rename " + node.Text()); }

  std::vector<std::string> calls;
  std::vector<std::string> seenAfterInsert;
  std::vector<std::string> seenBeforeRemove;

 private:
  void Add(const char* what, LogoNode& parent, int row) {
    calls.push_back(std::string(what) + " " + parent.Text() + " " + std::to_string(row));
  }
};

TEST(LogoTree, ObserverHearsOfEveryChange) {
  LogoTree tree;
  RecordingObserver observer;
  tree.SetObserver(&observer);
  LogoNode& cars = tree.Append(tree.Root(), Folder("Cars"));
  tree.Insert(tree.Root(), 0, Logo("a.jpg"));
  tree.Rename(cars, "Trucks");
  tree.Remove(cars);
  tree.Rename(tree.Root(), "ignored");
  tree.SetObserver(nullptr);
  tree.Append(tree.Root(), Logo("unheard.jpg"));

  EXPECT_EQ(observer.calls, (std::vector<std::string>{
                                "+ Logo Directory 0", "+done Logo Directory 0",
                                "+ Logo Directory 0", "+done Logo Directory 0", "rename Trucks",
                                "- Logo Directory 1", "-done Logo Directory 1"}));
  EXPECT_EQ(observer.seenAfterInsert, (std::vector<std::string>{"Cars", "a.jpg"}));
  EXPECT_EQ(observer.seenBeforeRemove, std::vector<std::string>{"Trucks"});
}

}  // namespace
}  // namespace quillet

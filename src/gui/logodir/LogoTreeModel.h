#pragma once

#include <QAbstractItemModel>
#include <QIcon>

#include "core/logodir/LogoTree.h"

class QTreeView;

namespace quillet {

// The logo directory tree as a Qt item model: one column, the root
// "Logo Directory" as the only top-level item, each index pointing at its
// LogoNode. It follows the tree's changes as the tree's observer.
class LogoTreeModel : public QAbstractItemModel, private LogoTreeObserver {
  Q_OBJECT

 public:
  explicit LogoTreeModel(LogoTree& tree, QObject* parent = nullptr);
  ~LogoTreeModel() override;

  QModelIndex IndexOf(const LogoNode* node) const;
  static LogoNode* NodeOf(const QModelIndex& index);

  // Expands in `view` exactly the nodes whose expanded flag is set.
  void ApplyExpansion(QTreeView& view) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  void BeforeInsert(LogoNode& parent, int row) override;
  void AfterInsert(LogoNode& parent, int row) override;
  void BeforeRemove(LogoNode& parent, int row) override;
  void AfterRemove(LogoNode& parent, int row) override;
  void Renamed(LogoNode& node) override;

  void ApplyExpansion(QTreeView& view, const LogoNode& node) const;

  LogoTree& tree_;
  QIcon logoPicture_;
  QIcon folderPicture_;
};

}  // namespace quillet

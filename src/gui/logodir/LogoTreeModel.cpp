#include "gui/logodir/LogoTreeModel.h"

#include <QTreeView>

namespace quillet {

LogoTreeModel::LogoTreeModel(LogoTree& tree, QObject* parent)
    : QAbstractItemModel(parent),
      tree_(tree),
      logoPicture_(QStringLiteral(":/icons/tree-logo.svg")),
      folderPicture_(QStringLiteral(":/icons/tree-folder.svg")) {
  tree_.SetObserver(this);
}

LogoTreeModel::~LogoTreeModel() {
  tree_.SetObserver(nullptr);
}

QModelIndex LogoTreeModel::IndexOf(const LogoNode* node) const {
  if (node == nullptr) return {};
  return createIndex(node->Row(), 0, const_cast<LogoNode*>(node));
}

LogoNode* LogoTreeModel::NodeOf(const QModelIndex& index) {
  return index.isValid() ? static_cast<LogoNode*>(index.internalPointer()) : nullptr;
}

void LogoTreeModel::ApplyExpansion(QTreeView& view) const {
  ApplyExpansion(view, tree_.Root());
}

void LogoTreeModel::ApplyExpansion(QTreeView& view, const LogoNode& node) const {
  view.setExpanded(IndexOf(&node), node.Expanded());
  for (int row = 0; row < node.ChildCount(); ++row)
    ApplyExpansion(view, *node.ChildAt(row));
}

QModelIndex LogoTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  if (!parent.isValid()) return row == 0 ? IndexOf(&tree_.Root()) : QModelIndex();
  LogoNode* node = NodeOf(parent);
  if (row >= node->ChildCount()) return {};
  return createIndex(row, 0, node->ChildAt(row));
}

QModelIndex LogoTreeModel::parent(const QModelIndex& child) const {
  LogoNode* node = NodeOf(child);
  if (node == nullptr || node->Parent() == nullptr) return {};
  return IndexOf(node->Parent());
}

int LogoTreeModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return 1;
  if (parent.column() != 0) return 0;
  return NodeOf(parent)->ChildCount();
}

int LogoTreeModel::columnCount(const QModelIndex& /*parent*/) const {
  return 1;
}

QVariant LogoTreeModel::data(const QModelIndex& index, int role) const {
  const LogoNode* node = NodeOf(index);
  if (node == nullptr) return {};
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(node->Text());
    case Qt::DecorationRole:
      return node->PictureIndex() == 0 ? logoPicture_ : folderPicture_;
    default:
      return {};
  }
}

Qt::ItemFlags LogoTreeModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (NodeOf(index)->IsLogo()) result |= Qt::ItemNeverHasChildren;
  return result;
}

void LogoTreeModel::BeforeInsert(LogoNode& parent, int row) {
  beginInsertRows(IndexOf(&parent), row, row);
}

void LogoTreeModel::AfterInsert(LogoNode& /*parent*/, int /*row*/) {
  endInsertRows();
}

void LogoTreeModel::BeforeRemove(LogoNode& parent, int row) {
  beginRemoveRows(IndexOf(&parent), row, row);
}

void LogoTreeModel::AfterRemove(LogoNode& /*parent*/, int /*row*/) {
  endRemoveRows();
}

void LogoTreeModel::Renamed(LogoNode& node) {
  const QModelIndex index = IndexOf(&node);
  emit dataChanged(index, index, {Qt::DisplayRole});
}

}  // namespace quillet

#pragma once
#include <QAbstractItemModel>
#include <QIcon>
#include <QPersistentModelIndex>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <array>

#include "compressor/drive_tree.h"

namespace compressor::ui {

// Shows a DriveTree. A folder whose entries are unread has no rows but children (its placeholder,
// which is never a row); the view reads them when it first opens the folder (fetchMore).
class DriveTreeModel final : public QAbstractItemModel {
  Q_OBJECT

 public:
  explicit DriveTreeModel(DriveTree& tree, QObject* parent = nullptr);

  DriveTree& Tree() const { return tree_; }
  TreeNode* NodeOf(const QModelIndex& index) const;
  QModelIndex IndexOf(const TreeNode& node) const;
  // Refresh: the tree is cleared and filled again from the drives.
  void Rebuild();
  // Announces the new check states of the node, its read descendants and its ancestors.
  void ChecksChanged(const TreeNode& node);
  // The image of each kind (drive without compression, compressing drive, folder, file).
  const QIcon& KindIcon(int kind) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  void AnnounceSubtree(const TreeNode& node);

  DriveTree& tree_;
  std::array<QIcon, 4> icons_;
};

// Where the parts of a row (box, image, text) are, as the delegate paints them.
class BoxDelegate final : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QRect ElementRect(QStyle::SubElement element, const QStyleOptionViewItem& option, const QModelIndex& index,
                    const QWidget* widget) const;
};

// The drive and folder tree of the main window: read-only, a silver background, a hand cursor,
// check boxes in three states. A click on a node's box toggles it and keeps the ancestors in
// step; a click on its text or image only selects it.
class TreeView1 final : public QTreeView {
  Q_OBJECT

 public:
  TreeView1(DriveTree& tree, QWidget* parent = nullptr);

  DriveTreeModel& Model() { return *model_; }
  // The node's box in viewport coordinates; empty for a node without one.
  QRect BoxRect(const QModelIndex& index) const;
  // A part of the node's row (SE_ItemViewItemCheckIndicator, ...Decoration, ...Text), in viewport
  // coordinates.
  QRect ElementRect(const QModelIndex& index, QStyle::SubElement element) const;
  // The tree is anchored to the window's left, top and bottom edges.
  void FollowClientHeight(int client_height);

 signals:
  // A box was hit, before its state changes: the click's sound.
  void boxClicked();
  // After the states changed: the disk sizes are recomputed.
  void checksChanged();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool HitsBox(const QPoint& position, QModelIndex& index) const;

  DriveTreeModel* model_;   // children of the view, so they outlive it
  BoxDelegate* delegate_;
  QPersistentModelIndex pressed_box_;
};

}  // namespace compressor::ui

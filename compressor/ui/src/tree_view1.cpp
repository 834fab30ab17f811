#include "compressor_ui/tree_view1.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPalette>
#include <QStyle>

#include "compressor/quobran_settings.h"

namespace compressor::ui {

namespace {

constexpr int kIconSize = 16;
const QColor kSilver(192, 192, 192);

QString ToQString(const std::string& text) { return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())); }

// A placeholder is never a row: it only gives its folder the expand button (hasChildren).
size_t RowsOf(const TreeNode& node) { return node.HasPlaceholder() ? 0 : node.ChildCount(); }

}  // namespace

DriveTreeModel::DriveTreeModel(DriveTree& tree, QObject* parent) : QAbstractItemModel(parent), tree_(tree) {
  QStyle* style = QApplication::style();
  const QIcon drive = style->standardIcon(QStyle::SP_DriveHDIcon);
  // A drive that cannot compress shows greyed out.
  icons_[kKindPlainDrive] = QIcon(drive.pixmap(kIconSize, kIconSize, QIcon::Disabled));
  icons_[kKindCompressingDrive] = QIcon(drive.pixmap(kIconSize, kIconSize));
  icons_[kKindFolder] = QIcon(style->standardIcon(QStyle::SP_DirIcon).pixmap(kIconSize, kIconSize));
  icons_[kKindFile] = QIcon(style->standardIcon(QStyle::SP_FileIcon).pixmap(kIconSize, kIconSize));
}

const QIcon& DriveTreeModel::KindIcon(int kind) const { return icons_[static_cast<size_t>(kind)]; }

TreeNode* DriveTreeModel::NodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<TreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex DriveTreeModel::IndexOf(const TreeNode& node) const {
  return createIndex(static_cast<int>(node.Row()), 0, &node);
}

void DriveTreeModel::Rebuild() {
  beginResetModel();
  tree_.Clear();
  tree_.FillDriveTree();
  endResetModel();
}

QModelIndex DriveTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column != 0) return {};
  const TreeNode* parent_node = NodeOf(parent);
  const size_t count = parent_node != nullptr ? RowsOf(*parent_node) : tree_.DriveCount();
  if (static_cast<size_t>(row) >= count) return {};
  const size_t at = static_cast<size_t>(row);
  return IndexOf(parent_node != nullptr ? parent_node->Child(at) : tree_.Drive(at));
}

QModelIndex DriveTreeModel::parent(const QModelIndex& child) const {
  const TreeNode* node = NodeOf(child);
  if (node == nullptr || node->Parent() == nullptr) return {};
  return IndexOf(*node->Parent());
}

int DriveTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() && parent.column() != 0) return 0;
  const TreeNode* node = NodeOf(parent);
  return static_cast<int>(node != nullptr ? RowsOf(*node) : tree_.DriveCount());
}

int DriveTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool DriveTreeModel::hasChildren(const QModelIndex& parent) const {
  if (parent.isValid() && parent.column() != 0) return false;
  const TreeNode* node = NodeOf(parent);
  return node != nullptr ? node->ChildCount() > 0 : tree_.DriveCount() > 0;
}

QVariant DriveTreeModel::data(const QModelIndex& index, int role) const {
  const TreeNode* node = NodeOf(index);
  if (node == nullptr) return {};
  switch (role) {
    case Qt::DisplayRole:
      return ToQString(node->Text());
    case Qt::DecorationRole:
      if (node->IsPlaceholder() || node->Kind() < 0 || node->Kind() > kKindFile) return {};
      return KindIcon(node->Kind());
    case Qt::CheckStateRole:
      if (node->IsPlaceholder()) return {};
      switch (node->State()) {
        case kStateUnchecked:
          return Qt::Unchecked;
        case kStateChecked:
          return Qt::Checked;
        case kStatePartlyChecked:
          return Qt::PartiallyChecked;
        default:
          return {};  // no box
      }
    default:
      return {};
  }
}

Qt::ItemFlags DriveTreeModel::flags(const QModelIndex& index) const {
  const TreeNode* node = NodeOf(index);
  if (node == nullptr) return Qt::NoItemFlags;
  // Not user-checkable: the view decides what a click on the box does.
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (node->Kind() == kKindFile) flags |= Qt::ItemNeverHasChildren;
  return flags;
}

bool DriveTreeModel::canFetchMore(const QModelIndex& parent) const {
  const TreeNode* node = NodeOf(parent);
  return node != nullptr && node->HasPlaceholder();
}

void DriveTreeModel::fetchMore(const QModelIndex& parent) {
  TreeNode* node = NodeOf(parent);
  if (node == nullptr || !node->HasPlaceholder()) return;
  // The view asks from inside its layout, where it can take inserted rows but not removed ones:
  // the hidden placeholder goes without a word.
  auto entries = tree_.ReadEntries(*node);
  tree_.RemovePlaceholder(*node);
  if (entries.empty()) {
    // The expand button goes with the next layout.
    QMetaObject::invokeMethod(
        this,
        [this] {
          emit layoutAboutToBeChanged();
          emit layoutChanged();
        },
        Qt::QueuedConnection);
    return;
  }
  beginInsertRows(parent, 0, static_cast<int>(entries.size()) - 1);
  tree_.AdoptEntries(*node, std::move(entries));
  endInsertRows();
}

void DriveTreeModel::AnnounceSubtree(const TreeNode& node) {
  const size_t rows = RowsOf(node);
  if (rows == 0) return;
  const QModelIndex parent = IndexOf(node);
  emit dataChanged(index(0, 0, parent), index(static_cast<int>(rows) - 1, 0, parent), {Qt::CheckStateRole});
  for (size_t i = 0; i < rows; ++i) AnnounceSubtree(node.Child(i));
}

void DriveTreeModel::ChecksChanged(const TreeNode& node) {
  AnnounceSubtree(node);
  for (const TreeNode* at = &node; at != nullptr; at = at->Parent()) {
    const QModelIndex changed = IndexOf(*at);
    emit dataChanged(changed, changed, {Qt::CheckStateRole});
  }
}

QRect BoxDelegate::ElementRect(QStyle::SubElement element, const QStyleOptionViewItem& option,
                               const QModelIndex& index, const QWidget* widget) const {
  QStyleOptionViewItem item(option);
  initStyleOption(&item, index);
  if (element == QStyle::SE_ItemViewItemCheckIndicator && !(item.features & QStyleOptionViewItem::HasCheckIndicator)) {
    return {};
  }
  const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
  return style->subElementRect(element, &item, widget);
}

TreeView1::TreeView1(DriveTree& tree, QWidget* parent)
    : QTreeView(parent), model_(new DriveTreeModel(tree, this)), delegate_(new BoxDelegate(this)) {
  setObjectName("TreeView1");
  setModel(model_);
  setItemDelegate(delegate_);
  setHeaderHidden(true);
  setIndentation(19);
  setIconSize(QSize(kIconSize, kIconSize));
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setAllColumnsShowFocus(true);
  setSortingEnabled(false);  // the tree keeps its own order
  setMouseTracking(true);    // hot tracking
  viewport()->setAttribute(Qt::WA_Hover);
  viewport()->setCursor(Qt::PointingHandCursor);
  setCursor(Qt::PointingHandCursor);
  QPalette colours = palette();
  colours.setColor(QPalette::Base, kSilver);
  colours.setColor(QPalette::Window, kSilver);
  // The selection stays visible when the tree loses the focus.
  for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
  }
  setPalette(colours);
  setAutoFillBackground(true);
  setGeometry(8, 7, 281, 302);
}

void TreeView1::FollowClientHeight(int client_height) {
  setGeometry(8, 7, 281, 302 + client_height - kDesignedClientHeight);
}

QRect TreeView1::BoxRect(const QModelIndex& index) const {
  return ElementRect(index, QStyle::SE_ItemViewItemCheckIndicator);
}

QRect TreeView1::ElementRect(const QModelIndex& index, QStyle::SubElement element) const {
  if (!index.isValid()) return {};
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(index);
  return delegate_->ElementRect(element, option, index, this);
}

bool TreeView1::HitsBox(const QPoint& position, QModelIndex& index) const {
  index = indexAt(position);
  return index.isValid() && BoxRect(index).contains(position);
}

void TreeView1::mousePressEvent(QMouseEvent* event) {
  QModelIndex index;
  pressed_box_ = event->button() == Qt::LeftButton && HitsBox(event->position().toPoint(), index)
                     ? QPersistentModelIndex(index)
                     : QPersistentModelIndex();
  QTreeView::mousePressEvent(event);
}

void TreeView1::mouseReleaseEvent(QMouseEvent* event) {
  QTreeView::mouseReleaseEvent(event);
  const QPersistentModelIndex pressed = pressed_box_;
  pressed_box_ = QPersistentModelIndex();
  QModelIndex index;
  if (event->button() != Qt::LeftButton || !pressed.isValid() || !HitsBox(event->position().toPoint(), index) ||
      index != pressed) {
    return;
  }
  TreeNode* node = model_->NodeOf(index);
  if (node == nullptr || node->State() == kStateNone) return;
  emit boxClicked();
  DriveTree::ToggleNodeBox(*node);
  model_->ChecksChanged(*node);
  emit checksChanged();
}

}  // namespace compressor::ui

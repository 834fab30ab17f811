#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/check_tree.h"
#include "platform/drives.h"

namespace engine {
class DScan;
}

namespace compressor {

// The child of a node whose entries have not been read yet: it gives the node its expand button.
inline constexpr const char* PlaceholderText = "*PleaseExpandMe*";

// Kinds are the node's image index, states its state index.
inline constexpr int kKindPlainDrive = 0;  // no per-file compression; placeholders carry it too
inline constexpr int kKindCompressingDrive = 1;
inline constexpr int kKindFolder = 2;
inline constexpr int kKindFile = 3;
inline constexpr int kStateNone = -1;  // no box
inline constexpr int kStateUnchecked = 1;
inline constexpr int kStateChecked = 2;
inline constexpr int kStatePartlyChecked = 3;

class TreeNode final : public engine::CheckTreeNode {
 public:
  TreeNode(std::string text, std::optional<std::string> data, int kind, int state, int level)
      : text_(std::move(text)), data_(std::move(data)), kind_(kind), state_(state), level_(level) {}

  int Level() const override { return level_; }
  int Kind() const override { return kind_; }
  int State() const override { return state_; }
  std::vector<const CheckTreeNode*> Children() const override;
  const std::string* Data() const override { return data_ ? &*data_ : nullptr; }

  const std::string& Text() const { return text_; }
  TreeNode* Parent() const { return parent_; }
  size_t ChildCount() const { return children_.size(); }
  TreeNode& Child(size_t index) const { return *children_[index]; }
  // The node's place among its parent's children (or among the drives).
  size_t Row() const { return row_; }
  bool IsPlaceholder() const { return !data_ && text_ == PlaceholderText; }
  // Its entries have not been read yet.
  bool HasPlaceholder() const { return !children_.empty() && children_.back()->IsPlaceholder(); }
  void SetState(int state) { state_ = state; }

 private:
  friend class DriveTree;

  std::string text_;
  std::optional<std::string> data_;
  int kind_;
  int state_;
  int level_;
  TreeNode* parent_ = nullptr;
  size_t row_ = 0;
  std::vector<std::unique_ptr<TreeNode>> children_;
};

// What the status panel shows of the checked drives.
struct DiskSizes {
  int64_t CheckedDisksSize = 0;
  int64_t CheckedDisksFree = 0;
  std::string Label1;  // "Full Disk(s) Size: ..."
  std::string Label2;  // "Free Disk(s) Size: ..."
};

// The drive and folder tree of the main window without its widget. Folders are read when first
// opened; the engine reads the tree on the main thread through engine::CheckTree.
class DriveTree final : public engine::CheckTree {
 public:
  explicit DriveTree(const platform::DriveTable& drives) : drives_(drives) {}

  std::vector<const engine::CheckTreeNode*> NodesInTreeOrder() const override;

  size_t DriveCount() const { return roots_.size(); }
  TreeNode& Drive(size_t index) const { return *roots_[index]; }

  void Clear();
  // One node per drive: a compressing drive checked with its root entries read, any other drive
  // as a line without box, data or children.
  void FillDriveTree();
  // Reads a folder's entries in place of its placeholder; a node already read stays as it is.
  void TreeView1Expanding(TreeNode& node);
  // The two halves of TreeView1Expanding, for a view that must announce the change in between:
  // the node's entries, sorted, each in the node's state; then the swap for the placeholder.
  std::vector<std::unique_ptr<TreeNode>> ReadEntries(const TreeNode& node) const;
  void RemovePlaceholder(TreeNode& node);
  void AdoptEntries(TreeNode& node, std::vector<std::unique_ptr<TreeNode>> entries);

  // Negative, 0 or positive: drives (and placeholders) keep their order, folders come before
  // files, names compare case-insensitively.
  static int TreeView1Compare(const TreeNode& a, const TreeNode& b);
  static void SetNodeStateRecursive(TreeNode& node, int state);
  // Recomputes the node's state from its children's; a node none of whose children has a box
  // keeps its state.
  static void UpdateNodeState(TreeNode& node);
  // A click on the node's box: a checked node becomes unchecked, any other checked, with all its
  // descendants; then its ancestors follow. A node without a box is left alone.
  static bool ToggleNodeBox(TreeNode& node);

  // Sums the size and free space of the checked drives and, with an engine, asks it for a new pass
  // over the new selection. Each file system counts once, however many drives show it.
  DiskSizes UpdateDiskSizes(engine::DScan* scan) const;

 private:
  static void SortChildren(std::vector<std::unique_ptr<TreeNode>>& children);
  static void Renumber(std::vector<std::unique_ptr<TreeNode>>& children);

  const platform::DriveTable& drives_;
  std::vector<std::unique_ptr<TreeNode>> roots_;
  std::map<std::string, uint64_t> file_system_ids_;  // by root path
};

}  // namespace compressor

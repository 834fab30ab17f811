#include "compressor/drive_tree.h"

#include <algorithm>
#include <functional>
#include <set>

#include "compressor/mebibytes.h"
#include "engine/dscan.h"
#include "platform/attribute_record.h"
#include "platform/directory_reader.h"
#include "shared/ascii_case.h"

namespace compressor {

namespace {

std::unique_ptr<TreeNode> MakePlaceholder(int level) {
  return std::make_unique<TreeNode>(PlaceholderText, std::nullopt, kKindPlainDrive, kStateNone, level);
}

std::string DriveText(const platform::DriveInfo& drive) {
  if (!drive.compresses) return drive.root_path + " [" + drive.file_system + "], Skiped because not NTFS";
  return drive.root_path + " [" + drive.file_system + "], " + std::to_string(drive.serial) +
         ", Sector: " + std::to_string(drive.bytes_per_sector) + " Bytes";
}

}  // namespace

std::vector<const engine::CheckTreeNode*> TreeNode::Children() const {
  std::vector<const CheckTreeNode*> children;
  children.reserve(children_.size());
  for (const auto& child : children_) children.push_back(child.get());
  return children;
}

std::vector<const engine::CheckTreeNode*> DriveTree::NodesInTreeOrder() const {
  std::vector<const engine::CheckTreeNode*> order;
  std::function<void(const TreeNode&)> visit = [&](const TreeNode& node) {
    order.push_back(&node);
    for (size_t i = 0; i < node.ChildCount(); ++i) visit(node.Child(i));
  };
  for (const auto& drive : roots_) visit(*drive);
  return order;
}

void DriveTree::Clear() {
  roots_.clear();
  file_system_ids_.clear();
}

void DriveTree::FillDriveTree() {
  for (const platform::DriveInfo& drive : drives_.Drives()) {
    auto node = drive.compresses
                    ? std::make_unique<TreeNode>(DriveText(drive), drive.root_path, kKindCompressingDrive, kStateChecked, 0)
                    : std::make_unique<TreeNode>(DriveText(drive), std::nullopt, kKindPlainDrive, kStateNone, 0);
    node->row_ = roots_.size();
    roots_.push_back(std::move(node));
    if (!drive.compresses) continue;
    file_system_ids_[drive.root_path] = drive.file_system_id;
    TreeNode& added = *roots_.back();
    auto placeholder = MakePlaceholder(1);
    placeholder->parent_ = &added;
    added.children_.push_back(std::move(placeholder));
    TreeView1Expanding(added);
  }
  // The root entries are sorted as they are read; drives compare equal and keep path order.
  SortChildren(roots_);
}

void DriveTree::TreeView1Expanding(TreeNode& node) {
  if (!node.HasPlaceholder()) return;
  auto entries = ReadEntries(node);
  RemovePlaceholder(node);
  AdoptEntries(node, std::move(entries));
}

std::vector<std::unique_ptr<TreeNode>> DriveTree::ReadEntries(const TreeNode& node) const {
  std::vector<std::unique_ptr<TreeNode>> entries;
  if (!node.data_) return entries;
  const std::string& folder = *node.data_;
  platform::DirectoryReader reader;
  if (!reader.Open(folder)) return entries;
  platform::DirEntry entry;
  const int level = node.level_ + 1;
  while (reader.Next(entry)) {
    // Also drops "." and "..".
    if (entry.name.empty() || entry.name[0] == '.') continue;
    if (entry.attributes & platform::FILE_ATTRIBUTE_DIRECTORY) {
      auto child = std::make_unique<TreeNode>(entry.name, folder + entry.name + "/", kKindFolder, node.state_, level);
      auto placeholder = MakePlaceholder(level + 1);
      placeholder->parent_ = child.get();
      child->children_.push_back(std::move(placeholder));
      entries.push_back(std::move(child));
    } else {
      entries.push_back(std::make_unique<TreeNode>(entry.name, folder + entry.name, kKindFile, node.state_, level));
    }
  }
  SortChildren(entries);
  return entries;
}

void DriveTree::RemovePlaceholder(TreeNode& node) {
  if (node.HasPlaceholder()) node.children_.pop_back();
}

void DriveTree::AdoptEntries(TreeNode& node, std::vector<std::unique_ptr<TreeNode>> entries) {
  for (auto& entry : entries) {
    entry->parent_ = &node;
    node.children_.push_back(std::move(entry));
  }
  SortChildren(node.children_);
}

int DriveTree::TreeView1Compare(const TreeNode& a, const TreeNode& b) {
  if (a.Kind() < kKindFolder || b.Kind() < kKindFolder) return 0;
  if (a.Kind() != b.Kind()) return a.Kind() < b.Kind() ? -1 : 1;
  return shared::AsciiUpper(a.Text()).compare(shared::AsciiUpper(b.Text()));
}

void DriveTree::SortChildren(std::vector<std::unique_ptr<TreeNode>>& children) {
  // Stable, so names that compare equal keep the order in which they were read.
  std::stable_sort(children.begin(), children.end(),
                   [](const auto& a, const auto& b) { return TreeView1Compare(*a, *b) < 0; });
  Renumber(children);
}

void DriveTree::Renumber(std::vector<std::unique_ptr<TreeNode>>& children) {
  for (size_t i = 0; i < children.size(); ++i) children[i]->row_ = i;
}

void DriveTree::SetNodeStateRecursive(TreeNode& node, int state) {
  node.state_ = state;
  for (auto& child : node.children_) SetNodeStateRecursive(*child, state);
}

void DriveTree::UpdateNodeState(TreeNode& node) {
  int unchecked = 0;
  int checked = 0;
  int partly = 0;
  for (auto& child : node.children_) {
    if (child->state_ == kStateUnchecked) ++unchecked;
    if (child->state_ == kStateChecked) ++checked;
    if (child->state_ == kStatePartlyChecked) ++partly;
    if (partly > 0 || (unchecked > 0 && checked > 0)) {
      node.state_ = kStatePartlyChecked;
      return;
    }
    UpdateNodeState(*child);
  }
  if (unchecked > 0) node.state_ = kStateUnchecked;
  if (checked > 0) node.state_ = kStateChecked;
}

bool DriveTree::ToggleNodeBox(TreeNode& node) {
  if (node.state_ == kStateNone || node.IsPlaceholder()) return false;
  SetNodeStateRecursive(node, node.state_ == kStateChecked ? kStateUnchecked : kStateChecked);
  for (TreeNode* ancestor = node.parent_; ancestor != nullptr; ancestor = ancestor->parent_) {
    UpdateNodeState(*ancestor);
  }
  return true;
}

DiskSizes DriveTree::UpdateDiskSizes(engine::DScan* scan) const {
  DiskSizes sizes;
  std::set<uint64_t> counted;
  for (const auto& drive : roots_) {
    if (!drive->data_ || drive->state_ <= kStateUnchecked) continue;
    const auto id = file_system_ids_.find(*drive->data_);
    if (id != file_system_ids_.end() && counted.count(id->second) != 0) continue;
    platform::DriveSpace space;
    if (!drives_.Space(*drive->data_, space)) continue;
    if (id != file_system_ids_.end()) counted.insert(id->second);
    sizes.CheckedDisksSize += static_cast<int64_t>(space.bytes_per_cluster * space.total_clusters);
    sizes.CheckedDisksFree += static_cast<int64_t>(space.bytes_per_cluster * space.free_clusters);
  }
  sizes.Label1 = "Full Disk(s) Size: " + (sizes.CheckedDisksSize == 0 ? "Unknown" : Mebibytes(sizes.CheckedDisksSize));
  sizes.Label2 = "Free Disk(s) Size: " + (sizes.CheckedDisksFree == 0 ? "Unknown" : Mebibytes(sizes.CheckedDisksFree));
  if (scan != nullptr) {
    scan->AllFilesCount.store(0, std::memory_order_relaxed);
    scan->CompressedFilesCount.store(0, std::memory_order_relaxed);
    scan->RescanRequested.store(true, std::memory_order_relaxed);
  }
  return sizes;
}

}  // namespace compressor

#pragma once
#include <string>
#include <vector>

namespace engine {

// What the engine reads of the window's drive and folder tree, on the main thread only.
class CheckTreeNode {
 public:
  static constexpr int kKindCompressibleDrive = 1;
  static constexpr int kKindFolder = 2;
  static constexpr int kStateChecked = 2;
  static constexpr int kStatePartlyChecked = 3;

  virtual ~CheckTreeNode() = default;
  virtual int Level() const = 0;  // 0 = drive, 1 = entry of a drive's root, ...
  virtual int Kind() const = 0;   // image index
  virtual int State() const = 0;  // state index: below 2 unchecked or none
  virtual std::vector<const CheckTreeNode*> Children() const = 0;  // display order
  virtual const std::string* Data() const = 0;  // full path (folders end with '/'), or null
};

class CheckTree {
 public:
  virtual ~CheckTree() = default;
  // Each node before its children, siblings in display order.
  virtual std::vector<const CheckTreeNode*> NodesInTreeOrder() const = 0;
};

}  // namespace engine

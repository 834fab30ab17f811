#pragma once
#include <memory>
#include <string>
#include <vector>

#include "engine/check_tree.h"

namespace compressor {

// A list of folders as the engine sees the window's tree: each a checked folder directly below a
// drive. For the command line and the benchmarks.
class CheckedFolders final : public engine::CheckTree {
 public:
  CheckedFolders();
  ~CheckedFolders() override;
  // The folder's real path with a trailing '/'; false when it is not an existing folder.
  bool Add(const std::string& folder);
  std::vector<const engine::CheckTreeNode*> NodesInTreeOrder() const override;

 private:
  class Node;
  std::vector<std::unique_ptr<Node>> nodes_;
};

}  // namespace compressor

#include "compressor/checked_folders.h"

#include <climits>
#include <cstdlib>
#include <filesystem>

namespace compressor {

class CheckedFolders::Node final : public engine::CheckTreeNode {
 public:
  explicit Node(std::string path) : path_(std::move(path)) {}
  int Level() const override { return 1; }
  int Kind() const override { return kKindFolder; }
  int State() const override { return kStateChecked; }
  std::vector<const CheckTreeNode*> Children() const override { return {}; }
  const std::string* Data() const override { return &path_; }

 private:
  std::string path_;
};

CheckedFolders::CheckedFolders() = default;
CheckedFolders::~CheckedFolders() = default;

bool CheckedFolders::Add(const std::string& folder) {
  // The engine refuses links anywhere in a path, so the folder is taken by its real path.
  char resolved[PATH_MAX];
  if (realpath(folder.c_str(), resolved) == nullptr) return false;
  std::error_code error;
  if (!std::filesystem::is_directory(resolved, error)) return false;
  std::string path(resolved);
  if (path.back() != '/') path.push_back('/');
  nodes_.push_back(std::make_unique<Node>(path));
  return true;
}

std::vector<const engine::CheckTreeNode*> CheckedFolders::NodesInTreeOrder() const {
  std::vector<const engine::CheckTreeNode*> order;
  for (const auto& node : nodes_) order.push_back(node.get());
  return order;
}

}  // namespace compressor

#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "platform/safe_open.h"

namespace watcher {

// Morvast.velni: the header, then the int32 hash of every path that has a record in the use data,
// in the order they were first saved, each once. It grows by appending in place; a file that is
// missing or of another format is made anew.
class HashIndexFile {
 public:
  enum class State {
    kValid,
    kMissing,
    kForeign,      // wrong header, or far too large to be ours
    kUnavailable,  // exists but cannot be opened for reading and writing (a link, a folder, no access)
  };

  // Opens and reads the file; a partial hash at its end is ignored.
  explicit HashIndexFile(std::string path);

  State state() const { return state_; }
  bool Contains(int32_t hash) const { return hashes_.count(hash) != 0; }
  // Kept in memory until Commit.
  void Add(int32_t hash);
  // Appends the added hashes after the last whole one and syncs; a missing or foreign file is
  // replaced as a whole by the header and the added hashes. A valid file with nothing added is not
  // touched. False when the write failed.
  bool Commit();

 private:
  std::string path_;
  platform::UniqueFd fd_;
  State state_ = State::kMissing;
  size_t whole_hashes_ = 0;
  std::unordered_set<int32_t> hashes_;
  std::string added_;
};

}  // namespace watcher

#pragma once
#include <memory>
#include <string>

#include "engine/dscan.h"
#include "shared/watcher_table.h"

namespace compressor {

// The watcher's use data file in `program_directory` (ending with '/') as the engine's table: one
// row per whole record, in file order, with the lookup index built. A missing, unreadable,
// damaged or foreign file gives a table without rows; a cut one the records before the cut.
shared::WatcherTable LoadWatcherData(const std::string& program_directory);

// The window's watcher table: loaded once per run, at the first paint, and never reloaded, so
// later saves of the watcher are seen at the next start. It must outlive the engine it is handed
// to.
class WatcherData {
 public:
  explicit WatcherData(std::string program_directory) : program_directory_(std::move(program_directory)) {}

  // Loads the table unless it is loaded already.
  void LoadOnce();
  // Null until loaded.
  const shared::WatcherTable* Table() const { return table_.get(); }
  // Gives the engine the loaded table, or nothing before the load. The table is complete before
  // its one reference is published (release), so the engine never sees paths without their
  // hashes and intervals.
  void HandOver(engine::DScan& scan) const;

 private:
  std::string program_directory_;
  std::unique_ptr<const shared::WatcherTable> table_;
};

}  // namespace compressor

#pragma once
#include <cstddef>
#include <string>

#include "shared/use_data_format.h"
#include "watcher/use_table.h"

namespace watcher {

struct UseDataFiles {
  std::string data_path;   // Morvast.velnr
  std::string index_path;  // Morvast.velni
};
// `program_directory` ends with '/'.
UseDataFiles UseDataFilesIn(const std::string& program_directory);

enum class SaveResult {
  kSaved,
  kIndexUnavailable,  // the index exists but cannot be opened: nothing was written
  kDataUnreadable,    // the use data file exists but cannot be read: nothing was written
  kWriteFailed,       // a write failed (a full disk): the previous use data file stands
};

// Merges one monitor's table into both files; the caller holds the monitor's Busy flag. A path
// with a record takes the table's uses into its first record; a new path gets a record, and its
// hash joins the index. The index is synced before the use data file is replaced as a whole, so a
// kill at any moment leaves every stored record's hash in the index. Every result but kSaved means
// the table's uses are not stored: keep the table for the next save.
//
// `max_content` bounds the inflated use data: records that would grow it further are not added.
SaveResult SaveMonitorData(const UseTable& table, const UseDataFiles& files,
                           size_t max_content = shared::kMaxUseDataBytes);

}  // namespace watcher

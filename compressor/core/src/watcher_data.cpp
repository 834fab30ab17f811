#include "compressor/watcher_data.h"

#include <atomic>

#include "shared/use_data_file.h"
#include "shared/use_data_format.h"

namespace compressor {

shared::WatcherTable LoadWatcherData(const std::string& program_directory) {
  const shared::UseData data = shared::ReadUseData(program_directory + shared::kUseDataFileName);
  shared::WatcherTable table;
  shared::UseRecordReader reader(data.content);
  shared::UseRecord record;
  while (reader.Next(record)) {
    table.WatcherPaths.emplace_back(record.Path);
    table.WatcherHashes.push_back(record.PathHash);
    table.WatcherIntervals.push_back(record.MeanInterval);
  }
  table.BuildIndex();
  return table;
}

void WatcherData::LoadOnce() {
  if (table_) return;
  table_ = std::make_unique<const shared::WatcherTable>(LoadWatcherData(program_directory_));
}

void WatcherData::HandOver(engine::DScan& scan) const {
  if (table_) scan.Watcher.store(table_.get(), std::memory_order_release);
}

}  // namespace compressor

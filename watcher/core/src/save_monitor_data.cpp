#include "watcher/save_monitor_data.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_map>

#include "platform/data_file.h"
#include "shared/path_hash.h"
#include "shared/use_data_file.h"
#include "shared/use_data_stream.h"
#include "watcher/hash_index_file.h"

namespace watcher {

namespace {

// The first record of each (hash, path) in the use data, as a scan from the first record finds it.
// Keys view the content's bytes, so the content must not reallocate while this lives.
class StoredRecords {
 public:
  explicit StoredRecords(const std::string& content) {
    shared::UseRecordReader reader(content);
    shared::UseRecord record;
    while (reader.Next(record)) Add(record.PathHash, record.Path, record.Offset);
  }
  void Add(int32_t hash, std::string_view path, size_t offset) { first_.emplace(Key{hash, path}, offset); }
  const size_t* Find(int32_t hash, std::string_view path) const {
    const auto found = first_.find(Key{hash, path});
    return found == first_.end() ? nullptr : &found->second;
  }

 private:
  struct Key {
    int32_t hash;
    std::string_view path;
    bool operator==(const Key&) const = default;
  };
  struct KeyHasher {
    size_t operator()(const Key& key) const {
      return std::hash<std::string_view>{}(key.path) ^ (static_cast<size_t>(static_cast<uint32_t>(key.hash)) * 0x9E3779B97F4A7C15ULL);
    }
  };
  std::unordered_map<Key, size_t, KeyHasher> first_;
};

// A table entry's interval field holds a time, not an interval, until the second use.
int64_t IntervalOf(int64_t mean_interval, int64_t use_count) { return use_count < 2 ? 1 : mean_interval; }

}  // namespace

UseDataFiles UseDataFilesIn(const std::string& program_directory) {
  return UseDataFiles{program_directory + shared::kUseDataFileName, program_directory + shared::kHashIndexFileName};
}

SaveResult SaveMonitorData(const UseTable& table, const UseDataFiles& files, size_t max_content) {
  HashIndexFile index(files.index_path);
  if (index.state() == HashIndexFile::State::kUnavailable) return SaveResult::kIndexUnavailable;
  shared::UseData data = shared::ReadUseData(files.data_path, max_content);
  // Rewriting a file we could not read would throw its records away.
  if (data.source == shared::UseDataSource::kUnreadable) return SaveResult::kDataUnreadable;
  std::string& content = data.content;

  const auto count = static_cast<size_t>(table.EntryCount());
  size_t growth = 0;
  for (size_t i = 0; i < count; ++i) growth += shared::UseRecordSize(table.Paths()[i].size());
  // Appends stay within this, so the views StoredRecords keeps into the content stay valid.
  content.reserve(std::max(content.size(), std::min(content.size() + growth, max_content)));
  StoredRecords stored(content);

  for (size_t i = 0; i < count; ++i) {
    const std::string& path = table.Paths()[i];
    const UseEntry& entry = table.Entries()[i];
    if (path.empty() || path.size() > shared::kMaxRecordPath) continue;
    const auto hash = static_cast<int32_t>(shared::PathHash(path));
    // A hash the index does not hold has no record to look for.
    if (index.Contains(hash)) {
      if (const size_t* offset = stored.Find(hash, path)) {
        shared::UseRecord record;
        shared::ReadUseRecordAt(content, *offset, record);
        const int64_t uses = entry.UseCount;
        const int64_t stored_uses = record.UseCount;
        record.MeanInterval = WeightedMean(IntervalOf(entry.MeanInterval, uses), uses,
                                           IntervalOf(record.MeanInterval, stored_uses), stored_uses);
        record.LastUse = entry.LastUse;
        record.UseCount = static_cast<int64_t>(static_cast<uint64_t>(uses) + static_cast<uint64_t>(stored_uses));
        shared::OverwriteUseValues(content, record);
        continue;
      }
    }
    if (content.size() + shared::UseRecordSize(path.size()) > max_content) continue;
    index.Add(hash);
    const size_t offset = content.size();
    shared::AppendUseRecord(content, shared::UseRecord{path, hash, entry.LastUse,
                                                       IntervalOf(entry.MeanInterval, entry.UseCount), entry.UseCount});
    stored.Add(hash, std::string_view(content).substr(offset + shared::kRecordPathOffset, path.size()), offset);
  }

  // The index first: a hash without its record costs a scan later, a record without its hash
  // would get a twin at the next save.
  if (!index.Commit()) return SaveResult::kWriteFailed;
  const std::optional<std::string> stream = shared::DeflateUseData(content);
  if (!stream || !platform::ReplaceWholeFile(files.data_path, *stream)) return SaveResult::kWriteFailed;
  return SaveResult::kSaved;
}

}  // namespace watcher

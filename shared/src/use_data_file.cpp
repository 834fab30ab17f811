#include "shared/use_data_file.h"

#include "platform/data_file.h"

namespace shared {

UseData DecodeUseData(std::string_view file_bytes, size_t max_bytes) {
  UseData data;
  data.source = UseDataSource::kRead;
  Inflated inflated = InflateUseData(file_bytes, max_bytes);
  data.end = inflated.end;
  data.tagged = inflated.end != StreamEnd::kInvalid && HasFormatTag(inflated.bytes);
  if (!data.tagged) {
    data.content = LoneHeader();
    return data;
  }
  data.content = std::move(inflated.bytes);
  UseRecordReader reader(data.content);
  UseRecord record;
  while (reader.Next(record)) {
  }
  // Whatever follows the last whole record is dropped, so records appended later stay readable.
  data.dropped_tail = data.content.size() - reader.End();
  data.content.resize(reader.End());
  return data;
}

UseData ReadUseData(const std::string& path, size_t max_bytes) {
  std::string bytes;
  // A file larger than the bound is not one the watcher wrote: its first bytes read as a cut stream.
  const platform::FileRead read = platform::ReadWholeFile(path, max_bytes, bytes);
  if (read != platform::FileRead::kRead) {
    UseData data;
    data.source = read == platform::FileRead::kMissing ? UseDataSource::kMissing : UseDataSource::kUnreadable;
    data.content = LoneHeader();
    return data;
  }
  return DecodeUseData(bytes, max_bytes);
}

}  // namespace shared

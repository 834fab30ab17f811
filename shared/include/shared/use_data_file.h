#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "shared/use_data_format.h"
#include "shared/use_data_stream.h"

namespace shared {

enum class UseDataSource { kRead, kMissing, kUnreadable };

struct UseData {
  UseDataSource source = UseDataSource::kMissing;
  StreamEnd end = StreamEnd::kInvalid;
  bool tagged = false;           // the inflated data began with the format tag
  size_t dropped_tail = 0;       // bytes after the last whole record, left out
  // The header and every whole record, ready for UseRecordReader. A lone header where the file is
  // missing or unreadable, not a zlib stream, or of another format.
  std::string content;

  // The file held a complete stream of our format with no partial record.
  bool Whole() const { return source == UseDataSource::kRead && end == StreamEnd::kComplete && tagged && dropped_tail == 0; }
};

// The steps both programs take with the bytes of a use data file: inflate (bounded), check the
// header, keep the whole records.
UseData DecodeUseData(std::string_view file_bytes, size_t max_bytes = kMaxUseDataBytes);

// Reads and decodes the file at `path` without following a link.
UseData ReadUseData(const std::string& path, size_t max_bytes = kMaxUseDataBytes);

}  // namespace shared

#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace shared {

// The watcher's two data files in the program directory. Both begin with the same header:
// TagLength (int32, 5) and the tag's bytes. All integers are little-endian.
inline constexpr const char* kUseDataFileName = "Morvast.velnr";   // one zlib stream of use records
inline constexpr const char* kHashIndexFileName = "Morvast.velni";  // the hashes that have a record
inline constexpr std::string_view kFormatTag = "1.3.4";
inline constexpr size_t kHeaderSize = 4 + 5;

// A use record: PathLength (uint16), PathHash (int32), Path (PathLength bytes), LastUse,
// MeanInterval, UseCount (int64 each).
inline constexpr size_t kRecordFixedBytes = 2 + 4 + 8 + 8 + 8;
inline constexpr size_t kRecordPathOffset = 2 + 4;
inline constexpr size_t kMaxRecordPath = 0xFFFF;
// The most the inflated use data may hold: far above what the watcher writes, it only stops a
// damaged or hostile stream from taking all memory.
inline constexpr size_t kMaxUseDataBytes = size_t{256} << 20;

std::string LoneHeader();
// Reads TagLength and that many bytes and compares them with the tag, exactly. A buffer too short
// for the header has no tag.
bool HasFormatTag(std::string_view bytes);

struct UseRecord {
  std::string_view Path;
  int32_t PathHash = 0;
  int64_t LastUse = 0;
  int64_t MeanInterval = 0;
  int64_t UseCount = 0;
  // Where the record begins in the content (set by the reader).
  size_t Offset = 0;
};

inline constexpr size_t UseRecordSize(size_t path_length) { return kRecordFixedBytes + path_length; }
// The path must be at most kMaxRecordPath bytes: a longer one cannot be described by PathLength.
void AppendUseRecord(std::string& content, const UseRecord& record);
// Writes LastUse, MeanInterval and UseCount over those of the record at record.Offset, whose path
// is record.Path.size() bytes long.
void OverwriteUseValues(std::string& content, const UseRecord& record);

// Reads the whole record that begins at `offset`; false when it would run past the end.
bool ReadUseRecordAt(std::string_view content, size_t offset, UseRecord& record);

// Reads the records after the header in file order. Only whole records come out: one that would
// run past the end of the content ends the reading, so a cut or damaged tail yields the records
// before it and nothing else.
class UseRecordReader {
 public:
  explicit UseRecordReader(std::string_view content);
  bool Next(UseRecord& record);
  // One past the last whole record read so far.
  size_t End() const { return offset_; }

 private:
  std::string_view content_;
  size_t offset_;
};

}  // namespace shared

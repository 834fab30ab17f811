#include "shared/use_data_format.h"

#include <type_traits>

namespace shared {

namespace {

template <typename T>
void PutAt(std::string& bytes, size_t offset, T value) {
  const auto bits = static_cast<std::make_unsigned_t<T>>(value);
  for (size_t i = 0; i < sizeof(T); ++i) bytes[offset + i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
}

template <typename T>
void Append(std::string& bytes, T value) {
  bytes.append(sizeof(T), '\0');
  PutAt(bytes, bytes.size() - sizeof(T), value);
}

template <typename T>
T GetAt(std::string_view bytes, size_t offset) {
  std::make_unsigned_t<T> bits = 0;
  for (size_t i = 0; i < sizeof(T); ++i) {
    bits |= static_cast<std::make_unsigned_t<T>>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
  }
  return static_cast<T>(bits);
}

}  // namespace

std::string LoneHeader() {
  std::string header;
  Append(header, static_cast<int32_t>(kFormatTag.size()));
  header += kFormatTag;
  return header;
}

bool HasFormatTag(std::string_view bytes) {
  if (bytes.size() < 4) return false;
  const auto tag_length = GetAt<int32_t>(bytes, 0);
  return tag_length == static_cast<int32_t>(kFormatTag.size()) && bytes.substr(4, kFormatTag.size()) == kFormatTag;
}

void AppendUseRecord(std::string& content, const UseRecord& record) {
  Append(content, static_cast<uint16_t>(record.Path.size()));
  Append(content, record.PathHash);
  content += record.Path;
  Append(content, record.LastUse);
  Append(content, record.MeanInterval);
  Append(content, record.UseCount);
}

void OverwriteUseValues(std::string& content, const UseRecord& record) {
  const size_t values = record.Offset + kRecordPathOffset + record.Path.size();
  PutAt(content, values, record.LastUse);
  PutAt(content, values + 8, record.MeanInterval);
  PutAt(content, values + 16, record.UseCount);
}

UseRecordReader::UseRecordReader(std::string_view content)
    : content_(content), offset_(content.size() < kHeaderSize ? content.size() : kHeaderSize) {}

bool ReadUseRecordAt(std::string_view content, size_t offset, UseRecord& record) {
  if (offset > content.size() || content.size() - offset < kRecordFixedBytes) return false;
  const size_t path_length = GetAt<uint16_t>(content, offset);
  if (content.size() - offset < UseRecordSize(path_length)) return false;
  record.Offset = offset;
  record.PathHash = GetAt<int32_t>(content, offset + 2);
  size_t at = offset + kRecordPathOffset;
  record.Path = content.substr(at, path_length);
  at += path_length;
  record.LastUse = GetAt<int64_t>(content, at);
  record.MeanInterval = GetAt<int64_t>(content, at + 8);
  record.UseCount = GetAt<int64_t>(content, at + 16);
  return true;
}

bool UseRecordReader::Next(UseRecord& record) {
  if (!ReadUseRecordAt(content_, offset_, record)) return false;
  offset_ += UseRecordSize(record.Path.size());
  return true;
}

}  // namespace shared
